// kvzcalc: the command-line host of the library. Lists the types, describes a
// distribution, evaluates its density, cumulative distribution and quantiles,
// draws variates and plots it, fits types to data; --json for machine-readable
// output.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "correlated.h"
#include "fit.h"
#include "format.h"
#include "plot.h"
#include "progress.h"
#include "report.h"
#include "session.h"
#include "types.h"
#include "validators.h"

namespace {

using kvzcalc::Function;
using kvzcalc::Offered;
using kvzcalc::Request;
using kvzcalc::Session;
using kvzcalc::TypeInfo;
using kvzcalc::kDecimal;
using kvzcalc::kFinite;
using kvzcalc::kNumber;
using kvzcalc::kProbability;
using nlohmann::json;

constexpr int kUsageError = 2;
constexpr int kRunError = 1;
constexpr int kMaxSamples = 100'000'000;
constexpr int kMaxPlotSamples = 10'000'000;
constexpr int kDrawChunk = 65536;

// A failure the user can fix; reported as one line on stderr.
struct UsageError {
    std::string message;
};

// Everything the command line can hold; only the chosen command's part is read.
struct Options {
    bool json = false;
    std::string type;
    std::vector<double> values = std::vector<double>(kvzcalc::fields().size(), 0.0);
    std::vector<int> whole = std::vector<int>(kvzcalc::fields().size(), 0);
    double t_min = 0.0;
    double t_max = 0.0;
    std::vector<double> points;
    int count = 0;
    int plot_samples = 0;
    std::string rng = "plain";
    int seed = 0;
    std::string output;
};

void add_distribution_options(CLI::App* cmd, Options& o) {
    cmd->add_option("type", o.type, "distribution name or code (see kvzcalc list)")->required();
    const auto& fields = kvzcalc::fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i];
        if (f.whole) cmd->add_option(f.option, o.whole[i], f.help)->check(kDecimal);
        else cmd->add_option(f.option, o.values[i], f.help)->check(kFinite);
    }
    cmd->add_option("--t-min", o.t_min, "truncate below at this value")->check(kFinite);
    cmd->add_option("--t-max", o.t_max, "truncate above at this value")->check(kFinite);
    cmd->add_flag("--json", o.json, "print JSON");
}

void add_rng_options(CLI::App* cmd, Options& o) {
    cmd->add_option("--rng", o.rng, "uniform generator: plain, shuffled or stratified")
        ->check(CLI::IsMember(kvzcalc::generator_names()))
        ->capture_default_str();
    cmd->add_option("--seed", o.seed, "generator seed")->check(kDecimal)->capture_default_str();
}

std::string joined(const std::vector<std::string>& parts, const char* sep) {
    std::string out;
    for (std::size_t i = 0; i < parts.size(); ++i) out += (i ? sep : "") + parts[i];
    return out;
}

// The request of the chosen command, checked against what its type reads.
Request build_request(const CLI::App& cmd, const Options& o) {
    Request r;
    r.type = kvzcalc::find_type(o.type);
    if (!r.type) throw UsageError{"unknown type '" + o.type + "' (kvzcalc list shows the types)"};
    std::vector<std::string> missing, extra, reads;
    const auto& fields = kvzcalc::fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const auto& f = fields[i];
        const bool read = std::count(r.type->inputs.begin(), r.type->inputs.end(), i) > 0;
        const bool given = cmd.get_option(f.option)->count() > 0;
        if (read) reads.push_back(f.option);
        if (read && !given) missing.push_back(f.option);
        if (!read && given) extra.push_back(f.option);
        if (read && given) r.values[i] = f.whole ? static_cast<double>(o.whole[i]) : o.values[i];
    }
    if (!missing.empty()) throw UsageError{r.type->name + " needs " + joined(missing, ", ")};
    if (!extra.empty())
        throw UsageError{r.type->name + " does not take " + joined(extra, ", ") + " (it reads " + joined(reads, ", ") +
                         ")"};
    if (auto message = kvzcalc::domain_error(*r.type, r.values)) throw UsageError{*message};
    if (cmd.get_option("--t-min")->count()) r.t_min = o.t_min;
    if (cmd.get_option("--t-max")->count()) r.t_max = o.t_max;
    if (r.t_min && r.t_max && !(*r.t_min < *r.t_max)) throw UsageError{"--t-min must be below --t-max"};
    return r;
}

