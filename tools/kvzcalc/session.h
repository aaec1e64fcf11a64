// One distribution set up in a library slot, and what the tool asks of it.
// Everything goes through the public header and the batch header.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kvz_comp_fit.h"
#include "types.h"

namespace kvzcalc {

struct Request {
    const TypeInfo* type = nullptr;
    FieldValues values = FieldValues(fields().size());  // indexed like fields()
    std::optional<double> t_min;
    std::optional<double> t_max;

    bool truncated() const { return t_min.has_value() || t_max.has_value(); }
};

struct Statistic {
    const char* name;
    std::optional<double> value;  // empty when the library says it does not exist
};

// How the reported range ends on one side.
enum class End {
    bound,    // an end of the support (or a truncation point)
    quantile, // the 0.005 or 0.995 quantile
    working,  // where the library stopped summing the masses of an open support
};

struct Summary {
    bool discrete = false;
    std::vector<Statistic> statistics;  // mean, mode, median, variance, stdev, skewness, kurtosis
    bool whole_median = false;          // the median is the smallest whole number reaching 0.5
    double minimum = 0.0;
    double maximum = 0.0;
    double p_min = 0.0;
    double p_max = 0.0;
    End lower = End::quantile;
    End upper = End::quantile;
};

enum class Function { pdf, cdf, quantile };

// The inputs of the type as fit_pdf reports them fitted, by field.
FieldValues fitted_values(const TypeInfo& type, const kvz_fit_inputs& fitted);

// Seeds the library-wide generator (a code from generators()).
void seed_generator(int generator, int seed);

class Session {
public:
    // Sets the type, its inputs and the truncation of the slot, then initialises it.
    explicit Session(const Request& request, int slot = 0);

    // The whole-number quantile of a discrete slot, the quantile of a continuous one.
    double quantile(double p) const;

    Summary summary() const;
    std::vector<double> evaluate(Function f, const std::vector<double>& points) const;
    std::vector<int> pdf_valid(const std::vector<double>& points) const;

    // Seeds the library-wide generator (a code from generators()) and prepares the slot for drawing.
    void prepare_sampling(int generator, int seed);
    // Prepares the slot for drawing from the generator as it stands.
    void prepare();
    int slot() const { return slot_; }
    // Appends count variates drawn in order to out.
    void draw(std::vector<double>& out, int count);

private:
    double betai_cdf(double x) const;
    Summary betai_summary() const;

    const TypeInfo* type_;
    FieldValues values_;
    bool truncated_;
    int slot_;
};

}  // namespace kvzcalc
