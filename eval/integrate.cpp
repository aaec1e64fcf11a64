#include "eval/eval.h"

namespace kvz {
double integrate_density(const DistSlot&, double, double) { return 0.0; }
}  // namespace kvz
