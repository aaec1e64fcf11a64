// The fast paths of the generator and of the table draws give, value for
// value, what the straightforward algorithms kept here as references give.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "eval/mass_ratio.h"
#include "sampling/stratum_search.h"
#include "sampling_fixtures.h"

namespace kvz {
namespace {

using testing::initialised;
using testing::prepared;
using testing::SlotSetup;

// ---- Stratified blocks: fill, sort, reject one base value at a time, mix.

struct ReferenceGenerator {
    std::uint32_t state;
    double step() {
        state = (state * 1140671485u + 12820163u) & 0xFFFFFFu;
        return (static_cast<double>(state) + 1.0) / 16777218.0;
    }
    // One block of 1000 values in hand-out order.
    std::vector<double> block() {
        std::vector<std::pair<double, int>> drawn(kRngBlockSize);
        for (int i = 0; i < kRngBlockSize; ++i) drawn[i] = {step(), i};
        std::sort(drawn.begin(), drawn.end());  // distinct values: one sorted order
        std::vector<double> buffer(kRngBlockSize);
        std::vector<int> index(kRngBlockSize);
        for (int i = 0; i < kRngBlockSize; ++i) {
            buffer[i] = drawn[i].first;
            index[i] = drawn[i].second;
        }
        for (int i = 0; i < kRngBlockSize; ++i) {
            const double lo = i * 0.001;
            const double hi = lo + 0.001;
            while (buffer[i] < lo || buffer[i] >= hi) buffer[i] = step();
        }
        for (int j = 0; j < kRngBlockSize; ++j) {
            const int e = index[j];
            const double v = buffer[e];
            const int t = index[e];
            buffer[e] = buffer[j];
            index[e] = e;
            buffer[j] = v;
            index[j] = t;
        }
        return buffer;
    }
};

// Every vector path this processor runs (the stratified search's and the
// plain runs'), the one in use restored afterwards.
class VectorPaths : public ::testing::Test {
protected:
    void TearDown() override { use_vector_path(widest_vector_path()); }
    static std::vector<VectorPath> paths() {
        std::vector<VectorPath> p;
        for (VectorPath path : {VectorPath::kScalar, VectorPath::kSse2, VectorPath::kAvx2, VectorPath::kAvx512}) {
            if (path <= widest_vector_path()) p.push_back(path);
        }
        return p;
    }
};

std::uint32_t seeded_state(int seed) { return static_cast<std::uint32_t>(seed) + 327680u; }

TEST_F(VectorPaths, BlocksEqualTheOneByOneRejection) {
    // Seed -327680 starts from state 0 and INT_MAX from beyond 24 bits; the
    // others are arbitrary.
    const int seeds[] = {-327680, 1, 12345, 2024, 77, 31, 5, INT_MAX};
    for (VectorPath path : paths()) {
        use_vector_path(path);
        for (int seed : seeds) {
            set_rng_type(kRngStratified, seed);
            ReferenceGenerator ref{seeded_state(seed)};
            for (int b = 0; b < 3; ++b) {
                const std::vector<double> expected = ref.block();
                for (int i = 0; i < kRngBlockSize; ++i) {
                    ASSERT_EQ(rng(), expected[i])
                        << "path " << int(path) << " seed " << seed << " block " << b << " value " << i;
                }
                ASSERT_EQ(generator().rng_state, ref.state) << "path " << int(path) << " seed " << seed;
            }
        }
    }
}

// Plain batches of every length around whole groups of lanes, and a value
// drawn singly between them, give the successive steps of the recurrence.
TEST_F(VectorPaths, PlainBatchesEqualSuccessiveSteps) {
    const int runs[] = {1, 7, 8, 9, 1000, 4099, 16, 3};
    for (VectorPath path : paths()) {
        use_vector_path(path);
        for (int seed : {0, 12345, -327680, INT_MAX}) {
            set_rng_type(0, seed);
            std::uint32_t state = seeded_state(seed) & kLcgMask;
            for (int n : runs) {
                std::vector<double> got(n);
                rng_batch(got.data(), n);
                for (int k = 0; k < n; ++k) {
                    state = lcg_next(state);
                    ASSERT_EQ(got[k], state_value(state)) << "path " << int(path) << " seed " << seed << " run " << n;
                }
                ASSERT_EQ(generator().rng_state, state) << "path " << int(path) << " seed " << seed;
                state = lcg_next(state);
                ASSERT_EQ(rng(), state_value(state));
            }
        }
    }
}

// Batches across block ends, single values between them, and a reseed in
// the middle of a block give the stream the one-by-one rejection gives.
TEST_F(VectorPaths, BatchesAndReseedsFollowTheSameStream) {
    const int runs[] = {700, 1, 1500, 299, 2000, 3};  // 4503 values: five blocks begun
    for (VectorPath path : paths()) {
        use_vector_path(path);
        set_rng_type(kRngStratified, 99);
        ReferenceGenerator ref{seeded_state(99)};
        std::vector<double> expected;
        while (expected.size() < 4503) {
            const std::vector<double> block = ref.block();
            expected.insert(expected.end(), block.begin(), block.end());
        }
        std::size_t at = 0;
        for (int n : runs) {
            std::vector<double> got(n);
            if (n == 1) {
                got[0] = rng();
            } else {
                rng_batch(got.data(), n);
            }
            for (int k = 0; k < n; ++k, ++at) ASSERT_EQ(got[k], expected[at]) << "path " << int(path) << " value " << at;
        }
        // Reseeded 400 values into a block: a fresh block from the new seed.
        set_rng_type(kRngStratified, 4);
        ReferenceGenerator fresh{seeded_state(4)};
        const std::vector<double> block = fresh.block();
        for (int i = 0; i < kRngBlockSize; ++i) ASSERT_EQ(rng(), block[i]) << "path " << int(path) << " reseeded " << i;
    }
}

// Variates drawn one at a time and in batches take the same uniforms on
// every path (a fresh slot each time: draws may extend its table).
TEST_F(VectorPaths, VariatesAreTheSameOnEveryPath) {
    std::vector<double> first;
    for (VectorPath path : paths()) {
        auto s = prepared({kGamma, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 2.0}}});
        use_vector_path(path);
        set_rng_type(kRngStratified, 17);
        std::vector<double> v(2500);
        for (int k = 0; k < 1200; ++k) v[k] = dvalue(*s);
        dvalue_batch(*s, v.data() + 1200, 1300);
        if (first.empty()) {
            first = v;
            continue;
        }
        for (std::size_t k = 0; k < v.size(); ++k) ASSERT_EQ(v[k], first[k]) << "path " << int(path) << " draw " << k;
    }
}

