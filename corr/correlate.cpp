// Iman and Conover's reordering, refined: normal scores ranked like each
// column's draws are turned towards a working matrix by Cholesky factors, each
// column takes the order of its turned scores, and the working matrix moves by
// the gap between the rank correlation reached and the goal until the gap is
// small or the passes run out; the best pass is kept.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>

#include <Eigen/Cholesky>
#include <unsupported/Eigen/SpecialFunctions>

#include "corr/correlate.h"
#include "corr/matrix.h"
#include "corr/ranks.h"
#include "sampling/sampling.h"
#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {

using ColumnMap = Eigen::Map<Eigen::MatrixXd>;

// A pass whose rank correlations all lie this close to the goal ends the
// refinement, inside the 0.02 a host can count on for n of a thousand and
// more; otherwise it stops after kMaxPasses passes and keeps the best.
constexpr double kPassTolerance = 0.015;
constexpr int kMaxPasses = 8;

// The workspace, carved into n x k column-major blocks and n-long rows.
struct Workspace {
    double* sorted;  // each column's values in ascending order
    double* ranks;   // the centred average rank of each place of `sorted`
    double* scores;  // normal scores placed as each column's draws rank
    double* shaped;  // draws, then turned scores, then the ranks they give
    int* place;      // the place in `sorted` of each row's value, this pass
    int* best;       // the same, for a second pass to be compared with
    RankEntry* entries;
    RankEntry* spare;
    double* normal;  // the normal scores in ascending order
};

// Byte offsets of the blocks; total 0 when the size does not fit a size_t.
struct Layout {
    std::size_t sorted, ranks, scores, shaped, place, best, entries, spare, normal, total;
};

// Room to move the start of the caller's buffer to a double's alignment.
constexpr std::size_t kAlignSlack = alignof(std::max_align_t);

Layout layout_of(int k, int n) {
    const auto cells = static_cast<std::uint64_t>(k) * static_cast<std::uint64_t>(n);
    const auto rows = static_cast<std::uint64_t>(n);
    std::uint64_t at = 0;
    auto take = [&at](std::uint64_t bytes) {
        const std::uint64_t start = at;
        at += (bytes + kAlignSlack - 1) / kAlignSlack * kAlignSlack;
        return static_cast<std::size_t>(start);
    };
    Layout l{};
    l.sorted = take(cells * sizeof(double));
    l.ranks = take(cells * sizeof(double));
    l.scores = take(cells * sizeof(double));
    l.shaped = take(cells * sizeof(double));
    l.place = take(cells * sizeof(int));
    l.best = take(cells * sizeof(int));
    l.entries = take(rows * sizeof(RankEntry));
    l.spare = take(rows * sizeof(RankEntry));
    l.normal = take(rows * sizeof(double));
    at += kAlignSlack;
    l.total = at <= std::numeric_limits<std::size_t>::max() ? static_cast<std::size_t>(at) : 0;
    return l;
}

Workspace carve(void* work, int k, int n) {
    const Layout l = layout_of(k, n);
    const auto address = reinterpret_cast<std::uintptr_t>(work);
    char* base = static_cast<char*>(work) + (kAlignSlack - address % kAlignSlack) % kAlignSlack;
    return {reinterpret_cast<double*>(base + l.sorted),  reinterpret_cast<double*>(base + l.ranks),
            reinterpret_cast<double*>(base + l.scores),  reinterpret_cast<double*>(base + l.shaped),
            reinterpret_cast<int*>(base + l.place),      reinterpret_cast<int*>(base + l.best),
            reinterpret_cast<RankEntry*>(base + l.entries), reinterpret_cast<RankEntry*>(base + l.spare),
            reinterpret_cast<double*>(base + l.normal)};
}

// The standard normal quantiles at p / (n + 1), p = 1..n, mirrored about the
// middle so that they sum to exactly zero.
void fill_normal_scores(double* normal, int n) {
    for (int p = 0; p < n / 2; ++p) {
        const double z = Eigen::numext::ndtri((p + 1) / (n + 1.0));
        normal[p] = z;
        normal[n - 1 - p] = -z;
    }
    if (n % 2 == 1) normal[n / 2] = 0.0;
}