void require(const Request& r, Offered o, const char* what) {
    if (kvzcalc::offered(o, r.truncated())) return;
    if (o == Offered::when_truncated)
        throw UsageError{r.type->name + ": " + what + " are available only when truncated (give --t-min or --t-max)"};
    throw UsageError{r.type->name + ": this type has no " + what};
}

json header_json(const Request& r) {
    json j;
    j["type"] = r.type->name;
    j["code"] = r.type->code;
    j["parameters"] = kvzcalc::parameters_json(r);
    j["truncation"] = {{"t_min", r.t_min ? json(*r.t_min) : json(nullptr)},
                       {"t_max", r.t_max ? json(*r.t_max) : json(nullptr)}};
    return j;
}

std::string truncation_text(const Request& r) {
    std::vector<std::string> parts;
    if (r.t_min) parts.push_back("below at " + kvzcalc::format_number(*r.t_min));
    if (r.t_max) parts.push_back("above at " + kvzcalc::format_number(*r.t_max));
    return joined(parts, ", ");
}

int run_list(const Options& o) {
    if (o.json) {
        json all = json::array();
        for (const TypeInfo& t : kvzcalc::types()) {
            json inputs = json::array();
            for (std::size_t i : t.inputs) inputs.push_back(kvzcalc::fields()[i].name);
            json domain = json::array();
            for (const auto& rule : t.domain) domain.push_back(rule.text);
            all.push_back({{"code", t.code}, {"name", t.name}, {"aliases", t.aliases}, {"inputs", inputs},
                           {"class", t.discrete ? "discrete" : "continuous"}, {"domain", domain},
                           {"description", t.description}});
        }
        std::cout << all.dump(2) << '\n';
        return 0;
    }
    std::printf("%-4s  %-30s  %-40s  %s\n", "code", "name", "inputs", "description");
    for (const TypeInfo& t : kvzcalc::types()) {
        std::vector<std::string> inputs;
        for (std::size_t i : t.inputs) inputs.push_back(kvzcalc::fields()[i].option);
        std::string name = t.name;
        if (!t.aliases.empty()) name += " (" + joined(t.aliases, ", ") + ")";
        std::printf("%4d  %-30s  %-40s  %s\n", t.code, name.c_str(), joined(inputs, " ").c_str(),
                    t.description.c_str());
    }
    return 0;
}

// How a range end is named: "bound", "quantile" or "working" (the end of a working range).
const char* end_name(kvzcalc::End e) {
    switch (e) {
    case kvzcalc::End::bound: return "bound";
    case kvzcalc::End::quantile: return "quantile";
    case kvzcalc::End::working: return "working";
    }
    return "";
}

std::string end_text(kvzcalc::End e) { return std::string(end_name(e)) + (e == kvzcalc::End::working ? " end" : ""); }

int run_describe(const Request& r, const Options& o) {
    require(r, r.type->statistics, "summary statistics");
    const Session session(r);
    const kvzcalc::Summary s = session.summary();
    if (o.json) {
        json j = header_json(r);
        j["class"] = s.discrete ? "discrete" : "continuous";
        json stats = json::object();
        for (const auto& st : s.statistics) stats[st.name] = st.value ? json(*st.value) : json(nullptr);
        j["statistics"] = stats;
        if (s.whole_median) j["whole_median"] = true;
        j["range"] = {{"minimum", s.minimum},
                      {"maximum", s.maximum},
                      {"p_min", s.p_min},
                      {"p_max", s.p_max},
                      {"bounded_below", s.lower == kvzcalc::End::bound},
                      {"bounded_above", s.upper == kvzcalc::End::bound},
                      {"lower_end", end_name(s.lower)},
                      {"upper_end", end_name(s.upper)}};
        std::cout << j.dump(2) << '\n';
        return 0;
    }
    std::printf("%s (code %d), %s\n", r.type->name.c_str(), r.type->code, s.discrete ? "discrete" : "continuous");
    std::printf("%-10s  %s\n", "parameters", kvzcalc::parameters_text(r, kvzcalc::format_number).c_str());
    if (r.truncated()) std::printf("%-10s  %s\n", "truncated", truncation_text(r).c_str());
    for (const auto& st : s.statistics) {
        const std::string value = st.value ? kvzcalc::format_number(*st.value) : "does not exist";
        const bool whole = s.whole_median && std::string_view(st.name) == "median";
        std::printf("%-10s  %s%s\n", st.name, value.c_str(), whole ? "  (the smallest whole number reaching p 0.5)" : "");
    }
    std::printf("%-10s  %s  (%s, p %s)\n", "minimum", kvzcalc::format_number(s.minimum).c_str(), end_text(s.lower).c_str(),
                kvzcalc::format_number(s.p_min).c_str());
    std::printf("%-10s  %s  (%s, p %s)\n", "maximum", kvzcalc::format_number(s.maximum).c_str(), end_text(s.upper).c_str(),
                kvzcalc::format_number(s.p_max).c_str());
    return 0;
}

