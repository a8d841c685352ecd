#include "command_support.hpp"

#include <algorithm>
#include <cmath>

#include "table.hpp"

namespace host_program {

const char* const exit_status_help =
    "Exit status: 0 done; 1 a point failed (with --strict also a point outside the range\n"
    "where its fit is meaningful): the rows before it are printed, then on standard error\n"
    "the failing point's index (points count from 0, as in the host's arrays), its inputs\n"
    "and the library's message; 2 the program could not run.\n";

namespace {

// Sweeps longer than this show their progress on a terminal.
constexpr size_t progress_threshold = 1000000;

// Stops unless the library takes the function name with `count` arguments.
void check_accepted(const Loaded& loaded, size_t count) {
  const std::string refused = refusal(*loaded.library, loaded.function, count);
  if (!refused.empty())
    throw Stop{exit_cannot_run, printable(loaded.library->loaded().path(), long_quote) +
                                    " refuses \"" + printable(loaded.function) + "\" with " +
                                    count_of(count, "argument") + ": " +
                                    printable(refused, long_quote)};
}

// Argument k's name, and its title in a table.
std::string argument_name(const Loaded& loaded, size_t k) {
  return loaded.entry ? loaded.entry->arguments[k].name : "arg" + std::to_string(k);
}
std::string argument_title(const Loaded& loaded, size_t k, bool csv) {
  return loaded.entry ? column_title(argument_name(loaded, k), loaded.entry->arguments[k].unit, csv)
                      : argument_name(loaded, k);
}

// One column per argument, then the result, as far as it was computed.
void write_results(std::ostream& out, const Loaded& loaded,
                   const std::vector<std::vector<double>>& columns,
                   const std::vector<double>& results, size_t rows, const CommonOptions& common) {
  Table table;
  for (size_t k = 0; k < columns.size(); ++k) {
    table.titles.push_back(argument_title(loaded, k, common.csv));
    table.columns.push_back(&columns[k]);
  }
  table.titles.push_back(
      loaded.entry ? column_title(loaded.entry->result, loaded.entry->result_unit, common.csv)
                   : "result");
  table.columns.push_back(&results);
  write_table(out, table, rows, common.csv, common.precision);
}

// "T=-1" or "arg0=-1, arg1=2": the inputs of one point, each exactly.
std::string point_text(const Loaded& loaded, const std::vector<std::vector<double>>& columns,
                       size_t index) {
  std::string text;
  for (size_t k = 0; k < columns.size(); ++k) {
    text += (k ? ", " : "");
    text += argument_name(loaded, k) + "=" + format_number(columns[k][index]);
  }
  return text;
}

// The points of a table the library did not compute, or that --strict
// refuses: where and why.
struct Failure {
  size_t index;
  std::string message;
};

// The points among the first `rows` outside the range where an argument's
// fit is meaningful: how many, and the first.
struct OutsideMeaningful {
  size_t argument, count, first;
};

std::vector<OutsideMeaningful> outside_meaningful(const Entry& entry,
                                                  const std::vector<std::vector<double>>& columns,
                                                  size_t rows) {
  std::vector<OutsideMeaningful> found;
  for (size_t k = 0; k < entry.arguments.size(); ++k) {
    if (entry.arguments[k].meaningful_note == nullptr) continue;
    OutsideMeaningful outside{k, 0, 0};
    for (size_t i = 0; i < rows; ++i) {
      if (is_meaningful(entry.arguments[k], columns[k][i])) continue;
      if (outside.count++ == 0) outside.first = i;
    }
    if (outside.count > 0) found.push_back(outside);
  }
  return found;
}

// "2 of 7 points lie outside where Wembrel's fit is meaningful (T from 40 K
// to 500 K), the first at point 5 (T=1000)".
std::string outside_warning(const Entry& entry, const std::vector<std::vector<double>>& columns,
                            size_t rows, const OutsideMeaningful& outside) {
  const Argument& argument = entry.arguments[outside.argument];
  return std::to_string(outside.count) + " of " + count_of(rows, "point") +
         (outside.count == 1 ? " lies" : " lie") + " outside where " + entry.name +
         "'s fit is meaningful (" + meaningful_range(argument) + "), the first at point " +
         std::to_string(outside.first) + " (" + argument.name + "=" +
         format_number(columns[outside.argument][outside.first]) + ")";
}

// The points among the first `rows` outside where the fit is meaningful:
// with --strict the first of them fails (`rows` ends before it), otherwise
// the warnings to follow the table, one per argument.
std::vector<std::string> judge_meaningful(const Entry& entry,
                                          const std::vector<std::vector<double>>& columns,
                                          bool strict, size_t& rows,
                                          std::optional<Failure>& failure) {
  const std::vector<OutsideMeaningful> outside = outside_meaningful(entry, columns, rows);
  std::vector<std::string> warnings;
  if (outside.empty()) return warnings;
  if (strict) {
    const auto first = std::min_element(
        outside.begin(), outside.end(),
        [](const OutsideMeaningful& a, const OutsideMeaningful& b) { return a.first < b.first; });
    rows = first->first;
    failure = Failure{rows, "outside where its fit is meaningful (" +
                                meaningful_range(entry.arguments[first->argument]) + ")"};
    return warnings;
  }
  for (const OutsideMeaningful& o : outside)
    warnings.push_back(outside_warning(entry, columns, rows, o));
  return warnings;
}

}  // namespace

std::vector<std::string> numbers_as_values(const std::vector<std::string>& arguments) {
  auto is_point = [](const std::string& text) {
    const std::vector<std::string> fields = split_fields(text);
    return std::all_of(fields.begin(), fields.end(),
                       [](const std::string& f) { return parse_number(f).has_value(); });
  };
  std::vector<std::string> values;
  bool only_values = false;
  for (const std::string& a : arguments) {
    if (a == "--" && !only_values) {
      only_values = true;
    } else if (a.size() > 1 && a[0] == '-' && (only_values || is_point(a))) {
      values.push_back(" " + a);
    } else {
      values.push_back(a);
    }
  }
  return values;
}

std::string as_given(const std::string& value) {
  return value.compare(0, 2, " -") == 0 ? value.substr(1) : value;
}

CLI::Option* add_number_option(CLI::App& command, const std::string& name,
                               std::optional<double>& value, const std::string& help) {
  return command
      .add_option_function<std::string>(
          name,
          [name, &value](const std::string& text) {
            std::string problem = "not a number";
            value = parse_number(text, &problem);
            if (!value) throw CLI::ValidationError(name, printable(text) + " is " + problem);
          },
          help)
      ->type_name("NUMBER");
}

CLI::Validator whole_number(long long low, long long high) {
  const std::string range =
      "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
  return CLI::Validator(
      [low, high, range](std::string& text) -> std::string {
        const auto value = parse_number(text);
        if (!value || *value != std::floor(*value) || *value < double(low) || *value > double(high))
          return printable(text) + " is not " + range;
        text = std::to_string(static_cast<long long>(*value));
        return {};
      },
      "from " + std::to_string(low) + " to " + std::to_string(high));
}

void read_settings(CommonOptions& common) {
  for (const std::string& text : common.setting_texts) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
      throw Stop{exit_cannot_run, "--set takes NAME=VALUE, not " + printable(text)};
    const std::string name = text.substr(0, equals), number = text.substr(equals + 1);
    std::string problem = "not a number";
    const auto value = parse_number(number, &problem);
    if (!value)
      throw Stop{exit_cannot_run,
                 "--set " + printable(text) + ": " + printable(number) + " is " + problem};
    common.settings.emplace_back(name, *value);
  }
}

