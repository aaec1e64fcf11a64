// What the generator guard costs: each call through its export, which takes
// the guard, beside the same work without it (the internal calls the exports
// made before the guard existed), and the plain draw also under a std::mutex
// for comparison. A thread is started and joined first, so that every figure
// is that of a host with threads (the C library may skip the atomic steps of
// a mutex in a process that has never had a second thread).
#include <mutex>
#include <thread>
#include <vector>

#include "bench/bench_common.h"
#include "include/kvz_comp_batch.h"
#include "interface/slot.h"
#include "sampling/sampling.h"

namespace bench {

namespace {

constexpr int kSeed = 4711;
constexpr int kBatch = 1000;
const SlotSetup kExponential{.dtype = 8, .mean = 2};

// The bodies of the exports as they were without the guard; kept out of line
// as the exports are, so that both sides pay one call.
[[gnu::noinline]] double unguarded_rng() { return kvz::rng(); }
[[gnu::noinline]] void unguarded_rng_batch(double* out, int count) { kvz::rng_batch(out, count); }
[[gnu::noinline]] double unguarded_dvalue(int slot) { return kvz::dvalue(*kvz::slot_at(slot)); }
[[gnu::noinline]] void unguarded_dvalue_batch(int slot, double* out, int count) {
    kvz::DistSlot& s = *kvz::slot_at(slot);
    for (int i = 0; i < count; ++i) out[i] = kvz::dvalue(s);
}

std::mutex g_mutex;
[[gnu::noinline]] double mutex_rng() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return kvz::rng();
}

void become_threaded() { std::thread([] {}).join(); }

template <class Draw>
void add_single(const std::string& which, const std::string& impl, Draw draw) {
    add(name("guard", which, impl), 1, [draw](benchmark::State& state) {
        become_threaded();
        set_rng_type(0, kSeed);
        prepare(kSlot, kExponential);
        for (auto _ : state) benchmark::DoNotOptimize(draw());
    });
}

template <class Fill>
void add_batch(const std::string& which, const std::string& impl, Fill fill) {
    add(name("guard", which, impl), kBatch, [fill](benchmark::State& state) {
        become_threaded();
        set_rng_type(0, kSeed);
        prepare(kSlot, kExponential);
        std::vector<double> out(kBatch);
        for (auto _ : state) {
            fill(out.data());
            benchmark::DoNotOptimize(out.data());
        }
    });
}

}  // namespace

void register_guard() {
    add_single("rng", "unguarded", [] { return unguarded_rng(); });
    add_single("rng", "guarded", [] { return rng(); });
    add_single("rng", "std_mutex", [] { return mutex_rng(); });
    add_single("dvalue_exponential", "unguarded", [] { return unguarded_dvalue(kSlot); });
    add_single("dvalue_exponential", "guarded", [] { return dvalue(kSlot); });
    add_batch("rng_batch_1000", "unguarded", [](double* out) { unguarded_rng_batch(out, kBatch); });
    add_batch("rng_batch_1000", "guarded", [](double* out) { rng_batch(out, kBatch); });
    add_batch("dvalue_batch_1000_exponential", "unguarded",
              [](double* out) { unguarded_dvalue_batch(kSlot, out, kBatch); });
    add_batch("dvalue_batch_1000_exponential", "guarded",
              [](double* out) { dvalue_batch(kSlot, out, kBatch); });
}

}  // namespace bench
