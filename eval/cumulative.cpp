// Cumulative distribution of an initialised slot: closed forms, the special
// functions, sums of the probability mass and, for the exponential power
// type, the integral of the density.
#include <cmath>
#include <limits>
#include <optional>

#include "eval/eval.h"
#include "eval/masses.h"
#include "eval/rules.h"
#include "interface/catalogue.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {


using SumCheckpoints = MassCheckpoints<kSumCheckpoints>;

// Where a sum up to r.last begins: at the slot's furthest checkpoint at or
// below r.last, or at the terminal state once the recorded walk has ended
// there; else at `origin`, the first mass that has not underflowed. The
// checkpoints are started afresh when they belong to other inputs or another
// origin. `at_frontier` tells whether the sum continues the last entry, so
// that it may record further ones.
MassSumState checkpoint_start(const DistSlot& s, SumCheckpoints& book, const WholeRange& r, double origin,
                              bool& at_frontier) {
    if (!checkpoints_hold(s, book, r.first, origin)) restart_checkpoints(s, book, r.first, origin, origin);
    MassSumState state;
    state.next = origin;
    at_frontier = false;
    if (book.ended && r.last >= book.end_value) {
        state.sum = book.end_sum;
        state.ended = true;
        return state;
    }
    int j = static_cast<int>(std::fmin(std::floor((r.last - origin + 1) / book.stride) - 1, book.count - 1));
    at_frontier = j == book.count - 1;
    if (j < 0) return state;
    state.walked = checkpoint_walked(book, j);
    state.next = origin + state.walked;
    state.sum = book.sum[j];
    state.previous = density_across_cut(s, state.next - 1);
    return state;
}

// Sum of the masses at the whole numbers from `start` up to x, within the
// slot's support, divided by t_factor once. It begins at the first mass that
// has not underflowed to zero and ends once later masses cannot change it
// (see walk_masses_up), with the value the endless sum would reach. A sum
// that would need more than kMaxMassTerms masses (parameters whose masses stay
// tiny and flat, such as a geometric p of 1e-300) is not a number. With a
// cursor, the sum continues the one its lower state holds (taken at a point
// at or below x) and leaves its own state in `reached`; or, with checkpoints
// and no lower state, it continues the furthest checkpoint below x, recording
// further ones as it goes: the same additions in the same order either way.
double mass_sum(const DistSlot& s, double start, double x, MassCursor* cursor) {
    WholeRange r = whole_range(s, start, x);
    if (r.first < start) r.first = start;
    WalkRules rules{.skip_zeros = true, .settle = true, .two_zeros = true};
    double sum = 0;
    const MassSumState* from = cursor ? &cursor->lower : nullptr;
    SumCheckpoints* book = cursor ? cursor->checkpoints : nullptr;
    bool at_frontier = false;
    MassSumState resumed;
    bool resume = false;
    if (from && from->walked > 0 && x >= from->at) {
        resumed = *from;
        resume = true;
    } else if (book) {
        const double origin = skip_zero_masses(s, r.first, r.last);
        if (origin <= r.last) {
            resumed = checkpoint_start(s, *book, r, origin, at_frontier);
            resume = true;
        } else {
            book = nullptr;
        }
    } else {
        book = nullptr;
    }
    bool ended = false;
    if (resume) {
        sum = resumed.sum;
        ended = resumed.ended;
        r.first = resumed.next;
        rules.skip_zeros = false;
        rules.previous = resumed.previous;
        rules.walked = resumed.walked;
    }
    double next = r.first;
    double previous = rules.previous;
    double walked = rules.walked;
    WalkEnd end = WalkEnd::settled;
    if (!ended) {
        std::optional<CheckpointRecorder<kSumCheckpoints>> recorder;
        if (book) recorder.emplace(*book, at_frontier);
        end = walk_masses_up(s, r, rules, [&](double v, double mass) {
            next = v + 1;
            previous = mass;
            walked += 1;
            const Flow flow = add_mass(sum, mass);
            if (recorder) recorder->visit(sum, mass);
            return flow;
        });
        if (recorder && (end == WalkEnd::settled || end == WalkEnd::undefined)) recorder->end(next - 1, sum);
    }
    if (cursor) cursor->reached = {x, next, sum, previous, walked, end != WalkEnd::range};
    if (end == WalkEnd::bound) return std::numeric_limits<double>::quiet_NaN();
    return untruncated_total(s, sum);
}