// Each stratum's run of states is exactly the states whose value lies in
// [i / 1000, (i + 1) / 1000) by the double comparisons of a drawn value.
TEST(StratumTargets, RunsHoldExactlyTheStatesOfTheirThousandth) {
    for (int i = 0; i < kRngBlockSize; ++i) {
        const double lo = i * 0.001;
        const double hi = lo + 0.001;
        const StratumTarget& t = kStratumTargets[i];
        const std::uint32_t last = t.first + t.span;
        ASSERT_TRUE(state_value(t.first) >= lo && state_value(t.first) < hi) << i;
        ASSERT_TRUE(state_value(last) >= lo && state_value(last) < hi) << i;
        if (t.first > 0) {
            ASSERT_LT(state_value(t.first - 1), lo) << i;
        }
        if (last < kLcgMask) {
            ASSERT_GE(state_value(last + 1), hi) << i;
        }
    }
}

// ---- Discrete tables: the first entry whose probability reaches u, by scan.

// The entry the scan finds, or -1 when the draw goes beyond the table's
// stored entries (then both paths walk the masses the same way).
int scanned_entry(const DistSlot& s, double u) {
    for (int i = 0; i < s.table_count; ++i) {
        if (u <= s.table_p[i]) return (i == 0 && s.table_x[0] > discrete_range(s).first) ? -1 : i;
    }
    return -1;
}

