// The exported functions: resolve the slot index once, then read or write the
// record or call the operation. An index outside 0..20 touches nothing: setters
// do nothing, getters and computations answer 0. Calls that draw from the
// generator or reseed it hold its guard for the whole call, never per value.
#include "eval/eval.h"
#include "include/kvz_comp.h"
#include "include/kvz_comp_batch.h"
#include "init/init.h"
#include "interface/catalogue.h"
#include "interface/slot.h"
#include "sampling/sampling.h"
#include "special/special.h"

namespace {

using kvz::DistSlot;
using kvz::Flag;
using kvz::slot_at;

template <class Field, class Value>
void store(int slot, Field DistSlot::*field, Value value) {
    if (DistSlot* s = slot_at(slot)) s->*field = static_cast<Field>(value);
}

int read_flag(int slot, Flag DistSlot::*flag) {
    const DistSlot* s = slot_at(slot);
    return s ? static_cast<int>(s->*flag) : 0;
}

// A statistic reads 0.0 while its existence flag is clear.
double read_statistic(int slot, Flag DistSlot::*exists, double DistSlot::*value) {
    const DistSlot* s = slot_at(slot);
    return (s && s->*exists) ? s->*value : 0.0;
}

// The cumulative probability at an end of the reported range: 0 or 1 at a
// bound, the working quantile's probability otherwise.
double end_probability(int slot, Flag DistSlot::*bounded, double at_bound, double at_quantile) {
    const DistSlot* s = slot_at(slot);
    if (!s) return 0.0;
    return s->*bounded == 1 ? at_bound : at_quantile;
}

// Some operations keep values in the slot for later calls (the checkpoints
// of a sum of masses), so the slot is handed over as the caller's to change.
template <class Op>
double evaluate(int slot, double x, Op op) {
    DistSlot* s = slot_at(slot);
    return s ? op(*s, x) : 0.0;
}

template <class Op>
void evaluate_array(int slot, const double* x, double* out, int count, Op op) {
    DistSlot* s = slot_at(slot);
    if (!s || !x || !out) return;
    for (int i = 0; i < count; ++i) out[i] = op(*s, x[i]);
}

}  // namespace

