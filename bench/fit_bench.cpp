// Fitting on 10,000 values: each type alone, and every type of the data's
// class in turn (what a host ranking the fits calls), continuous values drawn
// from a gamma and whole numbers from a Poisson. No peer runs in this
// program; the figures are absolute, per fit (one item per fit).
#include <vector>

#include "bench/bench_common.h"
#include "include/kvz_comp_batch.h"
#include "include/kvz_comp_fit.h"
#include "interface/catalogue.h"

namespace bench {

namespace {

constexpr int kValues = 10000;
constexpr int kSource = 1;
constexpr int kSeed = 2024;

std::vector<double> sample_of(const SlotSetup& setup) {
    set_rng_type(0, kSeed);
    prepare(kSource, setup);
    std::vector<double> x(kValues);
    dvalue_batch(kSource, x.data(), kValues);
    return x;
}

// The fitted types of one class (1 continuous, 2 discrete), each once: an
// alias is fitted through its base.
std::vector<int> fitted_types(int dclass) {
    std::vector<int> codes;
    for (int c = 0; c < kvz::kTypeCodes; ++c)
        if (c != 0 && kvz::kFitAs(c) == c && (kvz::type_row(kvz::kInitialiseAlias(c)).dclass == 2) == (dclass == 2))
            codes.push_back(c);
    return codes;
}

int fit_once(int dtype, const std::vector<double>& x, std::vector<unsigned char>& work) {
    set_pdf_dtype(kSlot, dtype);
    set_pdf_t_min(kSlot, 0, 0.0);
    set_pdf_t_max(kSlot, 0, 0.0);
    kvz_fit_result r{};
    r.minimum = r.maximum = __builtin_nan("");
    return fit_pdf(kSlot, dtype, x.data(), kValues, work.data(), work.size(), &r);
}

void add_class(const char* which, int dclass, const SlotSetup& source) {
    const std::vector<int> codes = fitted_types(dclass);
    for (int code : codes) {
        add(name("fit", std::string(which) + "_" + std::to_string(code), "kvz"), 1,
            [code, source](benchmark::State& state) {
                const std::vector<double> x = sample_of(source);
                std::vector<unsigned char> work(fit_pdf_work_size(code, kValues));
                for (auto _ : state) benchmark::DoNotOptimize(fit_once(code, x, work));
            });
    }
    add(name("fit", std::string(which) + "_all", "kvz"), 1, [codes, source](benchmark::State& state) {
        const std::vector<double> x = sample_of(source);
        std::vector<unsigned char> work(fit_pdf_work_size(codes.front(), kValues));  // the same for every type
        for (auto _ : state)
            for (int code : codes) benchmark::DoNotOptimize(fit_once(code, x, work));
    });
}

}  // namespace

void register_fit() {
    add_class("continuous", 1, {.dtype = 12, .scale = 2, .shape_a = 3});
    add_class("discrete", 2, {.dtype = 6, .mean = 4});
}

}  // namespace bench
