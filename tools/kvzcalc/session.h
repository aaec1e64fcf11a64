// One distribution set up in a library slot, and what the tool asks of it.
// Everything goes through the public header and the batch header.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "types.h"

namespace kvzcalc {

struct Request {
    const TypeInfo* type = nullptr;
    std::array<std::optional<double>, kFieldCount> values{};  // indexed by Field
    std::optional<double> t_min;
    std::optional<double> t_max;

    std::optional<double>& operator[](Field f) { return values[static_cast<std::size_t>(f)]; }
    const std::optional<double>& operator[](Field f) const { return values[static_cast<std::size_t>(f)]; }
    bool truncated() const { return t_min.has_value() || t_max.has_value(); }
};

struct Statistic {
    const char* name;
    std::optional<double> value;  // empty when the library says it does not exist
};

struct Summary {
    bool discrete = false;
    std::vector<Statistic> statistics;  // mean, mode, median, variance, stdev, skewness, kurtosis
    double minimum = 0.0;
    double maximum = 0.0;
    double p_min = 0.0;
    double p_max = 0.0;
    bool bounded_below = false;
    bool bounded_above = false;
};

enum class Function { pdf, cdf, quantile };

enum class RngKind { plain, shuffled, stratified };

// Chooses and seeds the library-wide generator.
void seed_generator(RngKind kind, int seed);

class Session {
public:
    // Sets the type, its inputs and the truncation of the slot, then initialises it.
    explicit Session(const Request& request, int slot = 0);

    Summary summary() const;
    std::vector<double> evaluate(Function f, const std::vector<double>& points) const;
    std::vector<int> pdf_valid(const std::vector<double>& points) const;

    // Seeds the library-wide generator and prepares the slot for drawing.
    void prepare_sampling(RngKind kind, int seed);
    // Prepares the slot for drawing from the generator as it stands.
    void prepare();
    int slot() const { return slot_; }
    // Appends count variates drawn in order to out.
    void draw(std::vector<double>& out, int count);

private:
    int slot_;
};

}  // namespace kvzcalc
