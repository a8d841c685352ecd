// Numbers in and out: exact, locale-free conversions, CSV rows, and the
// aligned or CSV tables the program prints.
#ifndef HOST_PROGRAM_TABLE_HPP
#define HOST_PROGRAM_TABLE_HPP

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host_program {

// `precision` significant digits; 17 round-trips every double. 0: the
// shortest text that reads back as the same double. Every NaN is "nan",
// whatever its sign bit.
std::string format_number(double value, int precision = 0);

// Why a number is refused that no double holds.
extern const char* const beyond_double;

// The whole field as a double, correctly rounded (surrounding blanks
// allowed, "inf" and "nan" too), or nothing; then `problem`, when given, is
// beyond_double for a number whose magnitude a double cannot hold (1e999 or
// 1e-400: rounding it to infinity or 0 would evaluate another point than the
// one written), else left as it was.
std::optional<double> parse_number(std::string_view field, std::string* problem = nullptr);

// Comma-separated fields with surrounding blanks and a trailing CR removed.
std::vector<std::string> split_fields(const std::string& line);

// Rows read from CSV: the header's names (empty without a header; a first
// row that is not all numbers is the header) and the numeric rows.
struct CsvInput {
  std::vector<std::string> header;
  std::vector<std::vector<double>> rows;
};

// Reads CSV; on a row that is not numbers, or whose width differs from the
// first row's, returns nothing and says where in `error`, quoting the line.
std::optional<CsvInput> read_csv(std::istream& in, std::string& error);

// Columns of equal length under their titles, `rows` of them, as CSV or
// right-aligned in blank-separated columns.
struct Table {
  std::vector<std::string> titles;
  std::vector<const std::vector<double>*> columns;
};
void write_table(std::ostream& out, const Table& table, size_t rows, bool csv, int precision);

}  // namespace host_program

#endif
