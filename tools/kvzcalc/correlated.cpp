#include "correlated.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>

#include "format.h"
#include "kvz_comp_corr.h"
#include "types.h"

namespace kvzcalc {

namespace {

using nlohmann::json;

constexpr int kUsageError = 2;
constexpr int kRunError = 1;
constexpr int kMaxRows = 10'000'000;
constexpr int kMaxVariables = 21;

std::string where(std::size_t j) { return "variable " + std::to_string(j + 1); }

double number_at(const json& v, const std::string& what) {
    if (!v.is_number()) throw ModelError{what + " must be a number"};
    const double x = v.get<double>();
    if (!std::isfinite(x)) throw ModelError{what + " must be finite"};
    return x;
}

const TypeInfo& type_of(const json& v, const std::string& what) {
    std::string text;
    if (v.is_string()) text = v.get<std::string>();
    else if (v.is_number_integer()) text = std::to_string(v.get<long long>());
    else throw ModelError{what + ": \"type\" must be a name or a code"};
    const TypeInfo* t = find_type(text);
    if (!t) throw ModelError{what + ": unknown type '" + text + "' (kvzcalc list shows the types)"};
    return *t;
}

// One variable: its type, exactly the inputs the type reads, the optional cut.
Request variable_of(const json& v, const std::string& what) {
    if (!v.is_object()) throw ModelError{what + " must be an object"};
    if (!v.contains("type")) throw ModelError{what + " has no \"type\""};
    Request r;
    r.type = &type_of(v["type"], what);
    for (const auto& [key, value] : v.items()) {
        if (key == "name" || key == "type") continue;
        if (key == "t_min" || key == "t_max") {
            (key == "t_min" ? r.t_min : r.t_max) = number_at(value, what + " " + key);
            continue;
        }
        // A structured binding named in a lambda's capture is refused by clang 14; the lambda sees a reference.
        const std::string& name = key;
        const auto f = std::find_if(fields().begin(), fields().end(), [&](const FieldInfo& i) { return name == i.name; });
        if (f == fields().end()) throw ModelError{what + ": unknown key \"" + key + "\""};
        const std::size_t index = static_cast<std::size_t>(f - fields().begin());
        if (std::count(r.type->inputs.begin(), r.type->inputs.end(), index) == 0)
            throw ModelError{what + ": " + r.type->name + " does not take " + key};
        const double x = number_at(value, what + " " + key);
        if (f->whole && (x != std::floor(x) || std::fabs(x) > 2147483647.0))
            throw ModelError{what + " " + key + " must be a whole number"};
        r.values[index] = x;
    }
    for (std::size_t i : r.type->inputs)
        if (!r.values[i]) throw ModelError{what + ": " + r.type->name + " needs " + fields()[i].name};
    if (auto message = domain_error(*r.type, r.values)) throw ModelError{what + ": " + *message};
    if (r.t_min && r.t_max && !(*r.t_min < *r.t_max)) throw ModelError{what + ": t_min must be below t_max"};
    if (!offered(r.type->sample, r.truncated())) throw ModelError{what + ": " + r.type->name + " has no random variates"};
    return r;
}

std::vector<double> matrix_of(const json& c, std::size_t k) {
    if (!c.is_array() || c.size() != k) throw ModelError{"\"correlation\" must be " + std::to_string(k) + " rows"};
    std::vector<double> m;
    for (std::size_t i = 0; i < k; ++i) {
        if (!c[i].is_array() || c[i].size() != k)
            throw ModelError{"\"correlation\" row " + std::to_string(i + 1) + " must hold " + std::to_string(k) +
                             " numbers"};
        for (const json& v : c[i]) m.push_back(number_at(v, "a correlation"));
    }
    return m;
}

// The library's refusals, as the tool reports them.
std::string refusal(int code) {
    switch (code) {
    case KVZ_CORR_BAD_TARGET:
        return "the correlation matrix must be symmetric, with 1 on the diagonal and entries in [-1, 1]";
    case KVZ_CORR_BAD_N: return "-n must be at least 2";
    case KVZ_CORR_NO_VARIATES: return "a variable has no random variates";
    default: return "the library refused the draw (code " + std::to_string(code) + ")";
    }
}

// The first entry of the target the draw would refuse, named by its row and
// column: a number outside [-1, 1], a diagonal other than 1, or an entry
// that differs from its mirror image.
void check_target(const Model& m) {
    const std::size_t k = m.names.size();
    const auto at = [&](std::size_t i, std::size_t j) {
        return "correlation of " + m.names[i] + " (row " + std::to_string(i + 1) + ") and " + m.names[j] +
               " (column " + std::to_string(j + 1) + ")";
    };
    for (std::size_t i = 0; i < k; ++i)
        for (std::size_t j = 0; j < k; ++j) {
            const double v = m.correlation[i * k + j];
            if (!(v >= -1 && v <= 1)) throw ModelError{"the " + at(i, j) + " is " + format_number(v) + ", not in [-1, 1]"};
            if (i == j && v != 1) throw ModelError{"the " + at(i, j) + " is " + format_number(v) + ", not 1"};
            if (j < i && v != m.correlation[j * k + i])
                throw ModelError{"the " + at(i, j) + " is " + format_number(v) + " but its mirror entry is " +
                                 format_number(m.correlation[j * k + i])};
        }
}

json matrix_json(const std::vector<double>& m, std::size_t k) {
    json rows = json::array();
    for (std::size_t i = 0; i < k; ++i) {
        json row = json::array();
        for (std::size_t j = 0; j < k; ++j) {
            const double v = m[i * k + j];
            row.push_back(std::isnan(v) ? json(nullptr) : json(v));
        }
        rows.push_back(row);
    }
    return rows;
}

void print_matrix(std::FILE* to, const Model& model, const std::vector<double>& m) {
    const std::size_t k = model.names.size();
    std::fprintf(to, "%-12s", "");
    for (const std::string& name : model.names) std::fprintf(to, " %10.10s", name.c_str());
    std::fprintf(to, "\n");
    for (std::size_t i = 0; i < k; ++i) {
        std::fprintf(to, "%-12.12s", model.names[i].c_str());
        for (std::size_t j = 0; j < k; ++j) std::fprintf(to, " %10.4f", m[i * k + j]);
        std::fprintf(to, "\n");
    }
}

}  // namespace

Model read_model(const std::string& path) {
    std::ifstream file(path);
    if (!file) throw ModelError{"cannot read " + path};
    const json doc = json::parse(file, nullptr, false);
    if (doc.is_discarded()) throw ModelError{path + " is not JSON"};
    if (!doc.is_object() || !doc.contains("variables") || !doc["variables"].is_array())
        throw ModelError{path + ": a model needs \"variables\" (a list) and \"correlation\""};
    const json& vars = doc["variables"];
    if (vars.empty() || vars.size() > kMaxVariables)
        throw ModelError{"a model has 1 to " + std::to_string(kMaxVariables) + " variables"};
    Model m;
    for (std::size_t j = 0; j < vars.size(); ++j) {
        m.variables.push_back(variable_of(vars[j], where(j)));
        const json& name = vars[j].value("name", json(where(j)));
        m.names.push_back(name.is_string() ? name.get<std::string>() : where(j));
    }
    for (std::size_t j = 0; j < m.names.size(); ++j)
        for (std::size_t i = 0; i < j; ++i)
            if (m.names[i] == m.names[j])
                throw ModelError{path + ": variables " + std::to_string(i + 1) + " and " + std::to_string(j + 1) +
                                 " are both named \"" + m.names[j] + "\""};
    if (!doc.contains("correlation")) throw ModelError{path + ": the model has no \"correlation\""};
    m.correlation = matrix_of(doc["correlation"], vars.size());
    check_target(m);
    return m;
}

CorrelatedCommands::CorrelatedCommands(CLI::App& app) {
    sample_ = app.add_subcommand("sample-correlated",
                                 "draw a model's variables together with its rank correlation, CSV on stdout");
    plot_ = app.add_subcommand("plot-correlated", "a model's correlated draw as an SVG scatter-plot matrix");
    for (CLI::App* cmd : {sample_, plot_}) {
        cmd->add_option("model", model_path_, "model file (JSON: variables and correlation)")->required();
        cmd->add_option("-n", count_, "number of draws per variable")->check(CLI::Range(2, kMaxRows));
        cmd->add_option("--rng", rng_, "uniform generator: plain, shuffled or stratified")
            ->check(CLI::IsMember(generator_names()))
            ->capture_default_str();
        cmd->add_option("--seed", seed_, "generator seed")->capture_default_str();
        cmd->add_flag("--json", json_, "print JSON");
    }
    sample_->get_option("-n")->required();
    plot_->add_option("-o,--output", output_, "SVG file to write")->required();
}

std::optional<int> CorrelatedCommands::run() const {
    if (!sample_->parsed() && !plot_->parsed()) return std::nullopt;
    try {
        return sample_->parsed() ? run_sample() : run_plot();
    } catch (const ModelError& e) {
        std::fprintf(stderr, "kvzcalc: %s\n", e.message.c_str());
        return kUsageError;
    }
}

CorrelatedSample CorrelatedCommands::draw(const Model& model) const {
    const int k = static_cast<int>(model.variables.size());
    std::vector<Session> sessions;
    for (int j = 0; j < k; ++j) sessions.emplace_back(model.variables[static_cast<std::size_t>(j)], j);
    std::vector<int> slots;
    for (Session& s : sessions) {
        s.prepare();
        slots.push_back(s.slot());
    }
    // Seeded after preparing: a slot's preparation may take a uniform, which
    // would otherwise be the first of a stratified block and split every
    // column over two blocks.
    seed_generator(generator_code(rng_), seed_);
    CorrelatedSample out;
    out.n = count_;
    out.values.resize(static_cast<std::size_t>(count_) * static_cast<std::size_t>(k));
    out.achieved.resize(static_cast<std::size_t>(k * k));
    std::vector<unsigned char> work(dvalue_correlated_work_size(k, count_));
    const int code = dvalue_correlated(slots.data(), k, count_, model.correlation.data(), out.values.data(),
                                       out.achieved.data(), &out.repaired, work.data(), work.size());
    if (code != KVZ_CORR_OK) throw ModelError{refusal(code)};
    return out;
}

int CorrelatedCommands::run_sample() const {
    const Model model = read_model(model_path_);
    const CorrelatedSample s = draw(model);
    const std::size_t k = model.names.size();
    if (json_) {
        json rows = json::array();
        for (int i = 0; i < s.n; ++i)
            rows.push_back(std::vector<double>(s.values.begin() + static_cast<long>(i * k),
                                               s.values.begin() + static_cast<long>((i + 1) * k)));
        json j = {{"variables", model.names}, {"n", s.n},  {"rng", rng_},
                  {"seed", seed_},            {"values", rows}, {"achieved", matrix_json(s.achieved, k)},
                  {"repaired", s.repaired}};
        std::cout << j.dump() << '\n';
        return std::cout ? 0 : kRunError;
    }
    std::string text;
    for (std::size_t j = 0; j < k; ++j) text += (j ? "," : "") + model.names[j];
    text += '\n';
    for (std::size_t i = 0; i < static_cast<std::size_t>(s.n); ++i) {
        // Appended piece by piece: GCC 12 at -O3 sees a false overlap (-Wrestrict) in "," + temporary string.
        for (std::size_t j = 0; j < k; ++j) {
            if (j) text += ',';
            text += format_number(s.values[i * k + j]);
        }
        text += '\n';
    }
    std::cout << text;
    std::fprintf(stderr, "achieved rank correlation:\n");
    print_matrix(stderr, model, s.achieved);
    if (s.repaired > 0) {
        std::fprintf(stderr,
                     "the target correlation is not positive semi-definite: the draw aimed at the nearest "
                     "correlation matrix instead (Frobenius distance %s)\n",
                     format_number(s.repaired).c_str());
    }
    std::fprintf(stderr, "repair distance: %s\n", format_number(s.repaired).c_str());
    std::cout.flush();
    return std::cout ? 0 : kRunError;
}

int CorrelatedCommands::run_plot() const {
    const Model model = read_model(model_path_);
    const CorrelatedSample s = draw(model);
    std::ofstream file(output_, std::ios::binary);
    file << render_correlated_svg(model, s);
    file.close();
    if (!file) {
        std::fprintf(stderr, "kvzcalc: cannot write %s\n", output_.c_str());
        return kRunError;
    }
    if (json_) {
        const json j = {{"output", output_}, {"n", s.n}, {"achieved", matrix_json(s.achieved, model.names.size())},
                        {"repaired", s.repaired}};
        std::cout << j.dump(2) << '\n';
    } else {
        std::printf("wrote %s\n", output_.c_str());
    }
    return 0;
}

}  // namespace kvzcalc
