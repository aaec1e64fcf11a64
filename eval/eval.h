// Evaluation of an initialised slot: density, cumulative distribution,
// inverse, and the truncation step with its numerical tools.
#pragma once

#include <limits>

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

// cumulative(s, x), to the bit, from the slot's checkpoints of its sum of
// masses where the type sums them: repeated calls on a slot then add only
// the masses past the checkpoint below x. The first call walks as far as
// cumulative() does, recording checkpoints on its way.
double cumulative_kept(DistSlot& s, double x);

// Where a sum of masses up to some x stood: the next whole number to add, the
// sum and the last mass added, the masses walked, and whether the sum had
// already ended (no later mass changes it).
struct MassSumState {
    double at = -std::numeric_limits<double>::infinity();  // the x it was taken at
    double next = 0;
    double sum = 0;
    double previous = 0;
    double walked = 0;  // 0: nothing summed yet
    bool ended = false;
};

// Successive cumulative values at points above `lower` (a bisection's lower
// end). A sum of masses adds them one by one from the start, so the sum up to
// x continues the one up to `lower` with the very same additions: each value
// is cumulative(s, x) to the bit, for the cost of the masses between.
struct MassCursor {
    MassSumState lower;    // the state to continue from
    MassSumState reached;  // the state the last call reached
    // Checkpoints of the sum to take it up from (and add to) while `lower`
    // holds nothing to continue; none when null.
    MassCheckpoints<kSumCheckpoints>* checkpoints = nullptr;
};
// cumulative(s, x), continuing the cursor's sum where the type sums masses.
double cumulative_continued(const DistSlot& s, double x, MassCursor& cursor);

// Quantile at probability p: closed form where the type has one, bisection otherwise.
double inverse(const DistSlot& s, double p);
// The smallest whole number of a discrete slot's support, inside its cut,
// whose cumulative probability reaches p; inverse() for a continuous slot.
double inverse_whole(const DistSlot& s, double p);
// The numerical inversion on cumulative(), without inverse()'s handling of p at 0 and 1.
double inverse_bisection(const DistSlot& s, double p);
// The same bisection evaluating F at every point it passes: what the search
// above must answer to the bit, kept for comparing the two.
double inverse_bisection_plain(const DistSlot& s, double p);

// The halving integrations (of the density, of the moments' strips) run at
// most this many levels.
constexpr int kMaxHalvingLevels = 10;
// Whether a halving integration has settled at this level (from 1): up to
// level 5 only an exactly repeated sum, after that a relative change below
// 1e-6 between two levels.
bool halving_settled(int level, double sum, double previous);
// The halving integrations' loop: level_sum(n) gives the sum over n strips,
// n doubling from 1 each level until halving_settled or the last level.
template <class LevelSum>
double halved_until_settled(LevelSum&& level_sum) {
    double sum = 0.0;
    double previous = 0.0;
    int n = 1;
    for (int level = 1; level <= kMaxHalvingLevels; ++level) {
        sum = level_sum(n);
        if (halving_settled(level, sum, previous)) return sum;
        previous = sum;
        n = 2 * n;
    }
    return sum;
}

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
