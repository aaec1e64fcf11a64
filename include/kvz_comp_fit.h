/*
 * kvz_comp extension calls: fitting a distribution to data.
 *
 * fit_pdf finds the maximum-likelihood parameters of type dtype for n values
 * and leaves them in the slot, initialised by dinitialise, so every getter,
 * evaluation and draw works on the fit (draws after precalc, as always).
 * A truncation the host set on the slot beforehand (set_pdf_t_min,
 * set_pdf_t_max) stays in force and is part of the likelihood: the fit is
 * that of the truncated distribution, and every value must lie inside the cut.
 *
 * Continuous types take any finite values inside their support; discrete
 * types take whole numbers. Types that only rename another (the lognormal by
 * its mean or its median, for instance) give the same fit as their base type,
 * expressed in their own inputs. The degenerate and hypergeometric types are
 * not fitted.
 *
 * Parameters that set an end of the support (the ends of the uniform,
 * triangular, beta, power-function and discrete uniform types, the Weibull's
 * minimum, the Pareto's lower bound) are the host's when it sets
 * KVZ_FIT_FIX_MINIMUM / KVZ_FIT_FIX_MAXIMUM in result->fixed and gives them in
 * result->minimum / result->maximum, and are estimated otherwise (the rule
 * for each type is in docs/fitting.md). Types without such an end ignore its
 * flag and value. The binomial's n is result->n when that is positive, else
 * the largest value in the data. A zeroed result (kvz_fit_result r = {0};)
 * therefore estimates everything.
 *
 * How each type is fitted is in docs/fitting.md.
 *
 * Nothing is allocated: the caller passes a workspace of at least
 * fit_pdf_work_size(dtype, n) bytes (any alignment). The data are not
 * changed.
 *
 * The result is 0, or the first of these refusals that applies, checked in
 * this order. A refused call leaves the slot as it was, and result->status
 * holds the code.
 */
#ifndef KVZ_COMP_FIT_H
#define KVZ_COMP_FIT_H

#include <stddef.h>

#include "kvz_comp.h"

#define KVZ_FIT_OK 0
/* data or result is a null pointer. */
#define KVZ_FIT_NULL_ARRAY (-1)
/* The slot lies outside 0..20. */
#define KVZ_FIT_BAD_SLOT (-2)
/* dtype is no type code, or a type that has no density to fit (degenerate,
 * hypergeometric), or the F type on a cut slot (it has no cumulative
 * distribution to measure the cut with). */
#define KVZ_FIT_NO_DENSITY (-3)
/* Fewer than two values, or no more values than fitted parameters. */
#define KVZ_FIT_TOO_FEW (-4)
/* A value is NaN or infinite. */
#define KVZ_FIT_NOT_FINITE (-5)
/* A value lies outside the type's support, outside the slot's cut or outside
 * the ends the host gave, or a discrete type meets a value that is not whole;
 * or the given ends are themselves impossible (not finite, or minimum not
 * below maximum). */
#define KVZ_FIT_OUTSIDE_SUPPORT (-6)
/* work is null or work_bytes is below fit_pdf_work_size(dtype, n). */
#define KVZ_FIT_SMALL_WORKSPACE (-7)
/* The likelihood has no finite maximum the optimiser could reach (for
 * instance every value equal where the type needs a spread, an exponential
 * power running to a spike, Student t or F degrees of freedom above 1e6), a
 * fit cut at both ends whose cut density holds more than the kept mass, or
 * the fitted density is 0 in double precision at one of the values for a type
 * without a log density to fall back on (docs/fitting.md). */
#define KVZ_FIT_NO_CONVERGENCE (-8)

/* Bits of kvz_fit_result.fixed: the host fixes that end of the support. */
#define KVZ_FIT_FIX_MINIMUM 1
#define KVZ_FIT_FIX_MAXIMUM 2

/* The inputs of a fitted type, one member per setter. */
typedef struct kvz_fit_inputs {
    double mean;
    double lmean;
    double mode;
    double median;
    double stdev;
    double lstdev;
    double minimum;
    double maximum;
    double scale;
    double shape_a;
    double shape_b;
    double p;
    int n;
} kvz_fit_inputs;

/* What the host gives and what the fit reports. Zero every input to estimate
 * everything; the call writes the rest. */
typedef struct kvz_fit_result {
    /* In: an end of the support the host fixes, read only when its bit is
     * set in `fixed` (and then finite). */
    double minimum;
    double maximum;
    /* In: the binomial's number of trials, or 0 for the data's maximum. */
    int n;
    /* In: KVZ_FIT_FIX_MINIMUM | KVZ_FIT_FIX_MAXIMUM, or 0 to estimate both. */
    int fixed;
    /* Out: number of parameters the fit estimated (fixed ones not counted). */
    int parameters;
    /* Out: log-likelihood of the data under the fit (the truncated density
     * when the slot is cut). */
    double loglik;
    /* Out: 2k - 2 loglik and k ln n - 2 loglik, k = parameters. */
    double aic;
    double bic;
    /* Out: Kolmogorov-Smirnov statistic, sup |F_n(x) - F(x)|. */
    double ks;
    /* Out: Anderson-Darling statistic A^2 (continuous types; NaN for
     * discrete ones). */
    double ad;
    /* Out: Pearson's chi-square statistic over the observed whole numbers,
     * adjacent cells pooled until each expects at least 5 (discrete types;
     * NaN for continuous ones). */
    double chi2;
    /* Out: the optimiser's likelihood evaluations. */
    int evaluations;
    /* Out: the returned code. */
    int status;
    /* Out: the fitted inputs, as the setters of the type take them
     * (set_pdf_mean, set_pdf_shape_a, ...): chi-square's shape_a is its
     * degrees of freedom, an alias's inputs are its own (the lognormal by its
     * median reports median and lstdev). Inputs the type does not read are
     * NaN, and n is 0 unless the type reads it. */
    kvz_fit_inputs fitted;
} kvz_fit_result;

#ifdef __cplusplus
extern "C" {
#endif

/* Bytes of workspace fit_pdf needs for n values of type dtype; 0 when dtype
 * is not fitted, n is below 2 or the size does not fit a size_t. */
KVZ_API size_t KVZ_CALL fit_pdf_work_size(int dtype, int n);

KVZ_API int KVZ_CALL fit_pdf(int slot, int dtype, const double* data, int n, void* work, size_t work_bytes, kvz_fit_result* result);

#ifdef __cplusplus
}
#endif

#endif /* KVZ_COMP_FIT_H */
