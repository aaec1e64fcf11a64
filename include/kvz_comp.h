/*
 * kvz_comp: probability-distribution calculation engine.
 *
 * The whole public interface: 51 functions with C linkage. A host keeps up to
 * 21 distribution slots (index 0..20), sets a slot's type code and parameters,
 * calls dinitialise, and then asks for statistics, density, cumulative
 * probability, inverse and random variates. Every answer is a number or a
 * flag; nothing is reported otherwise.
 *
 * Threads: any number of threads may call the library at once on different
 * slots. The random stream is library-wide: rng, dvalue, precalc and
 * set_rng_type (and the batch draws of kvz_comp_batch.h) take a guard on the
 * generator once per call, so each value of the stream goes to exactly one
 * caller, a variate's uniforms and a batch's values are one unbroken run of
 * it, and a host with one thread sees the same values as without the guard.
 * Which thread gets which run follows the order in which threads arrive.
 * Calls on one slot are the host's to serialise: two threads must not use
 * the same slot at once (setters, dinitialise, precalc, draws or
 * evaluations).
 *
 * On 32-bit Windows every function uses __stdcall and is exported from
 * KVZ_Comp.dll under its undecorated name; elsewhere the default C calling
 * convention applies.
 */
#ifndef KVZ_COMP_H
#define KVZ_COMP_H

#if defined(_WIN32) && !defined(_WIN64)
#define KVZ_CALL __stdcall
#else
#define KVZ_CALL
#endif

#if defined(KVZ_COMP_BUILD) && !defined(_WIN32)
#define KVZ_API __attribute__((visibility("default")))
#else
/* The Windows module exports through its module definition file. */
#define KVZ_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Setters: store one input of a slot. */
KVZ_API void KVZ_CALL set_pdf_dtype(int slot, int dtype);
KVZ_API void KVZ_CALL set_pdf_mean(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_lmean(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_mode(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_median(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_stdev(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_lstdev(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_minimum(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_maximum(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_scale(int slot, double value);
/* With dtype 25 (chi-square) already set, the degrees of freedom are halved. */
KVZ_API void KVZ_CALL set_pdf_shape_a(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_shape_b(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_p(int slot, double value);
KVZ_API void KVZ_CALL set_pdf_n(int slot, int value);
KVZ_API void KVZ_CALL set_pdf_pop(int slot, int value);
KVZ_API void KVZ_CALL set_pdf_popsuc(int slot, int value);
KVZ_API void KVZ_CALL set_pdf_sam(int slot, int value);
/* Truncation: on while the low byte of flag is nonzero; the value is kept either way. */
KVZ_API void KVZ_CALL set_pdf_t_min(int slot, int flag, double value);
KVZ_API void KVZ_CALL set_pdf_t_max(int slot, int flag, double value);

/* Class (1 continuous, 2 discrete) and flags (0 or 1). */
KVZ_API int KVZ_CALL get_pdf_dclass(int slot);
KVZ_API int KVZ_CALL get_pdf_min_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_max_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_avg_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_var_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_mod_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_med_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_skw_exists(int slot);
KVZ_API int KVZ_CALL get_pdf_krt_exists(int slot);
KVZ_API int KVZ_CALL get_pmin_extend(int slot);
KVZ_API int KVZ_CALL get_pmax_extend(int slot);

/* Summary statistics; 0.0 where the matching flag is clear. */
KVZ_API double KVZ_CALL get_pdf_mean(int slot);
KVZ_API double KVZ_CALL get_pdf_mode(int slot);
KVZ_API double KVZ_CALL get_pdf_median(int slot);
KVZ_API double KVZ_CALL get_pdf_variance(int slot);
KVZ_API double KVZ_CALL get_pdf_stdev(int slot);
KVZ_API double KVZ_CALL get_pdf_skewness(int slot);
KVZ_API double KVZ_CALL get_pdf_kurtosis(int slot);
KVZ_API double KVZ_CALL get_pdf_minimum(int slot);
KVZ_API double KVZ_CALL get_pdf_maximum(int slot);
KVZ_API double KVZ_CALL get_pdf_p_min(int slot);
KVZ_API double KVZ_CALL get_pdf_p_max(int slot);

/* Computations. */
KVZ_API void KVZ_CALL dinitialise(int slot);
KVZ_API double KVZ_CALL get_pdf_pdf(int slot, double x);
KVZ_API int KVZ_CALL get_pdf_pdf_valid(int slot, double x);
KVZ_API double KVZ_CALL get_pdf_f(int slot, double x);
KVZ_API double KVZ_CALL get_pdf_g(int slot, double p);
KVZ_API double KVZ_CALL betai(double a, double b, double x);
KVZ_API void KVZ_CALL set_rng_type(int kind, int seed);
KVZ_API double KVZ_CALL rng(void);
KVZ_API void KVZ_CALL precalc(int slot);
KVZ_API double KVZ_CALL dvalue(int slot);

#ifdef __cplusplus
}
#endif

#endif /* KVZ_COMP_H */
