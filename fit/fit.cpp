// fit_pdf: the checks in the order the header gives them, the ends of the
// support, the sums of the data, the search, and the fitted slot with its
// measures. Everything is worked in the caller's workspace (the sorted data,
// their cumulative probabilities and two scratch records); the host's slot is
// written only once the fit has succeeded.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "eval/eval.h"
#include "eval/rules.h"
#include "fit/fit.h"
#include "fit/measures.h"
#include "fit/search.h"
#include "init/init.h"
#include "interface/catalogue.h"
#include "special/elementary.h"

namespace kvz {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The largest exponential-power shape a fit returns (see run_fit).
constexpr double kExpPowerMaxShape = 10;
// The largest degrees of freedom a Student t or F fit returns.
constexpr double kMaxDegreesOfFreedom = 1e6;

// The workspace: two records, then the sorted data and their cumulative
// probabilities, from the first suitably aligned byte.
constexpr std::size_t kAlign = alignof(DistSlot);
constexpr std::size_t kRecords = 2 * sizeof(DistSlot);

struct Workspace {
    DistSlot* fitted;  // the slot being fitted, with the host's cut
    DistSlot* plain;   // the same without the cut: the kept mass of a truncated fit
    double* x;
    double* cdf;
};

Workspace carve(void* work, int n) {
    auto at = reinterpret_cast<std::uintptr_t>(work);
    at = (at + kAlign - 1) / kAlign * kAlign;
    auto* records = reinterpret_cast<DistSlot*>(at);
    auto* values = reinterpret_cast<double*>(at + kRecords);
    return {records, records + 1, values, values + n};
}

bool is_discrete(int base) { return type_row(kInitialiseAlias(base)).dclass == 2; }

// The ends of the support that are parameters of the type: the host's, else
// estimated from the data (the rules are in docs/fitting.md).
struct Ends {
    End lower;  // End::minimum, End::mode (the Pareto's bound) or a fixed end
    End upper;
    double minimum;  // the host's, NaN to estimate
    double maximum;
    int estimated;  // how many are estimated
};

// An end is the host's only when its flag is set and the type has that end;
// a zeroed result estimates every end, and types without such ends ignore them.
Ends ends_of(int dtype, const kvz_fit_result& r) {
    const SupportRow row = support_row(dtype);
    const bool has_lower = row.lower == End::minimum || row.lower == End::mode;
    const bool has_upper = row.upper == End::maximum;
    const double lower = has_lower && (r.fixed & KVZ_FIT_FIX_MINIMUM) ? r.minimum : kNaN;
    const double upper = has_upper && (r.fixed & KVZ_FIT_FIX_MAXIMUM) ? r.maximum : kNaN;
    Ends e{row.lower, row.upper, lower, upper, 0};
    if ((e.lower == End::minimum || e.lower == End::mode) && std::isnan(e.minimum)) ++e.estimated;
    if (e.upper == End::maximum && std::isnan(e.maximum)) ++e.estimated;
    return e;
}

bool reads_trials(int dtype) { return support_row(dtype).upper == End::trials; }

// Whether the slot's cut applies to a fit of type dtype (the rule of the
// evaluations, asked of a copy of the slot with that type).
bool cut_applies(const DistSlot& slot, int dtype) {
    DistSlot probe;
    std::memcpy(&probe, &slot, sizeof probe);
    probe.dtype = dtype;
    return truncation_applies(probe);
}

// Whether x lies where the type (with the host's ends and n) and, when `cut`,
// the slot's cut allow it.
bool inside(double x, bool discrete, const Ends& e, int trials, const DistSlot& slot, bool cut) {
    if (discrete && x != std::floor(x)) return false;
    switch (e.lower) {
        case End::zero:
            if (discrete ? x < 0 : !(x > 0)) return false;
            break;
        case End::one:
            if (x < 1) return false;
            break;
        case End::mode:  // the Pareto's bound: positive values only
            if (!(x > 0)) return false;
            [[fallthrough]];
        case End::minimum:
            if (x < e.minimum) return false;  // never for an estimated (NaN) end
            break;
        default:
            break;
    }
    if (e.upper == End::maximum && x > e.maximum) return false;
    if (e.upper == End::trials && trials > 0 && x > trials) return false;
    if (cut) {
        if (slot.t_min_flag && x < (discrete ? std::floor(slot.t_min) : slot.t_min)) return false;
        if (slot.t_max_flag && x > slot.t_max) return false;
    }
    return true;
}

// The sums the families read, the support's ends in force and the binomial's n.
Sample summarise(const double* x, int n, int base, double lo, double hi, int trials) {
    Sample s{};
    s.x = x;
    s.n = n;
    s.first = x[0];
    s.last = x[n - 1];
    s.lo = lo;
    s.hi = hi;
    s.trials = trials;
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += x[i];
    s.mean = sum / n;
    // The logarithms start at the Weibull's minimum; every other type's at 0.
    const double shift = base == kWeibull ? lo : 0.0;
    const bool ends = std::isfinite(lo) && std::isfinite(hi);
    double sum_log = 0;
    for (int i = 0; i < n; ++i) {
        const double d = x[i] - s.mean;
        s.m2 += d * d;
        sum_log += elem::log(x[i] - shift);
        s.sum_inverse += 1 / x[i];
        if (ends) {
            s.sum_log_u += elem::log((x[i] - lo) / (hi - lo));
            s.sum_log_1mu += elem::log((hi - x[i]) / (hi - lo));
        }
    }
    s.sum_log = sum_log;
    const double mean_log = sum_log / n;
    for (int i = 0; i < n; ++i) {
        const double d = elem::log(x[i] - shift) - mean_log;
        s.m2_log += d * d;
    }
    return s;
}

// Whether the fitted density, cut at both ends, integrates to no more than
// about 1 over the cut (five-point Gauss-Legendre on 256 panels). A search can
// run a type to a degenerate edge (a Student t with almost no degrees of
// freedom) where its cumulative is too coarse to measure the kept mass, and
// the cut density then holds several times the mass it should. Only an
// excess is refused: a density with an integrable pole at an end of the cut
// is underestimated by the rule, never overestimated.
bool cut_density_integrates(const DistSlot& s) {
    if (!(s.t_min_flag && s.t_max_flag)) return true;
    constexpr int kPanels = 256;
    constexpr double kNodes[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831,
                                  0.9061798459386640};
    constexpr double kWeights[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889,
                                    0.4786286704993665, 0.2369268850561891};
    const double width = (s.t_max - s.t_min) / kPanels;
    double total = 0;
    for (int i = 0; i < kPanels; ++i) {
        const double centre = s.t_min + (i + 0.5) * width;
        for (int k = 0; k < 5; ++k) total += kWeights[k] * density(s, centre + kNodes[k] * width / 2);
    }
    total *= width / 2;
    return !(total > 1.1) && !std::isnan(total);
}

// The search's view of one fit.
struct Problem {
    const Family& family;
    const Sample& sample;
    DistSlot& fitted;
    DistSlot& plain;
    bool truncated;
    bool profile;  // fill the profiled parameters in closed form
    int evaluations;
};

void write_params(const Family& f, const double* theta, DistSlot& s) {
    for (int k = 0; k < f.count; ++k) s.*(f.param[k].field) = theta[k];
}

// The mass the cut keeps: F(t_max) - F(t_min) of the untruncated type, the
// discrete types keeping every whole number from floor(t_min) on.
double kept_mass(Problem& p, const double* theta) {
    DistSlot& s = p.plain;
    write_params(p.family, theta, s);
    const int base = p.family.dtype;
    const bool own = has_own_cumulative(base);
    if (own) dinitialise(s);
    auto cdf = [&](double x) { return own ? cumulative(s, x) : closed_cumulative(s, base, x); };
    const DistSlot& cut = p.fitted;
    const double below = cut.t_min_flag ? cdf(is_discrete(base) ? cut.t_min - 1 : cut.t_min) : 0.0;
    const double upto = cut.t_max_flag ? cdf(cut.t_max) : 1.0;
    return upto - below;
}

double objective(void* context, const double* point) {
    Problem& p = *static_cast<Problem*>(context);
    ++p.evaluations;
    double theta[kMaxParams];
    std::copy(point, point + kMaxParams, theta);
    if (p.profile && p.family.profiled > 0) p.family.profile(p.sample, theta);
    if (p.family.loglik == nullptr) {
        write_params(p.family, theta, p.fitted);
        dinitialise(p.fitted);
        return library_loglik(p.fitted, p.sample.x, p.sample.n);
    }
    double v = p.family.loglik(p.sample, theta);
    if (!p.truncated) return v;
    const double kept = kept_mass(p, theta);
    return kept > 0 ? v - p.sample.n * elem::log(kept) : -kInf;
}

// A starting value the search can move from: finite and inside its axis's range.
void usable_start(const Family& f, const Sample& s, double* theta) {
    for (int k = 0; k < f.count; ++k) {
        double& v = theta[k];
        switch (f.param[k].axis) {
            case Axis::line:
                if (!std::isfinite(v)) v = s.mean;
                break;
            case Axis::positive:
                if (!(v > 0 && v < kInf)) v = 1;
                break;
            case Axis::unit:
                if (!(v > 0 && v < 1)) v = 0.5;
                break;
        }
    }
}

bool in_domain(const Family& f, const double* theta) {
    for (int k = 0; k < f.count; ++k) {
        const double v = theta[k];
        if (!std::isfinite(v)) return false;
        if (f.param[k].axis == Axis::positive && !(v > 0)) return false;
        if (f.param[k].axis == Axis::unit && !(v > 0 && v < 1)) return false;
    }
    return true;
}

// The search over the parameters without a closed form, finished for a whole
// first parameter by the better of the whole numbers either side; false when
// it found no finite maximum.
bool search(Problem& p, double* theta) {
    const Family& f = p.family;
    const int last = p.profile ? f.count - f.profiled : f.count;
    const double spread = std::sqrt(p.sample.m2 / p.sample.n);
    const Objective objective_of{objective, &p};
    const auto climb = p.truncated ? maximise_from_start : maximise;
    if (last > 0 && !std::isfinite(climb(f, 0, last, spread, objective_of, theta))) return false;
    if (!f.whole_first) return true;
    double best = -kInf, best_theta[kMaxParams];
    for (double whole : {std::floor(theta[0]), std::ceil(theta[0])}) {
        double t[kMaxParams];
        std::copy(theta, theta + kMaxParams, t);
        t[0] = std::max(whole, 1.0);
        const double v = last > 1 ? climb(f, 1, last, spread, objective_of, t) : objective(&p, t);
        if (v > best) {
            best = v;
            std::copy(t, t + kMaxParams, best_theta);
        }
    }
    std::copy(best_theta, best_theta + kMaxParams, theta);
    return std::isfinite(best);
}

// Writes an alias's own inputs from its base type's.
void express_as(int dtype, DistSlot& s) {
    s.dtype = dtype;
    if (dtype == kLognormalByMoments) {
        const double v = s.lstdev * s.lstdev;
        s.mean = elem::exp(s.lmean + v / 2);
        s.stdev = s.mean * std::sqrt(elem::expm1(v));
    } else if (dtype == kLognormalByMedian) {
        s.median = elem::exp(s.lmean);
    }
}

// The fitted inputs as the setters take them: the family's parameters, the
// ends and n the type reads, an alias's own inputs in place of its base's.
void report_inputs(int dtype, const Family& f, const DistSlot& s, kvz_fit_inputs& in) {
    in = {kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 0};
    struct Field {
        double DistSlot::*slot;
        double kvz_fit_inputs::*input;
    };
    constexpr Field kFields[] = {
        {&DistSlot::mean, &kvz_fit_inputs::mean},       {&DistSlot::lmean, &kvz_fit_inputs::lmean},
        {&DistSlot::mode, &kvz_fit_inputs::mode},       {&DistSlot::median, &kvz_fit_inputs::median},
        {&DistSlot::stdev, &kvz_fit_inputs::stdev},     {&DistSlot::lstdev, &kvz_fit_inputs::lstdev},
        {&DistSlot::minimum, &kvz_fit_inputs::minimum}, {&DistSlot::maximum, &kvz_fit_inputs::maximum},
        {&DistSlot::scale, &kvz_fit_inputs::scale},     {&DistSlot::shape_a, &kvz_fit_inputs::shape_a},
        {&DistSlot::shape_b, &kvz_fit_inputs::shape_b}, {&DistSlot::p, &kvz_fit_inputs::p},
    };
    auto copy = [&](double DistSlot::*field) {
        for (const Field& m : kFields)
            if (m.slot == field) in.*(m.input) = s.*field;
    };
    for (int k = 0; k < f.count; ++k) copy(f.param[k].field);
    const SupportRow row = support_row(dtype);
    if (row.lower == End::minimum) copy(&DistSlot::minimum);
    if (row.lower == End::mode) copy(&DistSlot::mode);
    if (row.upper == End::maximum) copy(&DistSlot::maximum);
    if (row.upper == End::trials) in.n = s.n;
    if (dtype == kChiSquare) in.shape_a = 2 * s.shape_a;
    if (dtype == kLognormalByMoments) in = {s.mean, kNaN, kNaN, kNaN, s.stdev, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 0};
    if (dtype == kLognormalByMedian) in = {kNaN, kNaN, kNaN, s.median, kNaN, s.lstdev, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 0};
}

// Sets the estimated ends in the record and returns those in force
// (lo, hi); false when the data leave no room for them (every value equal).
bool place_ends(const Ends& e, const double* sorted, int n, bool discrete, DistSlot& slot, double& lo, double& hi) {
    const double first = sorted[0], last = sorted[n - 1];
    const double range = last - first;
    const double widen = discrete ? 0.0 : range / (n - 1);
    lo = 0;
    hi = kInf;
    if (e.lower == End::minimum || e.lower == End::mode) {
        lo = !std::isnan(e.minimum) ? e.minimum : (e.lower == End::mode ? first : first - widen);
        (e.lower == End::mode ? slot.mode : slot.minimum) = lo;
    }
    if (e.upper == End::maximum) {
        hi = !std::isnan(e.maximum) ? e.maximum : last + widen;
        slot.maximum = hi;
    }
    if (e.lower == End::open) lo = -kInf;
    return !(e.estimated > 0 && !(range > 0)) && lo < hi;
}

int run_fit(DistSlot& host, int dtype, const double* data, int n, const Workspace& w, kvz_fit_result& r) {
    const int base = kFitAs(dtype);
    const Family& family = *family_of(base);
    const bool discrete = is_discrete(base);
    const Ends ends = ends_of(dtype, r);

    std::copy(data, data + n, w.x);
    std::sort(w.x, w.x + n);
    DistSlot& fitted = *w.fitted;
    std::memcpy(&fitted, &host, sizeof(DistSlot));
    fitted.dtype = base;
    const int trials = reads_trials(dtype) ? (r.n > 0 ? r.n : static_cast<int>(w.x[n - 1])) : 0;
    if (reads_trials(dtype)) {
        if (trials < 1) return KVZ_FIT_NO_CONVERGENCE;
        fitted.n = trials;
    }
    double lo, hi;
    if (!place_ends(ends, w.x, n, discrete, fitted, lo, hi)) return KVZ_FIT_NO_CONVERGENCE;
    const Sample sample = summarise(w.x, n, base, lo, hi, trials);

    std::memcpy(w.plain, &fitted, sizeof(DistSlot));
    w.plain->t_min_flag = 0;
    w.plain->t_max_flag = 0;
    const bool truncated = truncation_applies(fitted);
    Problem problem{family, sample, fitted, *w.plain, truncated, !truncated, 0};

    // A continuous type needs a spread: equal values have no finite maximum.
    if (!discrete && !(sample.last > sample.first)) return KVZ_FIT_NO_CONVERGENCE;
    double theta[kMaxParams] = {};
    family.start(sample, theta);
    if (truncated || !family.closed) {
        usable_start(family, sample, theta);
        if (!truncated && family.profiled > 0) family.profile(sample, theta);
        if (!search(problem, theta)) return KVZ_FIT_NO_CONVERGENCE;
        if (problem.profile && family.profiled > 0) family.profile(sample, theta);
    }
    if (!in_domain(family, theta)) return KVZ_FIT_NO_CONVERGENCE;
    // The exponential power's likelihood grows without bound towards a spike
    // at one value (shape to infinity, scale to 0); a search that stops on
    // the way there, with the kernel's exponent 2 / shape below 0.2, has found
    // no maximum.
    if (base == kExpPower && theta[1] > kExpPowerMaxShape) return KVZ_FIT_NO_CONVERGENCE;
    // Degrees of freedom that run off towards infinity (the data look like the
    // limit, a normal for the Student t, a scaled chi-square for the F's
    // second) have no finite maximum either: past 1e6 the fit is refused,
    // wherever the search happened to stop.
    if (base == kStudentT && theta[0] > kMaxDegreesOfFreedom) return KVZ_FIT_NO_CONVERGENCE;
    if (base == kFisherF && (theta[0] > kMaxDegreesOfFreedom || theta[1] > kMaxDegreesOfFreedom))
        return KVZ_FIT_NO_CONVERGENCE;

    write_params(family, theta, fitted);
    express_as(dtype, fitted);
    dinitialise(fitted);
    if (truncated && !discrete && !cut_density_integrates(fitted)) return KVZ_FIT_NO_CONVERGENCE;
    const Measures m = measure_fit(fitted, discrete, w.x, n, w.cdf);
    if (!std::isfinite(m.loglik)) return KVZ_FIT_NO_CONVERGENCE;

    const int k = family.count + ends.estimated;
    r.parameters = k;
    r.loglik = m.loglik;
    r.aic = 2 * k - 2 * m.loglik;
    r.bic = k * elem::log(static_cast<double>(n)) - 2 * m.loglik;
    r.ks = m.ks;
    r.ad = m.ad;
    r.chi2 = m.chi2;
    r.evaluations = problem.evaluations;
    report_inputs(dtype, family, fitted, r.fitted);
    std::memcpy(&host, &fitted, sizeof(DistSlot));
    return KVZ_FIT_OK;
}

// The first refusal that applies to the call, in the header's order; OK when none does.
int refusal(int slot, int dtype, const double* data, int n, void* work, std::size_t work_bytes,
            const kvz_fit_result* result) {
    if (!data || !result) return KVZ_FIT_NULL_ARRAY;
    const DistSlot* host = slot_at(slot);
    if (!host) return KVZ_FIT_BAD_SLOT;
    const int base = kFitAs(dtype);
    if (base == 0) return KVZ_FIT_NO_DENSITY;
    // The F type has no cumulative distribution of the library's own to cut.
    if (base == kFisherF && (host->t_min_flag || host->t_max_flag)) return KVZ_FIT_NO_DENSITY;
    const Ends ends = ends_of(dtype, *result);
    if (n < 2 || n <= family_of(base)->count + ends.estimated) return KVZ_FIT_TOO_FEW;
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(data[i])) return KVZ_FIT_NOT_FINITE;
    // A flagged end the type reads must be finite, and the two in order.
    const SupportRow row = support_row(dtype);
    if ((result->fixed & KVZ_FIT_FIX_MINIMUM) && (row.lower == End::minimum || row.lower == End::mode) &&
        !std::isfinite(result->minimum))
        return KVZ_FIT_OUTSIDE_SUPPORT;
    if ((result->fixed & KVZ_FIT_FIX_MAXIMUM) && row.upper == End::maximum && !std::isfinite(result->maximum))
        return KVZ_FIT_OUTSIDE_SUPPORT;
    if (!std::isnan(ends.minimum) && !std::isnan(ends.maximum) && !(ends.minimum < ends.maximum))
        return KVZ_FIT_OUTSIDE_SUPPORT;
    const bool discrete = is_discrete(base);
    // The ends a discrete type reads are whole numbers (NaN, to estimate, passes).
    auto whole_or_estimated = [](double v) { return std::isnan(v) || v == std::floor(v); };
    if (discrete && ((ends.lower == End::minimum && !whole_or_estimated(ends.minimum)) ||
                     (ends.upper == End::maximum && !whole_or_estimated(ends.maximum))))
        return KVZ_FIT_OUTSIDE_SUPPORT;
    const int trials = reads_trials(dtype) ? result->n : 0;
    const bool cut = cut_applies(*host, dtype);
    for (int i = 0; i < n; ++i)
        if (!inside(data[i], discrete, ends, trials, *host, cut)) return KVZ_FIT_OUTSIDE_SUPPORT;
    if (!work || work_bytes < fit_work_size(dtype, n)) return KVZ_FIT_SMALL_WORKSPACE;
    return KVZ_FIT_OK;
}

}  // namespace

std::size_t fit_work_size(int dtype, int n) {
    if (kFitAs(dtype) == 0 || n < 2) return 0;
    const std::size_t fixed = kRecords + kAlign - 1;
    const std::size_t per_value = 2 * sizeof(double);
    if (static_cast<std::size_t>(n) > (std::numeric_limits<std::size_t>::max() - fixed) / per_value) return 0;
    return fixed + per_value * static_cast<std::size_t>(n);
}

int fit(int slot, int dtype, const double* data, int n, void* work, std::size_t work_bytes, kvz_fit_result* result) {
    int code = refusal(slot, dtype, data, n, work, work_bytes, result);
    if (code == KVZ_FIT_OK) code = run_fit(*slot_at(slot), dtype, data, n, carve(work, n), *result);
    if (result) result->status = code;
    return code;
}

}  // namespace kvz
