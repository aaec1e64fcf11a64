// The correlated draw of 21 slots x 1000 values beside the same draws made
// uncorrelated (21 dvalue_batch calls): the difference is what the reordering
// costs, the achieved matrix included.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "bench/bench_common.h"
#include "include/kvz_comp_batch.h"
#include "include/kvz_comp_corr.h"

namespace bench {

namespace {

constexpr int kSlots = 21;
constexpr int kRows = 1000;
constexpr int kSeed = 2024;

// Mixed types: cumulative and discrete tables, direct and inverse formulas,
// the normal-based method.
const SlotSetup kMixed[] = {
    {.dtype = 12, .scale = 2, .shape_a = 3},
    {.dtype = 6, .mean = 4},
    {.dtype = 4, .mean = 10, .stdev = 2},
    {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3},
    {.dtype = 8, .mean = 2},
    {.dtype = 9, .p = 0.3, .n = 10},
    {.dtype = 3, .mode = 2, .minimum = 0, .maximum = 5},
    {.dtype = 16, .minimum = 1, .scale = 1.5, .shape_a = 2},
    {.dtype = 2, .minimum = 2, .maximum = 8},
    {.dtype = 21, .stdev = 1},
    {.dtype = 27, .scale = 1},
};

void prepare_all() {
    set_rng_type(0, kSeed);
    for (int j = 0; j < kSlots; ++j) prepare(j, kMixed[j % (sizeof kMixed / sizeof kMixed[0])]);
}

// rho^|i - j|: a valid correlation matrix. With a common -0.3 off the
// diagonal, 21 variables have no correlation matrix: it is repaired first.
std::vector<double> banded_target() {
    std::vector<double> t(kSlots * kSlots);
    for (int i = 0; i < kSlots; ++i)
        for (int j = 0; j < kSlots; ++j) t[i * kSlots + j] = std::pow(0.7, std::abs(i - j));
    return t;
}
std::vector<double> repair_target() {
    std::vector<double> t(kSlots * kSlots, -0.3);
    for (int i = 0; i < kSlots; ++i) t[i * kSlots + i] = 1.0;
    return t;
}

void add_correlated(const std::string& which, std::vector<double> target) {
    add(name("correlated", which, "kvz"), 1, [target](benchmark::State& state) {
        prepare_all();
        std::vector<int> slots(kSlots);
        for (int j = 0; j < kSlots; ++j) slots[j] = j;
        std::vector<double> out(kSlots * kRows), achieved(kSlots * kSlots);
        std::vector<unsigned char> work(dvalue_correlated_work_size(kSlots, kRows));
        double repaired = 0;
        for (auto _ : state) {
            const int code = dvalue_correlated(slots.data(), kSlots, kRows, target.data(), out.data(),
                                               achieved.data(), &repaired, work.data(), work.size());
            if (code != KVZ_CORR_OK) state.SkipWithError("refused");
            benchmark::DoNotOptimize(out.data());
        }
    });
    add(name("correlated", which, "draws_only"), 1, [](benchmark::State& state) {
        prepare_all();
        std::vector<double> out(kSlots * kRows);
        for (auto _ : state) {
            for (int j = 0; j < kSlots; ++j) dvalue_batch(j, out.data() + j * kRows, kRows);
            benchmark::DoNotOptimize(out.data());
        }
    });
}

}  // namespace

void register_correlated() {
    add_correlated("21x1000", banded_target());
    add_correlated("21x1000_repaired", repair_target());
}

}  // namespace bench