int run_evaluate(const Request& r, const Options& o, Function f) {
    if (f == Function::cdf) require(r, r.type->cdf, "cumulative distribution");
    if (f == Function::quantile) require(r, kvzcalc::quantiles(*r.type), "quantiles");
    const Session session(r);
    const std::vector<double> values = session.evaluate(f, o.points);
    const char* in_name = f == Function::quantile ? "p" : "x";
    const char* out_name = f == Function::pdf ? "pdf" : f == Function::cdf ? "cdf" : "quantile";
    std::vector<int> valid;
    if (f == Function::pdf) valid = session.pdf_valid(o.points);
    if (o.json) {
        json j = header_json(r);
        j[in_name] = o.points;
        j[out_name] = values;
        if (f == Function::pdf) {
            json v = json::array();
            for (int b : valid) v.push_back(b != 0);
            j["valid"] = v;
        }
        std::cout << j.dump(2) << '\n';
        return 0;
    }
    std::printf("%s,%s%s\n", in_name, out_name, f == Function::pdf ? ",valid" : "");
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::printf("%s,%s", kvzcalc::format_number(o.points[i]).c_str(), kvzcalc::format_number(values[i]).c_str());
        if (f == Function::pdf) std::printf(",%d", valid[i]);
        std::printf("\n");
    }
    return 0;
}

int run_sample(const Request& r, const Options& o) {
    require(r, r.type->sample, "random variates");
    Session session(r);
    session.prepare_sampling(kvzcalc::generator_code(o.rng), o.seed);
    std::string prefix;
    if (o.json) {
        json j = header_json(r);
        j["rng"] = o.rng;
        j["seed"] = o.seed;
        j["n"] = o.count;
        // Streamed: the values follow as the last member.
        prefix = j.dump();
        prefix.pop_back();
        std::cout << prefix << ",\"values\":[";
    } else {
        std::cout << "value\n";
    }
    kvzcalc::Progress progress(o.count, "drawing");
    std::vector<double> chunk;
    std::string text;
    for (int done = 0; done < o.count;) {
        const int n = std::min(kDrawChunk, o.count - done);
        chunk.clear();
        session.draw(chunk, n);
        text.clear();
        for (int i = 0; i < n; ++i) {
            if (o.json) {
                if (done + i) text += ',';
                text += json(chunk[static_cast<std::size_t>(i)]).dump();
            } else {
                text += kvzcalc::format_number(chunk[static_cast<std::size_t>(i)]);
                text += '\n';
            }
        }
        std::cout << text;
        done += n;
        progress.update(done);
    }
    if (o.json) std::cout << "]}\n";
    std::cout.flush();
    return std::cout ? 0 : kRunError;
}

