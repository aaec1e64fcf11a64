#include "corr/matrix.h"

#include <Eigen/Cholesky>
#include <Eigen/Eigenvalues>
#include <limits>

namespace kvz {

namespace {

using EigenSolver = Eigen::SelfAdjointEigenSolver<CorrMatrix>;

// The alternating projections stop once a step moves the unit-diagonal
// iterate by less than this fraction of its norm, or after this many steps
// (each one eigen-decomposition of at most 21 x 21).
constexpr double kProjectionTolerance = 1e-10;
constexpr int kMaxProjectionSteps = 200;

// The nearest positive semi-definite matrix: negative eigenvalues set to zero.
CorrMatrix semidefinite_part(const CorrMatrix& r) {
    const EigenSolver es(r);
    const auto clipped = es.eigenvalues().cwiseMax(0.0);
    return es.eigenvectors() * clipped.asDiagonal() * es.eigenvectors().transpose();
}

}  // namespace

CorrMatrix matrix_from(const double* row_major, int k) {
    CorrMatrix m(k, k);
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) m(i, j) = row_major[i * k + j];
    return m;
}

void store_row_major(const CorrMatrix& m, double* row_major) {
    const int k = static_cast<int>(m.rows());
    for (int i = 0; i < k; ++i)
        for (int j = 0; j < k; ++j) row_major[i * k + j] = m(i, j);
}

bool positive_semidefinite(const CorrMatrix& c) {
    const EigenSolver es(c, Eigen::EigenvaluesOnly);
    return es.info() == Eigen::Success && es.eigenvalues().minCoeff() >= -kSemidefiniteSlack;
}

CorrMatrix nearest_correlation(const CorrMatrix& a) {
    const int k = static_cast<int>(a.rows());
    CorrMatrix y = a;
    CorrMatrix correction = CorrMatrix::Zero(k, k);
    for (int step = 0; step < kMaxProjectionSteps; ++step) {
        const CorrMatrix r = y - correction;
        const CorrMatrix x = semidefinite_part(r);
        correction = x - r;
        CorrMatrix next = x;
        next.diagonal().setOnes();
        const double moved = (next - y).norm();
        y = next;
        if (moved <= kProjectionTolerance * y.norm()) break;
    }
    return y;
}

CorrMatrix clipped_correlation(const CorrMatrix& a) {
    const CorrMatrix x = semidefinite_part(a);
    const auto scale = x.diagonal().cwiseMax(std::numeric_limits<double>::min()).cwiseSqrt().cwiseInverse();
    CorrMatrix c = scale.asDiagonal() * x * scale.asDiagonal();
    c.diagonal().setOnes();
    return c;
}

CorrMatrix correlation_factor(const CorrMatrix& c) {
    const Eigen::LLT<CorrMatrix> llt(c);
    if (llt.info() == Eigen::Success) return llt.matrixL();
    const EigenSolver es(c);
    return es.eigenvectors() * es.eigenvalues().cwiseMax(0.0).cwiseSqrt().asDiagonal();
}

}  // namespace kvz
