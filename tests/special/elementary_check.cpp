// Prints, for one elementary function and a count, deterministic arguments
// across its range with the library's result and the C runtime's, all as
// hex bit patterns: "arg ours runtime" (pow: "x y ours runtime").
// elementary_ulps.py compares both with a high-precision reference.
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "special/elementary.h"

namespace {

std::uint64_t g_state = 0x9E3779B97F4A7C15ull;

std::uint64_t next() {  // xorshift64*
    g_state ^= g_state >> 12;
    g_state ^= g_state << 25;
    g_state ^= g_state >> 27;
    return g_state * 0x2545F4914F6CDD1Dull;
}

double uniform() { return static_cast<double>(next() >> 11) * 0x1p-53; }

// |x| log-uniform in [2^lo, 2^hi], sign chosen when both_signs.
double log_uniform(double lo, double hi, bool both_signs) {
    const double v = std::exp2(lo + (hi - lo) * uniform());
    return (both_signs && (next() & 1)) ? -v : v;
}

double pick(const std::string& f, std::uint64_t n) {
    const int kind = static_cast<int>(n % 4);
    if (f == "exp" || f == "expm1") {
        if (kind == 0) return -745.2 + 1455.0 * uniform();  // whole range
        if (kind == 1) return log_uniform(-60, 3, true);     // near 0
        if (kind == 2) return 709.0 + 0.79 * uniform();      // near overflow
        return (f == "exp") ? -745.2 + 37.0 * uniform() : -40.0 * uniform();  // subnormal results
    }
    if (f == "log") {
        if (kind == 0) return log_uniform(-1074, 1024, false);
        if (kind == 1) return 1.0 + log_uniform(-52, -1, true);  // near 1
        if (kind == 2) return 0.5 + 1.5 * uniform();
        return log_uniform(-1074, -1022, false);  // subnormal
    }
    if (f == "log1p") {
        if (kind == 0) return log_uniform(-60, 1023, false);
        if (kind == 1) return -log_uniform(-60, -0.000001, false);  // (-1, 0)
        if (kind == 2) return log_uniform(-30, 2, true);
        return -1.0 + log_uniform(-52, -1, false);  // just above -1
    }
    if (f == "sinh" || f == "cosh" || f == "asinh" || f == "sin" || f == "tan" ||
        f == "atan" || f == "erfc") {
        if (kind == 0) return log_uniform(-30, 9.4, true);
        if (kind == 1) return log_uniform(-1074, -30, true);
        return (f == "asinh" || f == "atan") ? log_uniform(-1, 1000, true)
                                             : -30.0 + 60.0 * uniform();
    }
    return 0.0;
}

using Fn = double (*)(double);

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s function count\n", argv[0]);
        return 2;
    }
    const std::string f = argv[1];
    const long count = std::strtol(argv[2], nullptr, 10);
    struct Entry {
        const char* name;
        Fn ours;
        Fn theirs;
    };
    const Entry table[] = {
        {"exp", kvz::elem::exp, [](double x) { return std::exp(x); }},
        {"expm1", kvz::elem::expm1, [](double x) { return std::expm1(x); }},
        {"log", kvz::elem::log, [](double x) { return std::log(x); }},
        {"log1p", kvz::elem::log1p, [](double x) { return std::log1p(x); }},
        {"erfc", kvz::elem::erfc, [](double x) { return std::erfc(x); }},
        {"sin", kvz::elem::sin, [](double x) { return std::sin(x); }},
        {"tan", kvz::elem::tan, [](double x) { return std::tan(x); }},
        {"atan", kvz::elem::atan, [](double x) { return std::atan(x); }},
        {"sinh", kvz::elem::sinh, [](double x) { return std::sinh(x); }},
        {"cosh", kvz::elem::cosh, [](double x) { return std::cosh(x); }},
        {"asinh", kvz::elem::asinh, [](double x) { return std::asinh(x); }},
    };
    auto hex = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    if (f == "pow") {
        for (long n = 0; n < count; ++n) {
            const double x = (n % 3 == 0) ? 1.0 + log_uniform(-40, -1, true)
                                          : log_uniform(-20, 20, n % 3 == 2);
            const double y = (n % 3 == 2) ? std::floor(log_uniform(0, 6, true))
                                          : log_uniform(-10, 8, true);
            std::printf("%016" PRIx64 " %016" PRIx64 " %016" PRIx64 " %016" PRIx64 "\n", hex(x),
                        hex(y), hex(kvz::elem::pow(x, y)), hex(std::pow(x, y)));
        }
        return 0;
    }
    for (const Entry& e : table) {
        if (f != e.name) continue;
        for (long n = 0; n < count; ++n) {
            const double x = pick(f, static_cast<std::uint64_t>(n));
            std::printf("%016" PRIx64 " %016" PRIx64 " %016" PRIx64 "\n", hex(x), hex(e.ours(x)),
                        hex(e.theirs(x)));
        }
        return 0;
    }
    std::fprintf(stderr, "unknown function %s\n", argv[1]);
    return 2;
}
