#include "eval/eval.h"

namespace kvz {
double inverse(const DistSlot&, double) { return 0.0; }
double inverse_bisection(const DistSlot&, double) { return 0.0; }
}  // namespace kvz
