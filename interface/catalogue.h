// The type catalogue: type codes, the per-type facts that dinitialise and
// precalc store, and the alias mapping each operation applies first. Facts
// live here once; the operations read them instead of switching on them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace kvz {

// Type codes as hosts pass them (5, 32 and 33 are unassigned).
enum TypeCode : int {
    kDegenerate = 1,
    kUniform = 2,
    kTriangular = 3,
    kNormal = 4,
    kPoisson = 6,
    kGeometric = 7,
    kExponential = 8,
    kBinomial = 9,
    kPareto = 10,
    kBeta = 11,
    kGamma = 12,
    kCauchy = 13,
    kExpPower = 14,
    kGumbel = 15,
    kWeibull = 16,
    kHypergeometric = 17,
    kWald = 18,
    kLaplace = 19,
    kLogSeries = 20,
    kLogistic = 21,
    kLognormalByMoments = 22,
    kLognormal = 23,
    kErlang = 24,
    kChiSquare = 25,
    kPowerFunction = 26,
    kRayleigh = 27,
    kDiscreteUniform = 28,
    kInverseGaussian = 29,
    kNormalBinomial = 30,
    kNormalPoisson = 31,
    kLognormalByMedian = 34,
    kStudentT = 35,
    kFisherF = 36,
};

constexpr int kTypeCodes = 37;  // codes 0..36 have a row; others have no case anywhere

// Sampling methods that are not a type's own code.
constexpr int kSampleDiscreteTable = 9;
constexpr int kSampleCdfTable = 12;
constexpr int kSampleNormalBased = 4;

// An alias mapping: each code to the code whose formula an operation uses.
// Codes outside 0..36 map to themselves.
struct AliasMap {
    int to[kTypeCodes];
    constexpr int operator()(int code) const {
        return (code >= 0 && code < kTypeCodes) ? to[code] : code;
    }
};

constexpr AliasMap make_alias_map(std::initializer_list<std::pair<int, int>> aliases) {
    AliasMap m{};
    for (int c = 0; c < kTypeCodes; ++c) m.to[c] = c;
    for (auto [from, to] : aliases) m.to[from] = to;
    return m;
}

// dinitialise: the aliases whose parameters it converts (30 and 31 keep their own routines).
inline constexpr AliasMap kInitialiseAlias = make_alias_map(
    {{kWald, kInverseGaussian}, {kLognormalByMoments, kLognormal}, {kErlang, kGamma},
     {kChiSquare, kGamma}, {kLognormalByMedian, kLognormal}});

// density / get_pdf_pdf: both normal approximations share the discretised-normal formula.
inline constexpr AliasMap kDensityAlias = make_alias_map(
    {{kWald, kInverseGaussian}, {kLognormalByMoments, kLognormal}, {kLognormalByMedian, kLognormal},
     {kErlang, kGamma}, {kChiSquare, kGamma}, {kNormalPoisson, kNormalBinomial}});

// get_pdf_pdf_valid maps the gamma aliases only.
inline constexpr AliasMap kValidAlias = make_alias_map({{kErlang, kGamma}, {kChiSquare, kGamma}});

// cumulative / get_pdf_f: the unbounded discrete types and the hypergeometric
// are summed like the binomial; the normal approximations are evaluated as normal.
inline constexpr AliasMap kCumulativeAlias = make_alias_map(
    {{kPoisson, kBinomial}, {kGeometric, kBinomial}, {kHypergeometric, kBinomial},
     {kWald, kInverseGaussian}, {kLognormalByMoments, kLognormal}, {kLognormalByMedian, kLognormal},
     {kErlang, kGamma}, {kChiSquare, kGamma}, {kNormalBinomial, kNormal}, {kNormalPoisson, kNormal}});

// inverse / get_pdf_g of an untruncated slot.
inline constexpr AliasMap kInverseAlias = make_alias_map(
    {{kWald, kInverseGaussian}, {kLognormalByMoments, kLognormal}, {kLognormalByMedian, kLognormal},
     {kErlang, kGamma}, {kChiSquare, kGamma}, {kNormalBinomial, kNormal}, {kNormalPoisson, kNormal}});

