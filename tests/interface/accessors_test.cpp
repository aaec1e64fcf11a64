// The setters and getters of the public interface, read back through the
// record they write.
#include <gtest/gtest.h>

#include <cstring>

#include "include/kvz_comp.h"
#include "interface/slot.h"

namespace kvz {
namespace {

class Accessors : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kSlotCount; ++i) std::memset(slot_at(i), 0, sizeof(DistSlot));
    }
    static DistSlot& slot(int i) { return *slot_at(i); }
};

TEST_F(Accessors, EverySetterWritesItsOwnField) {
    struct Case { void (*set)(int, double); double DistSlot::*field; };
    const Case cases[] = {
        {set_pdf_mean, &DistSlot::mean},       {set_pdf_lmean, &DistSlot::lmean},
        {set_pdf_mode, &DistSlot::mode},       {set_pdf_median, &DistSlot::median},
        {set_pdf_stdev, &DistSlot::stdev},     {set_pdf_lstdev, &DistSlot::lstdev},
        {set_pdf_minimum, &DistSlot::minimum}, {set_pdf_maximum, &DistSlot::maximum},
        {set_pdf_scale, &DistSlot::scale},     {set_pdf_shape_a, &DistSlot::shape_a},
        {set_pdf_shape_b, &DistSlot::shape_b}, {set_pdf_p, &DistSlot::p},
    };
    double value = 1.25;
    for (const auto& c : cases) {
        const DistSlot before = slot(3);
        c.set(3, value);
        EXPECT_EQ(slot(3).*c.field, value);
        DistSlot expected = before;
        expected.*c.field = value;
        EXPECT_EQ(std::memcmp(&expected, &slot(3), sizeof(DistSlot)), 0) << "other fields changed";
        value += 1.0;
    }
    set_pdf_dtype(3, 17);
    set_pdf_n(3, 40);
    set_pdf_pop(3, 7);
    set_pdf_popsuc(3, -2);
    set_pdf_sam(3, 2147483647);
    EXPECT_EQ(slot(3).dtype, 17);
    EXPECT_EQ(slot(3).n, 40);
    EXPECT_EQ(slot(3).pop, 7.0);
    EXPECT_EQ(slot(3).popsuc, -2.0);
    EXPECT_EQ(slot(3).sam, 2147483647.0);
}

TEST_F(Accessors, ChiSquareHalvesShapeOnlyWhenItsTypeIsAlreadySet) {
    set_pdf_dtype(0, 25);
    set_pdf_shape_a(0, 5.0);
    EXPECT_EQ(slot(0).shape_a, 2.5);
    set_pdf_shape_a(0, 5.0);  // replaced, not halved again
    EXPECT_EQ(slot(0).shape_a, 2.5);

    set_pdf_dtype(1, 12);
    set_pdf_shape_a(1, 5.0);
    set_pdf_dtype(1, 25);
    EXPECT_EQ(slot(1).shape_a, 5.0);
}

TEST_F(Accessors, TruncationKeepsTheLowByteOfTheFlagAndAlwaysTheValue) {
    struct Case { int flag; int stored; };
    const Case cases[] = {{0, 0}, {1, 1}, {256, 0}, {257, 1}, {-1, 255}, {0x1200, 0}};
    for (const auto& c : cases) {
        set_pdf_t_min(2, c.flag, 3.5);
        set_pdf_t_max(2, c.flag, 9.5);
        EXPECT_EQ(slot(2).t_min_flag, c.stored) << c.flag;
        EXPECT_EQ(slot(2).t_max_flag, c.stored) << c.flag;
        EXPECT_EQ(slot(2).t_min, 3.5);
        EXPECT_EQ(slot(2).t_max, 9.5);
    }
}

TEST_F(Accessors, StatisticsReadZeroWhileTheirFlagIsClear) {
    struct Case { double (*get)(int); Flag DistSlot::*flag; double DistSlot::*value; };
    const Case cases[] = {
        {get_pdf_mean, &DistSlot::avg_exists, &DistSlot::dmean},
        {get_pdf_mode, &DistSlot::mod_exists, &DistSlot::dmode},
        {get_pdf_median, &DistSlot::med_exists, &DistSlot::dmedian},
        {get_pdf_variance, &DistSlot::var_exists, &DistSlot::dvariance},
        {get_pdf_stdev, &DistSlot::var_exists, &DistSlot::dstdev},
        {get_pdf_skewness, &DistSlot::skw_exists, &DistSlot::dskewness},
        {get_pdf_kurtosis, &DistSlot::krt_exists, &DistSlot::dkurtosis},
    };
    for (const auto& c : cases) {
        slot(4).*c.value = 7.5;
        slot(4).*c.flag = 0;
        EXPECT_EQ(c.get(4), 0.0);
        slot(4).*c.flag = 1;
        EXPECT_EQ(c.get(4), 7.5);
    }
    slot(4).dminimum = -2;
    slot(4).dmaximum = 9;
    EXPECT_EQ(get_pdf_minimum(4), -2.0);  // never guarded
    EXPECT_EQ(get_pdf_maximum(4), 9.0);
}

