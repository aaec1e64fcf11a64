// Evaluation of an initialised slot: density, cumulative distribution,
// inverse, and the truncation step with its numerical tools.
#pragma once

#include "eval/rules.h"
#include "interface/slot.h"

namespace kvz {

// Density or probability mass at x, times t_factor: 0 outside the support
// and the cut, and at a value that is not a whole number for a discrete type.
double density(const DistSlot& s, double x);
// The same inside the cut, and the rescaled masses of the untruncated
// distribution outside it: what the sums and integrals behind a cumulative
// probability add up.
double density_across_cut(const DistSlot& s, double x);
// 0 at the poles of the beta, gamma, Weibull and power-function densities and
// wherever the density is not finite, else 1.
int density_valid(const DistSlot& s, double x);

// The whole numbers a discrete slot's mass lives on, first..last (last may be
// +infinity). Every sum of masses runs over these only.
Support discrete_support(const DistSlot& s);

// Most masses any one sum, search or walk over whole numbers evaluates. Sums
// skip the masses that underflow to zero and stop once further masses cannot
// change them, so this is reached only by distributions whose mass spreads
// over more than half a million whole numbers (a Poisson mean beyond about 1e8);
// it keeps every call bounded.
constexpr double kMaxMassTerms = 1 << 19;

// The first whole number from `first` (up to `last`) whose mass is not zero.
// Below the peak of a unimodal mass the values that underflow to zero form one
// run at the start, found by halving; adding them would change no sum. Past
// `last` when the stretch holds only such values; `first` itself when its mass
// is not zero or no positive mass is found at the peak.
double skip_zero_masses(const DistSlot& s, double first, double last);

// Whether a zero mass after the peak means that every later mass is zero too:
// true for the discrete types whose masses are formed directly, false for the
// normal approximations, whose masses (differences of rounded normal
// probabilities) can be zero between positive ones.
bool zero_mass_ends_tail(const DistSlot& s);

// Cumulative probability at x, put through the truncation transform: 0 below
// the support and the cut, 1 above them.
double cumulative(const DistSlot& s, double x);
// The same inside the cut; outside it the truncation transform's own values,
// which fall below 0 and rise above 1 and so keep moving with x: what a
// search for a probability needs.
double cumulative_across_cut(const DistSlot& s, double x);
// F(x) − F(x − 1) of the truncated normal approximations: the mass of the unit
// interval that ends at x, wherever x lies.
double interval_mass(const DistSlot& s, double x);

// Quantile at probability p: closed form where the type has one, bisection otherwise.
double inverse(const DistSlot& s, double p);
// The smallest whole number of a discrete slot's support, inside its cut,
// whose cumulative probability reaches p; inverse() for a continuous slot.
double inverse_whole(const DistSlot& s, double p);
// The numerical inversion on cumulative(), without inverse()'s handling of p at 0 and 1.
double inverse_bisection(const DistSlot& s, double p);

// Trapezoid integral of density() from u to v with successive halving.
double integrate_density(const DistSlot& s, double u, double v);

// The truncation step of dinitialise: cut-off masses, factor, range, moments.
void truncate(DistSlot& s);
// Moment of the given kind by strips (continuous) or sums (discrete) of the
// density over [lo, hi]; leaves its mode search in dmode.
double density_moment(DistSlot& s, int kind, double lo, double hi);
// Moment of the given kind from 100 equal-probability strips of the inverse.
double quantile_moment(const DistSlot& s, int kind);

}  // namespace kvz
