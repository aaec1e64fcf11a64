#include "session.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "kvz_comp.h"
#include "kvz_comp_batch.h"
#include "kvz_comp_fit.h"

namespace kvzcalc {

namespace {

using RealSetter = void (*)(int, double);
using IntSetter = void (*)(int, int);

// Per input field: the library's setter, and where fit_pdf reports the fitted value.
struct Setter {
    std::string_view field;
    RealSetter real;
    IntSetter whole;
    double kvz_fit_inputs::*fitted_real;
    int kvz_fit_inputs::*fitted_whole;
};

constexpr Setter kSetters[] = {
    {"mean", set_pdf_mean, nullptr, &kvz_fit_inputs::mean, nullptr},
    {"lmean", set_pdf_lmean, nullptr, &kvz_fit_inputs::lmean, nullptr},
    {"mode", set_pdf_mode, nullptr, &kvz_fit_inputs::mode, nullptr},
    {"median", set_pdf_median, nullptr, &kvz_fit_inputs::median, nullptr},
    {"stdev", set_pdf_stdev, nullptr, &kvz_fit_inputs::stdev, nullptr},
    {"lstdev", set_pdf_lstdev, nullptr, &kvz_fit_inputs::lstdev, nullptr},
    {"minimum", set_pdf_minimum, nullptr, &kvz_fit_inputs::minimum, nullptr},
    {"maximum", set_pdf_maximum, nullptr, &kvz_fit_inputs::maximum, nullptr},
    {"scale", set_pdf_scale, nullptr, &kvz_fit_inputs::scale, nullptr},
    {"shape_a", set_pdf_shape_a, nullptr, &kvz_fit_inputs::shape_a, nullptr},
    {"shape_b", set_pdf_shape_b, nullptr, &kvz_fit_inputs::shape_b, nullptr},
    {"p", set_pdf_p, nullptr, &kvz_fit_inputs::p, nullptr},
    {"n", nullptr, set_pdf_n, nullptr, &kvz_fit_inputs::n},
    {"pop", nullptr, set_pdf_pop, nullptr, nullptr},
    {"popsuc", nullptr, set_pdf_popsuc, nullptr, nullptr},
    {"sam", nullptr, set_pdf_sam, nullptr, nullptr},
};

const Setter& setter(std::string_view field) {
    for (const Setter& s : kSetters)
        if (s.field == field) return s;
    throw std::logic_error("no setter for the field " + std::string(field));
}

std::optional<double> guarded(int exists, double value) {
    if (exists) return value;
    return std::nullopt;
}

End end_of(bool exists, bool truncated, bool open) {
    if (!exists) return End::quantile;
    return open && !truncated ? End::working : End::bound;
}

}  // namespace

FieldValues fitted_values(const TypeInfo& type, const kvz_fit_inputs& fitted) {
    FieldValues values(fields().size());
    for (std::size_t i : type.inputs) {
        const Setter& s = setter(fields()[i].name);
        if (s.fitted_real) values[i] = fitted.*s.fitted_real;
        else if (s.fitted_whole) values[i] = static_cast<double>(fitted.*s.fitted_whole);
    }
    return values;
}

Session::Session(const Request& request, int slot)
    : type_(request.type), values_(request.values), truncated_(request.truncated()), slot_(slot) {
    // The type goes first: the chi-square type halves shape_a as it is set.
    set_pdf_dtype(slot_, request.type->code);
    const auto& all = fields();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const std::optional<double>& v = request.values[i];
        if (!v) continue;
        const Setter& s = setter(all[i].name);
        if (s.real) s.real(slot_, *v);
        else s.whole(slot_, static_cast<int>(*v));
    }
    set_pdf_t_min(slot_, request.t_min ? 1 : 0, request.t_min.value_or(0.0));
    set_pdf_t_max(slot_, request.t_max ? 1 : 0, request.t_max.value_or(0.0));
    dinitialise(slot_);
}

double Session::quantile(double p) const { return get_pdf_g_whole(slot_, p); }

// The F type: a = shape_a and b = shape_b degrees of freedom,
// F(x) = I(a / 2, b / 2, a x / (a x + b)) for x > 0.
double Session::betai_cdf(double x) const {
    if (!(x > 0.0)) return 0.0;
    const double a = *values_[field_index("shape_a")];
    const double b = *values_[field_index("shape_b")];
    return betai(a / 2.0, b / 2.0, a * x / (a * x + b));
}

