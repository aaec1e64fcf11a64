// plot-correlated's picture: a k x k grid of panels, histograms on the
// diagonal, scatter plots of each pair off it, the rank correlation reached
// written in every pair's panel.
#include <algorithm>
#include <cmath>
#include <sstream>

#include "correlated.h"
#include "plot.h"

namespace kvzcalc {

namespace {

constexpr double kMargin = 60;      // room for the names left and on top
constexpr double kGap = 6;          // between panels
constexpr double kGridSize = 900;   // the grid's side
constexpr double kMaxPanel = 220;   // a panel's side at most
constexpr int kBins = 20;           // histogram bars
constexpr int kMaxPoints = 2000;    // points drawn per scatter plot
// Each axis shows the values between these order statistics, so that a
// heavy tail does not squeeze the rest into a corner.
constexpr double kLowQuantile = 0.005;
constexpr double kHighQuantile = 0.995;

struct Range {
    double lo;
    double hi;
    bool contains(double v) const { return v >= lo && v <= hi; }
    double at(double v) const { return hi > lo ? (v - lo) / (hi - lo) : 0.5; }  // 0..1
};

Range shown_range(std::vector<double> v) {
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return !std::isfinite(x); }), v.end());
    if (v.empty()) return {0.0, 1.0};
    std::sort(v.begin(), v.end());
    const auto pick = [&](double q) { return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))]; };
    return {pick(kLowQuantile), pick(kHighQuantile)};
}

std::vector<double> column(const CorrelatedSample& s, std::size_t k, std::size_t j) {
    std::vector<double> c;
    for (std::size_t i = j; i < s.values.size(); i += k) c.push_back(s.values[i]);
    return c;
}

void histogram(std::ostringstream& svg, const std::vector<double>& v, const Range& r, double x0, double y0,
               double side) {
    std::vector<int> counts(kBins, 0);
    for (double x : v) {
        if (!r.contains(x)) continue;
        counts[static_cast<std::size_t>(std::min(kBins - 1, static_cast<int>(r.at(x) * kBins)))] += 1;
    }
    const int top = std::max(1, *std::max_element(counts.begin(), counts.end()));
    const double width = side / kBins;
    for (int b = 0; b < kBins; ++b) {
        const double h = side * 0.9 * counts[static_cast<std::size_t>(b)] / top;
        svg << "<rect x=\"" << svg_number(x0 + b * width) << "\" y=\"" << svg_number(y0 + side - h) << "\" width=\""
            << svg_number(width) << "\" height=\"" << svg_number(h)
            << "\" fill=\"#f4a460\" stroke=\"#c07030\" stroke-width=\"0.5\"/>\n";
    }
}

void scatter(std::ostringstream& svg, const std::vector<double>& xs, const std::vector<double>& ys, const Range& rx,
             const Range& ry, double x0, double y0, double side) {
    const std::size_t count = std::min(xs.size(), static_cast<std::size_t>(kMaxPoints));
    svg << "<g fill=\"#1f5fbf\" fill-opacity=\"0.35\">\n";
    for (std::size_t i = 0; i < count; ++i) {
        if (!rx.contains(xs[i]) || !ry.contains(ys[i])) continue;
        svg << "<circle cx=\"" << svg_number(x0 + rx.at(xs[i]) * side) << "\" cy=\""
            << svg_number(y0 + side - ry.at(ys[i]) * side) << "\" r=\"1.5\"/>\n";
    }
    svg << "</g>\n";
}

std::string correlation_label(double rho) {
    if (std::isnan(rho)) return "rank corr. -";
    char buf[32];
    std::snprintf(buf, sizeof buf, "rank corr. %.3f", rho);
    return buf;
}

}  // namespace

std::string render_correlated_svg(const Model& model, const CorrelatedSample& sample) {
    const std::size_t k = model.names.size();
    const double side = std::min(kMaxPanel, (kGridSize - kGap * static_cast<double>(k - 1)) / static_cast<double>(k));
    const double size = kMargin + static_cast<double>(k) * (side + kGap) + kGap;
    std::vector<std::vector<double>> columns;
    std::vector<Range> ranges;
    for (std::size_t j = 0; j < k; ++j) {
        columns.push_back(column(sample, k, j));
        ranges.push_back(shown_range(columns.back()));
    }

    std::ostringstream svg;
    svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << svg_number(size) << "\" height=\""
        << svg_number(size) << "\" viewBox=\"0 0 " << svg_number(size) << ' ' << svg_number(size)
        << "\" font-family=\"sans-serif\" font-size=\"11\">\n"
        << "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n"
        << "<text x=\"" << svg_number(size / 2) << "\" y=\"20\" text-anchor=\"middle\" font-size=\"14\">"
        << sample.n << " correlated draws</text>\n";
    for (std::size_t i = 0; i < k; ++i) {
        const double y0 = kMargin + static_cast<double>(i) * (side + kGap);
        svg << "<text x=\"" << svg_number(kMargin - 6) << "\" y=\"" << svg_number(y0 + side / 2)
            << "\" text-anchor=\"end\">" << svg_escape(model.names[i]) << "</text>\n";
        for (std::size_t j = 0; j < k; ++j) {
            const double x0 = kMargin + static_cast<double>(j) * (side + kGap);
            if (i == 0) {
                svg << "<text x=\"" << svg_number(x0 + side / 2) << "\" y=\"" << svg_number(kMargin - 8)
                    << "\" text-anchor=\"middle\">" << svg_escape(model.names[j]) << "</text>\n";
            }
            svg << "<rect x=\"" << svg_number(x0) << "\" y=\"" << svg_number(y0) << "\" width=\"" << svg_number(side)
                << "\" height=\"" << svg_number(side) << "\" fill=\"#fafafa\" stroke=\"#444\"/>\n";
            if (i == j) {
                histogram(svg, columns[i], ranges[i], x0, y0, side);
                continue;
            }
            scatter(svg, columns[j], columns[i], ranges[j], ranges[i], x0, y0, side);
            svg << "<text x=\"" << svg_number(x0 + 4) << "\" y=\"" << svg_number(y0 + 13) << "\">"
                << correlation_label(sample.achieved[i * k + j]) << "</text>\n";
        }
    }
    svg << "</svg>\n";
    return svg.str();
}

}  // namespace kvzcalc
