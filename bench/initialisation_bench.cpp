// dinitialise per type, untruncated and truncated (moments from the density
// and from quantile strips), and precalc of the table methods. No peer does
// this work; the report gives the times against fixed limits.
#include "bench/bench_common.h"

namespace bench {

namespace {

struct Case {
    const char* which;
    SlotSetup setup;
};

// Untruncated slots of every initialised type.
const Case kUntruncated[] = {
    {"uniform", {.dtype = 2, .minimum = 0, .maximum = 1}},
    {"triangular", {.dtype = 3, .mode = 1, .minimum = 0, .maximum = 3}},
    {"normal", {.dtype = 4, .mean = 0, .stdev = 1}},
    {"poisson_mean4", {.dtype = 6, .mean = 4}},
    {"poisson_mean400", {.dtype = 6, .mean = 400}},
    {"geometric", {.dtype = 7, .p = 0.3}},
    {"exponential", {.dtype = 8, .mean = 2}},
    {"binomial_n10", {.dtype = 9, .p = 0.3, .n = 10}},
    {"binomial_n1000", {.dtype = 9, .p = 0.3, .n = 1000}},
    {"pareto", {.dtype = 10, .mode = 1, .shape_a = 3}},
    {"beta", {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3}},
    {"gamma", {.dtype = 12, .scale = 2, .shape_a = 3}},
    {"cauchy", {.dtype = 13, .mean = 0, .scale = 1}},
    {"exp_power", {.dtype = 14, .mean = 0, .scale = 1, .shape_a = 1.5}},
    {"gumbel", {.dtype = 15, .mode = 0, .scale = 1}},
    {"weibull", {.dtype = 16, .minimum = 0, .scale = 2, .shape_a = 1.5}},
    {"hypergeometric", {.dtype = 17, .pop = 50, .popsuc = 20, .sam = 10}},
    {"wald", {.dtype = 18, .scale = 2}},
    {"laplace", {.dtype = 19, .mean = 0, .scale = 1}},
    {"log_series", {.dtype = 20, .shape_a = 0.9}},
    {"logistic", {.dtype = 21, .mean = 0, .stdev = 1}},
    {"lognormal_by_moments", {.dtype = 22, .mean = 1, .stdev = 0.5}},
    {"lognormal", {.dtype = 23, .lmean = 0, .lstdev = 0.5}},
    {"erlang", {.dtype = 24, .scale = 2, .shape_a = 3}},
    {"chi_square", {.dtype = 25, .shape_a = 5}},
    {"power_function", {.dtype = 26, .minimum = 0, .maximum = 1, .shape_a = 2}},
    {"rayleigh", {.dtype = 27, .scale = 1}},
    {"discrete_uniform", {.dtype = 28, .minimum = 1, .maximum = 6}},
    {"inverse_gaussian", {.dtype = 29, .mean = 1, .scale = 2}},
    {"normal_binomial", {.dtype = 30, .p = 0.3, .n = 100}},
    {"normal_poisson", {.dtype = 31, .mean = 50}},
    {"lognormal_by_median", {.dtype = 34, .median = 1, .lstdev = 0.5}},
    {"student_t", {.dtype = 35, .shape_a = 5}},
};

// Truncated slots; the name says which moment method the type's rule picks.
const Case kTruncated[] = {
    {"normal_density", {.dtype = 4, .mean = 0, .stdev = 1, .t_min_flag = true, .t_min = -1,
                        .t_max_flag = true, .t_max = 2}},
    {"normal_below_density", {.dtype = 4, .mean = 0, .stdev = 1, .t_min_flag = true, .t_min = 0}},
    {"gamma_a3_density", {.dtype = 12, .scale = 2, .shape_a = 3, .t_min_flag = true, .t_min = 1,
                          .t_max_flag = true, .t_max = 10}},
    {"gamma_a3_above_density", {.dtype = 12, .scale = 2, .shape_a = 3, .t_max_flag = true,
                                .t_max = 10}},
    {"gamma_a0.5_quantile", {.dtype = 12, .scale = 2, .shape_a = 0.5, .t_min_flag = true,
                             .t_min = 0.1, .t_max_flag = true, .t_max = 5}},
    {"beta_a2_b3_density", {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 2, .shape_b = 3,
                            .t_min_flag = true, .t_min = 0.1, .t_max_flag = true, .t_max = 0.9}},
    {"beta_a0.5_b2_quantile", {.dtype = 11, .minimum = 0, .maximum = 1, .shape_a = 0.5,
                               .shape_b = 2, .t_min_flag = true, .t_min = 0.1,
                               .t_max_flag = true, .t_max = 0.9}},
    {"power_a2_density", {.dtype = 26, .minimum = 0, .maximum = 1, .shape_a = 2,
                          .t_min_flag = true, .t_min = 0.2}},
    {"power_a0.5_quantile", {.dtype = 26, .minimum = 0, .maximum = 1, .shape_a = 0.5,
                             .t_min_flag = true, .t_min = 0.2}},
    {"inverse_gaussian_quantile", {.dtype = 29, .mean = 1, .scale = 2, .t_min_flag = true,
                                   .t_min = 0.5, .t_max_flag = true, .t_max = 3}},
    {"weibull_density", {.dtype = 16, .minimum = 0, .scale = 2, .shape_a = 1.5,
                         .t_max_flag = true, .t_max = 4}},
    {"lognormal_density", {.dtype = 23, .lmean = 0, .lstdev = 0.5, .t_min_flag = true,
                           .t_min = 0.5, .t_max_flag = true, .t_max = 3}},
    {"student_t_density", {.dtype = 35, .shape_a = 5, .t_min_flag = true, .t_min = -2,
                           .t_max_flag = true, .t_max = 3}},
    {"exp_power_density", {.dtype = 14, .mean = 0, .scale = 1, .shape_a = 1.5,
                           .t_min_flag = true, .t_min = -1, .t_max_flag = true, .t_max = 2}},
    {"poisson_density", {.dtype = 6, .mean = 4, .t_min_flag = true, .t_min = 2,
                         .t_max_flag = true, .t_max = 10}},
    {"binomial_n1000_density", {.dtype = 9, .p = 0.3, .n = 1000, .t_min_flag = true,
                                .t_min = 250, .t_max_flag = true, .t_max = 350}},
};

// Slots whose precalc builds a table (and one direct method for scale).
const char* const kPrecalc[] = {
    "normal", "gamma", "beta", "chi_square", "exp_power", "inverse_gaussian", "wald",
    "poisson_mean4", "poisson_mean400", "geometric", "binomial_n10", "binomial_n1000",
    "hypergeometric", "log_series",
};

void add_dinitialise(const std::string& which, const SlotSetup& setup) {
    add(name("dinitialise", which, "kvz"), 1, [setup](benchmark::State& state) {
        for (auto _ : state) initialise(kSlot, setup);  // the setters cost a few ns
    });
}

void add_precalc(const std::string& which, const SlotSetup& setup) {
    add(name("precalc", which, "kvz"), 1, [setup](benchmark::State& state) {
        set_rng_type(0, 1);
        initialise(kSlot, setup);
        for (auto _ : state) precalc(kSlot);
    });
}

}  // namespace

void register_initialisation() {
    for (const auto& c : kUntruncated) add_dinitialise(c.which, c.setup);
    for (const auto& c : kTruncated) {
        add_dinitialise(std::string("truncated_") + c.which, c.setup);
    }
    for (const char* which : kPrecalc) {
        for (const auto& c : kUntruncated) {
            if (std::string(c.which) == which) add_precalc(which, c.setup);
        }
    }
    for (const auto& c : kTruncated) {
        if (std::string(c.which).rfind("exp_power", 0) == 0) continue;  // same table as the others
        add_precalc(std::string("truncated_") + c.which, c.setup);
    }
}

}  // namespace bench