extern "C" {

void KVZ_CALL set_pdf_dtype(int slot, int v) { store(slot, &DistSlot::dtype, v); }
void KVZ_CALL set_pdf_mean(int slot, double v) { store(slot, &DistSlot::mean, v); }
void KVZ_CALL set_pdf_lmean(int slot, double v) { store(slot, &DistSlot::lmean, v); }
void KVZ_CALL set_pdf_mode(int slot, double v) { store(slot, &DistSlot::mode, v); }
void KVZ_CALL set_pdf_median(int slot, double v) { store(slot, &DistSlot::median, v); }
void KVZ_CALL set_pdf_stdev(int slot, double v) { store(slot, &DistSlot::stdev, v); }
void KVZ_CALL set_pdf_lstdev(int slot, double v) { store(slot, &DistSlot::lstdev, v); }
void KVZ_CALL set_pdf_minimum(int slot, double v) { store(slot, &DistSlot::minimum, v); }
void KVZ_CALL set_pdf_maximum(int slot, double v) { store(slot, &DistSlot::maximum, v); }
void KVZ_CALL set_pdf_scale(int slot, double v) { store(slot, &DistSlot::scale, v); }
void KVZ_CALL set_pdf_shape_b(int slot, double v) { store(slot, &DistSlot::shape_b, v); }
void KVZ_CALL set_pdf_p(int slot, double v) { store(slot, &DistSlot::p, v); }
void KVZ_CALL set_pdf_n(int slot, int v) { store(slot, &DistSlot::n, v); }
void KVZ_CALL set_pdf_pop(int slot, int v) { store(slot, &DistSlot::pop, v); }
void KVZ_CALL set_pdf_popsuc(int slot, int v) { store(slot, &DistSlot::popsuc, v); }
void KVZ_CALL set_pdf_sam(int slot, int v) { store(slot, &DistSlot::sam, v); }

// Chi-square takes its degrees of freedom here and works with half of them.
void KVZ_CALL set_pdf_shape_a(int slot, double v) {
    if (DistSlot* s = slot_at(slot)) {
        s->shape_a = v;
        if (s->dtype == kvz::kChiSquare) s->shape_a = s->shape_a / 2.0;
    }
}

// Only the low byte of a truncation flag is kept.
void KVZ_CALL set_pdf_t_min(int slot, int flag, double v) {
    if (DistSlot* s = slot_at(slot)) {
        s->t_min_flag = static_cast<Flag>(flag & 0xFF);
        s->t_min = v;
    }
}
void KVZ_CALL set_pdf_t_max(int slot, int flag, double v) {
    if (DistSlot* s = slot_at(slot)) {
        s->t_max_flag = static_cast<Flag>(flag & 0xFF);
        s->t_max = v;
    }
}

int KVZ_CALL get_pdf_dclass(int slot) {
    const DistSlot* s = slot_at(slot);
    return s ? s->dclass : 0;
}
int KVZ_CALL get_pdf_min_exists(int slot) { return read_flag(slot, &DistSlot::min_exists); }
int KVZ_CALL get_pdf_max_exists(int slot) { return read_flag(slot, &DistSlot::max_exists); }
int KVZ_CALL get_pdf_avg_exists(int slot) { return read_flag(slot, &DistSlot::avg_exists); }
int KVZ_CALL get_pdf_var_exists(int slot) { return read_flag(slot, &DistSlot::var_exists); }
int KVZ_CALL get_pdf_mod_exists(int slot) { return read_flag(slot, &DistSlot::mod_exists); }
int KVZ_CALL get_pdf_med_exists(int slot) { return read_flag(slot, &DistSlot::med_exists); }
int KVZ_CALL get_pdf_skw_exists(int slot) { return read_flag(slot, &DistSlot::skw_exists); }
int KVZ_CALL get_pdf_krt_exists(int slot) { return read_flag(slot, &DistSlot::krt_exists); }
int KVZ_CALL get_pmin_extend(int slot) { return read_flag(slot, &DistSlot::pmin_extend); }
int KVZ_CALL get_pmax_extend(int slot) { return read_flag(slot, &DistSlot::pmax_extend); }

double KVZ_CALL get_pdf_mean(int slot) {
    return read_statistic(slot, &DistSlot::avg_exists, &DistSlot::dmean);
}
double KVZ_CALL get_pdf_mode(int slot) {
    return read_statistic(slot, &DistSlot::mod_exists, &DistSlot::dmode);
}
double KVZ_CALL get_pdf_median(int slot) {
    return read_statistic(slot, &DistSlot::med_exists, &DistSlot::dmedian);
}
double KVZ_CALL get_pdf_variance(int slot) {
    return read_statistic(slot, &DistSlot::var_exists, &DistSlot::dvariance);
}
double KVZ_CALL get_pdf_stdev(int slot) {
    return read_statistic(slot, &DistSlot::var_exists, &DistSlot::dstdev);
}
double KVZ_CALL get_pdf_skewness(int slot) {
    return read_statistic(slot, &DistSlot::skw_exists, &DistSlot::dskewness);
}
double KVZ_CALL get_pdf_kurtosis(int slot) {
    return read_statistic(slot, &DistSlot::krt_exists, &DistSlot::dkurtosis);
}
double KVZ_CALL get_pdf_minimum(int slot) {
    const DistSlot* s = slot_at(slot);
    return s ? s->dminimum : 0.0;
}
double KVZ_CALL get_pdf_maximum(int slot) {
    const DistSlot* s = slot_at(slot);
    return s ? s->dmaximum : 0.0;
}
double KVZ_CALL get_pdf_p_min(int slot) {
    return end_probability(slot, &DistSlot::min_exists, 0.0, kvz::kRangeLowProbability);
}
double KVZ_CALL get_pdf_p_max(int slot) {
    return end_probability(slot, &DistSlot::max_exists, 1.0, kvz::kRangeHighProbability);
}

void KVZ_CALL dinitialise(int slot) {
    if (DistSlot* s = slot_at(slot)) kvz::dinitialise(*s);
}
double KVZ_CALL get_pdf_pdf(int slot, double x) { return evaluate(slot, x, kvz::density); }
int KVZ_CALL get_pdf_pdf_valid(int slot, double x) {
    const DistSlot* s = slot_at(slot);
    return s ? kvz::density_valid(*s, x) : 0;
}
double KVZ_CALL get_pdf_f(int slot, double x) { return evaluate(slot, x, kvz::cumulative_kept); }
double KVZ_CALL get_pdf_g(int slot, double p) { return evaluate(slot, p, kvz::inverse); }
double KVZ_CALL betai(double a, double b, double x) { return kvz::betai(a, b, x); }
void KVZ_CALL set_rng_type(int kind, int seed) {
    kvz::GeneratorGuard guard;
    kvz::set_rng_type(kind, seed);
}
double KVZ_CALL rng(void) { return kvz::rng_guarded(); }
void KVZ_CALL precalc(int slot) {
    if (DistSlot* s = slot_at(slot)) kvz::precalc(*s);
}
double KVZ_CALL dvalue(int slot) {
    DistSlot* s = slot_at(slot);
    if (!s) return 0.0;
    kvz::GeneratorGuard guard;
    return kvz::dvalue(*s);
}

void KVZ_CALL rng_batch(double* out, int count) {
    if (!out || count <= 0) return;
    kvz::GeneratorGuard guard;
    kvz::rng_batch(out, count);
}
void KVZ_CALL dvalue_batch(int slot, double* out, int count) {
    DistSlot* s = slot_at(slot);
    if (!s || !out || count <= 0) return;
    kvz::GeneratorGuard guard;
    kvz::dvalue_batch(*s, out, count);
}
void KVZ_CALL get_pdf_pdf_batch(int slot, const double* x, double* out, int count) {
    evaluate_array(slot, x, out, count, kvz::density);
}
void KVZ_CALL get_pdf_f_batch(int slot, const double* x, double* out, int count) {
    evaluate_array(slot, x, out, count, kvz::cumulative_kept);
}
void KVZ_CALL get_pdf_g_batch(int slot, const double* p, double* out, int count) {
    evaluate_array(slot, p, out, count, kvz::inverse);
}
double KVZ_CALL get_pdf_g_whole(int slot, double p) { return evaluate(slot, p, kvz::inverse_whole); }

}  // extern "C"