// Column j: the values dvalue gives, in turn, then sorted, with the draw rank
// of each row in `place` and the normal score of that rank in `scores`. The
// columns take their values as one unbroken run of the stream.
void draw_columns(const CorrelatedDraw& d, const Workspace& w) {
    const std::size_t n = static_cast<std::size_t>(d.n);
    {
        GeneratorGuard guard;
        for (int j = 0; j < d.k; ++j) {
            double* drawn = w.shaped + j * n;
            for (std::size_t i = 0; i < n; ++i) drawn[i] = dvalue(*d.slots[j]);
        }
    }
    fill_normal_scores(w.normal, d.n);
    for (int j = 0; j < d.k; ++j) {
        const double* drawn = w.shaped + j * n;
        int* place = w.place + j * n;
        rank_places(drawn, d.n, w.entries, w.spare, place);
        double* sorted = w.sorted + j * n;
        double* scores = w.scores + j * n;
        for (std::size_t i = 0; i < n; ++i) {
            sorted[place[i]] = drawn[i];
            scores[i] = w.normal[place[i]];
        }
        centred_average_ranks(sorted, d.n, w.ranks + j * n);
    }
}

// Pearson correlations of centred columns (Spearman's for centred ranks): NaN
// in the row and column of a column without spread.
CorrMatrix column_correlation(const ColumnMap& columns) {
    const int k = static_cast<int>(columns.cols());
    CorrMatrix g(k, k);
    for (int a = 0; a < k; ++a)
        for (int b = a; b < k; ++b) g(a, b) = g(b, a) = columns.col(a).dot(columns.col(b));
    CorrMatrix s(k, k);
    for (int a = 0; a < k; ++a) {
        for (int b = 0; b < k; ++b) {
            const double spread = g(a, a) * g(b, b);
            s(a, b) = spread > 0 ? (a == b ? 1.0 : g(a, b) / std::sqrt(spread))
                                 : std::numeric_limits<double>::quiet_NaN();
        }
    }
    return s;
}

// c with every pair that has no correlation (NaN in `pattern`) made
// independent: such a column's ranks cannot be moved.
CorrMatrix decoupled(const CorrMatrix& c, const CorrMatrix& pattern) {
    CorrMatrix d = c;
    for (int a = 0; a < c.rows(); ++a)
        for (int b = 0; b < c.cols(); ++b)
            if (std::isnan(pattern(a, b))) d(a, b) = a == b ? 1.0 : 0.0;
    return d;
}

// Largest gap between reached and goal over the pairs that have a correlation.
double largest_gap(const CorrMatrix& reached, const CorrMatrix& goal) {
    double gap = 0.0;
    for (int a = 0; a < goal.rows(); ++a)
        for (int b = a + 1; b < goal.cols(); ++b)
            if (!std::isnan(reached(a, b))) gap = std::fmax(gap, std::fabs(reached(a, b) - goal(a, b)));
    return gap;
}

// The Pearson correlation of normal scores whose rank correlation is rho.
CorrMatrix score_correlation(const CorrMatrix& rho) {
    return rho.unaryExpr([](double r) { return 2.0 * elem::sin(kPi / 6.0 * r); });
}

// One pass: `source` (centred columns whose own correlation has the Cholesky
// factor `own`) turned into `dest` with correlation `aim`; each column placed
// as its turned values rank, and `dest` then holding the centred ranks of the
// placed values. Returns their correlation: the rank correlation reached.
CorrMatrix reorder_pass(const ColumnMap& source, const CorrMatrix& own, const CorrMatrix& aim, const Workspace& w,
                        int* places, ColumnMap& dest) {
    const int n = static_cast<int>(source.rows());
    const int k = static_cast<int>(source.cols());
    // dest = source * own^-T * factor^T: columns with correlation `aim`.
    const CorrMatrix turn = own.transpose().triangularView<Eigen::Upper>().solve(correlation_factor(aim).transpose());
    dest.noalias() = source.lazyProduct(turn);
    for (int j = 0; j < k; ++j) {
        const std::size_t column = static_cast<std::size_t>(j) * static_cast<std::size_t>(n);
        int* place = places + column;
        rank_places(dest.data() + column, n, w.entries, w.spare, place);
        const double* ranks = w.ranks + column;
        double* placed = dest.data() + column;
        for (int i = 0; i < n; ++i) placed[i] = ranks[place[i]];
    }
    return column_correlation(dest);
}

