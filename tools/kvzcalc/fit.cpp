#include "fit.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>

#include "csv.h"
#include "format.h"
#include "progress.h"
#include "report.h"
#include "types.h"
#include "validators.h"

namespace kvzcalc {

namespace {

using json = nlohmann::ordered_json;

constexpr int kUsageError = 2;
constexpr int kRunError = 1;
constexpr int kFitSlot = 0;
// How many of the best fits the picture draws.
constexpr std::size_t kPlotted = 3;

// A failure the user can fix, said in one line.
struct FitFailure {
    std::string message;
};

std::vector<const TypeInfo*> named_types(const std::vector<std::string>& names) {
    std::vector<const TypeInfo*> out;
    for (const std::string& name : names) {
        const TypeInfo* t = find_type(name);
        if (!t) throw FitFailure{"unknown type '" + name + "' (kvzcalc list shows the types)"};
        if (std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
    }
    return out;
}

bool whole_numbers(const std::vector<double>& data) {
    return std::all_of(data.begin(), data.end(), [](double v) { return !std::isfinite(v) || v == std::floor(v); });
}

// The statistic shown in the last column: the Anderson-Darling statistic of a
// continuous fit, the chi-square statistic of a discrete one.
double goodness(const FitOutcome& f) { return f.fitted.type->discrete ? f.result.chi2 : f.result.ad; }
const char* goodness_name(const FitOutcome& f) { return f.fitted.type->discrete ? "chi2" : "ad"; }

json fit_json(const FitOutcome& f) {
    const kvz_fit_result& r = f.result;
    return {{"type", f.fitted.type->name},
            {"code", f.fitted.type->code},
            {"parameters", parameters_json<json>(f.fitted)},
            {"loglik", r.loglik},
            {"aic", r.aic},
            {"bic", r.bic},
            {"ks", r.ks},
            {goodness_name(f), goodness(f)}};
}

std::string last_column_name(const std::vector<FitOutcome>& fits) {
    const auto discrete = [](const FitOutcome& f) { return f.fitted.type->discrete; };
    if (std::all_of(fits.begin(), fits.end(), discrete)) return "chi2";
    if (std::none_of(fits.begin(), fits.end(), discrete)) return "AD";
    return "AD/chi2";
}

void print_table(const std::vector<FitOutcome>& fits) {
    std::printf("%4s  %-18s %12s %12s %12s %10s %10s  %s\n", "rank", "type", "loglik", "AIC", "BIC", "KS",
                last_column_name(fits).c_str(), "parameters");
    for (std::size_t i = 0; i < fits.size(); ++i) {
        const FitOutcome& f = fits[i];
        std::printf("%4zu  %-18s %12s %12s %12s %10s %10s  %s\n", i + 1, f.fitted.type->name.c_str(),
                    short_number(f.result.loglik).c_str(), short_number(f.result.aic).c_str(),
                    short_number(f.result.bic).c_str(), short_number(f.result.ks).c_str(),
                    short_number(goodness(f)).c_str(), parameters_text(f.fitted, short_number).c_str());
    }
}

std::string refusal_text(const Refusal& r) { return r.type->name + ": " + r.message; }

// The reason for a refusal: the library's, except that the F type on a cut is
// refused for want of a cumulative distribution, not of a density.
std::string refusal_message(const TypeInfo& type, int code, bool cut) {
    if (code == KVZ_FIT_NO_DENSITY && type.code == 36 && cut)
        return "the F type has no cumulative distribution to measure a cut with";
    return fit_refusal(code);
}

}  // namespace

const std::vector<std::string>& fit_criteria() {
    static const std::vector<std::string> names{"aic", "bic", "ks", "ad"};
    return names;
}

double criterion_value(const kvz_fit_result& r, const std::string& criterion) {
    if (criterion == "bic") return r.bic;
    if (criterion == "ks") return r.ks;
    if (criterion == "ad") return r.ad;
    return r.aic;
}

std::string criterion_label(const std::string& criterion) {
    std::string out = criterion;
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string short_number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

std::vector<const TypeInfo*> default_fit_types(const std::vector<double>& data) {
    const bool discrete = whole_numbers(data);
    std::vector<const TypeInfo*> out;
    for (const TypeInfo& t : types())
        if (t.fitted_alone() && t.discrete == discrete) out.push_back(&t);
    return out;
}

Fits fit_types(const std::vector<double>& data, const std::vector<const TypeInfo*>& types,
               const FitSettings& settings, int slot, const std::function<void(std::size_t)>& done) {
    Fits out;
    const int n = static_cast<int>(data.size());
    // An empty column still passes an array, as the Python binding does, so
    // that both hear "too few values" rather than "no data".
    static const double kNoValues = 0.0;
    const double* values = data.empty() ? &kNoValues : data.data();
    std::vector<unsigned char> work;
    for (std::size_t k = 0; k < types.size(); ++k) {
        const TypeInfo& type = *types[k];
        set_pdf_dtype(slot, type.code);
        set_pdf_t_min(slot, settings.t_min ? 1 : 0, settings.t_min.value_or(0.0));
        set_pdf_t_max(slot, settings.t_max ? 1 : 0, settings.t_max.value_or(0.0));
        kvz_fit_result result{};
        result.minimum = settings.minimum.value_or(0.0);
        result.maximum = settings.maximum.value_or(0.0);
        result.fixed = (settings.minimum ? KVZ_FIT_FIX_MINIMUM : 0) | (settings.maximum ? KVZ_FIT_FIX_MAXIMUM : 0);
        result.n = settings.n;
        work.resize(std::max<std::size_t>(fit_pdf_work_size(type.code, n), 1));
        const int code = fit_pdf(slot, type.code, values, n, work.data(), work.size(), &result);
        if (code == KVZ_FIT_OK) {
            FitOutcome f;
            f.fitted.type = &type;
            f.fitted.values = fitted_values(type, result.fitted);
            f.fitted.t_min = settings.t_min;
            f.fitted.t_max = settings.t_max;
            f.result = result;
            out.fits.push_back(f);
        } else {
            out.refused.push_back({&type, code, refusal_message(type, code, settings.t_min || settings.t_max)});
        }
        done(k + 1);
    }
    return out;
}

void rank_fits(std::vector<FitOutcome>& fits, const std::string& criterion) {
    const auto key = [&](const FitOutcome& f) {
        const double v = criterion_value(f.result, criterion);
        return std::make_tuple(std::isnan(v), std::isnan(v) ? 0.0 : v, f.result.aic);
    };
    std::stable_sort(fits.begin(), fits.end(), [&](const FitOutcome& a, const FitOutcome& b) { return key(a) < key(b); });
}

std::string nothing_fitted(const std::vector<Refusal>& refused) {
    if (refused.size() == 1) return refusal_text(refused.front());
    // Each reason once, in the order met, with the types it stopped.
    std::vector<std::pair<std::string, std::string>> reasons;
    for (const Refusal& r : refused) {
        auto found = std::find_if(reasons.begin(), reasons.end(), [&](const auto& e) { return e.first == r.message; });
        if (found == reasons.end()) reasons.emplace_back(r.message, r.type->name);
        else found->second += ", " + r.type->name;
    }
    if (reasons.size() == 1) return reasons.front().first;
    std::string out = "no type could be fitted: ";
    for (std::size_t i = 0; i < reasons.size(); ++i)
        out += (i ? "; " : "") + reasons[i].first + " (" + reasons[i].second + ")";
    return out;
}

FitCommand::FitCommand(CLI::App& app) {
    cmd_ = app.add_subcommand("fit", "fit distribution types to a column of data and rank the fits");
    cmd_->add_option("data", path_, "CSV file; a first row not of numbers is a header")->required();
    cmd_->add_option("--column", column_, "the column to fit, by its header name (default: the first)");
    cmd_->add_option("--types", types_, "types to fit, comma-separated (default: every type fitted for such data)")
        ->delimiter(',');
    cmd_->add_option("--criterion", criterion_,
                     "rank by aic, bic, ks or ad (discrete fits have no AD: they rank after the others, by AIC)")
        ->check(CLI::IsMember(fit_criteria()))
        ->capture_default_str();
    cmd_->add_option("--t-min", t_min_, "fit the distribution truncated below at this value")->check(kFinite);
    cmd_->add_option("--t-max", t_max_, "fit the distribution truncated above at this value")->check(kFinite);
    cmd_->add_option("--minimum", minimum_, "lower end of the support, kept instead of estimated")->check(kFinite);
    cmd_->add_option("--maximum", maximum_, "upper end of the support, kept instead of estimated")->check(kFinite);
    cmd_->add_option("--n", n_, "the binomial's number of trials (default: the largest value)")
        ->check(kDecimal)
        ->check(CLI::PositiveNumber);
    cmd_->add_flag("--json", json_, "print JSON");
    cmd_->add_option("--plot", plot_, "also write an SVG picture of the best fits to this file");
}

std::optional<int> FitCommand::run() const {
    if (!cmd_->parsed()) return std::nullopt;
    try {
        return run_fit();
    } catch (const FitFailure& e) {
        std::fprintf(stderr, "kvzcalc: %s\n", e.message.c_str());
    } catch (const CsvError& e) {
        std::fprintf(stderr, "kvzcalc: %s\n", e.message.c_str());
    }
    return kUsageError;
}

FitSettings FitCommand::settings() const {
    FitSettings s;
    const auto given = [&](const char* option, double value) {
        return cmd_->get_option(option)->count() ? std::optional<double>(value) : std::nullopt;
    };
    s.t_min = given("--t-min", t_min_);
    s.t_max = given("--t-max", t_max_);
    s.minimum = given("--minimum", minimum_);
    s.maximum = given("--maximum", maximum_);
    s.n = n_;
    if (s.t_min && s.t_max && !(*s.t_min < *s.t_max)) throw FitFailure{"--t-min must be below --t-max"};
    if (s.minimum && s.maximum && !(*s.minimum < *s.maximum)) throw FitFailure{"--minimum must be below --maximum"};
    return s;
}

int FitCommand::run_fit() const {
    const FitSettings s = settings();
    const bool named = cmd_->get_option("--column")->count() > 0;
    const Column column = read_column(path_, named ? std::optional<std::string>(column_) : std::nullopt);
    if (column.values.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw FitFailure{path_ + " holds more values than one fit takes"};
    const std::vector<const TypeInfo*> chosen = types_.empty() ? default_fit_types(column.values) : named_types(types_);
    Fits fitted;
    {
        Progress progress(static_cast<long long>(chosen.size()), "fitting");
        fitted = fit_types(column.values, chosen, s, kFitSlot,
                           [&](std::size_t done) { progress.update(static_cast<long long>(done)); });
    }
    if (fitted.fits.empty()) throw FitFailure{nothing_fitted(fitted.refused)};
    rank_fits(fitted.fits, criterion_);

    if (!plot_.empty()) {
        const std::vector<FitOutcome> best(fitted.fits.begin(),
                                           fitted.fits.begin() + static_cast<long>(std::min(kPlotted, fitted.fits.size())));
        const std::string title = column.name + ": " + std::to_string(column.values.size()) + " values, the best fits by " +
                                  criterion_label(criterion_);
        std::ofstream file(plot_, std::ios::binary);
        file << render_fit_svg(title, column.values, best, criterion_);
        file.close();
        if (!file) {
            std::fprintf(stderr, "kvzcalc: cannot write %s\n", plot_.c_str());
            return kRunError;
        }
    }

    if (json_) {
        json fits = json::array();
        for (const FitOutcome& f : fitted.fits) fits.push_back(fit_json(f));
        json refused = json::array();
        for (const Refusal& r : fitted.refused)
            refused.push_back({{"type", r.type->name}, {"code", r.type->code}, {"status", r.code},
                               {"message", r.message}});
        const json j = {{"column", column.name},
                        {"n", column.values.size()},
                        {"criterion", criterion_},
                        {"truncation", {{"t_min", s.t_min ? json(*s.t_min) : json(nullptr)},
                                        {"t_max", s.t_max ? json(*s.t_max) : json(nullptr)}}},
                        {"fits", fits},
                        {"refused", refused}};
        std::cout << j.dump(2) << '\n';
        return std::cout ? 0 : kRunError;
    }
    std::printf("%zu values of %s, fits ranked by %s\n", column.values.size(), column.name.c_str(),
                criterion_label(criterion_).c_str());
    print_table(fitted.fits);
    if (!fitted.refused.empty()) {
        std::printf("not fitted:\n");
        for (const Refusal& r : fitted.refused) std::printf("  %s\n", refusal_text(r).c_str());
    }
    if (!plot_.empty()) std::printf("wrote %s\n", plot_.c_str());
    return 0;
}

}  // namespace kvzcalc
