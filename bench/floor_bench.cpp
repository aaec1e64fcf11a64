// Cost floors: the calls a draw's algorithm cannot do without, timed alone,
// so that the report can show where a ratio to a peer comes from.
#include <cmath>
#include <vector>

#include "bench/bench_common.h"
#include "eval/eval.h"
#include "interface/slot.h"
#include "sampling/sampling.h"

namespace bench {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr int kUniforms = 4096;  // power of two: the index wraps with a mask

// Uniforms of the plain generator, drawn before timing.
std::vector<double> uniforms() {
    set_rng_type(0, 7);
    std::vector<double> u(kUniforms);
    for (double& v : u) v = rng();
    return u;
}

template <class Call>
void add_floor(const std::string& which, Call call) {
    add(name("floor", which, "kvz"), 1, [call](benchmark::State& state) {
        const std::vector<double> u = uniforms();
        int i = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(call(u[i]));
            i = (i + 1) & (kUniforms - 1);
        }
    });
}

// The cumulative table precalc builds for a slot.
template <class Call>
void add_table_floor(const std::string& which, const SlotSetup& setup, Call call) {
    add(name("floor", which, "kvz"), 1, [setup, call](benchmark::State& state) {
        prepare(kSlot, setup);
        const kvz::DistSlot& s = *kvz::slot_at(kSlot);
        const std::vector<double> u = uniforms();
        int i = 0;
        for (auto _ : state) {
            benchmark::DoNotOptimize(call(s, u[i]));
            i = (i + 1) & (kUniforms - 1);
        }
    });
}

}  // namespace

void register_floor() {
    add(name("floor", "rng_export", "kvz"), 1, [](benchmark::State& state) {
        set_rng_type(0, 7);
        for (auto _ : state) benchmark::DoNotOptimize(rng());
    });
    add_floor("log", [](double u) { return std::log(u); });
    add_floor("sin_2pi_u", [](double u) { return std::sin(2.0 * kPi * u); });
    add_floor("sqrt_log_sin", [](double u) {
        return std::sin(2.0 * kPi * u) * std::sqrt(-2.0 * std::log(u));
    });
    // The exponential power density's part that depends on x (shape 1.5),
    // on x spread over [-5, 5]: precalc evaluates it about 320,000 times.
    add_floor("exp_power_kernel", [](double u) {
        const double x = 10.0 * u - 5.0;
        return std::exp(-std::pow(std::fabs(x), 2 / 1.5) / 2);
    });
    // The whole density as precalc's integrals call it, same shape.
    const SlotSetup exp_power{.dtype = 14, .mean = 0, .scale = 1, .shape_a = 1.5};
    add_table_floor("exp_power_density", exp_power, [](const kvz::DistSlot& s, double u) {
        return kvz::density(s, 10.0 * u - 5.0);
    });
    const SlotSetup gamma{.dtype = 12, .scale = 2, .shape_a = 3};
    add_table_floor("table_locate_1001", gamma, [](const kvz::DistSlot& s, double u) {
        return kvz::table_locate(s.table_p, s.table_count, u);
    });
    add_table_floor("table_interpolate_1001", gamma, [](const kvz::DistSlot& s, double u) {
        return kvz::table_interpolate(s.table_p, s.table_x, s.table_count, u);
    });
    add_table_floor("guided_locate_1001", gamma, [](const kvz::DistSlot& s, double u) {
        return kvz::guided_locate(s, u);
    });
    add_table_floor("guided_interpolate_1001", gamma, [](const kvz::DistSlot& s, double u) {
        return kvz::table_draw_interpolate(s, u);
    });
}

}  // namespace bench