int run_plot(const Request& r, const Options& o) {
    // A type with a betai cumulative is plotted from that and its density alone (untruncated).
    if (!r.type->betai_cdf || r.truncated()) {
        require(r, r.type->statistics, "summary statistics");
        require(r, r.type->cdf, "cumulative distribution");
    }
    if (o.plot_samples > 0) require(r, r.type->sample, "random variates");
    Session session(r);
    kvzcalc::PlotInput in;
    in.summary = session.summary();
    in.session = &session;
    in.title = r.type->name + " (" + kvzcalc::parameters_text(r, kvzcalc::format_number) + ")";
    if (r.truncated()) in.title += ", truncated " + truncation_text(r);
    std::vector<double> samples;
    if (o.plot_samples > 0) {
        session.prepare_sampling(kvzcalc::generator_code(o.rng), o.seed);
        session.draw(samples, o.plot_samples);
        in.samples = &samples;
    }
    const std::string svg = kvzcalc::render_svg(in);
    std::ofstream file(o.output, std::ios::binary);
    file << svg;
    file.close();
    if (!file) {
        std::fprintf(stderr, "kvzcalc: cannot write %s\n", o.output.c_str());
        return kRunError;
    }
    if (o.json) {
        json j = header_json(r);
        j["output"] = o.output;
        j["samples"] = o.plot_samples;
        j["range"] = {in.summary.minimum, in.summary.maximum};
        std::cout << j.dump(2) << '\n';
    } else {
        std::printf("wrote %s\n", o.output.c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"kvzcalc: probability distributions, their statistics, values, variates and plots"};
    app.set_version_flag("--version", std::string("kvzcalc ") + KVZCALC_VERSION);
    app.require_subcommand(1);
    Options o;

    CLI::App* list = app.add_subcommand("list", "list the distribution types: code, name, inputs");
    list->add_flag("--json", o.json, "print JSON");

    CLI::App* describe = app.add_subcommand("describe", "summary statistics and the range of a distribution");
    add_distribution_options(describe, o);

    struct Eval {
        const char* name;
        const char* help;
        const char* points;
        Function f;
    };
    const Eval evals[] = {
        {"pdf", "density or probability mass at points", "points x (after --)", Function::pdf},
        {"cdf", "cumulative probability at points", "points x (after --)", Function::cdf},
        {"quantile", "values at which the cumulative probability reaches p", "probabilities p (after --)",
         Function::quantile},
    };
    std::vector<std::pair<CLI::App*, Function>> eval_cmds;
    for (const Eval& e : evals) {
        CLI::App* cmd = app.add_subcommand(e.name, e.help);
        add_distribution_options(cmd, o);
        cmd->add_option("points", o.points, e.points)->required()->check(e.f == Function::quantile ? kProbability
                                                                                                 : kNumber);
        eval_cmds.emplace_back(cmd, e.f);
    }

    CLI::App* sample = app.add_subcommand("sample", "draw random variates, CSV on stdout");
    add_distribution_options(sample, o);
    sample->add_option("-n", o.count, "number of variates")->required()->check(kDecimal)->check(
        CLI::Range(1, kMaxSamples));
    add_rng_options(sample, o);

    CLI::App* plot = app.add_subcommand("plot", "density and cumulative distribution as an SVG picture");
    add_distribution_options(plot, o);
    plot->add_option("-o,--output", o.output, "SVG file to write")->required();
    plot->add_option("--samples", o.plot_samples, "also draw this many variates and show their histogram")
        ->check(kDecimal)
        ->check(CLI::Range(0, kMaxPlotSamples));
    add_rng_options(plot, o);

    const kvzcalc::CorrelatedCommands correlated(app);
    const kvzcalc::FitCommand fit(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        if (app.get_subcommands().empty() && (argc < 2 || argv[1][0] != '-')) {
            const std::string what =
                argc < 2 ? "a command is needed" : "unknown command '" + std::string(argv[1]) + "'";
            std::fprintf(stderr, "kvzcalc: %s (commands: list, describe, pdf, cdf, quantile, sample, plot, sample-correlated, plot-correlated, fit)\n",
                         what.c_str());
            return kUsageError;
        }
        std::fprintf(stderr, "kvzcalc: %s\n", e.what());
        return kUsageError;
    }

    try {
        if (list->parsed()) return run_list(o);
        if (describe->parsed()) return run_describe(build_request(*describe, o), o);
        for (auto& [cmd, f] : eval_cmds)
            if (cmd->parsed()) return run_evaluate(build_request(*cmd, o), o, f);
        if (sample->parsed()) return run_sample(build_request(*sample, o), o);
        if (plot->parsed()) return run_plot(build_request(*plot, o), o);
        if (const auto status = correlated.run()) return *status;
        if (const auto status = fit.run()) return *status;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kvzcalc: %s\n", e.message.c_str());
        return kUsageError;
    }
    return kUsageError;
}