void add_output_options(CLI::App& command, CommonOptions& common) {
  command.add_flag("--csv", common.csv, "Comma-separated output with a header of names");
  command
      .add_option("--precision", common.precision, "Significant digits (17 round-trips doubles)")
      ->transform(whole_number(1, 17));
}

void add_evaluating_options(CLI::App& command, CommonOptions& common) {
  command.add_option("--function", common.function,
                     "Host function name, when it is not the file's name");
  command
      .add_option("--set", common.setting_texts,
                  "An argument's value instead of its default; may be repeated")
      ->type_name("NAME=VALUE")
      ->allow_extra_args(false);
  command.add_flag("--strict", common.strict,
                   "A point outside the range where its fit is meaningful (materials list NAME "
                   "shows it) fails, with exit status 1, instead of a warning on standard error");
  add_output_options(command, common);
  command.footer(exit_status_help);
}

Loaded load(const std::string& library, const CommonOptions& common, const Streams& streams) {
  std::string tried;
  const std::string path = locate_library(library, common.lib_dir, tried);
  if (path.empty()) {
    const std::string where = names_a_file(library) || common.lib_dir.empty()
                                  ? ""
                                  : " in " + printable(common.lib_dir_given_as, long_quote);
    throw Stop{exit_cannot_run, "no library " + printable(library) + where + " (looked for " +
                                    printable(tried, long_quote) + ")"};
  }
  if (common.verbose) streams.err << "materials: loading " << printable(path, long_quote) << "\n";
  std::string error;
  Loaded loaded{open_library(path, error), {}, nullptr};
  if (!loaded.library) throw Stop{exit_cannot_run, printable(error, long_quote)};
  loaded.function = !common.function.empty() ? common.function
                    : names_a_file(library)  ? function_from_file(path)
                                             : library;
  loaded.entry = find_entry(loaded.function);
  return loaded;
}

