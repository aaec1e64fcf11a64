// The correlated draw through its exports: the values are each slot's own
// draws, their rank correlation reaches the target, a target outside the
// correlation matrices is repaired, and every refusal leaves everything as it
// was, the generator included.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

#include "include/kvz_comp.h"
#include "include/kvz_comp_batch.h"
#include "include/kvz_comp_corr.h"

namespace {

constexpr int kPlain = 0, kStratified = 15, kShuffled = 20;
constexpr int kGeneratorKinds[] = {kPlain, kStratified, kShuffled};

struct Setup {
    const char* name;
    int dtype;
    double mean, stdev, minimum, maximum, mode, scale, shape_a, shape_b, p;
    int n;
};

// Mixed types: cumulative tables, discrete tables (with ties), direct and
// inverse formulas, the normal-based method.
constexpr Setup kMixed[] = {
    // name           dtype mean stdev min max mode scale a  b  p    n
    {"gamma",          12, 0,   0,  0,  0,  0,   2,   3, 0, 0,   0},
    {"poisson",         6, 4,   0,  0,  0,  0,   0,   0, 0, 0,   0},
    {"normal",          4, 10,  2,  0,  0,  0,   0,   0, 0, 0,   0},
    {"beta",           11, 0,   0,  0,  1,  0,   0,   2, 3, 0,   0},
    {"exponential",     8, 2,   0,  0,  0,  0,   0,   0, 0, 0,   0},
    {"binomial",        9, 0,   0,  0,  0,  0,   0,   0, 0, 0.3, 10},
    {"triangular",      3, 0,   0,  0,  5,  2,   0,   0, 0, 0,   0},
    {"weibull",        16, 0,   0,  1,  0,  0,   1.5, 2, 0, 0,   0},
    {"uniform",         2, 0,   0,  2,  8,  0,   0,   0, 0, 0,   0},
    {"logistic",       21, 0,   1,  0,  0,  0,   0,   0, 0, 0,   0},
    {"geometric",       7, 0,   0,  0,  0,  0,   0,   0, 0, 0.2, 0},
    {"rayleigh",       27, 0,   0,  0,  0,  0,   1,   0, 0, 0,   0},
    {"laplace",        19, 1,   0,  0,  0,  0,   2,   0, 0, 0,   0},
    {"gumbel",         15, 0,   0,  0,  0,  1,   2,   0, 0, 0,   0},
    {"power",          26, 0,   0,  0,  2,  0,   0,   2.5, 0, 0, 0},
    {"pareto",         10, 0,   0,  0,  0,  1,   0,   3, 0, 0,   0},
    {"erlang",         24, 0,   0,  0,  0,  0,   2,   3, 0, 0,   0},
    {"discrete-unif",  28, 0,   0,  1,  6,  0,   0,   0, 0, 0,   0},
    {"cauchy",         13, 1,   0,  0,  0,  0,   2,   0, 0, 0,   0},
    {"exp-power",      14, 0,   0,  0,  0,  0,   1,   1.5, 0, 0, 0},
    {"binomial-n40",    9, 0,   0,  0,  0,  0,   0,   0, 0, 0.5, 40},
};
constexpr int kAll = 21;

void configure(int slot, const Setup& s) {
    set_pdf_dtype(slot, s.dtype);
    set_pdf_mean(slot, s.mean);
    set_pdf_stdev(slot, s.stdev);
    set_pdf_minimum(slot, s.minimum);
    set_pdf_maximum(slot, s.maximum);
    set_pdf_mode(slot, s.mode);
    set_pdf_scale(slot, s.scale);
    set_pdf_shape_a(slot, s.shape_a);
    set_pdf_shape_b(slot, s.shape_b);
    set_pdf_p(slot, s.p);
    set_pdf_n(slot, s.n);
    set_pdf_t_min(slot, 0, 0.0);
    set_pdf_t_max(slot, 0, 0.0);
    dinitialise(slot);
}

using Matrix = std::vector<double>;  // row-major k x k

// A valid target: the correlation of a few random factors plus noise.
Matrix factor_target(int k, unsigned seed) {
    constexpr int kFactors = 4;
    std::vector<double> load(static_cast<std::size_t>(k * kFactors));
    for (double& x : load) {
        seed = seed * 1103515245u + 12345u;
        x = static_cast<double>((seed >> 8) % 2001) / 1000.0 - 1.0;
    }
    Matrix c(static_cast<std::size_t>(k * k));
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) {
            double s = i == j ? 0.3 : 0.0;
            for (int f = 0; f < kFactors; ++f) s += load[i * kFactors + f] * load[j * kFactors + f];
            c[i * k + j] = s;
        }
    Matrix t(c.size());
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) t[i * k + j] = i == j ? 1.0 : c[i * k + j] / std::sqrt(c[i * k + i] * c[j * k + j]);
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < i; ++j) t[i * k + j] = t[j * k + i];
    return t;
}

