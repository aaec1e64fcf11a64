// Shared pieces of the benchmarks: slots set up through the exports as a
// host sets them, and the naming that bench/report.py reads back.
//
// Every benchmark is named "<section>/<case>/<implementation>" and reports
// items processed, so that the report can put the library ("kvz") beside its
// fastest peer of the same section and case, as time per value.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <utility>

#include "include/kvz_comp.h"

namespace bench {

// One slot as a host describes it; fields left at zero are set as zero.
struct SlotSetup {
    int dtype = 0;
    double mean = 0, lmean = 0, mode = 0, median = 0, stdev = 0, lstdev = 0;
    double minimum = 0, maximum = 0, scale = 0, shape_a = 0, shape_b = 0, p = 0;
    int n = 0, pop = 0, popsuc = 0, sam = 0;
    bool t_min_flag = false;
    double t_min = 0;
    bool t_max_flag = false;
    double t_max = 0;
};

// The benchmarks share one slot; each sets it up again before it measures.
constexpr int kSlot = 0;

// Stores the inputs of `s` into `slot` (type first, as the chi-square halving
// of shape_a requires) without initialising it.
inline void set_inputs(int slot, const SlotSetup& s) {
    set_pdf_dtype(slot, s.dtype);
    set_pdf_mean(slot, s.mean);
    set_pdf_lmean(slot, s.lmean);
    set_pdf_mode(slot, s.mode);
    set_pdf_median(slot, s.median);
    set_pdf_stdev(slot, s.stdev);
    set_pdf_lstdev(slot, s.lstdev);
    set_pdf_minimum(slot, s.minimum);
    set_pdf_maximum(slot, s.maximum);
    set_pdf_scale(slot, s.scale);
    set_pdf_shape_a(slot, s.shape_a);
    set_pdf_shape_b(slot, s.shape_b);
    set_pdf_p(slot, s.p);
    set_pdf_n(slot, s.n);
    set_pdf_pop(slot, s.pop);
    set_pdf_popsuc(slot, s.popsuc);
    set_pdf_sam(slot, s.sam);
    set_pdf_t_min(slot, s.t_min_flag ? 1 : 0, s.t_min);
    set_pdf_t_max(slot, s.t_max_flag ? 1 : 0, s.t_max);
}

inline void initialise(int slot, const SlotSetup& s) {
    set_inputs(slot, s);
    dinitialise(slot);
}

inline void prepare(int slot, const SlotSetup& s) {
    initialise(slot, s);
    precalc(slot);
}

inline std::string name(const std::string& section, const std::string& which,
                        const std::string& impl) {
    return section + "/" + which + "/" + impl;
}

// Registers `body(state)`; the body processes `per_iteration` values per
// iteration of the timing loop and the count is reported as items.
template <class Body>
void add(const std::string& full_name, long per_iteration, Body body) {
    benchmark::RegisterBenchmark(full_name.c_str(),
                                 [per_iteration, body](benchmark::State& state) {
                                     body(state);
                                     state.SetItemsProcessed(state.iterations() * per_iteration);
                                 });
}

// Registration hooks of the benchmark sources, called by main.
void register_sampling();
void register_generator();
void register_evaluation();
void register_initialisation();
void register_floor();
void register_guard();
void register_correlated();
void register_fit();

}  // namespace bench
