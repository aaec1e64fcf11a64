#include "sampling/vector_path.h"

#include <atomic>

namespace kvz {

namespace {
std::atomic<VectorPath> path_in_use{widest_vector_path()};
}  // namespace

VectorPath widest_vector_path() {
#if defined(__i386__) || defined(__x86_64__)
    __builtin_cpu_init();  // may run before the run-time library's own constructors
    if (__builtin_cpu_supports("avx512bw")) return VectorPath::kAvx512;
    if (__builtin_cpu_supports("avx2")) return VectorPath::kAvx2;
#endif
#if defined(__SSE2__)
    return VectorPath::kSse2;
#else
    return VectorPath::kScalar;
#endif
}

VectorPath vector_path() { return path_in_use.load(std::memory_order_relaxed); }

void use_vector_path(VectorPath path) { path_in_use.store(path, std::memory_order_relaxed); }

}  // namespace kvz
