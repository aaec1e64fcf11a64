#include "types.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>

#include "types_data.h"  // kTypesJson: the text of interface/types.json

namespace kvzcalc {

namespace {

using nlohmann::json;

struct Catalogue {
    std::vector<FieldInfo> fields;
    std::vector<TypeInfo> types;
    std::vector<Generator> generators;
    std::vector<std::pair<int, std::string>> fit_refusals;
};

std::size_t index_in(const std::vector<FieldInfo>& fields, std::string_view name) {
    auto f = std::find_if(fields.begin(), fields.end(), [&](const FieldInfo& i) { return i.name == name; });
    if (f == fields.end()) throw std::logic_error("types.json: no field '" + std::string(name) + "'");
    return static_cast<std::size_t>(f - fields.begin());
}

// Names compare without case and with '_' standing for '-'.
std::string normalise(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (c == '_') c = '-';
    }
    return out;
}

Offered offered_from(const json& row, const char* key) {
    const std::string v = row.value(key, std::string("always"));
    if (v == "always") return Offered::always;
    if (v == "truncated") return Offered::when_truncated;
    if (v == "never") return Offered::never;
    throw std::logic_error("types.json: " + std::string(key) + " is '" + v + "'");
}

bool is_comparison(const std::string& op) { return op == "<" || op == "<=" || op == ">" || op == ">="; }

DomainRule parse_rule(const std::string& text, const std::vector<FieldInfo>& fields) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    DomainRule rule;
    rule.text = text;
    auto term = [&](const std::string& w) {
        DomainRule::Term t;
        if (std::any_of(fields.begin(), fields.end(), [&](const FieldInfo& i) { return i.name == w; })) {
            t.field = index_in(fields, w);
            return t;
        }
        auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), t.number);
        if (ec != std::errc() || end != w.data() + w.size()) throw std::logic_error("types.json: rule '" + text + "'");
        return t;
    };
    if (words.size() == 3 && words[1] == "is" && words[2] == "whole") {
        rule.terms = {term(words[0])};
    } else if (words.size() == 3 || words.size() == 5) {
        for (std::size_t i = 0; i < words.size(); ++i) {
            if (i % 2 == 0) rule.terms.push_back(term(words[i]));
            else if (is_comparison(words[i])) rule.ops.push_back(words[i]);
            else throw std::logic_error("types.json: rule '" + text + "'");
        }
    } else {
        throw std::logic_error("types.json: rule '" + text + "'");
    }
    const DomainRule::Term& subject = rule.terms[rule.terms.size() == 3 ? 1 : 0];
    if (!subject.field) throw std::logic_error("types.json: rule '" + text + "' is about no input");
    rule.subject = *subject.field;
    return rule;
}

TypeInfo parse_type(const json& row, const std::vector<FieldInfo>& fields) {
    TypeInfo t;
    t.code = row.at("code").get<int>();
    t.name = row.at("name").get<std::string>();
    t.aliases = row.at("aliases").get<std::vector<std::string>>();
    for (const auto& name : row.at("inputs")) t.inputs.push_back(index_in(fields, name.get<std::string>()));
    t.description = row.at("description").get<std::string>();
    t.discrete = row.at("class").get<std::string>() == "discrete";
    t.statistics = offered_from(row, "statistics");
    t.cdf = offered_from(row, "cdf");
    t.quantile = offered_from(row, "quantile");
    t.sample = offered_from(row, "sample");
    t.open_above = row.value("open_above", false);
    t.betai_cdf = row.value("betai_cdf", false);
    t.fit_as = row.value("fit", std::string());
    for (const auto& r : row.at("domain")) t.domain.push_back(parse_rule(r.get<std::string>(), fields));
    t.example.resize(fields.size());
    for (const auto& [name, value] : row.at("example").items()) t.example[index_in(fields, name)] = value.get<double>();
    return t;
}

