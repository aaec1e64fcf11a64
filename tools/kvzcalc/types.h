// The distributions kvzcalc knows: per type its code, its names, the inputs it
// reads and which computations the library offers for it. Kept here once, as
// data; every command reads it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvzcalc {

// One input field of a slot, in the order the tool sets them.
enum class Field { mean, lmean, mode, median, stdev, lstdev, minimum, maximum,
                   scale, shape_a, shape_b, p, n, pop, popsuc, sam };
constexpr std::size_t kFieldCount = 16;

struct FieldInfo {
    Field field;
    const char* name;    // record field name, e.g. "shape_a"
    const char* option;  // command-line option, e.g. "--shape-a"
    bool integer;        // set through an int setter
    const char* help;
};

const std::vector<FieldInfo>& fields();
const FieldInfo& field_info(Field f);

// Whether the library answers a computation for a type.
enum class Offered { always, when_truncated, never };

struct TypeInfo {
    int code;
    std::string name;                  // the main name, e.g. "chi-square"
    std::vector<std::string> aliases;  // other accepted names
    std::vector<Field> inputs;         // the inputs the type reads
    std::string description;
    Offered statistics = Offered::always;
    Offered cdf = Offered::always;
    Offered quantile = Offered::always;
    Offered sample = Offered::always;
};

const std::vector<TypeInfo>& types();

// A type by its name (any case, '_' or '-'), one of its aliases or its code.
const TypeInfo* find_type(std::string_view name_or_code);

// True when the computation is available for this type with or without truncation.
bool offered(Offered o, bool truncated);

}  // namespace kvzcalc
