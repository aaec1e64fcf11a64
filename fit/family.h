// The fitted families: how each base type's parameters sit in the slot, where
// the search for them starts, which of them have a closed-form maximum given
// the others, and a fast log-likelihood for the search. Internal to fit/.
#pragma once

#include <cstdint>

#include "interface/slot.h"

namespace kvz {

// The data as the families read them: sorted, with the sums the likelihoods
// of the exponential families reduce to, taken once.
struct Sample {
    const double* x;  // ascending
    int n;
    double mean;
    double m2;     // sum of (x - mean)^2
    double first;  // x[0]
    double last;   // x[n - 1]
    // The support's ends in force for this fit (infinite where the type has none).
    double lo;
    double hi;
    // Over x > lo (0 for types whose support starts at 0): the sums of
    // ln(x - lo), of its square about its mean, and of 1 / (x - lo).
    double sum_log;
    double m2_log;
    double sum_inverse;
    // Between finite ends: the sums of ln u and ln(1 - u), u = (x - lo) / (hi - lo).
    double sum_log_u;
    double sum_log_1mu;
    int trials;  // n of the binomial types
};

// How the search moves a parameter: along the line (in units of the data's
// spread), by factors (positive parameters), or by odds (probabilities).
enum class Axis : std::uint8_t { line, positive, unit };

struct Param {
    double DistSlot::*field;
    Axis axis;
};

constexpr int kMaxParams = 3;

struct Family {
    int dtype;  // the base type the slot is fitted as
    int count;  // free parameters (ends of the support and n not counted)
    Param param[kMaxParams];
    // The search's starting values: the maximum-likelihood estimates where
    // `closed` says they have a closed form (untruncated), else moments.
    void (*start)(const Sample&, double* theta);
    bool closed;
    // The last `profiled` parameters have a closed-form maximum given the
    // others (untruncated); `profile` writes it.
    int profiled;
    void (*profile)(const Sample&, double* theta);
    // ln L up to a term free of the parameters, untruncated; nullptr where
    // the library's own density on a scratch slot gives it.
    double (*loglik)(const Sample&, const double* theta);
    // The first parameter takes whole values only (the Erlang's shape).
    bool whole_first;
};

// The family of a base type, or nullptr when it is not fitted.
const Family* family_of(int base);

}  // namespace kvz