// The range of a type known by its density and betai_cdf: from 0 to the 0.995 quantile.
Summary Session::betai_summary() const {
    constexpr double kUpper = 0.995;
    constexpr int kSteps = 200;
    Summary s;
    for (const char* name : {"mean", "mode", "median", "variance", "stdev", "skewness", "kurtosis"})
        s.statistics.push_back({name, std::nullopt});
    double low = 0.0, high = 1.0;
    for (int i = 0; i < kSteps && betai_cdf(high) < kUpper; ++i) {
        low = high;
        high *= 2.0;
    }
    for (int i = 0; i < kSteps; ++i) {
        const double mid = low + (high - low) / 2.0;
        if (mid <= low || mid >= high) break;
        (betai_cdf(mid) < kUpper ? low : high) = mid;
    }
    s.maximum = high;
    s.p_max = betai_cdf(high);
    s.lower = End::bound;
    s.upper = End::quantile;
    return s;
}

Summary Session::summary() const {
    if (type_->betai_cdf) return betai_summary();
    Summary s;
    s.discrete = get_pdf_dclass(slot_) == 2;
    const int var = get_pdf_var_exists(slot_);
    // A discrete type's median is the smallest whole number whose cumulative reaches one half.
    s.whole_median = s.discrete && !get_pdf_med_exists(slot_);
    const std::optional<double> median =
        s.whole_median ? std::optional<double>(quantile(0.5)) : guarded(get_pdf_med_exists(slot_), get_pdf_median(slot_));
    s.statistics = {
        {"mean", guarded(get_pdf_avg_exists(slot_), get_pdf_mean(slot_))},
        {"mode", guarded(get_pdf_mod_exists(slot_), get_pdf_mode(slot_))},
        {"median", median},
        {"variance", guarded(var, get_pdf_variance(slot_))},
        {"stdev", guarded(var, get_pdf_stdev(slot_))},
        {"skewness", guarded(get_pdf_skw_exists(slot_), get_pdf_skewness(slot_))},
        {"kurtosis", guarded(get_pdf_krt_exists(slot_), get_pdf_kurtosis(slot_))},
    };
    s.minimum = get_pdf_minimum(slot_);
    s.maximum = get_pdf_maximum(slot_);
    s.p_min = get_pdf_p_min(slot_);
    s.p_max = get_pdf_p_max(slot_);
    s.lower = end_of(get_pdf_min_exists(slot_) != 0, truncated_, false);
    s.upper = end_of(get_pdf_max_exists(slot_) != 0, truncated_, type_->open_above);
    // The masses summed up to the working end, not the 1 the library reports for a bound.
    if (s.upper == End::working) s.p_max = get_pdf_f(slot_, s.maximum);
    return s;
}

std::vector<double> Session::evaluate(Function f, const std::vector<double>& points) const {
    std::vector<double> out(points.size());
    const int count = static_cast<int>(points.size());
    switch (f) {
    case Function::pdf: get_pdf_pdf_batch(slot_, points.data(), out.data(), count); break;
    case Function::cdf:
        if (type_->betai_cdf) std::transform(points.begin(), points.end(), out.begin(), [this](double x) { return betai_cdf(x); });
        else get_pdf_f_batch(slot_, points.data(), out.data(), count);
        break;
    case Function::quantile:
        // Discrete types through the whole-number quantile, which answers untruncated slots too.
        if (type_->discrete) std::transform(points.begin(), points.end(), out.begin(), [this](double p) { return quantile(p); });
        else get_pdf_g_batch(slot_, points.data(), out.data(), count);
        break;
    }
    return out;
}

std::vector<int> Session::pdf_valid(const std::vector<double>& points) const {
    std::vector<int> out;
    out.reserve(points.size());
    for (double x : points) out.push_back(get_pdf_pdf_valid(slot_, x));
    return out;
}

void seed_generator(int generator, int seed) {
    set_rng_type(generator, seed);
}

void Session::prepare_sampling(int generator, int seed) {
    seed_generator(generator, seed);
    prepare();
}

void Session::prepare() { precalc(slot_); }

void Session::draw(std::vector<double>& out, int count) {
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(count));
    dvalue_batch(slot_, out.data() + start, count);
}

}  // namespace kvzcalc
