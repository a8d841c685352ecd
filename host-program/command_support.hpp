// What the host program's commands share: the options every command that
// loads a library takes, the library it loaded, evaluating columns and
// printing them, where output goes, and how a command stops.
#ifndef HOST_PROGRAM_COMMAND_SUPPORT_HPP
#define HOST_PROGRAM_COMMAND_SUPPORT_HPP

#include <CLI/CLI.hpp>
#include <fstream>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "catalogue.hpp"
#include "commands.hpp"
#include "library.hpp"
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
  std::string lib_dir_given_as;  // "--lib-dir DIR" or "MATERIALS_LIB_DIR=DIR"
  bool verbose = false;          // say which file was loaded
  std::string function;          // the host function name when it is not the file's
  std::vector<std::pair<std::string, double>> settings;  // --set name=value
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

// --csv and --precision.
void add_output_options(CLI::App& command, CommonOptions& common);
// A command that evaluates a host function: --function and --set, the
// output options, and the exit statuses under its help.
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
// point, the rows before it and the point's index, inputs and message.
int evaluate_and_print(const Loaded& loaded, const std::vector<std::vector<double>>& columns,
                       const CommonOptions& common, std::ostream* out, const Streams& streams,
                       std::vector<double>& results);

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
std::ostream& report_stream(const CommonOptions& common, const std::string& output,
                            const Streams& streams);

// Plots this build cannot draw stop the command before it computes anything.
void check_plots(const std::vector<std::string>& files);
void plot_to(const std::vector<std::string>& files, const Figure& figure);

}  // namespace host_program

#endif