// precalc: the sampling method of an untruncated slot, by dtype.
inline constexpr AliasMap kSampleMethod = make_alias_map(
    {{kPoisson, kSampleDiscreteTable}, {kGeometric, kSampleDiscreteTable},
     {kHypergeometric, kSampleDiscreteTable}, {kLogSeries, kSampleDiscreteTable},
     {kBeta, kSampleCdfTable}, {kExpPower, kSampleCdfTable}, {kWald, kSampleCdfTable},
     {kErlang, kSampleCdfTable}, {kChiSquare, kSampleCdfTable}, {kInverseGaussian, kSampleCdfTable},
     {kLognormalByMoments, kSampleNormalBased}, {kLognormal, kSampleNormalBased},
     {kLognormalByMedian, kSampleNormalBased}, {kNormalBinomial, kSampleNormalBased},
     {kNormalPoisson, kSampleNormalBased}});

// fit_pdf: the type each code is fitted as, its own code or the base type
// whose fit an alias takes (and reports in its own inputs); 0 for a code that
// is not fitted (the degenerate and hypergeometric types, unassigned codes).
struct FitMap {
    int as[kTypeCodes];
    constexpr int operator()(int code) const { return (code >= 0 && code < kTypeCodes) ? as[code] : 0; }
};

constexpr FitMap make_fit_map(std::initializer_list<std::pair<int, int>> fitted) {
    FitMap m{};
    for (auto [from, as] : fitted) m.as[from] = as;
    return m;
}

inline constexpr FitMap kFitAs = make_fit_map(
    {{kUniform, kUniform}, {kTriangular, kTriangular}, {kNormal, kNormal}, {kPoisson, kPoisson},
     {kGeometric, kGeometric}, {kExponential, kExponential}, {kBinomial, kBinomial}, {kPareto, kPareto},
     {kBeta, kBeta}, {kGamma, kGamma}, {kCauchy, kCauchy}, {kExpPower, kExpPower}, {kGumbel, kGumbel},
     {kWeibull, kWeibull}, {kWald, kWald}, {kLaplace, kLaplace}, {kLogSeries, kLogSeries},
     {kLogistic, kLogistic}, {kLognormalByMoments, kLognormal}, {kLognormal, kLognormal},
     {kErlang, kErlang}, {kChiSquare, kChiSquare}, {kPowerFunction, kPowerFunction}, {kRayleigh, kRayleigh},
     {kDiscreteUniform, kDiscreteUniform}, {kInverseGaussian, kInverseGaussian},
     {kNormalBinomial, kNormalBinomial}, {kNormalPoisson, kNormalPoisson}, {kLognormalByMedian, kLognormal},
     {kStudentT, kStudentT}, {kFisherF, kFisherF}});

// A flag byte as a type row gives it: written 0, written 1, or left to the
// type routine (which keeps it or decides it from the parameters).
enum class Bit : std::int8_t { clear = 0, set = 1, routine = -1 };

// How dinitialise chooses moment_method before handing a truncated slot over.
enum class MomentRule : std::uint8_t {
    none,      // no truncation branch
    density,   // always 2: integrate or sum the density
    quantile,  // always 1: equal-probability strips of the inverse
    beta,      // 1 if (lower cut and b < 1) or (upper cut and a < 1), else 2
    gamma,     // 1 if a < 1, else 2
    power,     // 1 if a < 1 or a > 10, else 2
};

// The facts dinitialise writes for one base type.
struct TypeRow {
    bool initialised;  // dinitialise has a routine for this base type
    int dclass;        // 1 continuous, 2 discrete
    Bit cdf_exists, inv_exists;
    Bit min_exists, max_exists, avg_exists, var_exists, mod_exists, med_exists, skw_exists,
        krt_exists;
    MomentRule moment;
};

