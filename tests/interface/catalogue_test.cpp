// The catalogue's per-operation mappings, walked once against the type list:
// each dtype and the code every operation evaluates it as.
#include <gtest/gtest.h>

#include "interface/catalogue.h"

namespace kvz {
namespace {

TEST(Catalogue, EachOperationMapsEveryCodeAsDocumented) {
    struct Row { int dtype, init, density, valid, cumulative, inverse, sample; };
    const Row rows[] = {
        // dtype init dens valid cdf  inv  sample
        {1, 1, 1, 1, 1, 1, 1},         {2, 2, 2, 2, 2, 2, 2},
        {3, 3, 3, 3, 3, 3, 3},         {4, 4, 4, 4, 4, 4, 4},
        {5, 5, 5, 5, 5, 5, 5},         {6, 6, 6, 6, 9, 6, 9},
        {7, 7, 7, 7, 9, 7, 9},         {8, 8, 8, 8, 8, 8, 8},
        {9, 9, 9, 9, 9, 9, 9},         {10, 10, 10, 10, 10, 10, 10},
        {11, 11, 11, 11, 11, 11, 12},  {12, 12, 12, 12, 12, 12, 12},
        {13, 13, 13, 13, 13, 13, 13},  {14, 14, 14, 14, 14, 14, 12},
        {15, 15, 15, 15, 15, 15, 15},  {16, 16, 16, 16, 16, 16, 16},
        {17, 17, 17, 17, 9, 17, 9},    {18, 29, 29, 18, 29, 29, 12},
        {19, 19, 19, 19, 19, 19, 19},  {20, 20, 20, 20, 20, 20, 9},
        {21, 21, 21, 21, 21, 21, 21},  {22, 23, 23, 22, 23, 23, 4},
        {23, 23, 23, 23, 23, 23, 4},   {24, 12, 12, 12, 12, 12, 12},
        {25, 12, 12, 12, 12, 12, 12},  {26, 26, 26, 26, 26, 26, 26},
        {27, 27, 27, 27, 27, 27, 27},  {28, 28, 28, 28, 28, 28, 28},
        {29, 29, 29, 29, 29, 29, 12},  {30, 30, 30, 30, 4, 4, 4},
        {31, 31, 30, 31, 4, 4, 4},     {32, 32, 32, 32, 32, 32, 32},
        {33, 33, 33, 33, 33, 33, 33},  {34, 23, 23, 34, 23, 23, 4},
        {35, 35, 35, 35, 35, 35, 35},  {36, 36, 36, 36, 36, 36, 36},
        {0, 0, 0, 0, 0, 0, 0},         {-7, -7, -7, -7, -7, -7, -7},
        {37, 37, 37, 37, 37, 37, 37},  {1000, 1000, 1000, 1000, 1000, 1000, 1000},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(kInitialiseAlias(r.dtype), r.init) << r.dtype;
        EXPECT_EQ(kDensityAlias(r.dtype), r.density) << r.dtype;
        EXPECT_EQ(kValidAlias(r.dtype), r.valid) << r.dtype;
        EXPECT_EQ(kCumulativeAlias(r.dtype), r.cumulative) << r.dtype;
        EXPECT_EQ(kInverseAlias(r.dtype), r.inverse) << r.dtype;
        EXPECT_EQ(kSampleMethod(r.dtype), r.sample) << r.dtype;
    }
}

TEST(Catalogue, OnlyBaseTypesHaveAnInitialisationRowAndTheirClassMatchesTheSupport) {
    const int continuous[] = {2, 3, 4, 8, 10, 11, 12, 13, 14, 15, 16, 19, 21, 23, 26, 27, 29, 35};
    const int discrete[] = {1, 6, 7, 9, 17, 20, 28, 30, 31};
    for (int c : continuous) EXPECT_EQ(type_row(c).dclass, 1) << c;
    for (int c : discrete) EXPECT_EQ(type_row(c).dclass, 2) << c;
    int rows = 0;
    for (int c = -1; c <= 40; ++c) rows += type_row(c).initialised;
    EXPECT_EQ(rows, 27);
    for (int c : {0, 5, 18, 22, 24, 25, 32, 33, 34, 36, 37, -1}) EXPECT_FALSE(type_row(c).initialised) << c;
}

}  // namespace
}  // namespace kvz
