#include "sampling/sampling.h"

namespace kvz {
int table_locate(const double*, int, double) { return 0; }
double table_interpolate(const double*, const double*, int, double) { return 0.0; }
}  // namespace kvz