// Average ranks (from 1) of a column, written without the library's code.
std::vector<double> average_ranks(const std::vector<double>& v) {
    const std::size_t n = v.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return v[a] < v[b]; });
    std::vector<double> r(n);
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i;
        while (j + 1 < n && v[order[j + 1]] == v[order[i]]) ++j;
        for (std::size_t m = i; m <= j; ++m) r[order[m]] = (i + j) / 2.0 + 1.0;
        i = j + 1;
    }
    return r;
}

double pearson(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    const double mx = std::accumulate(x.begin(), x.end(), 0.0) / n;
    const double my = std::accumulate(y.begin(), y.end(), 0.0) / n;
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}

std::vector<double> column(const std::vector<double>& out, int k, int j) {
    std::vector<double> c;
    for (std::size_t i = static_cast<std::size_t>(j); i < out.size(); i += static_cast<std::size_t>(k)) c.push_back(out[i]);
    return c;
}

// One correlated draw with its own workspace and outputs.
struct Draw {
    std::vector<int> slots;
    int n;
    Matrix target;
    std::vector<double> out;
    Matrix achieved;
    double repaired = -1.0;
    std::vector<unsigned char> work;
    int code = 1;

    Draw(std::vector<int> s, int rows, Matrix t)
        : slots(std::move(s)), n(rows), target(std::move(t)),
          out(static_cast<std::size_t>(rows) * slots.size(), -7.0),
          achieved(slots.size() * slots.size(), -7.0),
          work(dvalue_correlated_work_size(static_cast<int>(slots.size()), rows) + 1) {}

    int k() const { return static_cast<int>(slots.size()); }
    // The workspace starts one byte in: no alignment is asked of the caller.
    int run() {
        code = dvalue_correlated(slots.data(), k(), n, target.data(), out.data(), achieved.data(), &repaired,
                                 work.data() + 1, work.size() - 1);
        return code;
    }
};

std::vector<int> first_slots(int k) {
    std::vector<int> s(static_cast<std::size_t>(k));
    std::iota(s.begin(), s.end(), 0);
    return s;
}

class CorrelatedDraw : public ::testing::Test {
protected:
    void SetUp() override {
        for (int j = 0; j < kAll; ++j) configure(j, kMixed[j]);
    }
    // Initialises every slot afresh (draws extend a cumulative table in the
    // slot), seeds the generator, then prepares them: the normal-based slot
    // draws as it is prepared.
    static void seed_and_prepare(int kind, int seed) {
        for (int j = 0; j < kAll; ++j) configure(j, kMixed[j]);
        set_rng_type(kind, seed);
        for (int j = 0; j < kAll; ++j) precalc(j);
    }
};

TEST_F(CorrelatedDraw, RankCorrelationReachesTheTargetForEverySlot) {
    for (int kind : kGeneratorKinds) {
        for (unsigned target_seed : {1u, 2u}) {
            seed_and_prepare(kind, 4242);
            Draw d(first_slots(kAll), 1000, factor_target(kAll, target_seed));
            ASSERT_EQ(d.run(), KVZ_CORR_OK);
            EXPECT_EQ(d.repaired, 0.0);
            double worst = 0.0;
            std::vector<std::vector<double>> ranks;
            for (int j = 0; j < kAll; ++j) ranks.push_back(average_ranks(column(d.out, kAll, j)));
            for (int a = 0; a < kAll; ++a) {
                EXPECT_EQ(d.achieved[a * kAll + a], 1.0);
                for (int b = a + 1; b < kAll; ++b) {
                    const double spearman = pearson(ranks[a], ranks[b]);
                    EXPECT_NEAR(d.achieved[a * kAll + b], spearman, 1e-12) << kMixed[a].name << " " << kMixed[b].name;
                    EXPECT_EQ(d.achieved[a * kAll + b], d.achieved[b * kAll + a]);
                    worst = std::max(worst, std::fabs(spearman - d.target[a * kAll + b]));
                }
            }
            EXPECT_LE(worst, 0.02) << "generator kind " << kind << ", target " << target_seed;
        }
    }
}