TEST(FastPaths, DiscreteDrawsEqualTheScanOfTheTable) {
    struct Case {
        SlotSetup setup;
        bool ordered;
    };
    const Case cases[] = {
        {{kPoisson, {{&DistSlot::mean, 4.0}}}, true},
        {{kPoisson, {{&DistSlot::mean, 400.0}}}, true},
        {{kBinomial, {{&DistSlot::p, 0.3}}, 10}, true},
        {{kBinomial, {{&DistSlot::p, 0.3}}, 1000}, true},
        {{kBinomial, {{&DistSlot::p, 0.5}}, 5000}, true},  // 2000-entry window of 5001 values
        {{kHypergeometric, {{&DistSlot::pop, 50.0}, {&DistSlot::popsuc, 20.0}, {&DistSlot::sam, 10.0}}},
         true},
        {{kGeometric, {{&DistSlot::p, 0.2}}, 0, true, 1.0, true, 30.0}, true},
        // p beyond 1 gives masses of alternating sign: a table that goes up and
        // down, searched entry by entry.
        {{kBinomial, {{&DistSlot::p, 1.5}}, 10}, false},
    };
    constexpr int kDraws = 20000;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "dtype " << c.setup.dtype << " n " << c.setup.n);
        auto s = prepared(c.setup);
        ASSERT_EQ(s->sample_type, kSampleDiscreteTable);
        EXPECT_EQ(s->table_ordered, c.ordered ? 1 : 0);
        set_rng_type(0, 99);
        std::vector<double> drawn(kDraws);
        for (double& v : drawn) v = dvalue(*s);
        set_rng_type(0, 99);
        int compared = 0;
        for (int d = 0; d < kDraws; ++d) {
            const int i = scanned_entry(*s, rng());
            if (i < 0) continue;
            ASSERT_EQ(drawn[d], s->table_x[i]) << "draw " << d;
            ++compared;
        }
        EXPECT_GT(compared, kDraws * 9 / 10);
    }
}

// Sets the plain generator so that its next value is (t + 1) / 16777218
// (602453 inverts the multiplier modulo 2^24).
void next_plain_value(std::uint32_t t) {
    set_rng_type(0, 0);
    generator().rng_state = ((t - 12820163u) * 602453u) & 0xFFFFFFu;
}

TEST(FastPaths, UEqualToATableEntryTakesTheFirstEntryWithThatProbability) {
    auto s = prepared({kBinomial, {{&DistSlot::p, 0.3}}, 10});
    ASSERT_EQ(s->table_ordered, 1);
    // Probabilities the generator can produce exactly, with runs of equal
    // entries (a zero mass) in the middle and at the end.
    const std::uint32_t t[] = {100, 2000, 2000, 2000, 500000, 9000000, 9000001,
                               16000000, 16777215, 16777215, 16777215};
    for (int i = 0; i < s->table_count; ++i) s->table_p[i] = (t[i] + 1.0) / 16777218.0;
    const struct {
        std::uint32_t t;
        double expected;
    } cases[] = {{99, 0}, {100, 0}, {101, 1}, {2000, 1}, {2001, 4}, {9000000, 5},
                 {9000001, 6}, {16777214, 8}, {16777215, 8}};
    for (const auto& c : cases) {
        next_plain_value(c.t);
        EXPECT_EQ(dvalue(*s), c.expected) << c.t;
    }
}

// ---- Discrete draws beyond the table's window: the walk from the table's
// end, mass by mass, as the plain algorithm takes it. Each walk is taken
// once here, as far as a uniform of the generator reaches, and kept whole:
// the value a u gives is read from the whole list.

struct PlainWalk {
    std::vector<double> value;  // the values the walk passed, in order
    std::vector<double> sum;    // the running sum once it passed each
    double stop;                // where it ends when no sum decides (its own rules)
};

// Upward: add each mass; u <= sum decides; a falling mass that leaves the sum
// unchanged, a sum that is no number and the range's end stop the walk.
PlainWalk plain_walk_up(const DistSlot& s, const DiscreteRange& r) {
    const int last = s.table_count - 1;
    PlainWalk w{{}, {}, s.table_x[last]};
    double c = s.table_p[last];
    double previous = s.table_count > 1 ? c - s.table_p[last - 1] : 0.0;
    for (double v = s.table_x[last] + 1; v <= r.last; v += 1) {
        const double mass = density_across_cut(s, v);
        const double next = c + mass;
        const bool unchanged = next == c;
        c = next;
        w.stop = v;
        w.value.push_back(v);
        w.sum.push_back(c);
        if (std::isnan(c) || (unchanged && mass < previous) || c >= kLargestUniform) break;
        previous = mass;
    }
    return w;
}