size_t argument_of(const Entry& entry, const std::string& name) {
  const int k = argument_index(entry, name);
  if (k < 0)
    throw Stop{exit_cannot_run, std::string(entry.name) + " has no argument " + printable(name)};
  return size_t(k);
}

std::vector<double> argument_defaults(const Entry& entry, const CommonOptions& common) {
  std::vector<double> values;
  for (const Argument& a : entry.arguments) values.push_back(a.default_value);
  for (const auto& [name, value] : common.settings) values[argument_of(entry, name)] = value;
  return values;
}

std::string column_title(const std::string& name, const std::string& unit, bool csv) {
  return csv || unit == "-" ? name : name + " [" + unit + "]";
}

std::string quantity_text(const std::string& name, double value, const std::string& unit) {
  return name + " = " + format_number(value) + (unit == "-" ? "" : " " + unit);
}

int evaluate_and_print(const Loaded& loaded, const std::vector<std::vector<double>>& columns,
                       const CommonOptions& common, std::ostream* out, const Streams& streams,
                       std::vector<double>& results) {
  check_accepted(loaded, columns.size());
  const size_t total = columns.empty() ? 0 : columns[0].size();
  Progress progress;
  if (streams.err_is_terminal && total > progress_threshold) {
    progress = [&streams, &loaded](size_t done, size_t all) {
      streams.err << "\r" << loaded.function << ": " << (100 * done / all) << "% of " << all
                  << " points" << std::flush;
    };
  }
  const Outcome outcome = evaluate(*loaded.library, loaded.function, columns, results, progress);
  if (progress) streams.err << "\r" << std::string(60, ' ') << "\r" << std::flush;
  std::optional<Failure> failure;
  if (outcome.failed) {
    failure = Failure{outcome.failing_index, printable(outcome.message, long_quote)};
    if (loaded.entry) failure->message += accepted_range_note(*loaded.entry, outcome.message);
  }
  size_t rows = failure ? failure->index : total;
  std::vector<std::string> warnings;
  if (loaded.entry)
    warnings = judge_meaningful(*loaded.entry, columns, common.strict, rows, failure);
  if (out) write_results(*out, loaded, columns, results, rows, common);
  for (const std::string& warning : warnings)
    streams.err << "materials: warning: " << warning << "\n";
  if (!failure) return 0;
  streams.err << "materials: " << printable(loaded.function) << " failed at point "
              << failure->index << " (" << point_text(loaded, columns, failure->index)
              << "): " << failure->message << "\n";
  return exit_point_failed;
}

std::ostream& report_stream(const CommonOptions& common, const std::string& output,
                            const Streams& streams) {
  return common.csv && output.empty() ? streams.err : streams.out;
}

void check_outputs(const std::vector<std::string>& plots, const std::string& output) {
  for (const std::string& file : plots) {
    const std::string refusal = plot_refusal(file);
    if (!refusal.empty()) throw Stop{exit_cannot_run, refusal};
  }
  std::vector<std::string> files = plots;
  if (!output.empty()) files.push_back(output);
  for (const std::string& file : files) {
    const std::string refusal = write_refusal(file);
    if (!refusal.empty()) throw Stop{exit_cannot_run, refusal};
  }
}

void plot_to(const std::vector<std::string>& files, const Figure& figure) {
  for (const std::string& file : files) {
    const std::string problem = draw(figure, file);
    if (!problem.empty()) throw Stop{exit_cannot_run, problem};
  }
}

}  // namespace host_program