// The columns hold the values dvalue_batch gives from the same stream state,
// slot after slot, and the stream goes on from where those calls leave it.
TEST_F(CorrelatedDraw, ColumnsAreTheUncorrelatedDrawsReordered) {
    constexpr int k = 8, n = 1000;
    for (int kind : kGeneratorKinds) {
        seed_and_prepare(kind, 99);
        std::vector<std::vector<double>> plain(k, std::vector<double>(n));
        for (int j = 0; j < k; ++j) dvalue_batch(j, plain[j].data(), n);
        const double next_plain = rng();

        seed_and_prepare(kind, 99);
        Draw d(first_slots(k), n, factor_target(k, 3));
        ASSERT_EQ(d.run(), KVZ_CORR_OK);
        EXPECT_EQ(rng(), next_plain) << "generator kind " << kind;
        for (int j = 0; j < k; ++j) {
            std::vector<double> got = column(d.out, k, j);
            std::sort(got.begin(), got.end());
            std::sort(plain[j].begin(), plain[j].end());
            EXPECT_EQ(got, plain[j]) << "generator kind " << kind << ", " << kMixed[j].name;
        }
    }
}

// Stratified generator seeded after precalc: each column of a type drawn by
// inversion takes one whole block, one value per thousandth of its distribution.
TEST_F(CorrelatedDraw, StratifiedColumnsKeepOneValuePerThousandth) {
    const std::vector<int> inversion = {0, 3, 4, 6, 7, 8, 9, 11, 12, 13, 14, 15, 16};  // tables and formulas
    set_rng_type(kPlain, 1);
    for (int j = 0; j < kAll; ++j) precalc(j);
    set_rng_type(kStratified, 31);
    Matrix target(inversion.size() * inversion.size(), 0.0);
    for (std::size_t i = 0; i < inversion.size(); ++i) target[i * inversion.size() + i] = 1.0;
    target[1] = target[inversion.size()] = 0.7;
    Draw d(inversion, 1000, target);
    ASSERT_EQ(d.run(), KVZ_CORR_OK);
    for (int j = 0; j < d.k(); ++j) {
        std::vector<double> got = column(d.out, d.k(), j);
        std::sort(got.begin(), got.end());
        for (int p = 0; p < 1000; ++p) {
            const double f = get_pdf_f(inversion[j], got[p]);
            // Table look-ups interpolate: their cumulative values are that close.
            EXPECT_GE(f, p / 1000.0 - 1e-4) << kMixed[inversion[j]].name << " value " << p;
            EXPECT_LE(f, (p + 1) / 1000.0 + 1e-4) << kMixed[inversion[j]].name << " value " << p;
        }
    }
}

// Three variables pairwise -0.9: the nearest correlation matrix has -0.5
// everywhere off the diagonal, at a distance of sqrt(6 * 0.4^2). That matrix
// is singular (the three would sum to a constant), which ranks of a thousand
// draws reach only approximately.
TEST_F(CorrelatedDraw, TargetOutsideTheCorrelationMatricesIsRepaired) {
    seed_and_prepare(kPlain, 5);
    Draw d({0, 7, 9}, 1000, {1, -0.9, -0.9, -0.9, 1, -0.9, -0.9, -0.9, 1});
    ASSERT_EQ(d.run(), KVZ_CORR_OK);
    EXPECT_NEAR(d.repaired, std::sqrt(6 * 0.4 * 0.4), 1e-6);
    for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b)
            if (a != b) {
                EXPECT_NEAR(d.achieved[a * 3 + b], -0.5, 0.03) << a << " " << b;
            }
}

TEST_F(CorrelatedDraw, SameSeedSameBlock) {
    seed_and_prepare(kShuffled, 17);
    Draw first(first_slots(5), 300, factor_target(5, 9));
    ASSERT_EQ(first.run(), KVZ_CORR_OK);
    seed_and_prepare(kShuffled, 17);
    Draw second(first_slots(5), 300, factor_target(5, 9));
    ASSERT_EQ(second.run(), KVZ_CORR_OK);
    EXPECT_EQ(first.out, second.out);
    EXPECT_EQ(first.achieved, second.achieved);
}

