#include "eval/eval.h"

namespace kvz {
double cumulative(const DistSlot&, double) { return 0.0; }
}  // namespace kvz
