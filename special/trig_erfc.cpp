// The circular functions sin, tan and atan, and the complementary error
// function.
#include <cmath>

#include "special/elementary.h"

namespace kvz::elem {

double erfc(double x) { return std::erfc(x); }
double sin(double x) { return std::sin(x); }
double tan(double x) { return std::tan(x); }
double atan(double x) { return std::atan(x); }

}  // namespace kvz::elem
