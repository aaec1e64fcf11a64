#include "csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace kvzcalc {

namespace {

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// The number a cell holds (a leading '+' allowed), or nothing.
std::optional<double> number_in(const std::string& cell) {
    const char* first = cell.data() + (cell.starts_with('+') ? 1 : 0);
    const char* last = cell.data() + cell.size();
    double v = 0.0;
    auto [end, ec] = std::from_chars(first, last, v);
    if (first == last || end != last || (ec != std::errc() && ec != std::errc::result_out_of_range)) return std::nullopt;
    // Out of range leaves v untouched (0): take the overflow to an infinity
    // and the underflow to the nearest double, as strtod does.
    if (ec == std::errc::result_out_of_range) v = std::strtod(std::string(first, last).c_str(), nullptr);
    return v;
}

bool all_numbers(const std::vector<std::string>& cells) {
    return std::all_of(cells.begin(), cells.end(), [](const std::string& c) { return number_in(c).has_value(); });
}

std::string joined_names(const std::vector<std::string>& names) {
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + names[i];
    return out;
}

}  // namespace

std::vector<std::string> csv_cells(const std::string& line) {
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
            cell += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            cells.push_back(trimmed(cell));
            cell.clear();
        } else {
            cell += c;
        }
    }
    cells.push_back(trimmed(cell));
    return cells;
}

Column read_column(const std::string& path, const std::optional<std::string>& name) {
    std::ifstream file(path);
    if (!file) throw CsvError{"cannot read " + path};
    std::vector<std::pair<int, std::vector<std::string>>> rows;
    int line_number = 0;
    for (std::string line; std::getline(file, line);) {
        ++line_number;
        // A byte-order mark some programs write at the start of a UTF-8 file.
        if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
        if (!trimmed(line).empty()) rows.emplace_back(line_number, csv_cells(line));
    }
    if (rows.empty()) throw CsvError{path + " holds no data"};
    // Read by position, the first row is a header when the first column's cell
    // is not a number, so that a text column beside it takes no row away.
    const auto& first = rows.front().second;
    const bool header = name ? !all_numbers(first) : !number_in(first.front()).has_value();
    std::size_t index = 0;
    Column out;
    if (name) {
        if (!header) throw CsvError{path + " has no header row to find the column '" + *name + "' in"};
        const auto& names = rows.front().second;
        const auto found = std::find(names.begin(), names.end(), *name);
        if (found == names.end())
            throw CsvError{"no column '" + *name + "' in " + path + " (its columns: " + joined_names(names) + ")"};
        index = static_cast<std::size_t>(found - names.begin());
    }
    out.name = header ? rows.front().second[index] : "column 1";
    for (std::size_t r = header ? 1 : 0; r < rows.size(); ++r) {
        const auto& [number, cells] = rows[r];
        const std::string where = path + " line " + std::to_string(number);
        if (index >= cells.size()) throw CsvError{where + ": no value in column '" + out.name + "'"};
        const std::optional<double> v = number_in(cells[index]);
        if (!v) throw CsvError{where + ": '" + cells[index] + "' in column '" + out.name + "' is not a number"};
        // NaN, infinities and values beyond the range of a double, told where they are.
        if (!std::isfinite(*v))
            throw CsvError{where + ": '" + cells[index] + "' in column '" + out.name + "' is not a finite number"};
        out.values.push_back(*v);
    }
    return out;
}

}  // namespace kvzcalc
