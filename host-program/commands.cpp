// The command line: the options every command shares, then each command's
// own (one file each: list_command.cpp, eval_command.cpp, sweep_command.cpp,
// loop_command.cpp), and the dispatch to the one given.
#include "commands.hpp"

#include <cstdlib>

#include "command_support.hpp"

namespace host_program {

int run(const std::vector<std::string>& arguments, const Streams& streams) {
  CLI::App app{"Evaluate, sweep and plot the material libraries; drive the hysteresis model.",
               "materials"};
  // Options start with '-' everywhere: on Windows a path such as /tmp/x.dll
  // would otherwise read as an option.
  app.allow_windows_style_options(false);
  app.require_subcommand(1);
  app.fallthrough();
  app.footer(exit_status_help);
  CommonOptions common;
  app.add_option("--lib-dir", common.lib_dir,
                 "Folder holding the libraries, and the only place looked in when given (also "
                 "the variable " +
                     std::string(lib_dir_variable) +
                     "); without either: next to this program, then lib/ beside its folder");
  app.add_flag("-v,--verbose", common.verbose,
               "Say on standard error which library file is loaded");
  const Command commands[] = {
      add_list_command(app, common, streams), add_eval_command(app, common, streams),
      add_sweep_command(app, common, streams), add_loop_command(app, common, streams)};

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
    for (const Command& command : commands) {
      if (command.subcommand->parsed()) return command.run();
    }
    return exit_cannot_run;  // unreachable: a subcommand is required
  } catch (const Stop& stop) {
    streams.err << "materials: " << stop.reason << "\n";
    return stop.status;
  }
}

}  // namespace host_program
