// Type routines of the discrete base types, with the two searches over the
// probability mass: the upper end of the unbounded types and the
// hypergeometric mode.
#include <cmath>
#include <limits>

#include "eval/eval.h"
#include "eval/log_mass.h"
#include "eval/masses.h"
#include "init/routines.h"
#include "interface/catalogue.h"
#include "special/elementary.h"

namespace kvz {

void upper_bound_search(DistSlot& s, double start, bool admissible) {
    s.minimum = start;
    s.maximum = start;
    if (admissible) s.maximum = search_end(s, start, 0.0);
}

// A mass below this share of the best one ends the mode search.
constexpr double kModeSearchMargin = 0.999;

void mode_search(DistSlot& s) {
    s.dmode = s.minimum;
    double best = density(s, s.minimum);
    // Zero masses below the peak never beat `best`: the search starts at the
    // first positive one, else right after `minimum` (its whole part).
    const double first_mass = skip_zero_masses(s, s.minimum, s.maximum);
    const double k = first_mass > s.minimum ? first_mass : std::trunc(s.minimum + 1);
    // The hypergeometric mass rises to its peak and falls after it. Near a
    // wide peak the computed masses carry rounding noise of about 1e-6 of
    // themselves, so the search goes on past the first fall and stops only
    // once a mass is well below `best`: no later value can beat it then.
    const WalkEnd end = walk_masses_up(s, {k, s.maximum}, {}, [&](double v, double d) {
        if (d > best) {
            s.dmode = v;
            best = d;
        } else if (d < best * kModeSearchMargin) {
            return Flow::done;
        }
        return Flow::more;
    });
    // A peak not reached within the walk's bound is not known.
    if (end == WalkEnd::bound) {
        s.dmode = std::numeric_limits<double>::quiet_NaN();
        s.mod_exists = 0;
    }
}

namespace {

// --- 1 degenerate: one value, no working values; a cut keeps it or leaves the cut point ---
void degenerate_statistics(DistSlot& s) {
    const double value = degenerate_value(s);
    s.dminimum = value;
    s.dmaximum = value;
    s.dmean = value;
    s.dmode = value;
    s.dmedian = value;
    s.dvariance = 0;
    s.dstdev = 0;
}

// --- 6 Poisson ---
// Beyond 2^53 consecutive whole numbers are no longer distinct doubles: a
// Poisson mean that large has no range of whole numbers to search.
constexpr double kWholeNumberLimit = 9007199254740992.0;

void poisson_working(DistSlot& s) {
    upper_bound_search(s, 0, s.mean >= 0 && s.mean < kWholeNumberLimit);
}
void poisson_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dmode = std::ceil(s.mean) - 1;  // a whole mean has two modes: the lower one
    s.dvariance = s.mean;
    s.dstdev = std::sqrt(s.mean);
    s.dskewness = elem::pow(s.mean, -0.5);
    s.dkurtosis = 1 / s.mean + 3;
}

// --- 7 geometric (failures before the first success) ---
void geometric_working(DistSlot& s) { upper_bound_search(s, 0, s.p > 0 && s.p <= 1); }
void geometric_statistics(DistSlot& s) {
    const double p = s.p;
    s.dmean = (1 - p) / p;
    s.dmode = 0;
    s.dvariance = (1 - p) / (p * p);
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = (2 - p) / std::sqrt(1 - p);
    s.dkurtosis = p * p / (1 - p) + 9;
}

// --- 9 binomial ---
void binomial_working(DistSlot& s) {
    s.minimum = 0;
    s.maximum = s.n;
}
void binomial_statistics(DistSlot& s) {
    const double n = s.n, p = s.p;
    s.dmean = n * p;
    s.dmode = std::ceil((n + 1) * p - 1);  // n + 1 is exact in a double
    s.dvariance = n * p * (1 - p);
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = (1 - 2 * p) / std::sqrt(n * p * (1 - p));
    s.dkurtosis = 3 - 6 / n + 1 / (n * p * (1 - p));
}

// --- 17 hypergeometric: sample n from N holding K successes ---
void hypergeometric_working(DistSlot& s) {
    const double big_n = s.pop, k = s.popsuc, n = s.sam;
    const double lowest = n - big_n + k;
    s.minimum = lowest > 0 ? lowest : 0;
    s.maximum = k < n ? k : n;
}
void hypergeometric_statistics(DistSlot& s) {
    const double big_n = s.pop, k = s.popsuc, n = s.sam;
    s.dmean = n * k / big_n;
    mode_search(s);
    s.dvariance = n * k * (1 - k / big_n) * (big_n - n) / big_n / (big_n - 1);
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = std::sqrt(big_n - 1) * (big_n - 2 * k) * (big_n - 2 * n) /
                  std::sqrt(n * k * (big_n - k) * (big_n - n)) / (big_n - 2);
    const double moments = 3 * n * (big_n - n) * (big_n + 6) / (big_n * big_n) +
                           (big_n * (big_n + 1) - 6 * n * (big_n - n)) / (k * (big_n - k)) - 6;
    s.dkurtosis = moments * (big_n * big_n) * (big_n - 1) /
                  (n * (big_n - 2) * (big_n - 3) * (big_n - n));
}

// --- 20 logarithmic series ---
double log_series_norm(double theta) { return -1 / log_one_minus(theta); }
void log_series_working(DistSlot& s) {
    upper_bound_search(s, 1, s.shape_a > 0 && s.shape_a < 1);
}
void log_series_statistics(DistSlot& s) {
    const double theta = s.shape_a;
    const double t = log_series_norm(theta) * theta;
    s.dmean = t / (1 - theta);
    s.dmode = 1;
    s.dvariance = t * (1 - t) / ((1 - theta) * (1 - theta));
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = (1 + theta - 3 * t + 2 * (t * t)) / (std::sqrt(t) * elem::pow(1 - t, 1.5));
    s.dkurtosis = (1 + 4 * theta + theta * theta - 4 * t * (1 + theta) + 6 * (t * t) -
                   3 * (t * t * t)) /
                  (t * ((1 - t) * (1 - t)));
}

// --- 28 discrete uniform on minimum..maximum ---
void discrete_uniform_working(DistSlot& s) { s.range = s.maximum - s.minimum; }
void discrete_uniform_statistics(DistSlot& s) {
    const double r = s.range;
    s.dmean = (s.minimum + s.maximum) / 2;
    s.dvariance = (r + 2) * r / 12;
    s.dstdev = std::sqrt(s.dvariance);
    s.dskewness = 0;
    s.dkurtosis = 0.6 * (3 - 4 / (r * (r + 2)));
}

// The two normal approximations report the normal's moments.
void discretised_normal_statistics(DistSlot& s) {
    s.dmean = s.mean;
    s.dmode = s.mean;
    s.dmedian = s.mean;  // stored although the median flag is clear
    s.dvariance = s.stdev * s.stdev;
    s.dstdev = s.stdev;
    s.dskewness = 0;
    s.dkurtosis = 3;
}

// --- 30 normal approximation to the binomial ---
void normal_binomial_working(DistSlot& s) {
    const double n = s.n;
    s.mean = n * s.p;
    s.stdev = std::sqrt(n * s.p * (1 - s.p));
    s.minimum = 0;
    s.maximum = n;
}

// --- 31 normal approximation to the Poisson ---
// The inverse already answers a whole number; the upper end is made whole
// again (toward zero) as a double, so large means cannot overflow an int.
void normal_poisson_working(DistSlot& s) {
    s.stdev = std::sqrt(s.mean);
    s.minimum = 0;
    s.maximum = made_whole(inverse(s, kRangeHighProbability));
}

}  // namespace

TypeRoutine discrete_routine(int base) {
    switch (base) {
        case kDegenerate: return {nullptr, degenerate_statistics};
        case kPoisson: return {poisson_working, poisson_statistics};
        case kGeometric: return {geometric_working, geometric_statistics};
        case kBinomial: return {binomial_working, binomial_statistics};
        case kHypergeometric: return {hypergeometric_working, hypergeometric_statistics};
        case kLogSeries: return {log_series_working, log_series_statistics};
        case kDiscreteUniform: return {discrete_uniform_working, discrete_uniform_statistics};
        case kNormalBinomial: return {normal_binomial_working, discretised_normal_statistics};
        case kNormalPoisson: return {normal_poisson_working, discretised_normal_statistics};
        default: return {nullptr, nullptr};
    }
}

}  // namespace kvz