// A column with a single value has no rank correlation: NaN in its row and
// column, the others unaffected.
TEST_F(CorrelatedDraw, ConstantColumnHasNoCorrelation) {
    seed_and_prepare(kPlain, 8);
    set_pdf_dtype(20, 1);
    set_pdf_mean(20, 3.0);
    dinitialise(20);
    precalc(20);
    Draw d({0, 20, 1}, 500, {1, 0.5, 0.6, 0.5, 1, 0.5, 0.6, 0.5, 1});
    ASSERT_EQ(d.run(), KVZ_CORR_OK);
    for (int j = 0; j < 3; ++j) {
        EXPECT_TRUE(std::isnan(d.achieved[1 * 3 + j])) << j;
        EXPECT_TRUE(std::isnan(d.achieved[j * 3 + 1])) << j;
    }
    EXPECT_NEAR(d.achieved[0 * 3 + 2], 0.6, 0.02);
    for (double v : column(d.out, 3, 1)) EXPECT_EQ(v, 3.0);
}

TEST(CorrelatedWorkSize, ZeroOutsideTheRangesAndGrowingWithTheDraw) {
    EXPECT_EQ(dvalue_correlated_work_size(0, 100), 0u);
    EXPECT_EQ(dvalue_correlated_work_size(22, 100), 0u);
    EXPECT_EQ(dvalue_correlated_work_size(3, 1), 0u);
    EXPECT_EQ(dvalue_correlated_work_size(3, -5), 0u);
    EXPECT_GT(dvalue_correlated_work_size(1, 2), 0u);
    EXPECT_LT(dvalue_correlated_work_size(21, 1000), dvalue_correlated_work_size(21, 1001));
    EXPECT_LT(dvalue_correlated_work_size(20, 1000), dvalue_correlated_work_size(21, 1000));
}

