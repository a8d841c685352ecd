#include "command_support.hpp"

#include "table.hpp"

namespace host_program {

const char* const exit_status_help =
    "Exit status: 0 done; 1 a point failed: the rows before it are printed, then on standard\n"
    "error the failing point's index (points count from 0, as in the host's arrays), its\n"
    "inputs and the library's message; 2 the program could not run.\n";

namespace {

// Sweeps longer than this show their progress on a terminal.
constexpr size_t progress_threshold = 1000000;

// Stops unless the library takes the function name with `count` arguments.
void check_accepted(const Loaded& loaded, size_t count) {
  const std::string refused = refusal(*loaded.library, loaded.function, count);
  if (!refused.empty())
    throw Stop{exit_cannot_run, loaded.library->path() + " refuses \"" + loaded.function +
                                    "\" with " + std::to_string(count) + " arguments: " + refused};
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

}  // namespace

void add_output_options(CLI::App& command, CommonOptions& common) {
  command.add_flag("--csv", common.csv, "Comma-separated output with a header of names");
  command
      .add_option("--precision", common.precision, "Significant digits (17 round-trips doubles)")
      ->check(CLI::Range(1, 17));
}

void add_evaluating_options(CLI::App& command, CommonOptions& common) {
  command.add_option("--function", common.function,
                     "Host function name, when it is not the file's name");
  command.add_option("--set", common.settings, "An argument's value instead of its default")
      ->delimiter('=')
      ->type_name("NAME=VALUE");
  add_output_options(command, common);
  command.footer(exit_status_help);
}

Loaded load(const std::string& library, const CommonOptions& common, const Streams& streams) {
  std::string tried;
  const std::string path = locate_library(library, common.lib_dir, tried);
  if (path.empty()) {
    const std::string where =
        names_a_file(library) || common.lib_dir.empty() ? "" : " in " + common.lib_dir_given_as;
    throw Stop{exit_cannot_run, "no library " + library + where + " (looked for " + tried + ")"};
  }
  if (common.verbose) streams.err << "materials: loading " << path << "\n";
  std::string error;
  Loaded loaded{open_library(path, error), {}, nullptr};
  if (!loaded.library) throw Stop{exit_cannot_run, error};
  loaded.function = !common.function.empty() ? common.function
                    : names_a_file(library)  ? function_from_file(path)
                                             : library;
  loaded.entry = find_entry(loaded.function);
  return loaded;
}

size_t argument_of(const Entry& entry, const std::string& name) {
  const int k = argument_index(entry, name);
  if (k < 0) throw Stop{exit_cannot_run, std::string(entry.name) + " has no argument " + name};
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
  const size_t rows = outcome.failed ? outcome.failing_index : total;
  if (out) write_results(*out, loaded, columns, results, rows, common);
  if (!outcome.failed) return 0;
  streams.err << "materials: " << loaded.function << " failed at point " << outcome.failing_index
              << " (" << point_text(loaded, columns, outcome.failing_index)
              << "): " << outcome.message << "\n";
  return exit_point_failed;
}

std::ostream& report_stream(const CommonOptions& common, const std::string& output,
                            const Streams& streams) {
  return common.csv && output.empty() ? streams.err : streams.out;
}

void check_plots(const std::vector<std::string>& files) {
  for (const std::string& file : files) {
    const std::string refusal = plot_refusal(file);
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
