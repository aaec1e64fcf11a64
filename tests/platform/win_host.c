/*
 * A host of our own for the library, in plain C.
 *
 * On Windows it loads KVZ_Comp.dll at run time and looks every export up by
 * its undecorated name, calling it through a __stdcall pointer; elsewhere the
 * same pointers are bound to the functions of the shared library it links.
 * It then drives the library through a fixed script and prints one result per
 * line, "name value", so that the outputs of the two builds can be compared.
 *
 * Integers and flags print with %d; doubles with %.17g, apart from NaN and
 * the infinities, which print as nan, inf and -inf on every C runtime.
 * Keys starting with "rng." hold uniform numbers of the generator.
 */
#if defined(_WIN32)
#define __USE_MINGW_ANSI_STDIO 1 /* a correctly rounded %.17g */
#include <windows.h>
#endif

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "kvz_comp.h"
#include "kvz_comp_batch.h"
#include "kvz_comp_corr.h"
#include "kvz_comp_fit.h"

/* Every export: result type, name, parameter list. */
#define KVZ_EXPORTS(X)                                 \
    X(void, set_pdf_dtype, (int, int))                 \
    X(void, set_pdf_mean, (int, double))               \
    X(void, set_pdf_lmean, (int, double))              \
    X(void, set_pdf_mode, (int, double))               \
    X(void, set_pdf_median, (int, double))             \
    X(void, set_pdf_stdev, (int, double))              \
    X(void, set_pdf_lstdev, (int, double))             \
    X(void, set_pdf_minimum, (int, double))            \
    X(void, set_pdf_maximum, (int, double))            \
    X(void, set_pdf_scale, (int, double))              \
    X(void, set_pdf_shape_a, (int, double))            \
    X(void, set_pdf_shape_b, (int, double))            \
    X(void, set_pdf_p, (int, double))                  \
    X(void, set_pdf_n, (int, int))                     \
    X(void, set_pdf_pop, (int, int))                   \
    X(void, set_pdf_popsuc, (int, int))                \
    X(void, set_pdf_sam, (int, int))                   \
    X(void, set_pdf_t_min, (int, int, double))         \
    X(void, set_pdf_t_max, (int, int, double))         \
    X(int, get_pdf_dclass, (int))                      \
    X(int, get_pdf_min_exists, (int))                  \
    X(int, get_pdf_max_exists, (int))                  \
    X(int, get_pdf_avg_exists, (int))                  \
    X(int, get_pdf_var_exists, (int))                  \
    X(int, get_pdf_mod_exists, (int))                  \
    X(int, get_pdf_med_exists, (int))                  \
    X(int, get_pdf_skw_exists, (int))                  \
    X(int, get_pdf_krt_exists, (int))                  \
    X(int, get_pmin_extend, (int))                     \
    X(int, get_pmax_extend, (int))                     \
    X(double, get_pdf_mean, (int))                     \
    X(double, get_pdf_mode, (int))                     \
    X(double, get_pdf_median, (int))                   \
    X(double, get_pdf_variance, (int))                 \
    X(double, get_pdf_stdev, (int))                    \
    X(double, get_pdf_skewness, (int))                 \
    X(double, get_pdf_kurtosis, (int))                 \
    X(double, get_pdf_minimum, (int))                  \
    X(double, get_pdf_maximum, (int))                  \
    X(double, get_pdf_p_min, (int))                    \
    X(double, get_pdf_p_max, (int))                    \
    X(void, dinitialise, (int))                        \
    X(double, get_pdf_pdf, (int, double))              \
    X(int, get_pdf_pdf_valid, (int, double))           \
    X(double, get_pdf_f, (int, double))                \
    X(double, get_pdf_g, (int, double))                \
    X(double, betai, (double, double, double))         \
    X(void, set_rng_type, (int, int))                  \
    X(double, rng, (void))                             \
    X(void, precalc, (int))                            \
    X(double, dvalue, (int))                           \
    X(void, dvalue_batch, (int, double*, int))         \
    X(void, get_pdf_pdf_batch, (int, const double*, double*, int)) \
    X(void, get_pdf_f_batch, (int, const double*, double*, int))   \
    X(void, get_pdf_g_batch, (int, const double*, double*, int)) \
    X(void, rng_batch, (double*, int)) \
    X(double, get_pdf_g_whole, (int, double)) \
    X(size_t, dvalue_correlated_work_size, (int, int)) \
    X(int, dvalue_correlated, (const int*, int, int, const double*, double*, double*, double*, void*, size_t)) \
    X(size_t, fit_pdf_work_size, (int, int)) \
    X(int, fit_pdf, (int, int, const double*, int, void*, size_t, kvz_fit_result*))

