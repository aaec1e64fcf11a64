// Evaluation of an initialised slot: density, cumulative distribution,
// inverse, and the truncation step with its numerical tools.
#pragma once

#include "interface/slot.h"

namespace kvz {

// Density or probability mass at x, times t_factor.
double density(const DistSlot& s, double x);
// 0 at the poles of the beta, gamma, Weibull and power-function densities, else 1.
int density_valid(const DistSlot& s, double x);

// The whole numbers a discrete slot's mass lives on, first..last (last may be
// +infinity). Every sum of masses runs over these only.
struct Support {
    double first;
    double last;
};
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

// The parts of the exponential power density that do not depend on x: the
// exponent 2/a, 2^(a/2 + 1) and Γ(a/2 + 1), the last as exp(log_gamma(a/2 + 1)).
struct ExpPowerNorm {
    double exponent;
    double two;
    double gamma;
};
ExpPowerNorm exp_power_norm(double a);
// Stores them in the slot for its shape_a, so that the density (evaluated
// about 330,000 times while precalc builds the table) need not repeat them.
void store_exp_power_norm(DistSlot& s);

// Stores ln Γ(shape_a) in the slot for the gamma type's cumulative probability.
void store_gamma_log(DistSlot& s);

// Cumulative probability at x, put through the truncation transform.
double cumulative(const DistSlot& s, double x);

// Quantile at probability p: closed form where the type has one, bisection otherwise.
double inverse(const DistSlot& s, double p);
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