TEST_F(Accessors, FlagGettersWidenTheStoredBytes) {
    struct Case { int (*get)(int); Flag DistSlot::*flag; };
    const Case cases[] = {
        {get_pdf_min_exists, &DistSlot::min_exists}, {get_pdf_max_exists, &DistSlot::max_exists},
        {get_pdf_avg_exists, &DistSlot::avg_exists}, {get_pdf_var_exists, &DistSlot::var_exists},
        {get_pdf_mod_exists, &DistSlot::mod_exists}, {get_pdf_med_exists, &DistSlot::med_exists},
        {get_pdf_skw_exists, &DistSlot::skw_exists}, {get_pdf_krt_exists, &DistSlot::krt_exists},
        {get_pmin_extend, &DistSlot::pmin_extend},   {get_pmax_extend, &DistSlot::pmax_extend},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.get(5), 0);
        slot(5).*c.flag = 1;
        EXPECT_EQ(c.get(5), 1);
    }
    slot(5).dclass = 2;
    EXPECT_EQ(get_pdf_dclass(5), 2);
}

TEST_F(Accessors, EndProbabilitiesFollowTheBoundFlags) {
    slot(6).min_exists = 1;
    slot(6).max_exists = 0;
    EXPECT_EQ(get_pdf_p_min(6), 0.0);
    EXPECT_EQ(get_pdf_p_max(6), 0.995);
    slot(6).min_exists = 0;
    slot(6).max_exists = 1;
    EXPECT_EQ(get_pdf_p_min(6), 0.005);
    EXPECT_EQ(get_pdf_p_max(6), 1.0);
}

TEST_F(Accessors, SlotsAreIndependentAndTheEndSlotsAreValid) {
    set_pdf_mean(0, 1.5);
    set_pdf_mean(20, 2.5);
    EXPECT_EQ(slot(0).mean, 1.5);
    EXPECT_EQ(slot(20).mean, 2.5);
    for (int i = 1; i < 20; ++i) EXPECT_EQ(slot(i).mean, 0.0);
}

TEST_F(Accessors, IndicesOutsideTheTableTouchNothingAndAnswerZero) {
    unsigned char before[sizeof(DistSlot) * kSlotCount];
    for (int i = 0; i < kSlotCount; ++i) {
        slot(i).avg_exists = 1;
        slot(i).dmean = 3;
        slot(i).dminimum = 1;
        std::memcpy(before + i * sizeof(DistSlot), slot_at(i), sizeof(DistSlot));
    }
    for (int bad : {-1, 21, -2147483647 - 1, 2147483647}) {
        set_pdf_dtype(bad, 4);
        set_pdf_mean(bad, 9);
        set_pdf_shape_a(bad, 9);
        set_pdf_t_min(bad, 1, 9);
        dinitialise(bad);
        precalc(bad);
        EXPECT_EQ(get_pdf_mean(bad), 0.0);
        EXPECT_EQ(get_pdf_minimum(bad), 0.0);
        EXPECT_EQ(get_pdf_p_min(bad), 0.0);
        EXPECT_EQ(get_pdf_avg_exists(bad), 0);
        EXPECT_EQ(get_pdf_dclass(bad), 0);
        EXPECT_EQ(get_pdf_pdf(bad, 1.0), 0.0);
        EXPECT_EQ(get_pdf_pdf_valid(bad, 1.0), 0);
        EXPECT_EQ(get_pdf_f(bad, 1.0), 0.0);
        EXPECT_EQ(get_pdf_g(bad, 0.5), 0.0);
        EXPECT_EQ(dvalue(bad), 0.0);
    }
    for (int i = 0; i < kSlotCount; ++i)
        EXPECT_EQ(std::memcmp(before + i * sizeof(DistSlot), slot_at(i), sizeof(DistSlot)), 0) << i;
}

}  // namespace
}  // namespace kvz
