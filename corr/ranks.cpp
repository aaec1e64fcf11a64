#include "corr/ranks.h"

#include <bit>
#include <cmath>
#include <utility>

namespace kvz {

namespace {

constexpr int kDigitBits = 8;
constexpr int kDigits = 64 / kDigitBits;
constexpr int kBuckets = 1 << kDigitBits;
constexpr std::uint64_t kSignBit = std::uint64_t{1} << 63;

// The bits of a double turned so that unsigned order is numeric order:
// negative values have every bit flipped, the others the sign bit set. Zeros
// of either sign share one key, and every value that is not a number takes
// the largest key.
std::uint64_t order_key(double v) {
    if (std::isnan(v)) return ~std::uint64_t{0};
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(v == 0.0 ? 0.0 : v);
    return (bits & kSignBit) ? ~bits : (bits | kSignBit);
}

bool same_value(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

// Least-significant-digit radix sort on the keys: each pass is stable, so
// equal keys keep row order. A digit that every key shares needs no pass.
void rank_places(const double* values, int n, RankEntry* entries, RankEntry* spare, int* place) {
    int counts[kDigits][kBuckets] = {};
    for (int i = 0; i < n; ++i) {
        const std::uint64_t key = order_key(values[i]);
        entries[i] = {key, i};
        for (int d = 0; d < kDigits; ++d) ++counts[d][(key >> (d * kDigitBits)) & (kBuckets - 1)];
    }
    RankEntry* from = entries;
    RankEntry* to = spare;
    for (int d = 0; d < kDigits; ++d) {
        int* count = counts[d];
        if (count[(from[0].key >> (d * kDigitBits)) & (kBuckets - 1)] == n) continue;
        int start = 0;
        for (int b = 0; b < kBuckets; ++b) {
            const int c = count[b];
            count[b] = start;
            start += c;
        }
        for (int i = 0; i < n; ++i) to[count[(from[i].key >> (d * kDigitBits)) & (kBuckets - 1)]++] = from[i];
        std::swap(from, to);
    }
    for (int p = 0; p < n; ++p) place[from[p].row] = p;
}

void centred_average_ranks(const double* sorted, int n, double* ranks) {
    const double mean_rank = (n + 1) / 2.0;
    for (int first = 0; first < n;) {
        int end = first + 1;
        while (end < n && same_value(sorted[end], sorted[first])) ++end;
        // Ranks first + 1 .. end share their average.
        const double rank = (first + 1 + end) / 2.0 - mean_rank;
        for (int p = first; p < end; ++p) ranks[p] = rank;
        first = end;
    }
}

}  // namespace kvz