// The next aim: moved by the gap left, kept inside [-1, 1] and made a
// correlation matrix again where the move left that set.
CorrMatrix next_aim(const CorrMatrix& aim, const CorrMatrix& reached, const CorrMatrix& goal) {
    CorrMatrix next = aim;
    for (int a = 0; a < goal.rows(); ++a) {
        for (int b = 0; b < goal.cols(); ++b) {
            if (a == b || std::isnan(reached(a, b))) continue;
            next(a, b) = std::fmin(1.0, std::fmax(-1.0, aim(a, b) + (goal(a, b) - reached(a, b))));
        }
    }
    return positive_semidefinite(next) ? next : clipped_correlation(next);
}

// The Cholesky factor of a correlation matrix, columns without spread taken
// as independent; false when it has none (as many columns as rows, or a
// correlation of one).
bool cholesky_factor(const CorrMatrix& c, CorrMatrix& factor) {
    const Eigen::LLT<CorrMatrix> llt(decoupled(c, c));
    if (llt.info() != Eigen::Success) return false;
    factor = llt.matrixL();
    return true;
}

}  // namespace

bool valid_target(const double* target, int k) {
    for (int i = 0; i < k; ++i) {
        for (int j = 0; j < k; ++j) {
            const double v = target[i * k + j];
            if (!(v >= -1.0 && v <= 1.0)) return false;  // also a value that is not a number
            if (i == j ? v != 1.0 : v != target[j * k + i]) return false;
        }
    }
    return true;
}

std::size_t correlated_work_size(int k, int n) {
    if (k < 1 || k > kMaxCorrelated || n < 2) return 0;
    return layout_of(k, n).total;
}

void correlated_draw(const CorrelatedDraw& d) {
    const int k = d.k;
    const int n = d.n;
    const Workspace w = carve(d.work, k, n);
    draw_columns(d, w);

    const CorrMatrix target = matrix_from(d.target, k);
    const bool usable = positive_semidefinite(target);
    const CorrMatrix goal = usable ? target : nearest_correlation(target);
    *d.repaired = usable ? 0.0 : (target - goal).norm();

    // The first pass turns the normal scores, ranked as the values were
    // drawn, to the Pearson correlation that normal scores with the goal's
    // rank correlation have. Every later pass turns the ranks the previous
    // pass left to the goal itself, which takes out what that pass missed.
    double* source_data = w.scores;
    double* dest_data = w.shaped;
    CorrMatrix own;
    if (!cholesky_factor(column_correlation(ColumnMap(source_data, n, k)), own)) own = CorrMatrix::Identity(k, k);
    CorrMatrix aim = score_correlation(goal);
    if (!positive_semidefinite(aim)) aim = clipped_correlation(aim);
    int* place = w.place;
    int* best = w.best;
    CorrMatrix best_reached;
    double best_gap = std::numeric_limits<double>::infinity();
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        ColumnMap dest(dest_data, n, k);
        const CorrMatrix reached = reorder_pass(ColumnMap(source_data, n, k), own, aim, w, place, dest);
        const double gap = largest_gap(reached, goal);
        if (gap < best_gap) {
            best_gap = gap;
            best_reached = reached;
            std::swap(place, best);
        } else if (!usable) {
            // A repaired target lies on the edge of the correlation matrices
            // (it is singular), which rank orderings only approach: once a
            // pass comes no closer, later ones do not either.
            break;
        }
        if (gap <= kPassTolerance || !cholesky_factor(reached, own)) break;
        aim = pass == 0 ? decoupled(goal, reached) : next_aim(aim, reached, goal);
        std::swap(source_data, dest_data);
    }

    const std::size_t rows = static_cast<std::size_t>(n);
    for (int j = 0; j < k; ++j) {
        const double* sorted = w.sorted + j * rows;
        const int* chosen = best + j * rows;
        for (std::size_t i = 0; i < rows; ++i) d.out[i * k + j] = sorted[chosen[i]];
    }
    if (d.achieved) store_row_major(best_reached, d.achieved);
}

}  // namespace kvz
