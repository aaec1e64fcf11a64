/* A program outside the library's tree, built against the installed package:
 * the worked gamma example and one batch call through the installed headers.
 * Exits with 0 when the answers are the known ones. */
#include <math.h>
#include <stdio.h>

#include <kvz_comp.h>
#include <kvz_comp_batch.h>

int main(void) {
    const double x[2] = {4.0, 4.0};
    double f[2];
    double pdf;
    int failures = 0;

    set_pdf_dtype(0, 12);
    set_pdf_scale(0, 2.0);
    set_pdf_shape_a(0, 3.0);
    set_pdf_t_min(0, 0, 0.0);
    set_pdf_t_max(0, 0, 0.0);
    dinitialise(0);

    /* Gamma with scale 2 and shape 3: mean 3 * 2, density at 4 is
     * (4/2)^2 e^-2 / (2! * 2) = e^-2, cumulative at 4 is 1 - 5 e^-2. */
    pdf = get_pdf_pdf(0, 4.0);
    get_pdf_f_batch(0, x, f, 2);
    printf("mean %.17g\npdf(4) %.17g\nf(4) %.17g\n", get_pdf_mean(0), pdf, f[0]);
    if (get_pdf_mean(0) != 6.0) ++failures;
    if (fabs(pdf - exp(-2.0)) > 1e-12) ++failures;
    if (fabs(f[0] - (1.0 - 5.0 * exp(-2.0))) > 1e-6 || f[1] != f[0]) ++failures;
    return failures == 0 ? 0 : 1;
}
