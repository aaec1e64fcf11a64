// The distributions kvzcalc knows: per type its code, its names, the inputs it
// reads, its class, which computations the library offers for it and the
// domain of its inputs. All of it is read from interface/types.json, which is
// built into the tool and which the Python binding reads too.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvzcalc {

// One input field of a slot, in the order the tool sets them.
struct FieldInfo {
    std::string name;    // record field name, e.g. "shape_a"
    std::string option;  // command-line option, e.g. "--shape-a"
    bool whole;          // set through an int setter
    std::string help;
};

const std::vector<FieldInfo>& fields();
// The position of a field in fields(); the data names only fields it lists.
std::size_t field_index(std::string_view name);

// Values of the input fields, indexed like fields(); empty where not given.
using FieldValues = std::vector<std::optional<double>>;

// Whether the library answers a computation for a type.
enum class Offered { always, when_truncated, never };

// One rule of a type's domain: "a op b", "a op b op c" or "a is whole".
struct DomainRule {
    struct Term {
        std::optional<std::size_t> field;  // an input, or else the number
        double number = 0.0;
    };
    std::string text;
    std::size_t subject = 0;  // the input the rule is about
    std::vector<Term> terms;
    std::vector<std::string> ops;  // empty for "is whole"
};

struct TypeInfo {
    int code = 0;
    std::string name;                  // the main name, e.g. "chi-square"
    std::vector<std::string> aliases;  // other accepted names
    std::vector<std::size_t> inputs;   // the inputs the type reads, as field indices
    std::string description;
    bool discrete = false;
    Offered statistics = Offered::always;
    Offered cdf = Offered::always;
    Offered quantile = Offered::always;  // through get_pdf_g
    Offered sample = Offered::always;
    // The support has no upper end; the library's range ends where the
    // masses summed from below reach 1 - 1e-6.
    bool open_above = false;
    // No statistics or cumulative from the library, but the cumulative is an
    // incomplete beta function of the inputs (the F type).
    bool betai_cdf = false;
    std::vector<DomainRule> domain;
    FieldValues example;  // inputs inside the domain
    // The type fit_pdf fits it as: its own name, or the type it renames;
    // empty when it is not fitted.
    std::string fit_as;

    // Fitted on its own account: when no types are named, a type that renames
    // another is fitted once, through that one.
    bool fitted_alone() const { return fit_as == name; }
};

const std::vector<TypeInfo>& types();

// A type by its name (any case, '_' or '-'), one of its aliases or its code.
const TypeInfo* find_type(std::string_view name_or_code);

// Quantiles as kvzcalc offers them: a discrete type's through the whole-number
// quantile, which answers whenever the slot is initialised; else get_pdf_g's.
Offered quantiles(const TypeInfo& type);

// True when the computation is available for this type with or without truncation.
bool offered(Offered o, bool truncated);

// The message for the first domain rule the values break, or nothing: "<type>:
// <input> <value> is outside its domain: <rule>" and the other inputs the rule
// reads in parentheses. The Python binding words it the same.
std::optional<std::string> domain_error(const TypeInfo& type, const FieldValues& values);

// What a refusal of fit_pdf (a negative code) means, in the words the Python
// binding uses too.
std::string fit_refusal(int code);

// The library-wide uniform generators by name, with their set_rng_type codes.
struct Generator {
    std::string name;
    int code;
};
const std::vector<Generator>& generators();
// Their names, and the code of one named (0, the plain kind, for a name not listed).
std::vector<std::string> generator_names();
int generator_code(const std::string& name);

}  // namespace kvzcalc
