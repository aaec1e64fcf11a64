#include "format.h"

#include <charconv>

namespace kvzcalc {

std::string format_number(double v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("nan");
}

}  // namespace kvzcalc