// Downward from the table's first entry: take off each mass; u above the
// probability below a value decides it; a zero mass below the first entry
// ends the walk at the value above it, a probability that is no number at
// its value, the range's start at that start.
PlainWalk plain_walk_down(const DistSlot& s, const DiscreteRange& r) {
    PlainWalk w{{}, {}, r.first};
    double c = s.table_p[0];
    for (double v = s.table_x[0]; v >= r.first + 1; v -= 1) {
        const double mass = density_across_cut(s, v);
        if (mass == 0 && v < s.table_x[0]) {
            w.stop = v + 1;
            break;
        }
        const double below = c - mass;
        w.value.push_back(v);
        w.sum.push_back(below);
        if (std::isnan(below)) {
            w.stop = v;
            break;
        }
        c = below;
        if (c < kSmallestUniform) break;
    }
    return w;
}

// The value the plain draw gives for u, from the table's scan and the two
// walks. The sums of a walk are ordered (a sum that is no number can only
// end it), so the first that decides u is found by halving.
double plain_discrete_draw(const DistSlot& s, const PlainWalk& up, const PlainWalk& down, double u) {
    const DiscreteRange r = discrete_range(s);
    int i = 0;
    while (i < s.table_count && !(u <= s.table_p[i])) ++i;
    if (i < s.table_count) {
        if (i > 0 || !(s.table_x[0] > r.first)) return s.table_x[i];
        const auto k = std::partition_point(down.sum.begin(), down.sum.end(), [u](double c) { return u <= c; });
        return k == down.sum.end() ? down.stop : down.value[k - down.sum.begin()];
    }
    const auto k = std::partition_point(up.sum.begin(), up.sum.end(), [u](double c) { return c < u; });
    return k == up.sum.end() ? up.stop : up.value[k - up.sum.begin()];
}

// Whether a walk's sums keep their order up to one that is no number, which
// can only come last.
bool walk_ordered(const PlainWalk& w, bool rising) {
    for (size_t k = 1; k < w.sum.size(); ++k) {
        if (std::isnan(w.sum[k])) return k + 1 == w.sum.size();
        if (rising ? w.sum[k] < w.sum[k - 1] : w.sum[k] > w.sum[k - 1]) return false;
    }
    return true;
}

// Slots whose draws walk beyond their tables.
const std::vector<SlotSetup>& far_walk_setups() {
    static const std::vector<SlotSetup> setups = {
        {kPoisson, {{&DistSlot::mean, 1e6}}},
        {kPoisson, {{&DistSlot::mean, 1e7}}},
        {kPoisson, {{&DistSlot::mean, 1e8}}},  // the checkpoints thinned several times
        {kBinomial, {{&DistSlot::p, 0.3}}, 10000000},
        {kBinomial, {{&DistSlot::p, 0.4}}, 100000000},
        {kBinomial, {{&DistSlot::p, 0.5}}, 5000},  // short walks: every mass a checkpoint
        {kPoisson, {{&DistSlot::mean, 1e6}}, 0, true, 998500.0, true, 1003000.0},  // truncated
        {kGeometric, {{&DistSlot::p, 1e-4}}},  // the walk below reaches the range's start
        {kLogSeries, {{&DistSlot::shape_a, 0.999}}},
        {kLogSeries, {{&DistSlot::shape_a, 0.99999}}},
        {kHypergeometric, {{&DistSlot::pop, 2e6}, {&DistSlot::popsuc, 8e5}, {&DistSlot::sam, 5e5}}},
        {kHypergeometric, {{&DistSlot::pop, 1e9}, {&DistSlot::popsuc, 3e8}, {&DistSlot::sam, 2e7}}},
        {kBinomial, {{&DistSlot::p, 1.5}}, 5000},  // masses that are no number
    };
    return setups;
}

