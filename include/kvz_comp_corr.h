/*
 * kvz_comp extension calls: correlated sampling across slots.
 *
 * dvalue_correlated draws n values from each of k slots and reorders every
 * column so that the Spearman rank correlation of the columns approaches a
 * target matrix, while each column keeps exactly the values drawn for it.
 *
 * Column j holds the values that dvalue_batch(slots[j], ..., n) would give at
 * that point of the stream, taken for j = 0, 1, ... in turn: the same values
 * as uncorrelated draws, only reordered, so every marginal and every
 * stratified block survives. The order inside a column comes from Iman and
 * Conover's method (normal scores at i / (n + 1), ranked in the order the
 * values were drawn, turned towards the target with Cholesky factors), refined
 * by further passes on the rank correlation actually reached. Those passes
 * need no random numbers: after the call the generator stands where k
 * dvalue_batch calls of n values would leave it.
 *
 * The block is fixed by the generator's state at the call and by what each
 * slot carries from earlier draws. Only the normal-based methods carry
 * anything: an untruncated normal, lognormal (all three inputs) or normal
 * approximation keeps one uniform from draw to draw, which precalc draws
 * from the stream as it stands. So set_rng_type, then precalc on every slot,
 * then this call, reproduces the block exactly; precalc, then set_rng_type,
 * then this call, reproduces it when no slot is normal-based (the way to
 * keep a stratified block whole: precalc draws outside it), and otherwise
 * only when the normal-based slots carry the same uniforms.
 *
 * The target (k x k, row-major) must be symmetric, with 1 on the diagonal and
 * every entry a number in [-1, 1]. A target that is not positive
 * semi-definite is replaced by the nearest correlation matrix (alternating
 * projections with Dykstra's correction), and the Frobenius distance between
 * the two is written to *repaired (0 when the target is used as given); the
 * reordering then aims at the replacement.
 *
 * achieved (k x k, row-major; may be null) receives the Spearman matrix of
 * the output, with average ranks for ties. A column whose values are all equal
 * has no rank correlation: its row and column of achieved are NaN.
 *
 * Nothing is allocated: the caller passes a workspace of at least
 * dvalue_correlated_work_size(k, n) bytes (any alignment).
 *
 * The result is 0, or the first of these refusals that applies, checked in
 * this order. A refused call writes nothing and draws nothing.
 */
#ifndef KVZ_COMP_CORR_H
#define KVZ_COMP_CORR_H

#include <stddef.h>

#include "kvz_comp.h"

#define KVZ_CORR_OK 0
/* slots, target, out or repaired is a null pointer. */
#define KVZ_CORR_NULL_ARRAY (-1)
/* k outside 1..21. */
#define KVZ_CORR_BAD_K (-2)
/* n below 2, or so large that the workspace size does not fit a size_t. */
#define KVZ_CORR_BAD_N (-3)
/* A slot outside 0..20, or not prepared by precalc since its last dinitialise. */
#define KVZ_CORR_BAD_SLOT (-4)
/* The same slot given twice. */
#define KVZ_CORR_REPEATED_SLOT (-5)
/* A slot that draws no variates: prepared by precalc but never initialised by
 * dinitialise, or of a type without random variates (the F type, the
 * untruncated Student t), whose dvalue answers 0. */
#define KVZ_CORR_NO_VARIATES (-8)
/* The target is not symmetric, its diagonal is not 1, or an entry lies outside
 * [-1, 1] or is not a number. */
#define KVZ_CORR_BAD_TARGET (-6)
/* work is null or work_bytes is below dvalue_correlated_work_size(k, n). */
#define KVZ_CORR_SMALL_WORKSPACE (-7)

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of workspace dvalue_correlated needs for k slots of n values; 0 when
 * k lies outside 1..21, n is below 2 or the size does not fit a size_t. */
KVZ_API size_t KVZ_CALL dvalue_correlated_work_size(int k, int n);

KVZ_API int KVZ_CALL dvalue_correlated(const int* slots, int k, int n, const double* target, double* out, double* achieved, double* repaired, void* work, size_t work_bytes);

#ifdef __cplusplus
}
#endif

#endif /* KVZ_COMP_CORR_H */
