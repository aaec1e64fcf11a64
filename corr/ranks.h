// Ranking the columns of a correlated draw.
#pragma once

namespace kvz {

// One value with the row it came from, as sorted.
struct RankEntry {
    double value;
    int row;
};

// The place (0-based) of each of values[0..n-1] in ascending order: values
// that are not numbers after all others, equal values in row order, so the
// order is the same on every build. entries is scratch space for n entries.
void rank_places(const double* values, int n, RankEntry* entries, int* place);

// For each place of an ascending column, its rank counted from 1, runs of
// equal values sharing the average of their ranks, less the mean rank
// (n + 1) / 2: the centred ranks whose correlation is Spearman's.
void centred_average_ranks(const double* sorted, int n, double* ranks);

}  // namespace kvz