// Whether the sum of a geometric's masses from 0 to x would end on the walks'
// bound, known without walking: the range holds more masses than the bound
// allows, and with p below 1e-5 the sum cannot settle first. Settling at the
// k-th mass needs p (1-p)^k below 2^-52 of the sum, which is at most
// (k+1) p, so (1-p)^k < 2^-52 (k+1): with k within the bound (about 1.84e6)
// that takes k (-ln(1-p)) > 21.6, out of reach while p < 1.17e-5.
bool geometric_beyond_reach(const DistSlot& s, double x) {
    return s.dtype == kGeometric && s.p > 0 && s.p < 1e-5 && std::floor(x) + 1 > 2 * kMaxMassTerms;
}

double clamp_unit(double v) {
    if (v < 0) return 0;
    if (v > 1) return 1;
    return v;
}

double triangular_cumulative(const DistSlot& s, double x) {
    if (x <= s.minimum) return 0;
    if (x >= s.maximum) return 1;
    if (x == s.mode) return (s.mode - s.minimum) / (s.maximum - s.minimum);
    if (x < s.mode)
        return (x - s.minimum) * (x - s.minimum) / (s.maximum - s.minimum) / (s.mode - s.minimum);
    return 1 - (s.maximum - x) * (s.maximum - x) / (s.maximum - s.minimum) / (s.maximum - s.mode);
}

// How far from the centre the exponential power's integral runs: beyond
// |x − mean| / scale = 92^(a/2) the density's kernel exp(−z^(2/a) / 2) is below
// e^−46 (about 1e-20), far under what the integration resolves, while a
// longer stretch only coarsens its strips (integrated out to x = 100, shape
// 1.5 summed to 1.00003; out to 1e10, to 1.6e6). Values within it keep their bits.
double exp_power_reach(const DistSlot& s) { return s.scale * elem::pow(92.0, s.shape_a / 2); }

// The exponential power type is symmetric about `mean`: half the mass lies on
// each side, the rest is the integral of the density from the centre, out to
// the reach at most, and a probability.
double exp_power_cumulative(const DistSlot& s, double x) {
    if (x == s.mean) return 0.5;
    const double reach = exp_power_reach(s);
    if (x > s.mean) return clamp_unit(0.5 + untruncated_total(s, integrate_density(s, s.mean, std::fmin(x, s.mean + reach))));
    return clamp_unit(0.5 - untruncated_total(s, integrate_density(s, std::fmax(x, s.mean - reach), s.mean)));
}

// ln Γ(a) stored in the slot when it belongs to its shape (the same bits),
// else worked out here.
double stored_gamma_log(const DistSlot& s) {
    return stored_for_shape(s, s.gamma_log_set, s.gamma_log_shape) ? s.gamma_log : log_gamma(s.shape_a);
}

// Φ(s(x/μ − 1)) + exp(2λ/μ) Φ(−s(x/μ + 1)) with s = √(λ/x). The second term
// pairs a huge exponential with a tiny tail that underflows long before the
// product does (at λ/μ = 1000 the tail at the mean is about 1e-871): the
// tail's logarithm is added to the exponent instead.
double inverse_gaussian_cumulative(const DistSlot& s, double x) {
    if (x <= 0) return 0;
    const double r = std::sqrt(s.scale / x);
    return normal_integral(r * (x / s.mean - 1)) +
           elem::exp(2 * s.scale / s.mean + log_normal_tail(r * (x / s.mean + 1)));
}

double student_t_cumulative(const DistSlot& s, double x) {
    const double a = s.shape_a;
    const double r = a / (x * x + a);
    if (x >= 0) return 1 - betai(a / 2, 0.5, r) / 2;
    return betai(a / 2, 0.5, r) / 2;
}