const Catalogue& catalogue() {
    static const Catalogue c = [] {
        const json data = json::parse(kTypesJson);
        Catalogue out;
        for (const auto& f : data.at("fields")) {
            const std::string name = f.at("name").get<std::string>();
            std::string option = "--" + name;
            std::replace(option.begin(), option.end(), '_', '-');
            out.fields.push_back({name, option, f.at("whole").get<bool>(), f.at("help").get<std::string>()});
        }
        for (const auto& g : data.at("generators"))
            out.generators.push_back({g.at("name").get<std::string>(), g.at("code").get<int>()});
        for (const auto& row : data.at("types")) out.types.push_back(parse_type(row, out.fields));
        for (const auto& r : data.at("fit_refusals"))
            out.fit_refusals.emplace_back(r.at("code").get<int>(), r.at("message").get<std::string>());
        return out;
    }();
    return c;
}

double term_value(const DomainRule::Term& t, const FieldValues& values) {
    return t.field ? values[*t.field].value_or(std::nan("")) : t.number;
}

bool compare(const std::string& op, double a, double b) {
    if (op == "<") return a < b;
    if (op == "<=") return a <= b;
    if (op == ">") return a > b;
    return a >= b;
}

bool holds(const DomainRule& rule, const FieldValues& values) {
    if (rule.ops.empty()) {
        const double v = term_value(rule.terms[0], values);
        return std::isfinite(v) && v == std::trunc(v);
    }
    for (std::size_t i = 0; i < rule.ops.size(); ++i)
        if (!compare(rule.ops[i], term_value(rule.terms[i], values), term_value(rule.terms[i + 1], values)))
            return false;
    return true;
}

// 15 significant digits, as the Python binding prints them too.
std::string number_text(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    return buf;
}

}  // namespace

const std::vector<FieldInfo>& fields() { return catalogue().fields; }

std::size_t field_index(std::string_view name) { return index_in(fields(), name); }

const std::vector<TypeInfo>& types() { return catalogue().types; }

const std::vector<Generator>& generators() { return catalogue().generators; }

std::vector<std::string> generator_names() {
    std::vector<std::string> names;
    for (const auto& g : generators()) names.push_back(g.name);
    return names;
}

int generator_code(const std::string& name) {
    for (const auto& g : generators())
        if (g.name == name) return g.code;
    return 0;
}

const TypeInfo* find_type(std::string_view name_or_code) {
    int code = 0;
    const char* end = name_or_code.data() + name_or_code.size();
    auto [ptr, ec] = std::from_chars(name_or_code.data(), end, code);
    const bool is_code = !name_or_code.empty() && ec == std::errc() && ptr == end;
    const std::string wanted = normalise(name_or_code);
    for (const TypeInfo& t : types()) {
        if (is_code ? t.code == code : t.name == wanted) return &t;
        if (!is_code && std::find(t.aliases.begin(), t.aliases.end(), wanted) != t.aliases.end()) return &t;
    }
    return nullptr;
}

std::string fit_refusal(int code) {
    for (const auto& [c, message] : catalogue().fit_refusals)
        if (c == code) return message;
    return "the library refused the fit (code " + std::to_string(code) + ")";
}

Offered quantiles(const TypeInfo& type) { return type.discrete ? type.statistics : type.quantile; }

bool offered(Offered o, bool truncated) {
    return o == Offered::always || (o == Offered::when_truncated && truncated);
}

std::optional<std::string> domain_error(const TypeInfo& type, const FieldValues& values) {
    const auto& all = fields();
    for (const DomainRule& rule : type.domain) {
        if (holds(rule, values)) continue;
        std::string message = type.name + ": " + all[rule.subject].name + " " +
                              number_text(values[rule.subject].value_or(std::nan(""))) +
                              " is outside its domain: " + rule.text;
        std::vector<std::string> others;
        for (const auto& t : rule.terms)
            if (t.field && *t.field != rule.subject)
                others.push_back(all[*t.field].name + " " + number_text(term_value(t, values)));
        if (!others.empty()) {
            message += " (";
            for (std::size_t i = 0; i < others.size(); ++i) message += (i ? ", " : "") + others[i];
            message += ")";
        }
        return message;
    }
    return std::nullopt;
}

}  // namespace kvzcalc
