#include "plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string_view>

namespace kvzcalc {

namespace {

constexpr int kCurvePoints = 601;    // abscissae of a continuous curve
constexpr int kMaxStems = 400;       // discrete: one stem per whole number up to this many
constexpr int kMaxSteps = 2000;      // discrete: exact steps of the cumulative up to this many
constexpr std::size_t kDiscreteCdfStride = 5;  // beyond that, the cumulative at every fifth abscissa
constexpr double kPadFraction = 0.03;  // room left and right of the range
constexpr int kTickTarget = 6;       // about this many ticks per axis
constexpr int kMaxTicks = 4 * kTickTarget;
constexpr int kMinBins = 10;
constexpr int kMaxBins = 80;
// A density running off to a pole at an end of the picture is cut at this
// multiple of its 95th percentile.
constexpr double kPoleCut = 4.0;
// A discrete range too wide for stems is narrowed to these quantiles.
constexpr double kTail = 0.0005;


std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

std::string label(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string label_exact(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

double nice_step(double span) {
    const double raw = span / kTickTarget;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double r = raw / magnitude;
    const double m = r < 1.5 ? 1.0 : r < 3.5 ? 2.0 : r < 7.5 ? 5.0 : 10.0;
    return m * magnitude;
}

std::vector<double> ticks(double lo, double hi) {
    std::vector<double> out;
    const double step = nice_step(hi - lo);
    if (!(step > 0.0) || !std::isfinite(step)) return out;
    const double first = std::ceil(lo / step);
    // Counted, so that a range far from zero (where first + 1 == first) still ends.
    for (int i = 0; i <= kMaxTicks; ++i) {
        const double t = (first + i) * step;
        if (!(t <= hi + step * 1e-9)) break;
        out.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    }
    return out;
}

}  // namespace

namespace picture {

void open_svg(std::ostringstream& svg, const std::string& title) {
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
        << "\" viewBox=\"0 0 " << kWidth << ' ' << kHeight << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << num(kWidth / 2) << "\" y=\"" << num(kTitleY)
        << "\" text-anchor=\"middle\" font-size=\"16\">" << escape(title) << "</text>\n";
}

void bars(std::ostringstream& svg, const Panel& p, const Histogram& h, bool discrete, int id) {
    for (std::size_t i = 0; i < h.left.size(); ++i) {
        // A bar per whole number stands narrower than its unit, centred on it.
        const bool single = discrete && h.width[i] == 1.0;
        const double bx = single ? h.left[i] + 0.15 : h.left[i];
        const double bw = single ? 0.7 : h.width[i];
        const double y = std::min(h.height[i], p.y1);
        svg << "<rect clip-path=\"url(#clip" << id << ")\" x=\"" << num(p.sx(bx)) << "\" y=\"" << num(p.sy(y))
            << "\" width=\"" << num(p.sx(bx + bw) - p.sx(bx)) << "\" height=\"" << num(p.sy(0) - p.sy(y))
            << "\" fill=\"#f4a460\" fill-opacity=\"0.55\" stroke=\"#c07030\" stroke-width=\"0.5\"/>\n";
    }
}

void axes(std::ostringstream& svg, const Panel& p, const std::string& xlabel, const std::string& ylabel, int id) {
    svg << "<defs><clipPath id=\"clip" << id << "\"><rect x=\"" << num(p.left()) << "\" y=\"" << num(p.top)
        << "\" width=\"" << num(p.width()) << "\" height=\"" << num(p.height) << "\"/></clipPath></defs>\n";
    svg << "<rect x=\"" << num(p.left()) << "\" y=\"" << num(p.top) << "\" width=\"" << num(p.width())
        << "\" height=\"" << num(p.height) << "\" fill=\"#fafafa\" stroke=\"#444\"/>\n";
    for (double t : ticks(p.x0, p.x1)) {
        const double x = p.sx(t);
        svg << "<line x1=\"" << num(x) << "\" y1=\"" << num(p.top) << "\" x2=\"" << num(x) << "\" y2=\""
            << num(p.top + p.height) << "\" stroke=\"#e0e0e0\"/>\n";
        svg << "<text x=\"" << num(x) << "\" y=\"" << num(p.top + p.height + 16)
            << "\" text-anchor=\"middle\">" << label(t) << "</text>\n";
    }
    for (double t : ticks(p.y0, p.y1)) {
        const double y = p.sy(t);
        svg << "<line x1=\"" << num(p.left()) << "\" y1=\"" << num(y) << "\" x2=\"" << num(p.left() + p.width())
            << "\" y2=\"" << num(y) << "\" stroke=\"#e0e0e0\"/>\n";
        svg << "<text x=\"" << num(p.left() - 6) << "\" y=\"" << num(y + 4) << "\" text-anchor=\"end\">"
            << label(t) << "</text>\n";
    }
    svg << "<text x=\"" << num(p.left() + p.width() / 2) << "\" y=\"" << num(p.top + p.height + 34)
        << "\" text-anchor=\"middle\">" << escape(xlabel) << "</text>\n";
    const double cy = p.top + p.height / 2;
    svg << "<text x=\"20\" y=\"" << num(cy) << "\" text-anchor=\"middle\" transform=\"rotate(-90 20 " << num(cy)
        << ")\">" << escape(ylabel) << "</text>\n";
}

// A polyline through the finite points, broken where a value is missing.
void polyline(std::ostringstream& svg, const Panel& p, const std::vector<double>& xs, const std::vector<double>& ys,
              const std::vector<int>& keep, const char* colour, int id) {
    svg << "<path clip-path=\"url(#clip" << id << ")\" fill=\"none\" stroke=\"" << colour
        << "\" stroke-width=\"2\" d=\"";
    bool pen = false;
    for (std::size_t i = 0; i < xs.size(); ++i) {
        if (!keep[i] || !std::isfinite(ys[i])) {
            pen = false;
            continue;
        }
        // Values far outside the panel are drawn at its edge; the clip hides the rest.
        const double y = std::clamp(ys[i], p.y0 - (p.y1 - p.y0), p.y1 + (p.y1 - p.y0));
        svg << (pen ? " L" : " M") << num(p.sx(xs[i])) << ' ' << num(p.sy(y));
        pen = true;
    }
    svg << "\"/>\n";
}

Histogram histogram(const std::vector<double>& samples, double lo, double hi, bool discrete) {
    Histogram h;
    const double n = static_cast<double>(samples.size());
    if (samples.empty()) return h;
    double bin_width;
    double start;
    int bins;
    if (discrete) {
        // One bar per whole number, or whole numbers grouped into at most kMaxBins bars.
        const double whole = hi - lo + 1;
        bin_width = whole <= kMaxStems ? 1.0 : std::ceil(whole / kMaxBins);
        start = lo - 0.5;
        bins = static_cast<int>(std::ceil(whole / bin_width));
    } else {
        bins = std::clamp(static_cast<int>(std::lround(std::sqrt(n))), kMinBins, kMaxBins);
        bin_width = (hi - lo) / bins;
        start = lo;
    }
    if (!(bin_width > 0.0) || !std::isfinite(bin_width) || bins < 1) return h;
    std::vector<double> counts(static_cast<std::size_t>(bins), 0.0);
    for (double v : samples) {
        if (!std::isfinite(v)) continue;
        const double k = std::floor((v - start) / bin_width);
        if (k >= 0 && k < bins) counts[static_cast<std::size_t>(k)] += 1.0;
        else if (!discrete && v == hi) counts.back() += 1.0;
    }
    for (int k = 0; k < bins; ++k) {
        const double c = counts[static_cast<std::size_t>(k)];
        if (c == 0.0) continue;
        h.left.push_back(start + k * bin_width);
        h.width.push_back(bin_width);
        // Scaled as the density (or as mass per whole number), so it overlays the curve.
        h.height.push_back(c / (n * bin_width));
    }
    return h;
}


// The top of the density axis: the highest value drawn, the density at the
// mode and the histogram's bars. Only a curve that is highest at an end of
// the picture (a pole at a bound) is cut, at a multiple of its 95th percentile.
double density_top(const std::vector<double>& ys, const std::vector<int>& keep, double mode_peak, const Histogram& h) {
    std::vector<double> finite;
    std::size_t first = ys.size(), last = 0, highest = 0;
    for (std::size_t i = 0; i < ys.size(); ++i) {
        if (!keep[i] || !std::isfinite(ys[i]) || !(ys[i] > 0)) continue;
        finite.push_back(ys[i]);
        first = std::min(first, i);
        last = i;
        if (ys[i] > ys[highest] || !keep[highest] || !std::isfinite(ys[highest])) highest = i;
    }
    double top = mode_peak;
    if (!finite.empty()) {
        std::sort(finite.begin(), finite.end());
        const double high = finite.back();
        const bool at_end = highest == first || highest == last;
        const double p95 = finite[finite.size() * 95 / 100];
        top = std::max(top, at_end ? std::min(high, kPoleCut * p95) : high);
    }
    for (double v : h.height) top = std::max(top, v);
    return top > 0.0 && std::isfinite(top) ? top * 1.08 : 1.0;
}

}  // namespace picture

namespace {

using namespace picture;

// The density at the mode, where the library reports one and it is a finite value.
double peak_at_mode(const Session& session, const Summary& s) {
    for (const Statistic& st : s.statistics) {
        if (std::string_view(st.name) != "mode" || !st.value) continue;
        const std::vector<double> x{*st.value};
        const double y = session.evaluate(Function::pdf, x)[0];
        if (session.pdf_valid(x)[0] && std::isfinite(y) && y > 0) return y;
    }
    return 0.0;
}

}  // namespace

std::string render_svg(const PlotInput& in) {
    const Session& session = *in.session;
    const Summary& s = in.summary;
    const bool discrete = s.discrete;

    double lo = s.minimum;
    double hi = s.maximum;
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0.0;
    if (discrete && hi - lo + 1 > kMaxStems) {
        // Where the mass is: a wide range narrowed to its central quantiles.
        lo = std::max(lo, session.quantile(kTail));
        hi = std::min(hi, session.quantile(1.0 - kTail));
    }
    if (discrete && hi > lo) {
        // Whole numbers inside the range; a single value stays as it is.
        lo = std::ceil(lo);
        hi = std::max(lo, std::floor(hi));
    }
    double pad = (hi - lo) * kPadFraction;
    if (discrete) pad += 0.5;
    if (!(pad > 0.0)) pad = std::max(1.0, std::fabs(lo) * 0.1);
    // A continuous curve stops at a bound: the library evaluates its formulas
    // as written there, also outside the support.
    const double x0 = !discrete && s.lower == End::bound && hi > lo ? lo : lo - pad;
    const double x1 = !discrete && s.upper == End::bound && hi > lo ? hi : hi + pad;

    // Abscissae: every whole number of a short discrete range, else an even grid.
    const double whole_count = discrete ? hi - lo + 1 : 0;
    std::vector<double> xs;
    const bool stems = discrete && whole_count <= kMaxStems;
    if (stems) {
        for (int i = 0; i < static_cast<int>(whole_count); ++i) xs.push_back(lo + i);
    } else {
        const double a = discrete ? lo : x0;
        const double b = discrete ? hi : x1;
        for (int i = 0; i < kCurvePoints; ++i) {
            const double x = a + (b - a) * i / (kCurvePoints - 1);
            xs.push_back(discrete ? std::round(x) : x);
        }
    }
    const std::vector<double> dens = session.evaluate(Function::pdf, xs);
    const std::vector<int> valid = discrete ? std::vector<int>(xs.size(), 1) : session.pdf_valid(xs);

    Histogram hist;
    if (in.samples) hist = histogram(*in.samples, lo, hi, discrete);

    const double panel_top1 = 50;
    const double panel_h1 = 240;
    const double panel_top2 = 360;
    const double panel_h2 = 200;
    Panel top{panel_top1, panel_h1, x0, x1, 0.0, density_top(dens, valid, peak_at_mode(session, s), hist)};
    Panel bottom{panel_top2, panel_h2, x0, x1, 0.0, 1.0};

    std::ostringstream svg;
    open_svg(svg, in.title);

    const std::string what = discrete ? "probability mass" : "density";
    axes(svg, top, "x", what, 1);
    // The shown ranges, for programs that read the picture.
    svg << "<g id=\"ranges\" data-x0=\"" << label_exact(x0) << "\" data-x1=\"" << label_exact(x1)
        << "\" data-density-top=\"" << label_exact(top.y1) << "\"/>\n";
    bars(svg, top, hist, discrete, 1);
    if (stems) {
        for (std::size_t i = 0; i < xs.size(); ++i) {
            if (!std::isfinite(dens[i])) continue;
            const double y = std::clamp(dens[i], 0.0, top.y1);
            svg << "<line clip-path=\"url(#clip1)\" x1=\"" << num(top.sx(xs[i])) << "\" y1=\"" << num(top.sy(0))
                << "\" x2=\"" << num(top.sx(xs[i])) << "\" y2=\"" << num(top.sy(y))
                << "\" stroke=\"#1f5fbf\" stroke-width=\"2\"/>\n"
                << "<circle cx=\"" << num(top.sx(xs[i])) << "\" cy=\"" << num(top.sy(y))
                << "\" r=\"3\" fill=\"#1f5fbf\"/>\n";
        }
    } else {
        polyline(svg, top, xs, dens, valid, "#1f5fbf", 1);
    }
    // Legend.
    svg << "<line x1=\"" << num(kWidth - kRight - 200) << "\" y1=\"" << num(panel_top1 + 16) << "\" x2=\""
        << num(kWidth - kRight - 176) << "\" y2=\"" << num(panel_top1 + 16)
        << "\" stroke=\"#1f5fbf\" stroke-width=\"2\"/>\n"
        << "<text x=\"" << num(kWidth - kRight - 170) << "\" y=\"" << num(panel_top1 + 20) << "\">" << what
        << "</text>\n";
    if (in.samples) {
        svg << "<rect x=\"" << num(kWidth - kRight - 200) << "\" y=\"" << num(panel_top1 + 28)
            << "\" width=\"24\" height=\"10\" fill=\"#f4a460\" fill-opacity=\"0.55\" stroke=\"#c07030\"/>\n"
            << "<text x=\"" << num(kWidth - kRight - 170) << "\" y=\"" << num(panel_top1 + 38) << "\">"
            << in.samples->size() << " variates</text>\n";
    }

    axes(svg, bottom, "x", "cumulative probability", 2);
    if (discrete && whole_count <= kMaxSteps) {
        // A step function: flat between whole numbers, rising at each.
        std::vector<double> ks;
        for (int i = -1; i < static_cast<int>(whole_count); ++i) ks.push_back(lo + i);
        const std::vector<double> f = session.evaluate(Function::cdf, ks);
        // Below the lowest value of a bounded range nothing is left.
        const double start = s.lower == End::bound ? 0.0 : f[0];
        svg << "<path clip-path=\"url(#clip2)\" fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"2\" d=\"M"
            << num(bottom.sx(x0)) << ' ' << num(bottom.sy(std::clamp(start, -0.1, 1.1)));
        for (std::size_t i = 1; i < ks.size(); ++i) {
            svg << " H" << num(bottom.sx(ks[i])) << " V" << num(bottom.sy(std::clamp(f[i], -0.1, 1.1)));
        }
        svg << " H" << num(bottom.sx(x1)) << "\"/>\n";
    } else {
        // A wide discrete range: each cumulative value is a long sum, so fewer of them.
        std::vector<double> cx;
        const std::size_t stride = discrete ? kDiscreteCdfStride : 1;
        for (std::size_t i = 0; i < xs.size(); i += stride) cx.push_back(xs[i]);
        const std::vector<double> f = session.evaluate(Function::cdf, cx);
        polyline(svg, bottom, cx, f, std::vector<int>(cx.size(), 1), "#1f5fbf", 2);
    }
    svg << "</svg>\n";
    return svg.str();
}

std::string svg_number(double v) { return num(v); }
std::string svg_escape(const std::string& s) { return escape(s); }

}  // namespace kvzcalc