// The draw's value for u against the plain walks' bit for bit: u at every
// running sum of either walk and at the doubles beside it (where a value
// decided from estimated masses would first go wrong), and at random u.
void expect_value_at_any_uniform(const DistSlot& s, const PlainWalk& up, const PlainWalk& down) {
    std::vector<double> us;
    const auto around = [&us](double c) {
        for (double u : {c, std::nextafter(c, 0.0), std::nextafter(c, 2.0)}) {
            if (u >= kSmallestUniform && u <= kLargestUniform) us.push_back(u);
        }
    };
    for (double c : up.sum) around(c);
    for (double c : down.sum) around(c);
    std::uint64_t x = 88172645463325252u;
    for (int k = 0; k < 20000; ++k) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        around(kSmallestUniform + (x >> 11) * 0x1p-53 * (kLargestUniform - kSmallestUniform));
    }
    for (double u : us) {
        const double drawn = discrete_table_value(s, u);
        const double plain = plain_discrete_draw(s, up, down, u);
        ASSERT_TRUE(std::memcmp(&drawn, &plain, sizeof(double)) == 0)
            << "u " << std::hexfloat << u << std::defaultfloat << ": " << drawn << " " << plain;
    }
}

TEST(FastPaths, DiscreteDrawsBeyondTheTableEqualTheWalkMassByMass) {
    for (const auto& setup : far_walk_setups()) {
        SCOPED_TRACE(::testing::Message() << "dtype " << setup.dtype << " n " << setup.n << " "
                                          << (setup.fields.empty() ? 0 : setup.fields[0].second));
        auto s = prepared(setup);
        ASSERT_EQ(s->sample_type, kSampleDiscreteTable);
        const DiscreteRange r = discrete_range(*s);
        const PlainWalk up = plain_walk_up(*s, r);
        const PlainWalk down = s->table_x[0] > r.first ? plain_walk_down(*s, r) : PlainWalk{{}, {}, 0};
        ASSERT_TRUE(walk_ordered(up, true));
        ASSERT_TRUE(walk_ordered(down, false));
        // The draws find their checkpoints through the guides.
        EXPECT_TRUE(s->walk_above.count == 0 || s->walk_above_guide.ready);
        EXPECT_TRUE(s->walk_below.count == 0 || s->walk_below_guide.ready);
        // Every generator output next to a running sum of either walk (where
        // the value drawn changes), and a sweep through all outputs.
        std::vector<std::uint32_t> t;
        const auto around = [&t](double c) {
            if (!(c > 0 && c < 1)) return;
            const double k = std::floor(c * 16777218.0) - 1.0;
            for (double d = -1; d <= 1; ++d)
                if (k + d >= 0 && k + d <= 16777215) t.push_back(static_cast<std::uint32_t>(k + d));
        };
        for (double c : up.sum) around(c);
        for (double c : down.sum) around(c);
        for (std::uint32_t k = 0; k < 16777216u; k += 4099) t.push_back(k);
        t.push_back(0);
        t.push_back(16777215);
        for (std::uint32_t k : t) {
            next_plain_value(k);
            const double drawn = dvalue(*s);
            const double plain = plain_discrete_draw(*s, up, down, (k + 1.0) / 16777218.0);
            ASSERT_TRUE(std::memcmp(&drawn, &plain, sizeof(double)) == 0) << "t " << k << ": " << drawn << " " << plain;
        }
        expect_value_at_any_uniform(*s, up, down);
    }
}

