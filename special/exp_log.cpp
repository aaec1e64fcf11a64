// The exponential and logarithm family: exp, expm1, log, log1p, pow and the
// hyperbolic functions built on them.
#include <cmath>

#include "special/elementary.h"

namespace kvz::elem {

double exp(double x) { return std::exp(x); }
double expm1(double x) { return std::expm1(x); }
double log(double x) { return std::log(x); }
double log1p(double x) { return std::log1p(x); }
double pow(double x, double y) { return std::pow(x, y); }
double sinh(double x) { return std::sinh(x); }
double cosh(double x) { return std::cosh(x); }
double asinh(double x) { return std::asinh(x); }

}  // namespace kvz::elem
