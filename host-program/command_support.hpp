// What the host program's commands share: the options every command that
// loads a library takes, the library it loaded, evaluating columns and
// printing them, where output goes, and how a command stops.
#ifndef HOST_PROGRAM_COMMAND_SUPPORT_HPP
#define HOST_PROGRAM_COMMAND_SUPPORT_HPP

#include <CLI/CLI.hpp>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue.hpp"
#include "commands.hpp"
#include "library.hpp"
#include "messages.hpp"
#include "plot.hpp"

namespace host_program {

// A folder of libraries for every command, when --lib-dir gives none.
constexpr const char* lib_dir_variable = "MATERIALS_LIB_DIR";

constexpr int exit_point_failed = 1;
constexpr int exit_cannot_run = 2;

// The exit statuses, as --help states them.
extern const char* const exit_status_help;

// Ends a command with a one-line reason and an exit status.
struct Stop {
  int status;
  std::string reason;
};

// Options every evaluating command shares.
struct CommonOptions {
  std::string lib_dir;
  std::string lib_dir_given_as;            // "--lib-dir DIR" or "MATERIALS_LIB_DIR=DIR"
  bool verbose = false;                    // say which file was loaded
  std::string function;                    // the host function name when it is not the file's
  std::vector<std::string> setting_texts;  // --set NAME=VALUE as given
  std::vector<std::pair<std::string, double>> settings;  // read from them once parsed
  bool strict = false;                                   // points outside the meaningful range fail
  bool csv = false;
  int precision = 10;
};

// One command: the subcommand on which it declared its options, and what
// runs it once the command line is parsed (it may throw Stop).
struct Command {
  CLI::App* subcommand;
  std::function<int()> run;
};

// Each command's declaration, in the order --help lists them.
Command add_list_command(CLI::App& app, CommonOptions& common, const Streams& streams);
Command add_eval_command(CLI::App& app, CommonOptions& common, const Streams& streams);
Command add_sweep_command(CLI::App& app, CommonOptions& common, const Streams& streams);
Command add_loop_command(CLI::App& app, CommonOptions& common, const Streams& streams);

// CLI11 takes "-inf", "-.5" or "-1,2" for options it does not know and
// converts numbers through long double, which can round a decimal twice:
// numbers are read as CSV fields are, exactly.

// The arguments as CLI11 must see them: one that is a number or a point of
// numbers but starts with '-' goes on with a blank in front, which CLI11
// takes for a value and the number parser trims; so does every argument
// after "--", which itself is dropped.
std::vector<std::string> numbers_as_values(const std::vector<std::string>& arguments);

// A value as it was given, for a message: without that blank.
std::string as_given(const std::string& value);

// An option whose value is a number, read exactly.
CLI::Option* add_number_option(CLI::App& command, const std::string& name,
                               std::optional<double>& value, const std::string& help);

// A whole number from `low` to `high`, also written as 1e6; CLI11 then
// converts its digits.
CLI::Validator whole_number(long long low, long long high);

// --set NAME=VALUE read into `common.settings`; Stop on a malformed one.
void read_settings(CommonOptions& common);

// --csv and --precision.
void add_output_options(CLI::App& command, CommonOptions& common);
// A command that evaluates a host function: --function, --set and --strict,
// the output options, and the exit statuses under its help.
void add_evaluating_options(CLI::App& command, CommonOptions& common);

struct Loaded {
  std::unique_ptr<Library> library;
  std::string function;
  const Entry* entry;  // null for a function outside the catalogue
};

// The library a host function name or file names, loaded; Stop when it is
// not found or does not load.
Loaded load(const std::string& library, const CommonOptions& common, const Streams& streams);

// The index of entry's argument `name`; Stop when it has none.
size_t argument_of(const Entry& entry, const std::string& name);

// The value every argument takes where the input gives none: the
// catalogue's default, or the --set value.
std::vector<double> argument_defaults(const Entry& entry, const CommonOptions& common);

// "T [K]", or "T" in CSV and for a dimensionless quantity.
std::string column_title(const std::string& name, const std::string& unit, bool csv);

// "RRR = 300": an argument's name, value and unit.
std::string quantity_text(const std::string& name, double value, const std::string& unit);

// Evaluates and prints the table to `out` (none when null); on a failing
// point, the rows before it and the point's index, inputs and message (with
// the accepted range after a range test's). Points outside the range where
// the fit is meaningful are a warning on standard error, or with --strict
// the failing point.
int evaluate_and_print(const Loaded& loaded, const std::vector<std::vector<double>>& columns,
                       const CommonOptions& common, std::ostream* out, const Streams& streams,
                       std::vector<double>& results);

// Where the data goes: --output FILE, else standard output (or nowhere).
struct Destination {
  std::ofstream file;
  std::ostream* stream;
  Destination(const std::string& path, std::ostream* out) : stream(out) {
    if (path.empty()) return;
    const std::string refusal = write_refusal(path);
    if (!refusal.empty()) throw Stop{exit_cannot_run, refusal};
    file.open(path);
    if (!file) throw Stop{exit_cannot_run, "cannot write " + printable(path, long_quote)};
    stream = &file;
  }
};

// Reports (summaries, energies) keep CSV on standard output clean.
std::ostream& report_stream(const CommonOptions& common, const std::string& output,
                            const Streams& streams);

// Plots this build cannot draw, and files that cannot be written (--output
// when not empty), stop the command before it computes anything.
void check_outputs(const std::vector<std::string>& plots, const std::string& output);
void plot_to(const std::vector<std::string>& files, const Figure& figure);

}  // namespace host_program

#endif