// The masses the draws estimate by the type's ratio from a recorded one
// follow the library's own masses well within kMassEstimateError over the
// values the walks reach, as far from their start as checkpoints lie apart.
TEST(FastPaths, MassRatiosFollowTheLibrarysMasses) {
    constexpr int kReach = 1024;  // the widest stride of the checkpoints
    for (const auto& setup : far_walk_setups()) {
        auto s = prepared(setup);
        SCOPED_TRACE(::testing::Message() << "dtype " << setup.dtype << " n " << setup.n);
        const DiscreteRange r = discrete_range(*s);
        const PlainWalk up = plain_walk_up(*s, r);
        const PlainWalk down = s->table_x[0] > r.first ? plain_walk_down(*s, r) : PlainWalk{{}, {}, 0};
        double worst = 0;
        for (const PlainWalk* w : {&up, &down}) {
            for (size_t i = 0; i < w->value.size(); i += 97) {
                const double start = w->value[i];
                double mass = density_across_cut(*s, start);
                for (int k = 1; k <= kReach && std::isfinite(mass) && mass > 1e-250; ++k) {
                    mass *= mass_ratio(*s, start + k - 1);
                    const double exact = density_across_cut(*s, start + k);
                    if (!(exact > 1e-250) || !std::isfinite(mass)) break;
                    worst = std::max(worst, std::fabs(mass / exact - 1));
                }
            }
        }
        EXPECT_LT(worst, kMassEstimateError / 100);
    }
}

// Checkpoints that no longer belong to the slot (its inputs changed without
// a new precalc) are passed over: the draw walks from the table's end.
TEST(FastPaths, DiscreteDrawsPassOverCheckpointsOfOtherInputs) {
    auto s = prepared({kPoisson, {{&DistSlot::mean, 1e6}}});
    ASSERT_EQ(s->walk_above.ready, 1);
    ASSERT_EQ(s->walk_below.ready, 1);
    s->mean = 1e6 + 0.5;
    const DiscreteRange r = discrete_range(*s);
    const PlainWalk up = plain_walk_up(*s, r);
    const PlainWalk down = plain_walk_down(*s, r);
    for (std::uint32_t k : {0u, 100000u, 2000000u, 15000000u, 16700000u, 16777215u}) {
        next_plain_value(k);
        EXPECT_EQ(dvalue(*s), plain_discrete_draw(*s, up, down, (k + 1.0) / 16777218.0)) << k;
    }
}

// ---- Cumulative tables: extend below, then above, then interpolate.

double reference_cdf_draw(DistSlot& s, double u) {
    if (table_extend_down(s, u) && table_extend_up(s, u)) {
        return table_interpolate(s.table_p, s.table_x, s.table_count, u);
    }
    return u > s.table_p[0] ? s.table_x[s.table_count - 1] : s.table_x[0];
}

TEST(FastPaths, CumulativeTableDrawsEqualExtensionThenInterpolation) {
    const SlotSetup setups[] = {
        {kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}},  // grows at both ends
        {kNormal, {{&DistSlot::stdev, 1.0}}, 0, true, -1.0, true, 2.0},
    };
    constexpr int kDraws = 5000;
    for (const auto& setup : setups) {
        SCOPED_TRACE(setup.dtype);
        auto s = prepared(setup);
        auto ref = std::make_unique<DistSlot>(*s);
        set_rng_type(0, 5);
        std::vector<double> drawn(kDraws);
        for (double& v : drawn) v = dvalue(*s);
        set_rng_type(0, 5);
        for (int d = 0; d < kDraws; ++d) ASSERT_EQ(drawn[d], reference_cdf_draw(*ref, rng())) << d;
        EXPECT_EQ(s->table_count, ref->table_count);
    }
}

// ---- Cumulative tables: the guide finds the block table_locate finds, and
// the unrolled interpolation gives table_interpolate's value.

// Generator outputs (t + 1) / 16777218 within `reach` steps of v.
std::vector<double> outputs_near(double v, int reach) {
    std::vector<double> u;
    const double t = std::floor(v * 16777218.0) - 1.0;
    for (int d = -reach; d <= reach; ++d) {
        const double k = t + d;
        if (k >= 0 && k <= 16777215) u.push_back((k + 1.0) / 16777218.0);
    }
    return u;
}

// Every u of interest for a table: the generator's outputs around each entry
// and each bucket edge of the guide, the entries and edges themselves and the
// doubles next to them, and a sweep through all outputs.
std::vector<double> probes(const DistSlot& s) {
    std::vector<double> u;
    const auto around = [&u](double v) {
        for (double w : outputs_near(v, 3)) u.push_back(w);
        for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1.0)}) {
            if (w >= 0 && w < 1) u.push_back(w);
        }
    };
    for (int i = 0; i < s.table_count; ++i) around(s.table_p[i]);
    for (int j = 0; j <= kGuideBuckets; ++j) around(static_cast<double>(j) / kGuideBuckets);
    for (std::uint32_t t = 0; t < 16777216u; t += 251) u.push_back((t + 1.0) / 16777218.0);
    return u;
}

