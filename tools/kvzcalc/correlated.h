// The commands that draw several distributions together with a target rank
// correlation: sample-correlated (CSV or JSON) and plot-correlated (SVG).
// A model file names the variables, their types and inputs, and the matrix.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

#include "session.h"

namespace kvzcalc {

struct Model {
    std::vector<std::string> names;
    std::vector<Request> variables;
    std::vector<double> correlation;  // k x k, row-major
};

// A model as its JSON file gives it; a ModelError names what is wrong.
struct ModelError {
    std::string message;
};
Model read_model(const std::string& path);

// The correlated draw of a model: n rows of k values, row-major, with the
// rank correlation reached and the repair distance.
struct CorrelatedSample {
    int n = 0;
    std::vector<double> values;
    std::vector<double> achieved;
    double repaired = 0.0;
};

class CorrelatedCommands {
public:
    explicit CorrelatedCommands(CLI::App& app);
    // The exit status of the chosen command; nothing when neither was chosen.
    std::optional<int> run() const;

private:
    int run_sample() const;
    int run_plot() const;
    CorrelatedSample draw(const Model& model) const;

    CLI::App* sample_;
    CLI::App* plot_;
    std::string model_path_;
    int count_ = 1000;
    std::string rng_ = "plain";
    int seed_ = 0;
    bool json_ = false;
    std::string output_;
};

// The scatter-plot matrix: each variable's histogram on the diagonal, the
// pairs' points off it, each panel labelled with the rank correlation reached.
std::string render_correlated_svg(const Model& model, const CorrelatedSample& sample);

}  // namespace kvzcalc
