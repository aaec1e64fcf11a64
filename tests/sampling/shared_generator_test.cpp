// The library-wide generator seen through the exports: rng_batch against
// single rng calls, and several threads drawing at once. Threads work on
// slots of their own; the generator is the one thing they share.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "include/kvz_comp.h"
#include "include/kvz_comp_batch.h"
#include "interface/slot.h"
#include "sampling_fixtures.h"

namespace {

// Plain, stratified, shuffled, and a code that means plain.
constexpr int kKinds[] = {0, 15, 20, 3};

std::vector<double> single_draws(int kind, int seed, int count) {
    set_rng_type(kind, seed);
    std::vector<double> v(count);
    for (double& u : v) u = rng();
    return v;
}

// Batches of many lengths, each followed by a single call: the same run of
// values as single calls only. The lengths sit on both sides of multiples of
// the plain kind's eight lanes and carry the run across the end of a
// stratified block (1000 values) and through the shuffle table's refills.
TEST(RngBatch, GivesTheValuesOfSuccessiveSingleCalls) {
    constexpr int kLengths[] = {1, 7, 8, 9, 15, 16, 17, 64, 1500, 3};
    int total = 0;
    for (const int n : kLengths) total += n + 1;
    for (const int kind : kKinds) {
        const std::vector<double> expected = single_draws(kind, 4242, total);
        set_rng_type(kind, 4242);
        std::vector<double> got(total);
        double* next = got.data();
        for (const int n : kLengths) {
            rng_batch(next, n);
            next[n] = rng();
            next += n + 1;
        }
        EXPECT_EQ(got, expected) << "kind " << kind;
    }
}

// A count of zero or less, or a null array, writes nothing and draws nothing.
TEST(RngBatch, EmptyCountOrNullArrayDrawsNothing) {
    struct Case {
        bool null_out;
        int count;
    };
    constexpr Case kCases[] = {{false, 0}, {false, -1}, {false, INT_MIN}, {true, 4}, {true, 0}};
    for (const int kind : kKinds) {
        const double first = single_draws(kind, 77, 1)[0];
        for (const Case& c : kCases) {
            set_rng_type(kind, 77);
            std::vector<double> out(4, -1.0);
            rng_batch(c.null_out ? nullptr : out.data(), c.count);
            EXPECT_EQ(out, std::vector<double>(4, -1.0)) << "kind " << kind << " count " << c.count;
            EXPECT_EQ(rng(), first) << "kind " << kind << " count " << c.count;
        }
    }
}

constexpr int kThreads = 4;

// Runs body(t) for t = 0 .. kThreads - 1 on as many threads, released together.
void run_together(const std::function<void(int)>& body) {
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            body(t);
        });
    }
    for (std::thread& th : threads) th.join();
}

using kvz::DistSlot;
using kvz::testing::SlotSetup;

// Puts an initialised record of `setup` into the slot table at `slot` and
// prepares it through the export, as a host's precalc call does.
void prepare(int slot, const SlotSetup& setup) {
    *kvz::slot_at(slot) = *kvz::testing::initialised(setup);
    precalc(slot);
}

// Uniform on (0, 1): a draw is minimum + u * range = u, the generator's value.
const SlotSetup kUnitUniform{kvz::kUniform, {{&DistSlot::minimum, 0.0}, {&DistSlot::maximum, 1.0}}};

// Every kind that keeps state beyond the base step, and the plain kind.
constexpr int kStreamKinds[] = {0, 15, 20};

// Batches drawn by several threads at once, half through rng_batch and half
// through dvalue_batch of a unit uniform slot, are each one unbroken run of
// the stream, and together exactly its first values.
TEST(ThreadsSharingTheGenerator, BatchesTogetherAreTheFirstValuesOfTheStream) {
    constexpr int kBatches = 6;   // per thread
    constexpr int kLength = 250;  // values per batch
    constexpr int kTotal = kThreads * kBatches * kLength;
    for (int t = 0; t < kThreads; ++t) prepare(t, kUnitUniform);
    for (const int kind : kStreamKinds) {
        const std::vector<double> stream = single_draws(kind, 606, kTotal);
        set_rng_type(kind, 606);
        std::vector<std::vector<double>> batches(kThreads * kBatches, std::vector<double>(kLength));
        run_together([&](int t) {
            for (int b = 0; b < kBatches; ++b) {
                double* out = batches[t * kBatches + b].data();
                if (t % 2 == 0) {
                    rng_batch(out, kLength);
                } else {
                    dvalue_batch(t, out, kLength);
                }
            }
        });
        // Each batch must equal one run [k * kLength, (k + 1) * kLength) of
        // the stream, and each run must be taken by one batch.
        std::vector<bool> taken(kThreads * kBatches, false);
        for (const std::vector<double>& batch : batches) {
            int found = -1;
            for (int k = 0; k < kThreads * kBatches && found < 0; ++k) {
                if (!taken[k] && std::equal(batch.begin(), batch.end(), stream.begin() + k * kLength)) {
                    found = k;
                }
            }
            ASSERT_GE(found, 0) << "kind " << kind << ": a batch is no unbroken run of the stream";
            taken[found] = true;
        }
        const double next = rng();
        EXPECT_EQ(next, single_draws(kind, 606, kTotal + 1).back()) << "kind " << kind;
    }
}

