#include "types.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace kvzcalc {

namespace {

using F = Field;
constexpr Offered kTruncated = Offered::when_truncated;
constexpr Offered kNever = Offered::never;
constexpr Offered kAlways = Offered::always;

const std::vector<FieldInfo> kFields = {
    {F::mean, "mean", "--mean", false,
     "mean; the location of cauchy, laplace, exponential-power; the value of degenerate"},
    {F::lmean, "lmean", "--lmean", false, "mean of the logarithm (lognormal)"},
    {F::mode, "mode", "--mode", false, "mode; the peak of triangular, lower bound of pareto, location of gumbel"},
    {F::median, "median", "--median", false, "median (lognormal-median)"},
    {F::stdev, "stdev", "--stdev", false, "standard deviation"},
    {F::lstdev, "lstdev", "--lstdev", false, "standard deviation of the logarithm (lognormal, lognormal-median)"},
    {F::minimum, "minimum", "--minimum", false, "lower bound; the location of weibull"},
    {F::maximum, "maximum", "--maximum", false, "upper bound"},
    {F::scale, "scale", "--scale", false, "scale; the shape of inverse-gaussian and wald"},
    {F::shape_a, "shape_a", "--shape-a", false,
     "first shape; the degrees of freedom of chi-square, student-t, and f's numerator"},
    {F::shape_b, "shape_b", "--shape-b", false, "second shape; the denominator degrees of freedom of f"},
    {F::p, "p", "--p", false, "probability of success"},
    {F::n, "n", "--n", true, "number of trials"},
    {F::pop, "pop", "--pop", true, "population size (hypergeometric)"},
    {F::popsuc, "popsuc", "--popsuc", true, "successes in the population (hypergeometric)"},
    {F::sam, "sam", "--sam", true, "sample size (hypergeometric)"},
};

// Columns: code, name, aliases, inputs, description, then what the library
// leaves out: statistics, cumulative, quantile, variates (always unless given).
const std::vector<TypeInfo> kTypes = {
    {1, "degenerate", {"constant"}, {F::mean}, "a single value"},
    {2, "uniform", {}, {F::minimum, F::maximum}, "continuous uniform on [minimum, maximum]"},
    {3, "triangular", {}, {F::minimum, F::mode, F::maximum}, "triangular with peak at mode"},
    {4, "normal", {"gaussian"}, {F::mean, F::stdev}, "normal"},
    {6, "poisson", {}, {F::mean}, "Poisson", kAlways, kAlways, kTruncated},
    {7, "geometric", {}, {F::p}, "failures before the first success", kAlways, kAlways, kTruncated},
    {8, "exponential", {}, {F::mean}, "exponential"},
    {9, "binomial", {}, {F::n, F::p}, "binomial", kAlways, kAlways, kTruncated},
    {10, "pareto", {}, {F::mode, F::shape_a}, "Pareto: mode is the lower bound, shape_a the tail index"},
    {11, "beta", {}, {F::minimum, F::maximum, F::shape_a, F::shape_b}, "beta on [minimum, maximum]"},
    {12, "gamma", {}, {F::scale, F::shape_a}, "gamma"},
    {13, "cauchy", {}, {F::mean, F::scale}, "Cauchy: mean is the location"},
    {14, "exponential-power", {}, {F::mean, F::scale, F::shape_a}, "exponential power: mean is the location"},
    {15, "gumbel", {"extreme-value"}, {F::mode, F::scale}, "Gumbel, largest extreme value: mode is the location"},
    {16, "weibull", {}, {F::minimum, F::scale, F::shape_a}, "Weibull: minimum is the location"},
    {17, "hypergeometric", {}, {F::pop, F::popsuc, F::sam}, "hypergeometric: population, successes in it, sample size",
     kAlways, kAlways, kTruncated},
    {18, "wald", {}, {F::scale}, "Wald: inverse Gaussian with mean 1, scale is the shape"},
    {19, "laplace", {"double-exponential"}, {F::mean, F::scale}, "Laplace: mean is the location"},
    {20, "logarithmic", {"log-series"}, {F::shape_a}, "logarithmic series: 0 < shape_a < 1", kAlways, kAlways,
     kTruncated},
    {21, "logistic", {}, {F::mean, F::stdev}, "logistic by its mean and standard deviation"},
    {22, "lognormal-mean", {}, {F::mean, F::stdev}, "lognormal by its own mean and standard deviation"},
    {23, "lognormal", {}, {F::lmean, F::lstdev}, "lognormal by the mean and standard deviation of the logarithm"},
    {24, "erlang", {}, {F::scale, F::shape_a}, "Erlang: gamma with a whole shape"},
    {25, "chi-square", {"chisquare", "chi2"}, {F::shape_a}, "chi-square: shape_a is the degrees of freedom"},
    {26, "power", {"power-function"}, {F::minimum, F::maximum, F::shape_a}, "power function on [minimum, maximum]"},
    {27, "rayleigh", {}, {F::scale}, "Rayleigh"},
    {28, "discrete-uniform", {}, {F::minimum, F::maximum}, "whole numbers minimum .. maximum"},
    {29, "inverse-gaussian", {}, {F::mean, F::scale}, "inverse Gaussian: scale is the shape"},
    {30, "binomial-normal", {}, {F::n, F::p}, "normal approximation to the binomial, made discrete"},
    {31, "poisson-normal", {}, {F::mean}, "normal approximation to the Poisson, made discrete"},
    {34, "lognormal-median", {}, {F::median, F::lstdev},
     "lognormal by its median and the standard deviation of the logarithm"},
    {35, "student-t", {"t", "student"}, {F::shape_a}, "Student t: shape_a is the degrees of freedom", kAlways, kAlways,
     kAlways, kTruncated},
    {36, "f", {"fisher"}, {F::shape_a, F::shape_b}, "F: numerator and denominator degrees of freedom (density only)",
     kNever, kNever, kNever, kNever},
};

// Names compare without case and with '_' standing for '-'.
std::string normalise(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '_') c = '-';
    }
    return out;
}

}  // namespace

const std::vector<FieldInfo>& fields() { return kFields; }

const FieldInfo& field_info(Field f) {
    return *std::find_if(kFields.begin(), kFields.end(), [f](const FieldInfo& i) { return i.field == f; });
}

const std::vector<TypeInfo>& types() { return kTypes; }

const TypeInfo* find_type(std::string_view name_or_code) {
    int code = 0;
    const char* end = name_or_code.data() + name_or_code.size();
    auto [ptr, ec] = std::from_chars(name_or_code.data(), end, code);
    const bool is_code = !name_or_code.empty() && ec == std::errc() && ptr == end;
    const std::string wanted = normalise(name_or_code);
    for (const TypeInfo& t : kTypes) {
        if (is_code ? t.code == code : t.name == wanted) return &t;
        if (!is_code && std::find(t.aliases.begin(), t.aliases.end(), wanted) != t.aliases.end()) return &t;
    }
    return nullptr;
}

bool offered(Offered o, bool truncated) {
    return o == Offered::always || (o == Offered::when_truncated && truncated);
}

}  // namespace kvzcalc
