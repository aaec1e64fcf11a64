// The elementary functions the library's formulas call. They are the
// library's own, so that a result does not depend on which C runtime the
// library was built against: every build (64-bit and 32-bit Linux, Windows)
// gives the same bits for the same arguments.
#pragma once

namespace kvz::elem {

double exp(double x);
double expm1(double x);
double log(double x);
double log1p(double x);
double pow(double x, double y);
double erfc(double x);
double sin(double x);
double tan(double x);
double atan(double x);
double sinh(double x);
double cosh(double x);
double asinh(double x);

}  // namespace kvz::elem
