#include <cmath>

#include "special/elementary.h"
#include "special/special.h"

namespace kvz {

namespace {
constexpr int kMaxIterations = 100;
constexpr double kTolerance = 3e-7;
constexpr double kTiny = 1e-30;

// A divisor too close to zero is replaced by +1e-30, whatever its sign.
double away_from_zero(double v) { return std::fabs(v) < kTiny ? kTiny : v; }
}  // namespace

double beta_fraction(double a, double b, double x) {
    const double qab = a + b;
    const double qap = a + 1;
    const double qam = a - 1;
    double c = 1;
    double d = 1 / away_from_zero(1 - qab * x / qap);
    double h = d;
    for (int m = 1; m <= kMaxIterations; ++m) {
        const int m2 = 2 * m;
        double aa = m * (b - m) * x / ((qam + m2) * (a + m2));
        d = 1 / away_from_zero(1 + aa * d);
        c = away_from_zero(1 + aa / c);
        h = h * d * c;
        aa = -(a + m) * (qab + m) * x / ((a + m2) * (qap + m2));
        d = 1 / away_from_zero(1 + aa * d);
        c = away_from_zero(1 + aa / c);
        const double del = d * c;
        h = h * del;
        if (std::fabs(del - 1) <= kTolerance) break;
    }
    return h;
}

double betai(double a, double b, double x) {
    double bt = 0;
    if (!(x == 0 || x == 1.0)) {
        bt = elem::exp(log_gamma(a + b) - log_gamma(a) - log_gamma(b) + a * elem::log(x) +
                      b * elem::log(1 - x));
    }
    if (x < (a + 1) / (a + b + 2)) return bt * beta_fraction(a, b, x) / a;
    return 1 - bt * beta_fraction(b, a, 1 - x) / b;
}

}  // namespace kvz
