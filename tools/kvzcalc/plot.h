// The plot command's picture: density or mass above, cumulative distribution
// below, optionally a histogram of drawn variates over the density, as SVG;
// and the pieces the pictures of the plot and fit commands share.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "session.h"

namespace kvzcalc {

struct PlotInput {
    std::string title;
    const Session* session = nullptr;
    Summary summary;
    const std::vector<double>* samples = nullptr;  // null: no histogram
};

std::string render_svg(const PlotInput& in);

// A coordinate as the pictures write it, and text made safe for SVG.
std::string svg_number(double v);
std::string svg_escape(const std::string& s);

namespace picture {

// Picture geometry, in SVG user units.
inline constexpr double kWidth = 820;
inline constexpr double kHeight = 620;
inline constexpr double kLeft = 80;
inline constexpr double kRight = 30;
inline constexpr double kTitleY = 28;

// A panel of a picture: where it stands and the ranges of data it shows.
struct Panel {
    double top;
    double height;
    double x0, x1;  // data range shown
    double y0, y1;
    double left_edge = kLeft;
    double panel_width = kWidth - kLeft - kRight;

    double left() const { return left_edge; }
    double width() const { return panel_width; }
    double sx(double x) const { return left() + (x - x0) / (x1 - x0) * width(); }
    double sy(double y) const { return top + height - (y - y0) / (y1 - y0) * height; }
};

// Bars over a range: each bar's left end, width and height, scaled as a
// density (or as mass per whole number) so that they overlay the curve.
struct Histogram {
    std::vector<double> left, width, height;
};

// Bins the finite samples in [lo, hi]: a bar per whole number (or groups of
// them) for discrete data, about sqrt(n) bars otherwise.
Histogram histogram(const std::vector<double>& samples, double lo, double hi, bool discrete);

// The picture's opening and white ground, with its title on top.
void open_svg(std::ostringstream& svg, const std::string& title);
// A panel's frame, grid, tick labels and axis names; id names its clip path.
void axes(std::ostringstream& svg, const Panel& p, const std::string& xlabel, const std::string& ylabel, int id);
// A polyline through the finite points that keep marks, broken where a value is missing.
void polyline(std::ostringstream& svg, const Panel& p, const std::vector<double>& xs, const std::vector<double>& ys,
              const std::vector<int>& keep, const char* colour, int id);
// The histogram's bars inside the panel with clip path id.
void bars(std::ostringstream& svg, const Panel& p, const Histogram& h, bool discrete, int id);
// The top of a density axis for a curve, the density at the mode and the bars
// (a curve highest at an end of the picture is cut at a multiple of its 95th
// percentile).
double density_top(const std::vector<double>& ys, const std::vector<int>& keep, double mode_peak, const Histogram& h);

}  // namespace picture

}  // namespace kvzcalc
