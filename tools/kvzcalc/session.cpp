#include "session.h"

#include "kvz_comp.h"
#include "kvz_comp_batch.h"

namespace kvzcalc {

namespace {

using RealSetter = void (*)(int, double);
using IntSetter = void (*)(int, int);

struct Setter {
    Field field;
    RealSetter real;
    IntSetter whole;
};

// The library's setter of each input field.
constexpr Setter kSetters[] = {
    {Field::mean, set_pdf_mean, nullptr},       {Field::lmean, set_pdf_lmean, nullptr},
    {Field::mode, set_pdf_mode, nullptr},       {Field::median, set_pdf_median, nullptr},
    {Field::stdev, set_pdf_stdev, nullptr},     {Field::lstdev, set_pdf_lstdev, nullptr},
    {Field::minimum, set_pdf_minimum, nullptr}, {Field::maximum, set_pdf_maximum, nullptr},
    {Field::scale, set_pdf_scale, nullptr},     {Field::shape_a, set_pdf_shape_a, nullptr},
    {Field::shape_b, set_pdf_shape_b, nullptr}, {Field::p, set_pdf_p, nullptr},
    {Field::n, nullptr, set_pdf_n},             {Field::pop, nullptr, set_pdf_pop},
    {Field::popsuc, nullptr, set_pdf_popsuc},   {Field::sam, nullptr, set_pdf_sam},
};

constexpr int kRngPlain = 0;
constexpr int kRngShuffled = 20;
constexpr int kRngStratified = 15;

std::optional<double> guarded(int exists, double value) {
    if (exists) return value;
    return std::nullopt;
}

}  // namespace

Session::Session(const Request& request, int slot) : slot_(slot) {
    // The type goes first: the chi-square type halves shape_a as it is set.
    set_pdf_dtype(slot_, request.type->code);
    for (const Setter& s : kSetters) {
        const std::optional<double>& v = request[s.field];
        if (!v) continue;
        if (s.real) s.real(slot_, *v);
        else s.whole(slot_, static_cast<int>(*v));
    }
    set_pdf_t_min(slot_, request.t_min ? 1 : 0, request.t_min.value_or(0.0));
    set_pdf_t_max(slot_, request.t_max ? 1 : 0, request.t_max.value_or(0.0));
    dinitialise(slot_);
}

Summary Session::summary() const {
    Summary s;
    s.discrete = get_pdf_dclass(slot_) == 2;
    const int var = get_pdf_var_exists(slot_);
    s.statistics = {
        {"mean", guarded(get_pdf_avg_exists(slot_), get_pdf_mean(slot_))},
        {"mode", guarded(get_pdf_mod_exists(slot_), get_pdf_mode(slot_))},
        {"median", guarded(get_pdf_med_exists(slot_), get_pdf_median(slot_))},
        {"variance", guarded(var, get_pdf_variance(slot_))},
        {"stdev", guarded(var, get_pdf_stdev(slot_))},
        {"skewness", guarded(get_pdf_skw_exists(slot_), get_pdf_skewness(slot_))},
        {"kurtosis", guarded(get_pdf_krt_exists(slot_), get_pdf_kurtosis(slot_))},
    };
    s.minimum = get_pdf_minimum(slot_);
    s.maximum = get_pdf_maximum(slot_);
    s.p_min = get_pdf_p_min(slot_);
    s.p_max = get_pdf_p_max(slot_);
    s.bounded_below = get_pdf_min_exists(slot_) != 0;
    s.bounded_above = get_pdf_max_exists(slot_) != 0;
    return s;
}

std::vector<double> Session::evaluate(Function f, const std::vector<double>& points) const {
    std::vector<double> out(points.size());
    const int count = static_cast<int>(points.size());
    switch (f) {
    case Function::pdf: get_pdf_pdf_batch(slot_, points.data(), out.data(), count); break;
    case Function::cdf: get_pdf_f_batch(slot_, points.data(), out.data(), count); break;
    case Function::quantile: get_pdf_g_batch(slot_, points.data(), out.data(), count); break;
    }
    return out;
}

std::vector<int> Session::pdf_valid(const std::vector<double>& points) const {
    std::vector<int> out;
    out.reserve(points.size());
    for (double x : points) out.push_back(get_pdf_pdf_valid(slot_, x));
    return out;
}

void seed_generator(RngKind kind, int seed) {
    const int code = kind == RngKind::shuffled     ? kRngShuffled
                     : kind == RngKind::stratified ? kRngStratified
                                                   : kRngPlain;
    set_rng_type(code, seed);
}

void Session::prepare_sampling(RngKind kind, int seed) {
    seed_generator(kind, seed);
    prepare();
}

void Session::prepare() { precalc(slot_); }

void Session::draw(std::vector<double>& out, int count) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(count));
    dvalue_batch(slot_, out.data() + start, count);
}

}  // namespace kvzcalc
