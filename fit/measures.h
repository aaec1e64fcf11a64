// How well a fitted slot describes the data: the log-likelihood from the
// library's density, and the goodness-of-fit statistics from its cumulative
// distribution. Internal to fit/.
#pragma once

#include "fit/family.h"
#include "interface/slot.h"

namespace kvz {

struct Measures {
    double loglik;
    double ks;
    double ad;    // continuous types; NaN for discrete ones
    double chi2;  // discrete types; NaN for continuous ones
};

// The measures of the initialised slot s (of a discrete type or not) for the
// sorted data; `cdf` (n values) receives the cumulative probability at each value.
Measures measure_fit(const DistSlot& s, bool discrete, const double* sorted, int n, double* cdf);

// Sum of ln density(s, x) over the sorted data, one logarithm per distinct value.
double library_loglik(const DistSlot& s, const double* sorted, int n);

// Whether the library's cumulative distribution of a base type is its own
// closed form or sum (not the integral of the density, or nothing).
bool has_own_cumulative(int base);
// The untruncated cumulative distribution of the exponential power type (by
// the incomplete gamma function) and of the F (by the incomplete beta), from
// the slot's inputs alone.
double closed_cumulative(const DistSlot& s, int base, double x);

// The slot's cumulative probability at x: the library's, or for the types
// without one of their own (the exponential power, the F) the closed form
// through the incomplete gamma or beta function, with the slot's cut.
double fitted_cumulative(const DistSlot& s, double x);

}  // namespace kvz
