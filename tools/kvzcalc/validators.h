// The checks kvzcalc's commands put on numbers given on the command line.
#pragma once

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace kvzcalc {

// A finite double.
inline const CLI::Validator kFinite(
    [](std::string& s) -> std::string {
        double v = 0.0;
        if (!CLI::detail::lexical_cast(s, v)) return "'" + s + "' is not a number";
        if (!std::isfinite(v)) return "'" + s + "' is not a finite number";
        return {};
    },
    "");

// Any double, infinities included.
inline const CLI::Validator kNumber(
    [](std::string& s) -> std::string {
        double v = 0.0;
        if (!CLI::detail::lexical_cast(s, v)) return "'" + s + "' is not a number";
        return {};
    },
    "");

// A probability: a number in [0, 1]; NaN is refused with the rest.
inline const CLI::Validator kProbability(
    [](std::string& s) -> std::string {
        double v = 0.0;
        if (!CLI::detail::lexical_cast(s, v)) return "'" + s + "' is not a number";
        if (!(v >= 0.0 && v <= 1.0)) return "'" + s + "' is not a probability in [0, 1]";
        return {};
    },
    "");

// Whole numbers in decimal only: the text is rewritten without leading zeros,
// which the default conversion would read as octal.
inline const CLI::Validator kDecimal(
    [](std::string& s) -> std::string {
        long long v = 0;
        const char* first = s.data() + (s.starts_with('+') ? 1 : 0);
        auto [end, ec] = std::from_chars(first, s.data() + s.size(), v);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return "'" + s + "' is not a whole number";
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
            return "'" + s + "' is out of the 32-bit integer range";
        s = std::to_string(v);
        return {};
    },
    "");

}  // namespace kvzcalc