void expect_guided_equals_plain(const DistSlot& s) {
    ASSERT_EQ(s.guide_ready, 1);
    ASSERT_EQ(s.guide_count, s.table_count);
    for (double u : probes(s)) {
        ASSERT_EQ(guided_locate(s, u), table_locate(s.table_p, s.table_count, u)) << u;
        const double plain = table_interpolate(s.table_p, s.table_x, s.table_count, u);
        const double fast = table_draw_interpolate(s, u);
        ASSERT_TRUE(std::memcmp(&plain, &fast, sizeof(double)) == 0) << u << " " << plain << " " << fast;
    }
}

const SlotSetup kCdfTableSetups[] = {
    {kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}},
    {kGamma, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 0.5}}},  // steep near 0
    {kBeta, {{&DistSlot::maximum, 1.0}, {&DistSlot::shape_a, 2.0}, {&DistSlot::shape_b, 3.0}}},
    {kNormal, {{&DistSlot::stdev, 1.0}}, 0, true, -1.0, true, 2.0},
    {kInverseGaussian, {{&DistSlot::mean, 1.0}, {&DistSlot::scale, 2.0}}},
    {kExpPower, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, 1.5}}},
};

TEST(FastPaths, GuidedTableLookupEqualsBisectionAndNeville) {
    for (const auto& setup : kCdfTableSetups) {
        SCOPED_TRACE(setup.dtype);
        auto s = prepared(setup);
        ASSERT_EQ(s->sample_type, kSampleCdfTable);
        expect_guided_equals_plain(*s);
    }
}

TEST(FastPaths, GuideFollowsTheTableThroughFlatStretchesAndExtensions) {
    auto s = prepared(kCdfTableSetups[0]);
    // A flat stretch, a run of equal probabilities that are a generator
    // output, and two equal entries on a bucket edge.
    for (int i = 300; i < 310; ++i) s->table_p[i] = s->table_p[300];
    const double out = std::ceil(s->table_p[500] * 16777218.0) / 16777218.0;
    ASSERT_LE(out, s->table_p[503]);
    for (int i = 500; i < 503; ++i) s->table_p[i] = out;
    const double edge = std::ceil(s->table_p[600] * kGuideBuckets) / kGuideBuckets;
    ASSERT_LE(edge, s->table_p[602]);
    s->table_p[600] = s->table_p[601] = edge;
    build_table_guide(*s);
    expect_guided_equals_plain(*s);
    // Extensions at both ends rebuild the guide for the longer table.
    const int before = s->table_count;
    ASSERT_TRUE(table_extend_down(*s, s->table_p[0] / 1e6));
    ASSERT_TRUE(table_extend_up(*s, 1.0 - (1.0 - s->table_p[s->table_count - 1]) / 1e6));
    ASSERT_GT(s->table_count, before + 1);
    expect_guided_equals_plain(*s);
    // A table that goes down somewhere gets no guide: both paths bisect.
    s->table_p[700] = s->table_p[699] / 2;
    build_table_guide(*s);
    EXPECT_EQ(s->guide_ready, 0);
    const double u = s->table_p[699];
    EXPECT_EQ(table_draw_interpolate(*s, u),
              table_interpolate(s->table_p, s->table_x, s->table_count, u));
}

// ---- Factors that do not depend on x, stored by dinitialise: the
// exponential power density's 2^(a/2 + 1) and Γ(a/2 + 1), the gamma
// cumulative's ln Γ(a). They give the table, and every value, that working
// them out at every x gives.