/* One pointer per export, typed with the calling convention of the header. */
#define KVZ_DECLARE(ret, name, params)          \
    typedef ret(KVZ_CALL* name##_fn) params;    \
    static name##_fn k_##name;
KVZ_EXPORTS(KVZ_DECLARE)
#undef KVZ_DECLARE

#if defined(_WIN32)
static int bind_exports(void) {
    HMODULE module = LoadLibraryA("KVZ_Comp.dll");
    int missing = 0;
    if (!module) {
        fprintf(stderr, "cannot load KVZ_Comp.dll (error %lu)\n", (unsigned long)GetLastError());
        return 0;
    }
    /* sizeof does not evaluate its operand: the assignment only checks, at
     * compile time, that each pointer type matches the header's prototype. */
#define KVZ_BIND(ret, name, params)                                       \
    (void)sizeof(k_##name = name);                                        \
    k_##name = (name##_fn)(void (*)(void))GetProcAddress(module, #name);  \
    if (!k_##name) {                                                      \
        fprintf(stderr, "KVZ_Comp.dll does not export %s\n", #name);      \
        ++missing;                                                        \
    }
    KVZ_EXPORTS(KVZ_BIND)
#undef KVZ_BIND
    return missing == 0;
}
#else
static int bind_exports(void) {
#define KVZ_BIND(ret, name, params) k_##name = name;
    KVZ_EXPORTS(KVZ_BIND)
#undef KVZ_BIND
    return 1;
}
#endif

/* ---- output ---- */

static void put_int(const char* prefix, const char* name, int value) {
    printf("%s.%s %d\n", prefix, name, value);
}

static void put_double(const char* prefix, const char* name, double value) {
    if (value != value) {
        printf("%s.%s nan\n", prefix, name);
    } else if (value == HUGE_VAL || value == -HUGE_VAL) {
        printf("%s.%s %s\n", prefix, name, value > 0 ? "inf" : "-inf");
    } else {
        printf("%s.%s %.17g\n", prefix, name, value);
    }
}

/* A key with an argument: "pdf(2.5)". */
static const char* keyed(char* buffer, size_t size, const char* what, double arg) {
    snprintf(buffer, size, "%s(%.6g)", what, arg);
    return buffer;
}

/* ---- one slot, every getter ---- */

static void put_statistics(const char* prefix, int slot) {
    put_int(prefix, "dclass", k_get_pdf_dclass(slot));
    put_int(prefix, "min_exists", k_get_pdf_min_exists(slot));
    put_int(prefix, "max_exists", k_get_pdf_max_exists(slot));
    put_int(prefix, "avg_exists", k_get_pdf_avg_exists(slot));
    put_int(prefix, "var_exists", k_get_pdf_var_exists(slot));
    put_int(prefix, "mod_exists", k_get_pdf_mod_exists(slot));
    put_int(prefix, "med_exists", k_get_pdf_med_exists(slot));
    put_int(prefix, "skw_exists", k_get_pdf_skw_exists(slot));
    put_int(prefix, "krt_exists", k_get_pdf_krt_exists(slot));
    put_double(prefix, "mean", k_get_pdf_mean(slot));
    put_double(prefix, "mode", k_get_pdf_mode(slot));
    put_double(prefix, "median", k_get_pdf_median(slot));
    put_double(prefix, "variance", k_get_pdf_variance(slot));
    put_double(prefix, "stdev", k_get_pdf_stdev(slot));
    put_double(prefix, "skewness", k_get_pdf_skewness(slot));
    put_double(prefix, "kurtosis", k_get_pdf_kurtosis(slot));
    put_double(prefix, "minimum", k_get_pdf_minimum(slot));
    put_double(prefix, "maximum", k_get_pdf_maximum(slot));
    put_double(prefix, "p_min", k_get_pdf_p_min(slot));
    put_double(prefix, "p_max", k_get_pdf_p_max(slot));
}

static void put_point(const char* prefix, int slot, double x) {
    char key[64];
    put_double(prefix, keyed(key, sizeof key, "pdf", x), k_get_pdf_pdf(slot, x));
    put_int(prefix, keyed(key, sizeof key, "pdf_valid", x), k_get_pdf_pdf_valid(slot, x));
    put_double(prefix, keyed(key, sizeof key, "f", x), k_get_pdf_f(slot, x));
}

static void put_inverse(const char* prefix, int slot, double p) {
    char key[64];
    put_double(prefix, keyed(key, sizeof key, "g", p), k_get_pdf_g(slot, p));
}

/* Draws after precalc, then the extension flags the draws may have set. */
static void put_draws(const char* prefix, int slot, int count) {
    char key[64];
    int i;
    k_precalc(slot);
    for (i = 0; i < count; ++i) {
        snprintf(key, sizeof key, "dvalue%d", i);
        put_double(prefix, key, k_dvalue(slot));
    }
    put_int(prefix, "pmin_extend", k_get_pmin_extend(slot));
    put_int(prefix, "pmax_extend", k_get_pmax_extend(slot));
}

/* ---- the script ---- */

static const double probabilities[] = {0.0, 0.05, 0.5, 0.9, 1.0};
#define PROBABILITY_COUNT (sizeof probabilities / sizeof probabilities[0])

/* The worked example: gamma with scale 2 and shape 3 in slot 0. */
static void gamma_example(void) {
    const char* prefix = "gamma";
    const int slot = 0;
    k_set_pdf_dtype(slot, 12);
    k_set_pdf_scale(slot, 2.0);
    k_set_pdf_shape_a(slot, 3.0);
    k_set_pdf_t_min(slot, 0, 0.0);
    k_set_pdf_t_max(slot, 0, 0.0);
    k_dinitialise(slot);
    put_statistics(prefix, slot);
    put_double(prefix, "pdf(4)", k_get_pdf_pdf(slot, 4.0));
    put_double(prefix, "f(4)", k_get_pdf_f(slot, 4.0));
    put_double(prefix, "g(0.5)", k_get_pdf_g(slot, 0.5));
    k_set_rng_type(0, 12345);
    put_draws(prefix, slot, 5);
}

/* The inputs of one slot: every field a type may read is set, unused ones to
 * zero, so that a case does not depend on what the slot held before. */
struct Case {
    int dtype;
    double mean, lmean, mode, median, stdev, lstdev, minimum, maximum;
    double scale, shape_a, shape_b, p;
    int n, pop, popsuc, sam;
    double x[3];
};

/* Type codes 1..36 (5, 32 and 33 unassigned) and codes outside the range. */
static const struct Case cases[] = {
    /* dtype mean lmean mode median stdev lstdev min max scale a b p n pop suc sam  x */
    {1, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {2, 3, 4}},
    {2, 0, 0, 0, 0, 0, 0, 1, 5, 0, 0, 0, 0, 0, 0, 0, 0, {2, 3, 4.5}},
    {3, 0, 0, 2, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 0, {1, 2, 4}},
    {4, 10, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {8, 10, 13}},
    {5, 1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 0.5, 1, 1, 1, 1, {0.5, 1, 2}},
    {6, 3.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {0, 3, 7}},
    {7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.3, 0, 0, 0, 0, {0, 2, 5}},
    {8, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {0.5, 2, 5}},
    {9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.4, 10, 0, 0, 0, {2, 4, 7}},
    {10, 0, 0, 1, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, {1.5, 2, 4}},
    {11, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 3, 0, 0, 0, 0, 0, {0.3, 0.8, 1.5}},
    {12, 0, 0, 0, 0, 0, 0, 0, 0, 1.5, 2.5, 0, 0, 0, 0, 0, 0, {1, 3, 6}},
    {13, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, {-3, 1, 4}},
    {14, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1.5, 0, 0, 0, 0, 0, 0, {-1, 0.5, 2}},
    {15, 0, 0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, {0, 2, 6}},
    {16, 0, 0, 0, 0, 0, 0, 1, 0, 2, 1.5, 0, 0, 0, 0, 0, 0, {1.5, 3, 5}},
    {17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20, 7, 6, {1, 2, 4}},
    {18, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, {0.5, 1, 2}},
    {19, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, {-2, 1, 3}},
    {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.6, 0, 0, 0, 0, 0, 0, {1, 2, 4}},
    {21, 2, 0, 0, 0, 1.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {0, 2, 4}},
    {22, 3, 0, 0, 0, 1.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {1, 2.5, 5}},
    {23, 0, 0.5, 0, 0, 0, 0.4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {1, 1.6, 3}},
    {24, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 0, 0, 0, 0, 0, 0, {2, 5, 9}},
    {25, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, {1, 4, 9}},
    {26, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2.5, 0, 0, 0, 0, 0, 0, {0.5, 1.2, 1.9}},
    {27, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, {1, 2.5, 5}},
    {28, 0, 0, 0, 0, 0, 0, 2, 8, 0, 0, 0, 0, 0, 0, 0, 0, {2, 5, 8}},
    {29, 2, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, {0.5, 1.8, 4}},
    {30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0.3, 40, 0, 0, 0, {8, 12, 16}},
    {31, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {5, 9, 13}},
    {32, 1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 0.5, 1, 1, 1, 1, {0.5, 1, 2}},
    {33, 1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 0.5, 1, 1, 1, 1, {0.5, 1, 2}},
    {34, 0, 0, 0, 2, 0, 0.5, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, {1, 2, 4}},
    {35, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, {-2, 0.5, 2}},
    {36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 10, 0, 0, 0, 0, 0, {0.5, 1, 2.5}},
    {0, 1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 0.5, 1, 1, 1, 1, {0.5, 1, 2}},
    {37, 1, 0, 0, 0, 1, 0, 0, 1, 1, 1, 1, 0.5, 1, 1, 1, 1, {0.5, 1, 2}},
};
#define CASE_COUNT (sizeof cases / sizeof cases[0])

/* dtype first: the chi-square type halves shape_a only when already set. */
static void set_inputs(int slot, const struct Case* c) {
    k_set_pdf_dtype(slot, c->dtype);
    k_set_pdf_mean(slot, c->mean);
    k_set_pdf_lmean(slot, c->lmean);
    k_set_pdf_mode(slot, c->mode);
    k_set_pdf_median(slot, c->median);
    k_set_pdf_stdev(slot, c->stdev);
    k_set_pdf_lstdev(slot, c->lstdev);
    k_set_pdf_minimum(slot, c->minimum);
    k_set_pdf_maximum(slot, c->maximum);
    k_set_pdf_scale(slot, c->scale);
    k_set_pdf_shape_a(slot, c->shape_a);
    k_set_pdf_shape_b(slot, c->shape_b);
    k_set_pdf_p(slot, c->p);
    k_set_pdf_n(slot, c->n);
    k_set_pdf_pop(slot, c->pop);
    k_set_pdf_popsuc(slot, c->popsuc);
    k_set_pdf_sam(slot, c->sam);
    k_set_pdf_t_min(slot, 0, 0.0);
    k_set_pdf_t_max(slot, 0, 0.0);
}

static void run_case(const struct Case* c, int slot) {
    char prefix[32];
    size_t i;
    snprintf(prefix, sizeof prefix, "type%d", c->dtype);
    set_inputs(slot, c);
    k_dinitialise(slot);
    put_statistics(prefix, slot);
    for (i = 0; i < 3; ++i) put_point(prefix, slot, c->x[i]);
    for (i = 0; i < PROBABILITY_COUNT; ++i) put_inverse(prefix, slot, probabilities[i]);
    k_set_rng_type(0, 1000 + c->dtype);
    put_draws(prefix, slot, 3);
}

/* Truncated slots: a normal cut at both sides, a Poisson cut below; the flag
 * 256 has a zero low byte and so leaves upper truncation off. */
static void truncated_slots(void) {
    static const double normal_x[] = {-1.0, 0.0, 2.0};
    static const double poisson_x[] = {2.0, 4.0, 9.0};
    size_t i;

    k_set_pdf_dtype(3, 4);
    k_set_pdf_mean(3, 0.0);
    k_set_pdf_stdev(3, 1.0);
    k_set_pdf_t_min(3, 1, -1.0);
    k_set_pdf_t_max(3, 1, 2.0);
    k_dinitialise(3);
    put_statistics("trunc_normal", 3);
    for (i = 0; i < 3; ++i) put_point("trunc_normal", 3, normal_x[i]);
    for (i = 0; i < PROBABILITY_COUNT; ++i) put_inverse("trunc_normal", 3, probabilities[i]);
    k_set_rng_type(0, 77);
    put_draws("trunc_normal", 3, 3);

    k_set_pdf_dtype(4, 6);
    k_set_pdf_mean(4, 4.0);
    k_set_pdf_t_min(4, 1, 2.0);
    k_set_pdf_t_max(4, 256, 9.0);
    k_dinitialise(4);
    put_statistics("trunc_poisson", 4);
    for (i = 0; i < 3; ++i) put_point("trunc_poisson", 4, poisson_x[i]);
    for (i = 0; i < PROBABILITY_COUNT; ++i) put_inverse("trunc_poisson", 4, probabilities[i]);
    put_draws("trunc_poisson", 4, 3);
}

/* Slot indices outside 0..20 change nothing and answer zero. */
static void slots_out_of_range(void) {
    static const int outside[] = {-1, 21};
    char prefix[32];
    size_t i;
    for (i = 0; i < 2; ++i) {
        const int slot = outside[i];
        snprintf(prefix, sizeof prefix, "slot%d", slot);
        k_set_pdf_dtype(slot, 4);
        k_set_pdf_mean(slot, 1.0);
        k_set_pdf_stdev(slot, 1.0);
        k_dinitialise(slot);
        put_statistics(prefix, slot);
        put_point(prefix, slot, 1.0);
        put_inverse(prefix, slot, 0.5);
        put_draws(prefix, slot, 1);
    }
}

/* The three generator kinds: plain, shuffled (20) and stratified (15). */
static void generator_kinds(void) {
    static const int kinds[] = {0, 20, 15};
    char key[32];
    size_t i;
    int j;
    for (i = 0; i < 3; ++i) {
        k_set_rng_type(kinds[i], 2024);
        for (j = 0; j < 5; ++j) {
            snprintf(key, sizeof key, "kind%d.%d", kinds[i], j);
            put_double("rng", key, k_rng());
        }
        /* The gamma slot drawn through the same kind. */
        k_set_rng_type(kinds[i], 7);
        k_precalc(0);
        for (j = 0; j < 3; ++j) {
            snprintf(key, sizeof key, "kind%d.dvalue%d", kinds[i], j);
            put_double("gamma", key, k_dvalue(0));
        }
    }
}

/* rng_batch in every generator kind: the values of as many rng calls, and
 * nothing drawn for an empty count or a null array. */
static void rng_batches(void) {
    static const int kinds[] = {0, 20, 15};
    double out[5];
    char what[32];
    char key[48];
    size_t i;
    int j;
    for (i = 0; i < 3; ++i) {
        k_set_rng_type(kinds[i], 31);
        k_rng_batch(out, 4);
        k_rng_batch(out + 4, 0);
        k_rng_batch(NULL, 4);
        out[4] = k_rng(); /* the value after the four of the batch */
        for (j = 0; j < 5; ++j) {
            snprintf(key, sizeof key, "batch_kind%d.%d", kinds[i], j);
            put_double("rng", key, out[j]);
        }
        k_set_rng_type(kinds[i], 31);
        snprintf(what, sizeof what, "kind%d.rng_same", kinds[i]);
        for (j = 0; j < 5; ++j) put_int("batch", keyed(key, sizeof key, what, j), out[j] == k_rng());
    }
}

/* The batch calls give exactly the values of the single calls. */
static void batch_calls(void) {
    static const double x[] = {1.0, 4.0, 9.5};
    static const double p[] = {0.1, 0.5, 0.9};
    double out[3];
    char key[32];
    int i;

    k_get_pdf_pdf_batch(0, x, out, 3);
    for (i = 0; i < 3; ++i) put_int("batch", keyed(key, sizeof key, "pdf_same", x[i]), out[i] == k_get_pdf_pdf(0, x[i]));
    k_get_pdf_f_batch(0, x, out, 3);
    for (i = 0; i < 3; ++i) put_int("batch", keyed(key, sizeof key, "f_same", x[i]), out[i] == k_get_pdf_f(0, x[i]));
    k_get_pdf_g_batch(0, p, out, 3);
    for (i = 0; i < 3; ++i) put_int("batch", keyed(key, sizeof key, "g_same", p[i]), out[i] == k_get_pdf_g(0, p[i]));
    for (i = 0; i < 3; ++i) put_double("batch", keyed(key, sizeof key, "g_whole", p[i]), k_get_pdf_g_whole(0, p[i]));

    k_set_rng_type(0, 99);
    k_precalc(0);
    k_dvalue_batch(0, out, 3);
    for (i = 0; i < 3; ++i) {
        snprintf(key, sizeof key, "dvalue%d", i);
        put_double("batch", key, out[i]);
    }
    rng_batches();
}

/* One correlated draw over three slots (gamma, Poisson, normal): the code,
 * the repair distance of a target that needs one, the achieved matrix and the
 * first rows, which must match value for value. */
static void correlated_draw(void) {
    enum { K = 3, N = 200, ROWS_SHOWN = 5 };
    static const int slots[K] = {0, 4, 3};
    static const double target[K * K] = {1, -0.9, -0.9, -0.9, 1, -0.9, -0.9, -0.9, 1};
    static unsigned char work[1 << 16];
    static double out[K * N];
    double achieved[K * K], repaired = -1.0;
    char key[32];
    int code, i;

    k_set_rng_type(20, 4321);
    k_dinitialise(0);
    k_dinitialise(3);
    k_dinitialise(4);
    for (i = 0; i < K; ++i) k_precalc(slots[i]);
    code = k_dvalue_correlated(slots, K, N, target, out, achieved, &repaired, work,
                               k_dvalue_correlated_work_size(K, N) <= sizeof work ? sizeof work : 0);
    put_int("corr", "code", code);
    put_double("corr", "repaired", repaired);
    for (i = 0; i < K * K; ++i) {
        snprintf(key, sizeof key, "achieved%d", i);
        put_double("corr", key, achieved[i]);
    }
    for (i = 0; i < ROWS_SHOWN * K; ++i) {
        snprintf(key, sizeof key, "out%d", i);
        put_double("corr", key, out[i]);
    }
    put_double("rng", "after_corr", k_rng());
}

/* A gamma fitted to fixed data (its shape found by the one-dimensional
 * search): the code, the measures and the fitted inputs. */
static void gamma_fit(void) {
    static const double data[] = {0.8, 1.7, 2.2, 2.9, 3.1, 3.6, 4.4, 5.0, 5.9, 7.3, 8.8, 12.5};
    enum { N = sizeof data / sizeof data[0] };
    static unsigned char work[1 << 17];
    kvz_fit_result r;
    memset(&r, 0, sizeof r);
    r.minimum = NAN;
    r.maximum = NAN;
    k_set_pdf_dtype(6, 12);
    k_set_pdf_t_min(6, 0, 0.0);
    k_set_pdf_t_max(6, 0, 0.0);
    put_int("fit", "code", k_fit_pdf(6, 12, data, N, work, k_fit_pdf_work_size(12, N) <= sizeof work ? sizeof work : 0, &r));
    put_int("fit", "parameters", r.parameters);
    put_double("fit", "loglik", r.loglik);
    put_double("fit", "aic", r.aic);
    put_double("fit", "bic", r.bic);
    put_double("fit", "ks", r.ks);
    put_double("fit", "ad", r.ad);
    put_double("fit", "chi2", r.chi2);
    put_int("fit", "evaluations", r.evaluations);
    put_double("fit", "shape_a", r.fitted.shape_a);
    put_double("fit", "scale", r.fitted.scale);
    put_double("fit", "slot_mean", k_get_pdf_mean(6));
}

static void incomplete_beta(void) {
    static const double args[][3] = {{2.0, 3.0, 0.4}, {0.5, 0.5, 0.25}, {10.0, 2.0, 0.9}, {1.0, 1.0, 0.0}};
    char key[64];
    size_t i;
    for (i = 0; i < sizeof args / sizeof args[0]; ++i) {
        snprintf(key, sizeof key, "betai(%g,%g,%g)", args[i][0], args[i][1], args[i][2]);
        put_double("special", key, k_betai(args[i][0], args[i][1], args[i][2]));
    }
}

int main(void) {
    size_t i;
    if (!bind_exports()) return 1;

    /* Before any seeding: the plain generator from state 0. */
    put_double("rng", "first", k_rng());

    gamma_example();
    for (i = 0; i < CASE_COUNT; ++i) run_case(&cases[i], 1 + (int)(i % 20));
    truncated_slots();
    slots_out_of_range();
    generator_kinds();
    batch_calls();
    correlated_draw();
    gamma_fit();
    incomplete_beta();
    return fflush(stdout) == 0 ? 0 : 1;
}
