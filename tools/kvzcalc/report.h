// How kvzcalc shows a distribution's inputs: in text and as a JSON object.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "session.h"

namespace kvzcalc {

// The inputs by field name, in the type's order; whole-number fields as integers.
template <class Json = nlohmann::json>
Json parameters_json(const Request& r) {
    Json params = Json::object();
    for (std::size_t i : r.type->inputs) {
        const auto& info = fields()[i];
        if (info.whole) params[info.name] = static_cast<long long>(*r.values[i]);
        else params[info.name] = *r.values[i];
    }
    return params;
}

// "scale 2, shape_a 3": each input by name, its value written by `number`.
std::string parameters_text(const Request& r, std::string (*number)(double));

}  // namespace kvzcalc