namespace catalogue_detail {
constexpr Bit kC = Bit::clear, kS = Bit::set, kR = Bit::routine;
constexpr TypeRow row(int dclass, Bit cdf, Bit inv, Bit mn, Bit mx, Bit avg, Bit var, Bit mod,
                      Bit med, Bit skw, Bit krt, MomentRule rule) {
    return {true, dclass, cdf, inv, mn, mx, avg, var, mod, med, skw, krt, rule};
}
constexpr auto kD = MomentRule::density;

constexpr std::pair<int, TypeRow> kRows[] = {
    //                            dclass cdf inv  min max avg var mod med skw krt  moment_method
    {kDegenerate,         row(2, kC, kC, kS, kS, kS, kS, kS, kS, kC, kC, MomentRule::none)},
    {kUniform,            row(1, kS, kS, kS, kS, kS, kS, kC, kS, kS, kS, kD)},
    {kTriangular,         row(1, kS, kS, kS, kS, kS, kS, kS, kS, kS, kS, kD)},
    {kNormal,             row(1, kS, kC, kC, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kPoisson,            row(2, kR, kR, kS, kS, kS, kS, kS, kC, kS, kS, kD)},
    {kGeometric,          row(2, kR, kR, kS, kS, kS, kS, kS, kC, kS, kS, kD)},
    {kExponential,        row(1, kS, kS, kS, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kBinomial,           row(2, kR, kR, kS, kS, kS, kS, kS, kC, kS, kS, kD)},
    {kPareto,             row(1, kS, kS, kS, kC, kR, kR, kS, kS, kR, kR, kD)},
    {kBeta,               row(1, kS, kC, kS, kS, kS, kS, kR, kS, kS, kS, MomentRule::beta)},
    {kGamma,              row(1, kS, kC, kS, kC, kS, kS, kS, kS, kS, kS, MomentRule::gamma)},
    {kCauchy,             row(1, kS, kS, kC, kC, kS, kC, kS, kS, kS, kC, kD)},
    {kExpPower,           row(1, kC, kC, kC, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kGumbel,             row(1, kS, kS, kC, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kWeibull,            row(1, kS, kS, kS, kC, kS, kS, kS, kS, kS, kC, kD)},
    {kHypergeometric,     row(2, kR, kR, kS, kS, kS, kS, kS, kC, kS, kS, kD)},
    {kLaplace,            row(1, kS, kS, kC, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kLogSeries,          row(2, kR, kR, kS, kS, kS, kS, kS, kC, kS, kS, kD)},
    {kLogistic,           row(1, kS, kS, kC, kC, kS, kS, kS, kS, kS, kS, kD)},
    // The lognormal has a closed cumulative distribution: both method flags
    // are written as for the normal rather than left from an earlier use.
    {kLognormal,          row(1, kS, kC, kS, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kPowerFunction,      row(1, kS, kS, kS, kS, kS, kS, kR, kS, kS, kS, MomentRule::power)},
    {kRayleigh,           row(1, kS, kS, kS, kC, kS, kS, kS, kS, kS, kS, kD)},
    {kDiscreteUniform,    row(2, kR, kR, kS, kS, kS, kS, kC, kC, kS, kS, kD)},
    {kInverseGaussian,    row(1, kS, kC, kS, kC, kS, kS, kS, kS, kS, kS, MomentRule::quantile)},
    {kNormalBinomial,     row(2, kS, kC, kS, kS, kS, kS, kS, kC, kS, kS, kD)},
    {kNormalPoisson,      row(2, kS, kC, kS, kC, kS, kS, kS, kC, kS, kS, kD)},
    {kStudentT,           row(1, kS, kS, kC, kC, kS, kR, kS, kS, kS, kR, kD)},
};

constexpr auto make_type_table() {
    struct Table { TypeRow rows[kTypeCodes]; } t{};
    for (auto& [code, r] : kRows) t.rows[code] = r;
    return t;
}
inline constexpr auto kTypeTable = make_type_table();
}  // namespace catalogue_detail

// Where a type's support ends: a fixed value, or a parameter of the slot.
// The ends are read from the inputs (and from the working values that
// dinitialise derives from them alone), never from search or table ends.
enum class End : std::uint8_t {
    open,         // no end: -infinity below, +infinity above
    zero,
    one,
    minimum,      // the slot's minimum
    maximum,      // the slot's maximum
    mode,         // the slot's mode (the Pareto's lower bound)
    mean,         // the slot's mean (the degenerate value)
    trials,       // n
    hyper_low,    // max(0, sam - (pop - popsuc))
    hyper_high,   // min(sam, popsuc)
};

// The support of a type code: its two ends, and whether its mass lives on
// whole numbers only (the discrete types other than the normal
// approximations, whose masses are those of unit intervals).
struct SupportRow {
    End lower;
    End upper;
    bool whole_numbers;
};

namespace catalogue_detail {
constexpr std::pair<int, SupportRow> kSupports[] = {
    {kDegenerate,         {End::mean, End::mean, true}},
    {kUniform,            {End::minimum, End::maximum, false}},
    {kTriangular,         {End::minimum, End::maximum, false}},
    {kNormal,             {End::open, End::open, false}},
    {kPoisson,            {End::zero, End::open, true}},
    {kGeometric,          {End::zero, End::open, true}},
    {kExponential,        {End::zero, End::open, false}},
    {kBinomial,           {End::zero, End::trials, true}},
    {kPareto,             {End::mode, End::open, false}},
    {kBeta,               {End::minimum, End::maximum, false}},
    {kGamma,              {End::zero, End::open, false}},
    {kCauchy,             {End::open, End::open, false}},
    {kExpPower,           {End::open, End::open, false}},
    {kGumbel,             {End::open, End::open, false}},
    {kWeibull,            {End::minimum, End::open, false}},
    {kHypergeometric,     {End::hyper_low, End::hyper_high, true}},
    {kWald,               {End::zero, End::open, false}},
    {kLaplace,            {End::open, End::open, false}},
    {kLogSeries,          {End::one, End::open, true}},
    {kLogistic,           {End::open, End::open, false}},
    {kLognormalByMoments, {End::zero, End::open, false}},
    {kLognormal,          {End::zero, End::open, false}},
    {kErlang,             {End::zero, End::open, false}},
    {kChiSquare,          {End::zero, End::open, false}},
    {kPowerFunction,      {End::minimum, End::maximum, false}},
    {kRayleigh,           {End::zero, End::open, false}},
    {kDiscreteUniform,    {End::minimum, End::maximum, true}},
    {kInverseGaussian,    {End::zero, End::open, false}},
    {kNormalBinomial,     {End::zero, End::trials, false}},
    {kNormalPoisson,      {End::zero, End::open, false}},
    {kLognormalByMedian,  {End::zero, End::open, false}},
    {kStudentT,           {End::open, End::open, false}},
    {kFisherF,            {End::zero, End::open, false}},
};

constexpr auto make_support_table() {
    struct Table { SupportRow rows[kTypeCodes]; } t{};
    for (auto& r : t.rows) r = {End::open, End::open, false};
    for (auto& [code, r] : kSupports) t.rows[code] = r;
    return t;
}
inline constexpr auto kSupportTable = make_support_table();
}  // namespace catalogue_detail

// The support row of a type code; codes without a type are unbounded.
constexpr SupportRow support_row(int code) {
    return (code >= 0 && code < kTypeCodes) ? catalogue_detail::kSupportTable.rows[code]
                                            : SupportRow{End::open, End::open, false};
}

// The row of a base type; codes without a routine get an empty row.
constexpr TypeRow type_row(int base) {
    return (base >= 0 && base < kTypeCodes) ? catalogue_detail::kTypeTable.rows[base] : TypeRow{};
}

}  // namespace kvz