TEST(FastPaths, StoredShapeFactorsGiveTheSameValues) {
    struct Case {
        int dtype;
        double shape;
        Flag DistSlot::*stored;
    };
    const Case cases[] = {
        {kExpPower, 0.5, &DistSlot::power_norm_set},
        {kExpPower, 1.5, &DistSlot::power_norm_set},
        {kExpPower, 400.0, &DistSlot::power_norm_set},  // the factors overflow
        {kGamma, 0.5, &DistSlot::gamma_log_set},
        {kGamma, 3.0, &DistSlot::gamma_log_set},
        {kChiSquare, 5.0, &DistSlot::gamma_log_set},
        {kErlang, 4.0, &DistSlot::gamma_log_set},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dtype << " shape " << c.shape);
        const SlotSetup setup{c.dtype, {{&DistSlot::scale, 1.0}, {&DistSlot::shape_a, c.shape}}};
        auto stored = prepared(setup);
        ASSERT_EQ((*stored).*c.stored, 1);
        auto fresh = initialised(setup);
        (*fresh).*c.stored = 0;
        precalc(*fresh);
        ASSERT_EQ(stored->table_count, fresh->table_count);
        EXPECT_EQ(std::memcmp(stored->table_p, fresh->table_p, sizeof(double) * stored->table_count), 0);
        EXPECT_EQ(std::memcmp(stored->table_x, fresh->table_x, sizeof(double) * stored->table_count), 0);
        // A shape changed after dinitialise is not served the stored factors.
        auto changed = initialised(setup);
        changed->shape_a = c.shape * 1.25;
        auto plain = initialised(setup);
        plain->shape_a = c.shape * 1.25;
        (*plain).*c.stored = 0;
        for (double x : {-3.0, -0.5, 0.0, 0.25, 2.0, 7.5, 30.0}) {
            const double d[2] = {density(*changed, x), density(*plain, x)};
            const double f[2] = {cumulative(*changed, x), cumulative(*plain, x)};
            EXPECT_EQ(std::memcmp(&d[0], &d[1], sizeof(double)), 0) << x;
            EXPECT_EQ(std::memcmp(&f[0], &f[1], sizeof(double)), 0) << x;
        }
    }
}

// ---- Batches: value for value what single draws give, and the same slot
// after, on every vector path and with every kind of generator.

TEST_F(VectorPaths, BatchDrawsEqualSingleDraws) {
    const SlotSetup setups[] = {
        kCdfTableSetups[0],
        kCdfTableSetups[3],  // truncated: u beyond the table stops at its ends
        {kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}, 0, true, 0.0, true, 40.0},
        {kNormal, {{&DistSlot::mean, 1.0}, {&DistSlot::stdev, 2.0}}},
        {kLognormal, {{&DistSlot::lmean, 0.5}, {&DistSlot::lstdev, 0.25}}},
        {kNormalBinomial, {{&DistSlot::p, 0.3}}, 100},
        {kNormalPoisson, {{&DistSlot::mean, 50.0}}},
        {kExponential, {{&DistSlot::mean, 2.0}}},
    };
    for (VectorPath path : paths()) {
    use_vector_path(path);
    for (int kind : {0, kRngShuffled, kRngStratified}) {
    for (const auto& setup : setups) {
        SCOPED_TRACE(::testing::Message() << "type " << setup.dtype << " path " << int(path) << " kind " << kind);
        for (int count : {1, 7, 8, 9, 1000, 4099}) {
            auto batch = prepared(setup);
            auto single = std::make_unique<DistSlot>();  // a byte copy, padding included
            std::memcpy(static_cast<void*>(single.get()), batch.get(), sizeof(DistSlot));
            set_rng_type(kind, 17);
            std::vector<double> got(count);
            dvalue_batch(*batch, got.data(), count);
            const std::uint32_t state = generator().rng_state;
            set_rng_type(kind, 17);
            for (int i = 0; i < count; ++i) {
                const double want = dvalue(*single);
                ASSERT_TRUE(std::memcmp(&want, &got[i], sizeof(double)) == 0)
                    << "count " << count << " value " << i << ": " << want << " " << got[i];
            }
            EXPECT_EQ(generator().rng_state, state);
            EXPECT_EQ(std::memcmp(batch.get(), single.get(), sizeof(DistSlot)), 0) << count;
        }
    }
    }
    }
}

}  // namespace
}  // namespace kvz
