#include "report.h"

namespace kvzcalc {

std::string parameters_text(const Request& r, std::string (*number)(double)) {
    std::string out;
    for (std::size_t i : r.type->inputs) {
        if (!out.empty()) out += ", ";
        out += fields()[i].name + " " + number(*r.values[i]);
    }
    return out;
}

}  // namespace kvzcalc
