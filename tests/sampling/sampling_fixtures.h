// Shared helpers of the sampling tests: prepared slots and goodness-of-fit
// statistics.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "eval/eval.h"
#include "init/init.h"
#include "interface/catalogue.h"
#include "sampling/sampling.h"

namespace kvz::testing {

using Field = std::pair<double DistSlot::*, double>;

// A slot as a host sets it up: type, inputs and truncation.
struct SlotSetup {
    int dtype;
    std::vector<Field> fields;
    int n = 0;
    bool t_min_on = false;
    double t_min = 0.0;
    bool t_max_on = false;
    double t_max = 0.0;
};

// The record is large (two 2000-entry tables): keep it off the stack.
inline std::unique_ptr<DistSlot> initialised(const SlotSetup& setup) {
    auto s = std::make_unique<DistSlot>();
    s->dtype = setup.dtype;
    s->n = setup.n;
    for (const auto& [field, value] : setup.fields) (*s).*field = value;
    s->t_min_flag = setup.t_min_on ? 1 : 0;
    s->t_min = setup.t_min;
    s->t_max_flag = setup.t_max_on ? 1 : 0;
    s->t_max = setup.t_max;
    dinitialise(*s);
    return s;
}

inline std::unique_ptr<DistSlot> prepared(const SlotSetup& setup) {
    auto s = initialised(setup);
    precalc(*s);
    return s;
}

inline std::vector<double> draws(DistSlot& s, int count) {
    std::vector<double> v(count);
    for (auto& x : v) x = dvalue(s);
    return v;
}

// Kolmogorov-Smirnov distance between the sample and a continuous F.
inline double ks_distance(std::vector<double> v, const std::function<double(double)>& F) {
    std::sort(v.begin(), v.end());
    const double n = static_cast<double>(v.size());
    double d = 0.0;
    for (size_t i = 0; i < v.size(); ++i) {
        const double f = F(v[i]);
        d = std::max({d, std::fabs((i + 1) / n - f), std::fabs(f - i / n)});
    }
    return d;
}
// sqrt(N) * D below this: the 0.001 critical value of the Kolmogorov distribution.
constexpr double kKsCritical = 1.95;

// Chi-square statistic of whole-number draws against the masses `mass(v)`
// over [first, last]; neighbouring values are pooled until each cell expects
// at least 5 draws, and the mass above `last` joins the last cell.
struct ChiSquare {
    double statistic;
    int cells;
    bool outside_range;  // a draw was not a whole number in [first, last]
};
inline ChiSquare chi_square(const std::vector<double>& v, double first, double last,
                            const std::function<double(double)>& mass) {
    std::map<double, int> counts;
    bool outside = false;
    for (double x : v) {
        if (x != std::floor(x) || x < first || x > last) outside = true;
        ++counts[x];
    }
    const double n = static_cast<double>(v.size());
    std::vector<std::pair<double, double>> cells;  // (expected, observed)
    double expected = 0.0, observed = 0.0, covered = 0.0;
    for (double k = first; k <= last; k += 1.0) {
        const double p = mass(k);
        covered += p;
        expected += p * n;
        observed += counts.count(k) ? counts[k] : 0;
        if (expected >= 5.0) {
            cells.push_back({expected, observed});
            expected = observed = 0.0;
        }
    }
    // Draws beyond the table's last value are drawn as that value: the mass
    // above `last` belongs to the last cell.
    const double beyond = std::max(0.0, 1.0 - covered) * n;
    if (cells.empty() || expected >= 5.0) {
        cells.push_back({expected, observed});
    } else {
        cells.back().first += expected;
        cells.back().second += observed;
    }
    cells.back().first += beyond;
    ChiSquare r{0.0, static_cast<int>(cells.size()), outside};
    for (auto [e, o] : cells) r.statistic += (o - e) * (o - e) / e;
    return r;
}
// The 1e-4 upper quantile of chi-square with `df` degrees of freedom
// (Wilson-Hilferty approximation).
inline double chi_square_critical(int df) {
    const double z = 3.719;
    const double k = static_cast<double>(df);
    const double t = 1.0 - 2.0 / (9.0 * k) + z * std::sqrt(2.0 / (9.0 * k));
    return k * t * t * t;
}

}  // namespace kvz::testing
