/* The worked example: a gamma distribution with scale 2 and shape 3 in slot 0,
 * driven through the public header as any C host would. */
#include <stdio.h>

#include "kvz_comp.h"

int main(void) {
    const int slot = 0;
    int i;

    set_pdf_dtype(slot, 12);
    set_pdf_scale(slot, 2.0);
    set_pdf_shape_a(slot, 3.0);
    set_pdf_t_min(slot, 0, 0.0);
    set_pdf_t_max(slot, 0, 0.0);
    dinitialise(slot);

    printf("dclass    %d\n", get_pdf_dclass(slot));
    printf("mean      %.15g\n", get_pdf_mean(slot));
    printf("mode      %.15g\n", get_pdf_mode(slot));
    printf("median    %.15g\n", get_pdf_median(slot));
    printf("variance  %.15g\n", get_pdf_variance(slot));
    printf("stdev     %.15g\n", get_pdf_stdev(slot));
    printf("skewness  %.15g\n", get_pdf_skewness(slot));
    printf("kurtosis  %.15g\n", get_pdf_kurtosis(slot));
    printf("minimum   %.15g (p %.3g)\n", get_pdf_minimum(slot), get_pdf_p_min(slot));
    printf("maximum   %.15g (p %.3g)\n", get_pdf_maximum(slot), get_pdf_p_max(slot));
    printf("pdf(4)    %.15g\n", get_pdf_pdf(slot, 4.0));
    printf("f(4)      %.15g\n", get_pdf_f(slot, 4.0));
    printf("g(0.5)    %.15g\n", get_pdf_g(slot, 0.5));

    set_rng_type(0, 12345);
    precalc(slot);
    for (i = 0; i < 5; ++i) printf("dvalue    %.15g\n", dvalue(slot));
    return 0;
}