// Every refusal: its code, nothing written, the generator where it was.
TEST_F(CorrelatedDraw, RefusalsChangeNothing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* what;
        std::vector<int> slots;
        int k;  // as passed; may differ from slots.size()
        int n;
        Matrix target;
        int work_short;  // bytes taken off the workspace size
        int expected;
    };
    const Matrix ok3 = {1, 0.3, 0.2, 0.3, 1, 0.1, 0.2, 0.1, 1};
    const Case cases[] = {
        {"k = 0", {0, 1, 2}, 0, 100, ok3, 0, KVZ_CORR_BAD_K},
        {"k = 22", first_slots(22), 22, 100, Matrix(22 * 22, 0.0), 0, KVZ_CORR_BAD_K},
        {"n = 0", {0, 1, 2}, 3, 0, ok3, 0, KVZ_CORR_BAD_N},
        {"n = 1", {0, 1, 2}, 3, 1, ok3, 0, KVZ_CORR_BAD_N},
        {"slot -1", {0, -1, 2}, 3, 100, ok3, 0, KVZ_CORR_BAD_SLOT},
        {"slot 21", {0, 1, 21}, 3, 100, ok3, 0, KVZ_CORR_BAD_SLOT},
        {"unprepared slot", {0, 1, 19}, 3, 100, ok3, 0, KVZ_CORR_BAD_SLOT},
        {"repeated slot", {0, 1, 0}, 3, 100, ok3, 0, KVZ_CORR_REPEATED_SLOT},
        {"F slot", {0, 18, 2}, 3, 100, ok3, 0, KVZ_CORR_NO_VARIATES},
        {"Student t slot", {17, 1, 2}, 3, 100, ok3, 0, KVZ_CORR_NO_VARIATES},
        {"unprepared before F", {18, 19, 2}, 3, 100, ok3, 0, KVZ_CORR_BAD_SLOT},
        {"F then bad target", {0, 18, 2}, 3, 100, {1, 2, 0.2, 2, 1, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_NO_VARIATES},
        {"not symmetric", {0, 1, 2}, 3, 100, {1, 0.3, 0.2, 0.31, 1, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_BAD_TARGET},
        {"diagonal not 1", {0, 1, 2}, 3, 100, {1, 0.3, 0.2, 0.3, 0.99, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_BAD_TARGET},
        {"entry above 1", {0, 1, 2}, 3, 100, {1, 1.5, 0.2, 1.5, 1, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_BAD_TARGET},
        {"entry below -1", {0, 1, 2}, 3, 100, {1, -1.01, 0.2, -1.01, 1, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_BAD_TARGET},
        {"NaN entry", {0, 1, 2}, 3, 100, {1, nan, 0.2, nan, 1, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_BAD_TARGET},
        {"NaN diagonal", {0, 1, 2}, 3, 100, {nan, 0.3, 0.2, 0.3, 1, 0.1, 0.2, 0.1, 1}, 0, KVZ_CORR_BAD_TARGET},
        {"workspace one byte short", {0, 1, 2}, 3, 100, ok3, 1, KVZ_CORR_SMALL_WORKSPACE},
    };
    seed_and_prepare(kStratified, 77);
    dinitialise(19);  // prepared, then initialised again: no longer prepared
    // Prepared slots of types without variates (dvalue answers 0 for them).
    const int no_variates[][2] = {{18, 36}, {17, 35}};  // slot, type: F, Student t
    for (const auto& [slot, dtype] : no_variates) {
        set_pdf_dtype(slot, dtype);
        set_pdf_shape_a(slot, 5);
        set_pdf_shape_b(slot, 4);
        dinitialise(slot);
        precalc(slot);
    }
    for (const Case& c : cases) {
        const double next = [] {
            // The value rng() would give now, with the generator put back.
            set_rng_type(kPlain, 1234);
            return rng();
        }();
        set_rng_type(kPlain, 1234);
        const int kk = std::max(c.k, 1);
        std::vector<double> out(static_cast<std::size_t>(std::max(c.n, 1) * std::max<std::size_t>(c.slots.size(), 1)), -7.0);
        Matrix achieved(c.target.size(), -7.0);
        double repaired = -7.0;
        const std::size_t size = dvalue_correlated_work_size(kk <= 21 ? kk : 21, std::max(c.n, 2));
        std::vector<unsigned char> work(size, 0xAB);
        const int code = dvalue_correlated(c.slots.data(), c.k, c.n, c.target.data(), out.data(), achieved.data(),
                                           &repaired, work.data(), size - static_cast<std::size_t>(c.work_short));
        EXPECT_EQ(code, c.expected) << c.what;
        EXPECT_EQ(rng(), next) << c.what << ": the generator moved";
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](double v) { return v == -7.0; })) << c.what;
        EXPECT_TRUE(std::all_of(achieved.begin(), achieved.end(), [](double v) { return v == -7.0; })) << c.what;
        EXPECT_EQ(repaired, -7.0) << c.what;
        EXPECT_TRUE(std::all_of(work.begin(), work.end(), [](unsigned char b) { return b == 0xAB; })) << c.what;
    }
}

TEST_F(CorrelatedDraw, NullArraysAreRefused) {
    seed_and_prepare(kPlain, 3);
    const int slots[] = {0, 1};
    const double target[] = {1, 0.5, 0.5, 1};
    double out[20], repaired = 0;
    std::vector<unsigned char> work(dvalue_correlated_work_size(2, 10));
    EXPECT_EQ(dvalue_correlated(nullptr, 2, 10, target, out, nullptr, &repaired, work.data(), work.size()),
              KVZ_CORR_NULL_ARRAY);
    EXPECT_EQ(dvalue_correlated(slots, 2, 10, nullptr, out, nullptr, &repaired, work.data(), work.size()),
              KVZ_CORR_NULL_ARRAY);
    EXPECT_EQ(dvalue_correlated(slots, 2, 10, target, nullptr, nullptr, &repaired, work.data(), work.size()),
              KVZ_CORR_NULL_ARRAY);
    EXPECT_EQ(dvalue_correlated(slots, 2, 10, target, out, nullptr, nullptr, work.data(), work.size()),
              KVZ_CORR_NULL_ARRAY);
    EXPECT_EQ(dvalue_correlated(slots, 2, 10, target, out, nullptr, &repaired, nullptr, work.size()),
              KVZ_CORR_SMALL_WORKSPACE);
    // achieved may be null.
    EXPECT_EQ(dvalue_correlated(slots, 2, 10, target, out, nullptr, &repaired, work.data(), work.size()),
              KVZ_CORR_OK);
}

}  // namespace
