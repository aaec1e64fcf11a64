// Ranking the columns of a correlated draw.
#pragma once

#include <cstdint>

namespace kvz {

// One value, as a key whose unsigned order is the value's order, with the
// row it came from.
struct RankEntry {
    std::uint64_t key;
    int row;
};

// The place (0-based) of each of values[0..n-1] in ascending order: values
// that are not numbers after all others, equal values (-0 and +0 among them)
// in row order, so the order is the same on every build. entries and spare
// are scratch space for n entries each.
void rank_places(const double* values, int n, RankEntry* entries, RankEntry* spare, int* place);

// For each place of an ascending column, its rank counted from 1, runs of
// equal values sharing the average of their ranks, less the mean rank
// (n + 1) / 2: the centred ranks whose correlation is Spearman's.
void centred_average_ranks(const double* sorted, int n, double* ranks);

}  // namespace kvz
