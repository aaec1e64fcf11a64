// The small dense matrices of a correlated draw (at most one row and column
// per slot, kept on the stack) and what is done with them.
#pragma once

#include <Eigen/Core>

#include "corr/correlate.h"

namespace kvz {

using CorrMatrix =
    Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::ColMajor, kMaxCorrelated, kMaxCorrelated>;

// A row-major k x k array as a matrix, and back.
CorrMatrix matrix_from(const double* row_major, int k);
void store_row_major(const CorrMatrix& m, double* row_major);

// Whether every eigenvalue of the symmetric matrix c lies at or above
// -kSemidefiniteSlack: rounding leaves a singular correlation matrix (one
// variable a combination of others) a little either side of zero.
constexpr double kSemidefiniteSlack = 1e-10;
bool positive_semidefinite(const CorrMatrix& c);

// The correlation matrix nearest to the symmetric matrix a in the Frobenius
// norm, by alternating projections onto the positive semi-definite matrices
// and the unit-diagonal ones, with Dykstra's correction on the first.
CorrMatrix nearest_correlation(const CorrMatrix& a);

// A correlation matrix near the symmetric matrix a at the cost of one
// eigen-decomposition: negative eigenvalues set to zero, then the diagonal
// scaled back to one. Not the nearest, but close for a matrix just outside.
CorrMatrix clipped_correlation(const CorrMatrix& a);

// A factor f with f f^T = c: the Cholesky factor where c is positive definite,
// else the eigenvectors scaled by the square roots of the eigenvalues, those
// below zero taken as zero.
CorrMatrix correlation_factor(const CorrMatrix& c);

}  // namespace kvz
