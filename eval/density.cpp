#include "eval/eval.h"

namespace kvz {
double density(const DistSlot&, double) { return 0.0; }
int density_valid(const DistSlot&, double) { return 1; }
}  // namespace kvz
