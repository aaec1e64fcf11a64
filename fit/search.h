// The search for a maximum of the likelihood: one-dimensional Brent searches
// (Boost.Math, header-only, allocation-free), nested one inside the other for
// the parameters that have no closed-form maximum. Internal to fit/.
#pragma once

#include "fit/family.h"

namespace kvz {

// The function searched: ln L at theta (a value that is not finite counts as
// the worst).
struct Objective {
    double (*f)(void* context, const double* theta);
    void* context;
    double operator()(const double* theta) const { return f(context, theta); }
};

// Maximises the objective over the family's parameters first..last-1, the
// others held at their values in theta; theta starts at the starting values
// and ends at the best point found. `spread` is the data's scale for the
// parameters on the line. Returns the objective there; -infinity when no
// point had a finite value, or when the best point lies where the search
// kept moving its bracket until it could move no more (the likelihood still
// rising: no finite maximum was found).
double maximise(const Family& family, int first, int last, double spread, Objective objective, double* theta);

// The same by Powell's search by directions, climbing from the starting
// values: for likelihoods whose nested maxima can run off along a ridge (the
// truncated ones).
double maximise_from_start(const Family& family, int first, int last, double spread, Objective objective,
                           double* theta);

}  // namespace kvz
