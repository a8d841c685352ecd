#include "table.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <istream>
#include <ostream>

#include "messages.hpp"

namespace host_program {

namespace {

std::string_view trim(std::string_view text) {
  const char* blanks = " \t\r";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

const char* const beyond_double =
    "out of the range of a double: magnitudes from 4.9e-324 to 1.8e308, and 0";

std::string format_number(double value, int precision) {
  // to_chars writes the sign of a NaN, which arithmetic does not define.
  if (std::isnan(value)) return "nan";
  char buffer[64];
  const auto result = precision > 0 ? std::to_chars(buffer, buffer + sizeof buffer, value,
                                                    std::chars_format::general, precision)
                                    : std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<double> parse_number(std::string_view field, std::string* problem) {
  std::string_view text = trim(field);
  // from_chars takes no leading plus sign; an explicit one is common in data.
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ptr != text.data() + text.size()) return std::nullopt;
  if (result.ec == std::errc::result_out_of_range && problem != nullptr) *problem = beyond_double;
  if (result.ec != std::errc()) return std::nullopt;
  return value;
}

std::vector<std::string> split_fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1)
    fields.emplace_back(trim(std::string_view(line).substr(start, comma - start)));
  fields.emplace_back(trim(std::string_view(line).substr(start)));
  return fields;
}

std::optional<CsvInput> read_csv(std::istream& in, std::string& error) {
  CsvInput input;
  size_t line_number = 0;
  for (std::string line; std::getline(in, line);) {
    ++line_number;
    if (trim(line).empty()) continue;
    const std::vector<std::string> fields = split_fields(line);
    std::vector<double> row;
    for (const std::string& f : fields) {
      std::string problem;
      if (const auto v = parse_number(f, &problem)) row.push_back(*v);
      if (!problem.empty()) {
        error = "line " + std::to_string(line_number) + ": " + printable(f) + " is " + problem;
        return std::nullopt;
      }
    }
    const bool first = input.header.empty() && input.rows.empty();
    if (row.size() != fields.size()) {
      if (!first) {
        error =
            "line " + std::to_string(line_number) + " is not a row of numbers: " + printable(line);
        return std::nullopt;
      }
      input.header = fields;
      continue;
    }
    const size_t width =
        input.header.empty() ? (first ? row.size() : input.rows[0].size()) : input.header.size();
    if (row.size() != width) {
      error = "line " + std::to_string(line_number) + " has " + std::to_string(row.size()) +
              " fields, not " + std::to_string(width);
      return std::nullopt;
    }
    input.rows.push_back(std::move(row));
  }
  return input;
}

void write_table(std::ostream& out, const Table& table, size_t rows, bool csv, int precision) {
  // Aligned: a first pass for the widths, so nothing is held per cell.
  std::vector<size_t> widths;
  for (size_t c = 0; c < table.columns.size(); ++c) {
    size_t width = csv ? 0 : table.titles[c].size();
    for (size_t i = 0; !csv && i < rows; ++i)
      width = std::max(width, format_number((*table.columns[c])[i], precision).size());
    widths.push_back(width);
  }
  auto write_row = [&](auto cell) {
    for (size_t c = 0; c < widths.size(); ++c) {
      const std::string text = cell(c);
      out << (c == 0 ? "" : csv ? "," : "  ");
      if (text.size() < widths[c]) out << std::string(widths[c] - text.size(), ' ');
      out << text;
    }
    out << '\n';
  };
  write_row([&](size_t c) { return table.titles[c]; });
  for (size_t i = 0; i < rows; ++i)
    write_row([&](size_t c) { return format_number((*table.columns[c])[i], precision); });
}

}  // namespace host_program
