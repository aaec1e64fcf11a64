// The uniform generator in each kind, per value, beside one step of the
// standard library's minimal-standard and Mersenne Twister engines turned
// into a double. The stratified kind makes a block every 1000 values, so each
// iteration draws exactly one block's worth and the block cost is amortised.
#include <random>
#include <vector>

#include "bench/bench_common.h"
#include "include/kvz_comp_batch.h"
#include "sampling/sampling.h"

namespace bench {

namespace {

constexpr int kValues = 1000;
constexpr int kSeed = 12345;

template <class Engine>
void add_engine(const std::string& impl) {
    add(name("rng", "per_value", impl), kValues, [](benchmark::State& state) {
        Engine engine(kSeed);
        constexpr double scale = 1.0 / (static_cast<double>(Engine::max()) + 2.0);
        for (auto _ : state) {
            double sum = 0;
            for (int i = 0; i < kValues; ++i) sum += (engine() + 1.0) * scale;
            benchmark::DoNotOptimize(sum);
        }
    });
}

}  // namespace

void register_generator() {
    const std::pair<const char*, int> kinds[] = {{"plain", 0}, {"shuffled", 20}, {"stratified", 15}};
    for (const auto& [kind_name, kind] : kinds) {
        add(name("rng", "per_value", std::string("kvz_") + kind_name), kValues,
            [kind](benchmark::State& state) {
                set_rng_type(kind, kSeed);
                for (auto _ : state) {
                    double sum = 0;
                    for (int i = 0; i < kValues; ++i) sum += rng();
                    benchmark::DoNotOptimize(sum);
                }
            });
    }
    // rng_batch of the plain kind beside the same values made one step at a time.
    add(name("rng_batch", "plain", "kvz_rng_batch"), kValues, [](benchmark::State& state) {
        set_rng_type(0, kSeed);
        std::vector<double> out(kValues);
        for (auto _ : state) {
            rng_batch(out.data(), kValues);
            benchmark::DoNotOptimize(out.data());
        }
    });
    add(name("rng_batch", "plain", "kvz_step_by_step"), kValues, [](benchmark::State& state) {
        set_rng_type(0, kSeed);
        std::vector<double> out(kValues);
        for (auto _ : state) {
            for (double& u : out) u = kvz::rng_step();
            benchmark::DoNotOptimize(out.data());
        }
    });
    add_engine<std::minstd_rand>("minstd_rand");
    add_engine<std::mt19937>("mt19937");
}

}  // namespace bench
