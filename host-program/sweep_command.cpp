// materials sweep NAME: one argument of a function over a range, the others
// at their defaults; a table, a summary line, plots.
#include <algorithm>
#include <cmath>
#include <optional>

#include "command_support.hpp"
#include "table.hpp"

namespace host_program {

namespace {

struct SweepOptions {
  std::string library;
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

int sweep_command(const SweepOptions& options, const CommonOptions& common,
                  const Streams& streams) {
  check_outputs(options.plots, options.output);
  const Loaded loaded = load(options.library, common, streams);
  if (loaded.entry == nullptr)
    throw Stop{exit_cannot_run,
               "no catalogue entry " + printable(loaded.function) + ": its range is unknown"};
  const Entry& entry = *loaded.entry;
  const size_t k =
      options.argument.empty() ? entry.sweep.argument : argument_of(entry, options.argument);
  const bool default_argument = k == entry.sweep.argument;
  if (!default_argument && !(options.from && options.to))
    throw Stop{exit_cannot_run,
               "a sweep of " + printable(options.argument) + " needs --from and --to"};
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
      fixed +=
          (fixed.empty() ? "" : ", ") + quantity_text(argument.name, columns[a][0], argument.unit);
    }
    plot_to(options.plots, {std::string(entry.name) + ": " + entry.computes,
                            column_title(swept.name, swept.unit, false),
                            column_title(entry.result, entry.result_unit, false),
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
                << entry.result_unit << "; library "
                << printable(loaded.library->loaded().path(), long_quote) << "\n";
  }
  return 0;
}

}  // namespace

Command add_sweep_command(CLI::App& app, CommonOptions& common, const Streams& streams) {
  CLI::App* sweep = app.add_subcommand("sweep", "Evaluate a function over a range of one argument");
  auto options = std::make_shared<SweepOptions>();
  sweep->add_option("NAME", options->library, "A host function name or a library file")->required();
  sweep->add_option("--arg", options->argument, "The argument to sweep (default: the catalogue's)");
  add_number_option(*sweep, "--from", options->from, "First value");
  add_number_option(*sweep, "--to", options->to, "Last value");
  sweep->add_option("--points", options->points, "Number of points")
      ->transform(whole_number(2, 1LL << 40));
  auto* log_flag = sweep->add_flag("--log", options->log, "Logarithmic spacing");
  sweep->add_flag("--linear", options->linear, "Linear spacing")->excludes(log_flag);
  sweep->add_option("--plot", options->plots, "Plot to FILE.svg (or .png); may be repeated")
      ->allow_extra_args(false);
  sweep->add_option("--output", options->output, "Write the table to FILE");
  sweep->add_flag("--summary", options->summary,
                  "Only one line: range, points, minimum, maximum and the library file (the "
                  "table goes to --output, if given)");
  add_evaluating_options(*sweep, common);
  return {sweep, [options, &common, &streams] { return sweep_command(*options, common, streams); }};
}

}  // namespace host_program
