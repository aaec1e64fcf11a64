// The fit command: distribution types fitted to a column of data by maximum
// likelihood (the library's fit_pdf), ranked, printed and plotted.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kvz_comp_fit.h"
#include "session.h"

namespace kvzcalc {

// What the host gives every fit besides the data.
struct FitSettings {
    std::optional<double> t_min;  // the cut the truncated type is fitted under
    std::optional<double> t_max;
    std::optional<double> minimum;  // ends of the support the fit keeps
    std::optional<double> maximum;
    int n = 0;  // the binomial's trials; 0: the data's maximum
};

// One type fitted: the fitted distribution (type, inputs, cut) and its measures.
struct FitOutcome {
    Request fitted;
    kvz_fit_result result{};
};

struct Refusal {
    const TypeInfo* type;
    int code;
    std::string message;  // the refusal's reason, as printed
};

struct Fits {
    std::vector<FitOutcome> fits;  // in the order the types were tried, until ranked
    std::vector<Refusal> refused;
};

// The ranking criteria by name, lower being better for each; a fit's value of
// one, and its name as the output writes it ("AIC", "KS", ...).
const std::vector<std::string>& fit_criteria();
double criterion_value(const kvz_fit_result& r, const std::string& criterion);
std::string criterion_label(const std::string& criterion);

// Numbers in the table and the picture: six significant digits.
std::string short_number(double v);

// The types fitted when none are named: every type fitted for data of their
// class (whole numbers: the discrete types; else the continuous ones), each
// type that only renames another once, through the other.
std::vector<const TypeInfo*> default_fit_types(const std::vector<double>& data);

// Fits each type in turn on the slot; done(k) after the k-th.
Fits fit_types(const std::vector<double>& data, const std::vector<const TypeInfo*>& types,
               const FitSettings& settings, int slot, const std::function<void(std::size_t)>& done);

// Best first by the criterion; fits without it (a discrete fit has no
// Anderson-Darling statistic) after the others, by AIC among themselves.
void rank_fits(std::vector<FitOutcome>& fits, const std::string& criterion);

// The one line that says why none of the types could be fitted: the type and
// its reason for one type, the reason alone when all share it, else each
// reason once with the types it stopped.
std::string nothing_fitted(const std::vector<Refusal>& refused);

// The histogram of the data with the densities (or masses) of the first fits
// over it, and their P-P plot below; the legend gives each one's criterion.
std::string render_fit_svg(const std::string& title, const std::vector<double>& data,
                           const std::vector<FitOutcome>& best, const std::string& criterion);

class FitCommand {
public:
    explicit FitCommand(CLI::App& app);
    // The exit status when the command was chosen; nothing otherwise.
    std::optional<int> run() const;

private:
    int run_fit() const;
    FitSettings settings() const;

    CLI::App* cmd_;
    std::string path_;
    std::string column_;
    std::vector<std::string> types_;
    std::string criterion_ = "aic";
    double t_min_ = 0.0;
    double t_max_ = 0.0;
    double minimum_ = 0.0;
    double maximum_ = 0.0;
    int n_ = 0;
    bool json_ = false;
    std::string plot_;
};

}  // namespace kvzcalc
