/*
 * kvz_comp extension calls: array forms of rng, dvalue, get_pdf_pdf, get_pdf_f
 * and get_pdf_g for hosts that draw or evaluate many values at once, and the
 * whole-number quantile of discrete slots.
 *
 * Each call gives exactly the values of `count` single calls made in array
 * order: rng_batch and dvalue_batch draw from the library-wide generator in
 * that order, so a stream of batch draws and single draws interleave value
 * for value. A count of zero or less, a null array or a slot outside 0..20
 * writes nothing (rng_batch and dvalue_batch then draw nothing). out may
 * equal x for the evaluations.
 */
#ifndef KVZ_COMP_BATCH_H
#define KVZ_COMP_BATCH_H

#include "kvz_comp.h"

#ifdef __cplusplus
extern "C" {
#endif

KVZ_API void KVZ_CALL rng_batch(double* out, int count);
KVZ_API void KVZ_CALL dvalue_batch(int slot, double* out, int count);
KVZ_API void KVZ_CALL get_pdf_pdf_batch(int slot, const double* x, double* out, int count);
KVZ_API void KVZ_CALL get_pdf_f_batch(int slot, const double* x, double* out, int count);
KVZ_API void KVZ_CALL get_pdf_g_batch(int slot, const double* p, double* out, int count);

/*
 * The quantile as a whole number: for a discrete slot the smallest whole
 * number of the support, inside the cut, whose cumulative probability
 * get_pdf_f reaches p (where the masses sum to just under p, the first value
 * where they reach their total); for a continuous slot the same as get_pdf_g.
 * A p at or below 0 (or not a number) answers get_pdf_minimum's value, one
 * at or above 1 get_pdf_maximum's, as get_pdf_g does. A slot outside 0..20
 * answers 0.
 */
KVZ_API double KVZ_CALL get_pdf_g_whole(int slot, double p);

#ifdef __cplusplus
}
#endif

#endif /* KVZ_COMP_BATCH_H */