// The cumulative probability of the untruncated distribution of base type `base`.
// A cursor, where given, carries the sums of masses from call to call.
double cumulative_formula(const DistSlot& s, int base, double x, MassCursor* cursor) {
    switch (base) {
        case kDegenerate:
            return 1;
        case kUniform:
            if (x <= s.minimum) return 0;
            if (x >= s.maximum) return 1;
            return (x - s.minimum) / s.range;
        case kTriangular:
            return triangular_cumulative(s, x);
        case kNormal:
            return normal_integral((x - s.mean) / s.stdev);
        case kExponential:
            return 1 - elem::exp(-x / s.mean);
        case kBinomial: {
            if (geometric_beyond_reach(s, x)) {
                if (cursor) cursor->reached = {};
                return geometric_closed_cumulative(s.p, x);
            }
            const double sum = mass_sum(s, 0, x, cursor);
            // A geometric sum out of the walk's reach has a closed form.
            if (std::isnan(sum) && s.dtype == kGeometric && s.p > 0 && s.p < 1) {
                return geometric_closed_cumulative(s.p, x);
            }
            return clamp_unit(sum);
        }
        case kPareto:
            return 1 - elem::pow(s.mode / x, s.shape_a);
        case kBeta:
            if (x <= s.minimum) return 0;
            if (x >= s.maximum) return 1;
            return betai(s.shape_a, s.shape_b, (x - s.minimum) / (s.maximum - s.minimum));
        case kGamma:
            if (x <= 0) return 0;
            return incomplete_gamma_given(s.shape_a, x / s.scale, stored_gamma_log(s));
        case kCauchy:
            return elem::atan((x - s.mean) / s.scale) / kPi + 0.5;
        case kExpPower:
            return exp_power_cumulative(s, x);
        case kGumbel:
            return elem::exp(-elem::exp(-(x - s.mode) / s.scale));
        case kWeibull:
            if (x <= s.minimum) return 0;
            return 1 - elem::exp(-elem::pow((x - s.minimum) / s.scale, s.shape_a));
        case kLaplace: {
            const double h = elem::exp(-std::fabs(x - s.mean) / s.scale) / 2;
            return x >= s.mean ? 1 - h : h;
        }
        case kLogSeries:
            return mass_sum(s, 1, x, cursor);
        case kLogistic:
            return 1 - 1 / (1 + elem::exp((x - s.mean) * kPi / std::sqrt(3.0) / s.stdev));
        case kLognormal:
            // No mass at or below 0 (the logarithm of a negative x has no value).
            if (x <= 0) return 0;
            return normal_integral((elem::log(x) - s.lmean) / s.lstdev);
        case kPowerFunction:
            if (x <= s.minimum) return 0;
            if (x >= s.maximum) return 1;
            return elem::pow((x - s.minimum) / s.range, s.shape_a);
        case kRayleigh:
            return 1 - elem::exp(-((x / s.scale) * (x / s.scale)) / 2);
        case kDiscreteUniform:
            return (x - s.minimum + 1) / (s.maximum - s.minimum + 1);
        case kInverseGaussian:
            return inverse_gaussian_cumulative(s, x);
        case kStudentT:
            return student_t_cumulative(s, x);
        default:
            return 0;
    }
}

// The formula's value through the truncation transform, without the rules
// for values outside the support and the cut. The normal approximation to
// the binomial centres each whole number's unit step on it; the one to the
// Poisson ends the step there. A cursor, where given, carries the sums of
// masses from call to call.
double transformed_formula(const DistSlot& s, double x, MassCursor* cursor) {
    if (s.dtype == kNormalBinomial) x = x + 0.5;
    return truncated_cumulative(s, x, cumulative_formula(s, kCumulativeAlias(s.dtype), x, cursor));
}

// Below or above: 0 or 1 (a cursor then holds no sum to continue); inside:
// the transformed formula.
double cumulative_at(const DistSlot& s, Place place, double x, MassCursor* cursor) {
    if (place != Place::inside) {
        if (cursor) cursor->reached = {};
        return place == Place::below ? 0 : 1;
    }
    return transformed_formula(s, x, cursor);
}

}  // namespace

void store_gamma_log(DistSlot& s) {
    s.gamma_log_shape = s.shape_a;
    s.gamma_log = log_gamma(s.shape_a);
    s.gamma_log_set = 1;
}

double cumulative(const DistSlot& s, double x) {
    return cumulative_at(s, place_of(s, x), x, nullptr);
}

double cumulative_across_cut(const DistSlot& s, double x) {
    return cumulative_at(s, place_in_support(s, x), x, nullptr);
}

double cumulative_kept(DistSlot& s, double x) {
    MassCursor cursor;
    cursor.checkpoints = &s.sum_checkpoints;
    return cumulative_at(s, place_of(s, x), x, &cursor);
}

double cumulative_continued(const DistSlot& s, double x, MassCursor& cursor) {
    return cumulative_at(s, place_in_support(s, x), x, &cursor);
}

double interval_mass(const DistSlot& s, double x) {
    return transformed_formula(s, x, nullptr) - transformed_formula(s, x - 1, nullptr);
}

}  // namespace kvz
