// The initialisation driver: resets, alias conversions, class and flags from
// the catalogue, codes without a routine, the truncation hand-over.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "eval/eval.h"
#include "init/init.h"
#include "interface/catalogue.h"
#include "slot_maker.h"

namespace kvz {
namespace {

using testing_init::copy_of;
using testing_init::make_slot;

// Parameters a routine of each base type can work with.
void typical_inputs(DistSlot& s) {
    s.mean = 2;
    s.stdev = 1;
    s.lmean = 0;
    s.lstdev = 0.5;
    s.mode = 1;
    s.median = 1;
    s.minimum = 1;
    s.maximum = 4;
    s.scale = 1.5;
    s.shape_a = 3;
    s.shape_b = 2;
    s.n = 10;
    s.p = 0.4;
    s.pop = 20;
    s.popsuc = 8;
    s.sam = 5;
}

constexpr Flag kSentinel = 7;  // a byte the library never writes

TEST(Dinitialise, ResetsTruncationAndExtensionStateForEveryCode) {
    for (int code : {4, 1, 9, 5, 32, 33, 36, 0, -3, 99}) {
        auto s = make_slot(code);
        typical_inputs(*s);
        s->pmin_extend = 1;
        s->pmax_extend = 1;
        s->t_pbelow = 0.25;
        s->t_factor = 3.0;
        dinitialise(*s);
        EXPECT_EQ(s->pmin_extend, 0) << code;
        EXPECT_EQ(s->pmax_extend, 0) << code;
        EXPECT_EQ(s->t_pbelow, 0.0) << code;
        EXPECT_EQ(s->t_factor, 1.0) << code;
    }
}

TEST(Dinitialise, CodesWithoutARoutineKeepEverythingButTheResets) {
    for (int code : {5, 32, 33, 36, 0, -1, 37}) {
        auto s = make_slot(kNormal);
        s->mean = 10;
        s->stdev = 2;
        dinitialise(*s);
        s->dtype = code;
        s->pmin_extend = 1;
        s->t_factor = 2.0;
        auto expected = copy_of(*s);
        expected->pmin_extend = 0;
        expected->t_factor = 1.0;
        dinitialise(*s);
        EXPECT_EQ(std::memcmp(expected.get(), s.get(), sizeof(DistSlot)), 0) << code;
        EXPECT_EQ(s->dclass, 1) << code;
        EXPECT_EQ(s->dmean, 10.0) << code;
    }
}

TEST(Dinitialise, AliasesConvertTheirInputsAndKeepTheirCode) {
    struct Case {
        int dtype;
        void (*set)(DistSlot&);
        double DistSlot::*field;
        double want;
    };
    const Case cases[] = {
        {kWald, [](DistSlot& s) { s.mean = 5; s.scale = 3; }, &DistSlot::mean, 1.0},
        {kChiSquare, [](DistSlot& s) { s.scale = 7; s.shape_a = 2; }, &DistSlot::scale, 2.0},
        {kErlang, [](DistSlot& s) { s.scale = 7; s.shape_a = 2; }, &DistSlot::scale, 7.0},
        {kLognormalByMoments, [](DistSlot& s) { s.mean = 1; s.stdev = 0; }, &DistSlot::lstdev, 0.0},
        {kLognormalByMoments, [](DistSlot& s) { s.mean = 1; s.stdev = 0; }, &DistSlot::lmean, 0.0},
        // lstdev = sqrt(ln(1.25)), lmean = ln 2 − ln(1.25) / 2 (closed form)
        {kLognormalByMoments, [](DistSlot& s) { s.mean = 2; s.stdev = 1; }, &DistSlot::lstdev,
         0.47238072707743883},
        {kLognormalByMoments, [](DistSlot& s) { s.mean = 2; s.stdev = 1; }, &DistSlot::lmean,
         0.5815754049028404},
        {kLognormalByMedian, [](DistSlot& s) { s.median = std::exp(1.0); s.lstdev = 0.5; },
         &DistSlot::lmean, 1.0},
    };
    for (const auto& c : cases) {
        auto s = make_slot(c.dtype);
        c.set(*s);
        dinitialise(*s);
        EXPECT_DOUBLE_EQ(s.get()->*c.field, c.want) << c.dtype;
        EXPECT_EQ(s->dtype, c.dtype);
    }
}

// Every base type writes its class and the bytes its catalogue row fixes;
// bytes the row leaves to the routine are not written by the driver (the
// method flags of the discrete types and of nothing else keep their value).
TEST(Dinitialise, ClassAndFlagsFollowTheCatalogueRow) {
    Flag DistSlot::*const flags[] = {&DistSlot::cdf_exists, &DistSlot::inv_exists,
                                     &DistSlot::min_exists, &DistSlot::max_exists,
                                     &DistSlot::avg_exists, &DistSlot::var_exists,
                                     &DistSlot::mod_exists, &DistSlot::med_exists,
                                     &DistSlot::skw_exists, &DistSlot::krt_exists};
    int checked = 0;
    for (int code = 1; code < kTypeCodes; ++code) {
        const TypeRow row = type_row(code);
        if (!row.initialised) continue;
        const Bit bits[] = {row.cdf_exists, row.inv_exists, row.min_exists, row.max_exists,
                            row.avg_exists, row.var_exists, row.mod_exists, row.med_exists,
                            row.skw_exists, row.krt_exists};
        auto s = make_slot(code);
        typical_inputs(*s);
        s->dclass = 9;
        for (auto f : flags) s.get()->*f = kSentinel;
        dinitialise(*s);
        EXPECT_EQ(s->dclass, row.dclass) << code;
        for (int i = 0; i < 10; ++i) {
            const Flag got = s.get()->*flags[i];
            if (bits[i] == Bit::routine) {
                // Method flags left alone; parameter-decided flags written 0 or 1.
                if (i < 2) {
                    EXPECT_EQ(got, kSentinel) << code << " flag " << i;
                } else {
                    EXPECT_TRUE(got == 0 || got == 1) << code << " flag " << i;
                }
            } else {
                EXPECT_EQ(got, static_cast<Flag>(bits[i])) << code << " flag " << i;
            }
        }
        ++checked;
    }
    EXPECT_EQ(checked, 27);
}

TEST(Dinitialise, AliasesTakeTheFlagsOfTheirBaseType) {
    const int pairs[][2] = {{kWald, kInverseGaussian}, {kErlang, kGamma}, {kChiSquare, kGamma},
                            {kLognormalByMoments, kLognormal}, {kLognormalByMedian, kLognormal}};
    for (auto [alias, base] : pairs) {
        auto a = make_slot(alias);
        auto b = make_slot(base);
        typical_inputs(*a);
        typical_inputs(*b);
        dinitialise(*a);
        dinitialise(*b);
        EXPECT_EQ(a->dclass, b->dclass) << alias;
        EXPECT_EQ(std::memcmp(&a->cdf_exists, &b->cdf_exists, 10), 0) << alias;
    }
}

TEST(Dinitialise, MomentMethodOfATruncatedSlotFollowsTheTypeRule) {
    struct Case {
        int dtype;
        double a, b;
        bool cut_below, cut_above;
        int want;
    };
    const Case cases[] = {
        {kGamma, 0.5, 0, true, false, 1},
        {kGamma, 1.0, 0, true, false, 2},
        {kChiSquare, 0.5, 0, false, true, 1},  // the gamma rule through the alias
        {kPowerFunction, 0.5, 0, true, false, 1},
        {kPowerFunction, 11, 0, true, false, 1},
        {kPowerFunction, 1, 0, true, false, 2},
        {kPowerFunction, 10, 0, true, false, 2},
        {kBeta, 5, 0.5, true, false, 1},   // cut below, b < 1: whatever a is
        {kBeta, 0.5, 2, true, false, 2},   // cut below, b >= 1
        {kBeta, 0.5, 2, false, true, 1},   // cut above, a < 1
        {kBeta, 2, 0.5, false, true, 2},   // cut above, a >= 1
        {kBeta, 0.5, 0.5, true, true, 1},
        {kInverseGaussian, 3, 0, true, false, 1},
        {kWald, 3, 0, false, true, 1},
        {kNormal, 0, 0, true, true, 2},
        {kPoisson, 0, 0, false, true, 2},
        {kStudentT, 5, 0, true, false, 2},
    };
    for (const auto& c : cases) {
        auto s = make_slot(c.dtype);
        typical_inputs(*s);
        s->shape_a = c.a;
        s->shape_b = c.b;
        s->minimum = 0;
        s->maximum = 1;
        s->t_min_flag = c.cut_below;
        s->t_max_flag = c.cut_above;
        s->t_min = 0.2;
        s->t_max = 0.8;
        s->moment_method = 0;
        dinitialise(*s);
        EXPECT_EQ(s->moment_method, c.want) << c.dtype << " a " << c.a << " b " << c.b;
    }
}

TEST(Dinitialise, UntruncatedSlotLeavesMomentMethodAlone) {
    auto s = make_slot(kGamma);
    typical_inputs(*s);
    s->moment_method = 42;
    dinitialise(*s);
    EXPECT_EQ(s->moment_method, 42);
}

// A cut keeps the degenerate value whole or leaves no mass: then the slot
// reports the cut point on the value's side. Either way the truncation step
// does not run (no factor, moment_method untouched).
TEST(Dinitialise, DegenerateValueInsideItsCutIsUnchangedOutsideItTheCutPoint) {
    struct Case { const char* what; double t_min, t_max, expected; };
    const Case cases[] = {
        {"inside", 2, 9, 4},
        {"below the cut", 5, 6, 5},
        {"above the cut", 1, 3, 3},
    };
    auto plain = make_slot(kDegenerate);
    plain->mean = 4;
    dinitialise(*plain);
    for (const auto& c : cases) {
        auto cut = make_slot(kDegenerate);
        cut->mean = 4;
        cut->t_min_flag = 1;
        cut->t_max_flag = 0x10;  // any nonzero low byte counts as set
        cut->t_min = c.t_min;
        cut->t_max = c.t_max;
        cut->moment_method = 42;
        dinitialise(*cut);
        EXPECT_EQ(cut->moment_method, 42) << c.what;
        EXPECT_EQ(cut->t_factor, 1.0) << c.what;
        EXPECT_EQ(cut->t_pbelow, 0.0) << c.what;
        for (double v : {cut->dminimum, cut->dmaximum, cut->dmean, cut->dmode, cut->dmedian})
            EXPECT_EQ(v, c.expected) << c.what;
        EXPECT_EQ(cut->dvariance, 0.0) << c.what;
        for (double p : {0.0, 0.0088, 0.5, 1.0}) EXPECT_EQ(inverse(*cut, p), c.expected) << c.what;
        if (c.expected == 4) {
            EXPECT_EQ(std::memcmp(&plain->dminimum, &cut->dminimum, 9 * sizeof(double)), 0);
        }
    }
}

TEST(Dinitialise, RepeatingTheCallGivesTheSameRecord) {
    for (int code : {kNormal, kGamma, kChiSquare, kLognormalByMoments, kPareto, kGumbel, kPoisson,
                     kHypergeometric, kNormalPoisson}) {
        auto s = make_slot(code);
        typical_inputs(*s);
        dinitialise(*s);
        auto first = copy_of(*s);
        dinitialise(*s);
        EXPECT_EQ(std::memcmp(first.get(), s.get(), sizeof(DistSlot)), 0) << code;
    }
}

}  // namespace
}  // namespace kvz
