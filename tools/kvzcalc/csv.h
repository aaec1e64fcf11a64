// One column of numbers from a CSV file: the data the fit command reads.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kvzcalc {

struct Column {
    std::string name;  // the header's name for it, or "column 1" without a header
    std::vector<double> values;
};

// A file that cannot be read as asked, with one line saying why.
struct CsvError {
    std::string message;
};

// The column named `name` (or the first column) of the CSV file at path. The
// first row is a header when its cell in the first column is not a number
// (when a column is named: when one of its cells is not a number). Each value
// must read as a number; NaN and infinities are read as such, for the caller
// to judge. Empty lines are skipped; Windows line ends and a UTF-8
// byte-order mark are read too.
Column read_column(const std::string& path, const std::optional<std::string>& name);

// The cells of one CSV line: split at commas outside double quotes, quotes
// removed ("" inside quotes is one quote), spaces around each cell trimmed.
std::vector<std::string> csv_cells(const std::string& line);

}  // namespace kvzcalc