// Single draws from several threads at once: each value of the stream goes
// to exactly one caller, none twice and none lost.
TEST(ThreadsSharingTheGenerator, EachSingleDrawGoesToOneCaller) {
    constexpr int kDraws = 2000;  // per thread
    constexpr int kTotal = kThreads * kDraws;
    for (int t = 0; t < kThreads; ++t) prepare(t, kUnitUniform);
    for (const int kind : kStreamKinds) {
        std::vector<double> stream = single_draws(kind, 17, kTotal);
        set_rng_type(kind, 17);
        std::vector<std::vector<double>> drawn(kThreads, std::vector<double>(kDraws));
        run_together([&](int t) {
            for (double& u : drawn[t]) u = t % 2 == 0 ? rng() : dvalue(t);
        });
        std::vector<double> all;
        for (const std::vector<double>& d : drawn) all.insert(all.end(), d.begin(), d.end());
        std::sort(all.begin(), all.end());
        std::sort(stream.begin(), stream.end());
        EXPECT_EQ(all, stream) << "kind " << kind;
    }
}

// Threads on slots of every sampling method (normal-based, cumulative table,
// discrete table, direct), each preparing its slot, evaluating it and drawing
// from it in single and batch calls, in every generator kind. Each variate and
// each preparation of the normal-based method takes one value; afterwards the
// generator stands exactly that many values on.
TEST(ThreadsSharingTheGenerator, SlotsOfEveryMethodDrawTogether) {
    const SlotSetup setups[kThreads] = {
        {kvz::kNormal, {{&DistSlot::mean, 1.0}, {&DistSlot::stdev, 2.0}}},        // normal-based
        {kvz::kGamma, {{&DistSlot::scale, 2.0}, {&DistSlot::shape_a, 3.0}}},     // cumulative table
        {kvz::kPoisson, {{&DistSlot::mean, 4.0}}},                               // discrete table
        {kvz::kExponential, {{&DistSlot::mean, 2.0}}},                           // direct
    };
    constexpr int kSingles = 300;
    constexpr int kBatch = 700;
    constexpr int kPrecalcs = 3;
    for (const int kind : kStreamKinds) {
        set_rng_type(kind, 2024);
        std::vector<std::vector<double>> drawn(kThreads);
        run_together([&](int t) {
            for (int i = 0; i < kPrecalcs; ++i) prepare(t, setups[t]);
            std::vector<double>& d = drawn[t];
            for (int i = 0; i < kSingles; ++i) {
                d.push_back(dvalue(t));
                d.push_back(get_pdf_f(t, d.back()));
            }
            const std::size_t first = d.size();
            d.resize(first + kBatch);
            dvalue_batch(t, d.data() + first, kBatch);
            d.push_back(get_pdf_g(t, 0.5));
        });
        for (int t = 0; t < kThreads; ++t) {
            for (const double v : drawn[t]) ASSERT_TRUE(std::isfinite(v)) << "kind " << kind << " slot " << t;
        }
        const int normal_based_precalcs = kPrecalcs;  // slot 0 only
        const int used = normal_based_precalcs + kThreads * (kSingles + kBatch);
        const double next = rng();
        EXPECT_EQ(next, single_draws(kind, 2024, used + 1).back()) << "kind " << kind;
    }
}

// Reseeding and switching kind while other threads draw: no crash, no
// sanitizer report, every value inside (0, 1).
TEST(ThreadsSharingTheGenerator, ReseedingWhileOthersDraw) {
    for (int t = 0; t < kThreads; ++t) prepare(t, kUnitUniform);
    set_rng_type(0, 1);
    std::vector<std::vector<double>> drawn(kThreads);
    run_together([&](int t) {
        std::vector<double>& d = drawn[t];
        for (int i = 0; i < 40; ++i) {
            if (t == 0) {
                set_rng_type(kStreamKinds[i % 3], i);
                d.push_back(rng());
            } else {
                d.resize(d.size() + 50);
                if (t % 2 == 0) {
                    rng_batch(d.data() + d.size() - 50, 50);
                } else {
                    dvalue_batch(t, d.data() + d.size() - 50, 50);
                }
            }
        }
    });
    for (const std::vector<double>& d : drawn) {
        for (const double u : d) ASSERT_TRUE(u > 0.0 && u < 1.0) << u;
    }
}

}  // namespace
