// materials eval LIBRARY [POINT...]: a library at points from the command
// line or, without any, CSV from standard input.
#include <algorithm>
#include <optional>

#include "command_support.hpp"
#include "table.hpp"

namespace host_program {

namespace {

// The columns to evaluate: each argument's values, from the input's columns
// by header name or by position, the rest from the defaults.
std::vector<std::vector<double>> input_columns(const Loaded& loaded, const CsvInput& input,
                                               const CommonOptions& common) {
  const size_t points = input.rows.size();
  const size_t width = points == 0 ? input.header.size() : input.rows[0].size();
  if (loaded.entry == nullptr) {
    if (!common.settings.empty())
      throw Stop{exit_cannot_run, "--set needs a function of the catalogue"};
    std::vector<std::vector<double>> columns(width, std::vector<double>(points));
    for (size_t i = 0; i < points; ++i) {
      if (input.rows[i].size() != width)
        throw Stop{exit_cannot_run, "every point needs " + count_of(width, "argument")};
      for (size_t c = 0; c < width; ++c) columns[c][i] = input.rows[i][c];
    }
    return columns;
  }
  const Entry& entry = *loaded.entry;
  // Input column c feeds argument target[c]; -1 skips it.
  std::vector<int> target;
  for (const std::string& name : input.header) {
    // A previous run's result column is skipped.
    const bool result_column = name == entry.result && argument_index(entry, name) < 0;
    target.push_back(result_column ? -1 : int(argument_of(entry, name)));
  }
  std::vector<std::vector<double>> columns;
  for (double d : argument_defaults(entry, common)) columns.emplace_back(points, d);
  for (size_t i = 0; i < points; ++i) {
    const std::vector<double>& row = input.rows[i];
    if (target.empty() && row.size() > entry.arguments.size())
      throw Stop{exit_cannot_run, std::string(entry.name) + " takes " +
                                      count_of(entry.arguments.size(), "argument") + ", not " +
                                      std::to_string(row.size())};
    for (size_t c = 0; c < row.size(); ++c) {
      const int k = target.empty() ? int(c) : target[c];
      if (k >= 0) columns[size_t(k)][i] = row[c];
    }
  }
  return columns;
}

// At a terminal: what standard input is read for, and how to end it.
void hint_at_terminal(const Loaded& loaded, const Streams& streams) {
#if defined(_WIN32)
  const char* end_key = "Ctrl-Z, Enter";
#else
  const char* end_key = "Ctrl-D";
#endif
  std::string columns;
  if (loaded.entry) {
    for (const Argument& a : loaded.entry->arguments)
      columns += (columns.empty() ? "" : ",") + std::string(a.name);
  } else {
    columns = "the arguments in eval's order";
  }
  streams.err << "materials: reading points as CSV from standard input: " << columns
              << " (a header naming them may come first; missing ones take defaults); end with "
              << end_key << "\n";
}

// A point on the command line: its leading arguments.
std::vector<double> point_from(const std::string& text) {
  std::vector<double> row;
  for (const std::string& field : split_fields(text)) {
    std::string problem;
    const auto value = parse_number(field, &problem);
    if (!value)
      throw Stop{exit_cannot_run, "not a point: " + printable(as_given(text)) +
                                      (problem.empty() ? "" : " (" + problem + ")")};
    row.push_back(*value);
  }
  return row;
}

int eval_command(const std::string& library, const std::vector<std::string>& points,
                 const CommonOptions& common, const Streams& streams) {
  const Loaded loaded = load(library, common, streams);
  // No point, or "-" alone: the points come from standard input.
  const bool from_input = points.empty() || points == std::vector<std::string>{"-"};
  if (!from_input && std::find(points.begin(), points.end(), "-") != points.end())
    throw Stop{exit_cannot_run, "- (standard input) is the only point when it is given"};
  CsvInput input;
  if (from_input) {
    if (streams.in_is_terminal) hint_at_terminal(loaded, streams);
    std::string error;
    std::optional<CsvInput> read = read_csv(streams.in, error);
    if (!read) throw Stop{exit_cannot_run, error};
    input = std::move(*read);
  }
  if (!from_input) {
    for (const std::string& p : points) input.rows.push_back(point_from(p));
  }
  const auto columns = input_columns(loaded, input, common);
  std::vector<double> results;
  return evaluate_and_print(loaded, columns, common, &streams.out, streams, results);
}

}  // namespace

Command add_eval_command(CLI::App& app, CommonOptions& common, const Streams& streams) {
  CLI::App* eval = app.add_subcommand(
      "eval",
      "Evaluate a library at points from the command line or, when none is given, CSV from "
      "standard input");
  struct Options {
    std::string library;
    std::vector<std::string> points;
  };
  auto options = std::make_shared<Options>();
  eval->add_option("LIBRARY", options->library, "A host function name (Wembrel) or a library file")
      ->required();
  eval->add_option("POINT", options->points,
                   "A point's arguments, separated by commas (77,100); missing ones take "
                   "defaults. - reads the points from standard input, as when none is given");
  add_evaluating_options(*eval, common);
  return {eval, [options, &common, &streams] {
            return eval_command(options->library, options->points, common, streams);
          }};
}

}  // namespace host_program
