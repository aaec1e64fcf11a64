#include "corr/ranks.h"

#include <algorithm>
#include <cmath>

namespace kvz {

namespace {

// Ascending by value, values that are not numbers last, ties by row: a
// strict total order, so any sort gives one and the same result. A function
// object, so that the sort compiles it inline.
struct ComesBefore {
    bool operator()(const RankEntry& a, const RankEntry& b) const {
        if (a.value < b.value) return true;
        if (a.value > b.value) return false;
        const bool a_nan = std::isnan(a.value);
        const bool b_nan = std::isnan(b.value);
        if (a_nan != b_nan) return b_nan;
        return a.row < b.row;
    }
};

bool same_value(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

void rank_places(const double* values, int n, RankEntry* entries, int* place) {
    for (int i = 0; i < n; ++i) entries[i] = {values[i], i};
    std::sort(entries, entries + n, ComesBefore{});
    for (int p = 0; p < n; ++p) place[entries[p].row] = p;
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
