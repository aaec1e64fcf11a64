// Numbers as kvzcalc prints them: the shortest text that reads back as the
// same double.
#pragma once

#include <string>

namespace kvzcalc {

std::string format_number(double v);

}  // namespace kvzcalc
