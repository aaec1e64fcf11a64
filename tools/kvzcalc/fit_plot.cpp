// The fit command's picture: above, a histogram of the data with the density
// (or mass) of each of the best fits over it; below, their P-P plot, the
// fitted cumulative probability against the data's own at each distinct value.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "fit.h"
#include "format.h"
#include "plot.h"
#include "types.h"

namespace kvzcalc {

namespace {

using picture::Panel;

constexpr const char* kColours[] = {"#1f5fbf", "#d62728", "#2ca02c"};
constexpr int kCurvePoints = 601;
constexpr int kMaxMasses = 400;     // whole numbers drawn one by one up to this many
constexpr std::size_t kMaxPpPoints = 500;
constexpr double kPadFraction = 0.03;
constexpr int kDensityClip = 1;
constexpr int kPpClip = 2;

// Where a fit's density or mass is drawn: inside the data's range, and inside
// the fit's support where it has an end (the library writes its formulas out
// past an end too).
std::vector<int> inside_support(const Summary& s, const std::vector<double>& xs) {
    std::vector<int> keep;
    for (double x : xs)
        keep.push_back((s.lower != End::bound || x >= s.minimum) && (s.upper != End::bound || x <= s.maximum));
    return keep;
}

// The data's distinct values and the share of the data at or below each.
void empirical_cdf(std::vector<double> data, std::vector<double>& at, std::vector<double>& share) {
    std::sort(data.begin(), data.end());
    const double n = static_cast<double>(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i + 1 < data.size() && data[i + 1] == data[i]) continue;
        at.push_back(data[i]);
        share.push_back(static_cast<double>(i + 1) / n);
    }
    // A long run of points is thinned evenly; the last one stays.
    if (at.size() > kMaxPpPoints) {
        std::vector<double> a, s;
        const double step = static_cast<double>(at.size() - 1) / static_cast<double>(kMaxPpPoints - 1);
        for (std::size_t k = 0; k < kMaxPpPoints; ++k) {
            const auto i = static_cast<std::size_t>(std::lround(static_cast<double>(k) * step));
            a.push_back(at[i]);
            s.push_back(share[i]);
        }
        at.swap(a);
        share.swap(s);
    }
}

// Each fit's colour, rank, type and its value of the ranking's criterion.
void legend(std::ostringstream& svg, double x, double y, const std::vector<FitOutcome>& best,
            const std::string& criterion) {
    for (std::size_t i = 0; i < best.size(); ++i) {
        const double row = y + 22.0 * static_cast<double>(i);
        svg << "<line x1=\"" << svg_number(x) << "\" y1=\"" << svg_number(row) << "\" x2=\"" << svg_number(x + 24)
            << "\" y2=\"" << svg_number(row) << "\" stroke=\"" << kColours[i] << "\" stroke-width=\"2\"/>\n"
            << "<text x=\"" << svg_number(x + 30) << "\" y=\"" << svg_number(row + 4) << "\">" << i + 1 << ". "
            << svg_escape(best[i].fitted.type->name) << " (" << svg_escape(criterion_label(criterion)) << ' '
            << short_number(criterion_value(best[i].result, criterion)) << ")</text>\n";
    }
}

}  // namespace

std::string render_fit_svg(const std::string& title, const std::vector<double>& data,
                           const std::vector<FitOutcome>& best, const std::string& criterion) {
    const bool discrete = !best.empty() && best.front().fitted.type->discrete &&
                          std::all_of(best.begin(), best.end(), [](const FitOutcome& f) { return f.fitted.type->discrete; });
    const auto [low, high] = std::minmax_element(data.begin(), data.end());
    const double lo = *low;
    const double hi = *high;
    double pad = (hi - lo) * kPadFraction + (discrete ? 0.5 : 0.0);
    if (!(pad > 0.0)) pad = std::max(1.0, std::fabs(lo) * 0.1);
    const double x0 = lo - pad;
    const double x1 = hi + pad;

    std::vector<double> xs;
    const bool one_by_one = discrete && hi - lo < kMaxMasses;
    if (one_by_one) {
        for (double x = lo; x <= hi; x += 1.0) xs.push_back(x);
    } else {
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = x0 + (x1 - x0) * i / (kCurvePoints - 1);
            xs.push_back(discrete ? std::round(x) : x);
        }
    }
    const picture::Histogram hist = picture::histogram(data, lo, hi, discrete);
    std::vector<double> at, share;
    empirical_cdf(data, at, share);

    struct Curve {
        std::vector<double> density;
        std::vector<int> keep;
        std::vector<double> fitted_cdf;
    };
    std::vector<Curve> curves;
    double top = 0.0;
    for (std::size_t i = 0; i < best.size(); ++i) {
        const Session session(best[i].fitted, static_cast<int>(i));
        Curve c;
        c.density = session.evaluate(Function::pdf, xs);
        c.keep = inside_support(session.summary(), xs);
        if (!discrete) {
            const std::vector<int> valid = session.pdf_valid(xs);
            for (std::size_t k = 0; k < xs.size(); ++k) c.keep[k] = c.keep[k] && valid[k];
        }
        c.fitted_cdf = session.evaluate(Function::cdf, at);
        top = std::max(top, picture::density_top(c.density, c.keep, 0.0, hist));
        curves.push_back(std::move(c));
    }

    std::ostringstream svg;
    picture::open_svg(svg, title);
    const Panel upper{50, 240, x0, x1, 0.0, top};
    picture::axes(svg, upper, "x", discrete ? "share of the data, probability mass" : "density", kDensityClip);
    picture::bars(svg, upper, hist, discrete, kDensityClip);
    for (std::size_t i = 0; i < curves.size(); ++i) {
        picture::polyline(svg, upper, xs, curves[i].density, curves[i].keep, kColours[i], kDensityClip);
        if (!one_by_one) continue;
        for (std::size_t k = 0; k < xs.size(); ++k) {
            if (!std::isfinite(curves[i].density[k])) continue;
            svg << "<circle cx=\"" << svg_number(upper.sx(xs[k])) << "\" cy=\""
                << svg_number(upper.sy(std::min(curves[i].density[k], top))) << "\" r=\"2.5\" fill=\"" << kColours[i]
                << "\"/>\n";
        }
    }

    const Panel pp{360, 200, 0.0, 1.0, 0.0, 1.0, picture::kLeft, 200};
    picture::axes(svg, pp, "share of the data at or below x", "fitted cumulative", kPpClip);
    svg << "<line x1=\"" << svg_number(pp.sx(0)) << "\" y1=\"" << svg_number(pp.sy(0)) << "\" x2=\""
        << svg_number(pp.sx(1)) << "\" y2=\"" << svg_number(pp.sy(1)) << "\" stroke=\"#999\" stroke-dasharray=\"4 3\"/>\n";
    for (std::size_t i = 0; i < curves.size(); ++i)
        picture::polyline(svg, pp, share, curves[i].fitted_cdf, std::vector<int>(share.size(), 1), kColours[i], kPpClip);
    legend(svg, pp.left() + pp.width() + 60, pp.top + 20, best, criterion);
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace kvzcalc
