// The plot command's picture: density or mass above, cumulative distribution
// below, optionally a histogram of drawn variates over the density, as SVG.
#pragma once

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

}  // namespace kvzcalc
