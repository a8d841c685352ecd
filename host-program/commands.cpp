#include "commands.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>

#include "catalogue.hpp"
#include "library.hpp"
#include "loop_demo.hpp"
#include "plot.hpp"
#include "table.hpp"

namespace materials_tool {

namespace {

// A folder of libraries for every command, when --lib-dir gives none.
constexpr const char* lib_dir_variable = "MATERIALS_LIB_DIR";

constexpr int exit_point_failed = 1;
constexpr int exit_cannot_run = 2;

// Sweeps longer than this show their progress on a terminal.
constexpr size_t progress_threshold = 1000000;

// Ends a command with a one-line reason and an exit status.
struct Stop {
  int status;
  std::string reason;
};

// Options every evaluating command shares.
struct Common {
  std::string lib_dir;
  std::string lib_dir_given_as;  // "--lib-dir DIR" or "MATERIALS_LIB_DIR=DIR"
  bool verbose = false;          // say which file was loaded
  std::string function;  // the host function name when it is not the file's
  std::vector<std::pair<std::string, double>> settings;  // --set name=value
  bool csv = false;
  int precision = 10;
};

struct Loaded {
  std::unique_ptr<Library> library;
  std::string function;
  const Entry* entry;  // null for a function outside the catalogue
};

Loaded load(const std::string& library, const Common& common, const Streams& streams) {
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
                    : names_a_file(library)     ? function_from_file(path)
                                             : library;
  loaded.entry = find_entry(loaded.function);
  return loaded;
}

// Stops unless the library takes the function name with `count` arguments.
void check_accepted(const Loaded& loaded, size_t count) {
  const std::string refused = refusal(*loaded.library, loaded.function, count);
  if (!refused.empty())
    throw Stop{exit_cannot_run, loaded.library->path() + " refuses \"" + loaded.function +
                                    "\" with " + std::to_string(count) + " arguments: " + refused};
}

// The value every argument takes where the input gives none: the
// catalogue's default, or the --set value.
std::vector<double> argument_defaults(const Entry& entry, const Common& common) {
  std::vector<double> values;
  for (const Argument& a : entry.arguments) values.push_back(a.default_value);
  for (const auto& [name, value] : common.settings) {
    const int k = argument_index(entry, name);
    if (k < 0) throw Stop{exit_cannot_run, std::string(entry.name) + " has no argument " + name};
    values[size_t(k)] = value;
  }
  return values;
}

std::string titled(const std::string& name, const std::string& unit, bool csv) {
  return csv || unit == "-" ? name : name + " [" + unit + "]";
}

// Argument k's name, and its title in a table.
std::string argument_name(const Loaded& loaded, size_t k) {
  return loaded.entry ? loaded.entry->arguments[k].name : "arg" + std::to_string(k);
}
std::string argument_title(const Loaded& loaded, size_t k, bool csv) {
  return loaded.entry ? titled(argument_name(loaded, k), loaded.entry->arguments[k].unit, csv)
                      : argument_name(loaded, k);
}

// One column per argument, then the result, as far as it was computed.
void write_results(std::ostream& out, const Loaded& loaded,
                   const std::vector<std::vector<double>>& columns,
                   const std::vector<double>& results, size_t rows, const Common& common) {
  Table table;
  for (size_t k = 0; k < columns.size(); ++k) {
    table.titles.push_back(argument_title(loaded, k, common.csv));
    table.columns.push_back(&columns[k]);
  }
  table.titles.push_back(loaded.entry
                             ? titled(loaded.entry->result, loaded.entry->result_unit, common.csv)
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

// Evaluates and prints the table to `out` (none when null); on a failing
// point, the rows before it and the point's index, inputs and message.
int evaluate_and_print(const Loaded& loaded, const std::vector<std::vector<double>>& columns,
                       const Common& common, std::ostream* out, const Streams& streams,
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

// Where the data goes: --output FILE, else standard output (or nowhere).
struct Destination {
  std::ofstream file;
  std::ostream* stream;
  Destination(const std::string& path, std::ostream* out) : stream(out) {
    if (path.empty()) return;
    file.open(path);
    if (!file) throw Stop{exit_cannot_run, "cannot write " + path};
    stream = &file;
  }
};

// Reports (summaries, energies) keep CSV on standard output clean.
std::ostream& report_stream(const Common& common, const std::string& output,
                            const Streams& streams) {
  return common.csv && output.empty() ? streams.err : streams.out;
}

// Plots this build cannot draw stop the command before it computes anything.
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

// ---- list ---------------------------------------------------------------

void list(const std::vector<std::string>& names, bool names_only, const Common& common,
          std::ostream& out) {
  for (const std::string& name : names) {
    if (!find_entry(name)) throw Stop{exit_cannot_run, "no catalogue entry " + name};
  }
  for (const Entry& e : catalogue()) {
    if (!names.empty() && std::find(names.begin(), names.end(), e.name) == names.end()) continue;
    if (names_only) {
      out << e.name << "\n";
      continue;
    }
    std::string tried;
    const std::string path = locate_library(e.name, common.lib_dir, tried);
    out << e.name << ": " << e.computes << "\n"
        << "  result " << titled(e.result, e.result_unit, false) << "\n";
    for (const Argument& a : e.arguments) {
      out << "  " << titled(a.name, a.unit, false) << ": " << a.meaning << "; default "
          << format_number(a.default_value) << "; accepted " << accepted_range(a);
      if (a.meaningful_note != nullptr) {
        out << "; meaningful " << format_number(a.meaningful_from) << " to "
            << format_number(a.meaningful_to) << " (" << a.meaningful_note << ")";
      }
      out << "\n";
    }
    out << "  library " << (path.empty() ? "not found (looked for " + tried + ")" : path) << "\n\n";
  }
}

// ---- eval ---------------------------------------------------------------

// The columns to evaluate: each argument's values, from the input's columns
// by header name or by position, the rest from the defaults.
std::vector<std::vector<double>> input_columns(const Loaded& loaded, const CsvInput& input,
                                               const Common& common) {
  const size_t points = input.rows.size();
  const size_t width = points == 0 ? input.header.size() : input.rows[0].size();
  if (loaded.entry == nullptr) {
    if (!common.settings.empty())
      throw Stop{exit_cannot_run, "--set needs a function of the catalogue"};
    std::vector<std::vector<double>> columns(width, std::vector<double>(points));
    for (size_t i = 0; i < points; ++i) {
      if (input.rows[i].size() != width)
        throw Stop{exit_cannot_run, "every point needs " + std::to_string(width) + " arguments"};
      for (size_t c = 0; c < width; ++c) columns[c][i] = input.rows[i][c];
    }
    return columns;
  }
  const Entry& entry = *loaded.entry;
  // Input column c feeds argument target[c]; -1 skips it.
  std::vector<int> target;
  for (const std::string& name : input.header) {
    const int k = argument_index(entry, name);
    if (k < 0 && name != entry.result)  // a previous run's result column is skipped
      throw Stop{exit_cannot_run, std::string(entry.name) + " has no argument " + name};
    target.push_back(k);
  }
  std::vector<std::vector<double>> columns;
  for (double d : argument_defaults(entry, common)) columns.emplace_back(points, d);
  for (size_t i = 0; i < points; ++i) {
    const std::vector<double>& row = input.rows[i];
    if (target.empty() && row.size() > entry.arguments.size())
      throw Stop{exit_cannot_run, std::string(entry.name) + " takes " +
                                      std::to_string(entry.arguments.size()) + " arguments, not " +
                                      std::to_string(row.size())};
    for (size_t c = 0; c < row.size(); ++c) {
      const int k = target.empty() ? int(c) : target[c];
      if (k >= 0) columns[size_t(k)][i] = row[c];
    }
  }
  return columns;
}

int eval_command(const std::string& library, const std::vector<std::string>& points,
                 const Common& common, const Streams& streams) {
  const Loaded loaded = load(library, common, streams);
  std::string error;
  std::optional<CsvInput> input = CsvInput{};
  if (points.empty()) input = read_csv(streams.in, error);
  if (!input) throw Stop{exit_cannot_run, error};
  // A point on the command line gives its leading arguments.
  for (const std::string& p : points) {
    std::vector<double> row;
    for (const std::string& field : split_fields(p)) {
      const auto value = parse_number(field);
      if (!value) throw Stop{exit_cannot_run, "not a point: " + p};
      row.push_back(*value);
    }
    input->rows.push_back(std::move(row));
  }
  const auto columns = input_columns(loaded, *input, common);
  std::vector<double> results;
  return evaluate_and_print(loaded, columns, common, &streams.out, streams, results);
}

// ---- sweep --------------------------------------------------------------

struct SweepOptions {
  std::string argument;
  std::optional<double> from, to;
  size_t points = 200;
  bool log = false, linear = false;
  std::vector<std::string> plots;
  std::string output;
  bool summary = false;
};

// n values from `from` to `to`, both ends exact.
std::vector<double> spaced(double from, double to, size_t n, bool log) {
  std::vector<double> values(n);
  const double a = log ? std::log10(from) : from, b = log ? std::log10(to) : to;
  for (size_t i = 0; i < n; ++i) {
    const double v = a + (b - a) * (double(i) / double(n - 1));
    values[i] = log ? std::pow(10.0, v) : v;
  }
  values.front() = from, values.back() = to;
  return values;
}

// "RRR = 300": an argument's name, value and unit.
std::string held(const std::string& name, double value, const std::string& unit) {
  return name + " = " + format_number(value) + (unit == "-" ? "" : " " + unit);
}

int sweep_command(const std::string& library, const SweepOptions& options, const Common& common,
                  const Streams& streams) {
  check_plots(options.plots);
  const Loaded loaded = load(library, common, streams);
  if (loaded.entry == nullptr)
    throw Stop{exit_cannot_run, "no catalogue entry " + loaded.function + ": its range is unknown"};
  const Entry& entry = *loaded.entry;
  size_t k = entry.sweep.argument;
  if (!options.argument.empty()) {
    const int found = argument_index(entry, options.argument);
    if (found < 0)
      throw Stop{exit_cannot_run, std::string(entry.name) + " has no argument " + options.argument};
    k = size_t(found);
  }
  const bool default_argument = k == entry.sweep.argument;
  if (!default_argument && !(options.from && options.to))
    throw Stop{exit_cannot_run, "a sweep of " + options.argument + " needs --from and --to"};
  const double from = options.from.value_or(entry.sweep.from);
  const double to = options.to.value_or(entry.sweep.to);
  const bool log = options.log || (!options.linear && default_argument && entry.sweep.log);
  if (log && !(from > 0 && to > 0))
    throw Stop{exit_cannot_run, "a logarithmic sweep needs --from and --to above 0"};

  std::vector<std::vector<double>> columns;
  for (double d : argument_defaults(entry, common)) columns.emplace_back(options.points, d);
  columns[k] = spaced(from, to, options.points, log);

  // With --summary the table goes only to --output.
  Destination destination(options.output, options.summary ? nullptr : &streams.out);
  std::vector<double> results;
  const int status =
      evaluate_and_print(loaded, columns, common, destination.stream, streams, results);
  if (status != 0) return status;
  const Argument& swept = entry.arguments[k];
  if (!options.plots.empty()) {
    std::string fixed;
    for (size_t a = 0; a < entry.arguments.size(); ++a) {
      if (a == k) continue;
      const Argument& argument = entry.arguments[a];
      fixed += (fixed.empty() ? "" : ", ") + held(argument.name, columns[a][0], argument.unit);
    }
    plot_to(options.plots, {std::string(entry.name) + ": " + entry.computes,
                            titled(swept.name, swept.unit, false),
                            titled(entry.result, entry.result_unit, false),
                            fixed,
                            log,
                            entry.sweep.result_log && default_argument,
                            {{entry.name, columns[k], results}}});
  }
  if (options.summary) {
    const auto [low, high] = std::minmax_element(results.begin(), results.end());
    streams.out << entry.name << ": " << swept.name << " from " << format_number(from, 6) << " to "
                << format_number(to, 6) << " " << swept.unit << (log ? " (log)" : "") << ", "
                << options.points << " points; " << entry.result << " from "
                << format_number(*low, 6) << " to " << format_number(*high, 6) << " "
                << entry.result_unit << "; library " << loaded.library->path() << "\n";
  }
  return 0;
}

// ---- loop ---------------------------------------------------------------

struct LoopOptions {
  LoopSettings settings;
  std::string output;
  std::vector<std::string> plot_bh, plot_j;
};

std::string per_cycle(const std::vector<double>& values) {
  std::string text;
  for (double v : values) text += (text.empty() ? "" : ", ") + format_number(v, 6);
  return text;
}

int loop_command(const LoopOptions& options, const Common& common, const Streams& streams) {
  check_plots(options.plot_bh);
  check_plots(options.plot_j);
  const Loaded loaded = load("Orvandel", common, streams);
  LoopSamples s;
  LoopReport report;
  const std::string problem = run_loops(*loaded.library, options.settings, s, report);
  if (!problem.empty()) throw Stop{exit_cannot_run, problem};

  Destination destination(options.output, &streams.out);
  const bool csv = common.csv;
  Table table{
      {titled("t", "s", csv), titled("j", "A/m^2", csv), titled("j_rev", "A/m^2", csv),
       titled("h", "A/m", csv), titled("B", "T", csv), titled("hx_rot", "A/m", csv),
       titled("hy_rot", "A/m", csv), titled("Bx_rot", "T", csv), titled("By_rot", "T", csv)},
      {&s.t, &s.j, &s.j_rev, &s.h, &s.B, &s.hx_rot, &s.hy_rot, &s.Bx_rot, &s.By_rot}};
  write_table(*destination.stream, table, s.t.size(), csv, common.precision);

  const LoopSettings& settings = options.settings;
  const double f = settings.frequency_Hz;
  const std::string drive = held("f", f, "Hz") + ", " + std::to_string(settings.steps_per_cycle) +
                            " steps per cycle, " + std::to_string(settings.cycles) + " cycles";
  if (!options.plot_bh.empty()) {
    plot_to(options.plot_bh, {"Vector hysteresis model: B(h)",
                              "h [A/m]",
                              "B [T]",
                              held("h amplitude", settings.h_amplitude, "A/m") + ", " + drive,
                              false,
                              false,
                              {{"alternating h along x", s.h, s.B},
                               {"rotating h, x components", s.hx_rot, s.Bx_rot}}});
  }
  if (!options.plot_j.empty()) {
    plot_to(options.plot_j, {"Scalar play with relaxation: j_rev(j)",
                             "j [A/m^2]",
                             "j_rev [A/m^2]",
                             held("j amplitude", settings.j_amplitude, "A/m^2") + ", " +
                                 held("j_width", settings.j_width, "A/m^2") + ", " +
                                 held("tau", settings.j_tau, "s") + ", " + drive,
                             false,
                             false,
                             {{"j_rev", s.j, s.j_rev}}});
  }
  std::ostream& r = report_stream(common, options.output, streams);
  r << "scalar play j_rev(j): loop area per cycle " << per_cycle(report.scalar_area)
    << " (A/m^2)^2; the last cycle repeats the one before to "
    << format_number(report.scalar_mismatch, 3) << "\n";
  auto energy = [&](const char* what, const std::vector<double>& w, double mismatch_value) {
    r << what << ": energy dissipated per cycle " << per_cycle(w) << " J/m^3 ("
      << format_number(w.back() * f, 6) << " W/m^3 at " << format_number(f)
      << " Hz); the last cycle repeats the one before to " << format_number(mismatch_value, 3)
      << "\n";
  };
  energy("alternating h", report.alternating_energy, report.alternating_mismatch);
  energy("rotating h", report.rotating_energy, report.rotating_mismatch);
  return 0;
}

}  // namespace

int run(const std::vector<std::string>& arguments, const Streams& streams) {
  CLI::App app{"Evaluate, sweep and plot the material libraries; drive the hysteresis model.",
               "materials"};
  // Options start with '-' everywhere: on Windows a path such as /tmp/x.dll
  // would otherwise read as an option.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  app.fallthrough();
  const std::string exit_status =
      "Exit status: 0 done; 1 a point failed: the rows before it are printed, then on standard\n"
      "error the failing point's index (points count from 0, as in the host's arrays), its\n"
      "inputs and the library's message; 2 the tool could not run.\n";
  app.footer(exit_status);
  Common common;
  app.add_option("--lib-dir", common.lib_dir,
                 "Folder holding the libraries, and the only place looked in when given (also "
                 "the variable " +
                     std::string(lib_dir_variable) +
                     "); without either: next to this program, then lib/ beside its folder");
  app.add_flag("-v,--verbose", common.verbose,
               "Say on standard error which library file is loaded");

  auto add_output_options = [&common](CLI::App* command) {
    command->add_flag("--csv", common.csv, "Comma-separated output with a header of names");
    command
        ->add_option("--precision", common.precision, "Significant digits (17 round-trips doubles)")
        ->check(CLI::Range(1, 17));
  };
  auto add_function_options = [&common](CLI::App* command) {
    command->add_option("--function", common.function,
                        "Host function name, when it is not the file's name");
    command->add_option("--set", common.settings, "An argument's value instead of its default")
        ->delimiter('=')
        ->type_name("NAME=VALUE");
  };

  CLI::App* list_command = app.add_subcommand("list", "The catalogue of host functions");
  std::vector<std::string> list_names;
  bool names_only = false;
  list_command->add_option("NAME", list_names, "Only these functions");
  list_command->add_flag("--names", names_only, "Only the names, one per line");

  CLI::App* eval = app.add_subcommand(
      "eval",
      "Evaluate a library at points from the command line or, when none is given, CSV from "
      "standard input");
  std::string library;
  std::vector<std::string> points;
  eval->add_option("LIBRARY", library, "A host function name (Wembrel) or a library file")
      ->required();
  eval->add_option("POINT", points,
                   "A point's arguments, separated by commas (77,100); missing ones take "
                   "defaults");
  add_function_options(eval);
  add_output_options(eval);
  eval->footer(exit_status);

  CLI::App* sweep = app.add_subcommand("sweep", "Evaluate a function over a range of one argument");
  SweepOptions sweep_options;
  sweep->add_option("NAME", library, "A host function name or a library file")->required();
  sweep->add_option("--arg", sweep_options.argument,
                    "The argument to sweep (default: the catalogue's)");
  sweep->add_option("--from", sweep_options.from, "First value");
  sweep->add_option("--to", sweep_options.to, "Last value");
  sweep->add_option("--points", sweep_options.points, "Number of points")
      ->check(CLI::Range(size_t(2), size_t(1) << 40));
  auto* log_flag = sweep->add_flag("--log", sweep_options.log, "Logarithmic spacing");
  sweep->add_flag("--linear", sweep_options.linear, "Linear spacing")->excludes(log_flag);
  sweep->add_option("--plot", sweep_options.plots, "Plot to FILE.svg (or .png); may be repeated");
  sweep->add_option("--output", sweep_options.output, "Write the table to FILE");
  sweep->add_flag("--summary", sweep_options.summary,
                  "Only one line: range, points, minimum, maximum and the library file (the "
                  "table goes to --output, if given)");
  add_function_options(sweep);
  add_output_options(sweep);
  sweep->footer(exit_status);

  CLI::App* loop =
      app.add_subcommand("loop", "Hysteresis loops of the scalar and the vector model");
  LoopOptions loop_options;
  loop->add_option("--cycles", loop_options.settings.cycles, "Cycles (at least 3)")
      ->check(CLI::Range(3, 1000));
  loop->add_option("--steps", loop_options.settings.steps_per_cycle, "Time steps per cycle")
      ->check(CLI::Range(8, 100000));
  loop->add_option("--output", loop_options.output, "Write the samples to FILE");
  loop->add_option("--plot-bh", loop_options.plot_bh,
                   "Plot B(h) to FILE.svg (or .png); may be repeated");
  loop->add_option("--plot-j", loop_options.plot_j,
                   "Plot j_rev(j) to FILE.svg (or .png); may be repeated");
  add_output_options(loop);

  try {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    return app.exit(e, streams.out, streams.err) == 0 ? 0 : exit_cannot_run;
  }
  common.lib_dir_given_as = "--lib-dir " + common.lib_dir;
  const char* from_environment = std::getenv(lib_dir_variable);
  if (common.lib_dir.empty() && from_environment != nullptr) {
    common.lib_dir = from_environment;
    common.lib_dir_given_as = std::string(lib_dir_variable) + "=" + common.lib_dir;
  }
  try {
    if (list_command->parsed()) {
      list(list_names, names_only, common, streams.out);
      return 0;
    }
    if (eval->parsed()) return eval_command(library, points, common, streams);
    if (sweep->parsed()) return sweep_command(library, sweep_options, common, streams);
    return loop_command(loop_options, common, streams);
  } catch (const Stop& stop) {
    streams.err << "materials: " << stop.reason << "\n";
    return stop.status;
  }
}

}  // namespace materials_tool
