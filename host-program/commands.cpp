// The command line: the options every command shares, then each command's
// own (one file each: list_command.cpp, eval_command.cpp, sweep_command.cpp,
// loop_command.cpp), and the dispatch to the one given.
#include "commands.hpp"

#include <cstdlib>
#include <new>

#include "command_support.hpp"

namespace host_program {

namespace {

// What CLI11 says about a command line, in one line that quotes each
// argument it repeats (as the user gave it) as every other message does;
// for a command line without a known command, that command and the list of
// commands.
std::string parse_problem(const CLI::App& app, const CLI::ParseError& error,
                          const std::vector<std::string>& arguments) {
  const auto given = app.get_subcommands();
  if (given.empty() && dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    std::string commands;
    const auto all = app.get_subcommands({});
    for (size_t c = 0; c < all.size(); ++c)
      commands += (c == 0 ? "" : c + 1 == all.size() ? " and " : ", ") + all[c]->get_name();
    const std::vector<std::string> unknown = app.remaining();
    return (unknown.empty() ? "a command is needed"
                            : printable(unknown.front()) + " is not a command") +
           "; the commands are " + commands;
  }
  std::string text = error.what();
  for (const std::string& argument : arguments) {
    const std::string shown = printable(as_given(argument));
    for (size_t at = 0; shown != argument && (at = text.find(argument, at)) != std::string::npos;
         at += shown.size())
      text.replace(at, argument.size(), shown);
  }
  const std::string help =
      given.empty() ? "materials --help" : "materials " + given.back()->get_name() + " --help";
  return text + " (" + help + " lists the options)";
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

  const std::vector<std::string> values = numbers_as_values(arguments);
  try {
    // CLI11 takes the arguments last first.
    app.parse(std::vector<std::string>(values.rbegin(), values.rend()));
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, streams.out, streams.err);  // --help
    streams.err << "materials: " << printable(parse_problem(app, e, values), std::string::npos)
                << "\n";
    return exit_cannot_run;
  }
  common.lib_dir_given_as = "--lib-dir " + common.lib_dir;
  const char* from_environment = std::getenv(lib_dir_variable);
  if (common.lib_dir.empty() && from_environment != nullptr) {
    common.lib_dir = from_environment;
    common.lib_dir_given_as = std::string(lib_dir_variable) + "=" + common.lib_dir;
  }
  try {
    read_settings(common);
    for (const Command& command : commands) {
      if (command.subcommand->parsed()) return command.run();
    }
    return exit_cannot_run;  // unreachable: a subcommand is required
  } catch (const Stop& stop) {
    // Whatever a reason quotes is escaped already; escaping the whole line
    // again keeps any text that missed it off the terminal's controls.
    streams.err << "materials: " << printable(stop.reason, std::string::npos) << "\n";
    return stop.status;
  } catch (const std::bad_alloc&) {
    streams.err << "materials: not enough memory for this command\n";
    return exit_cannot_run;
  }
}

}  // namespace host_program
