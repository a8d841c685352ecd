// materials list [NAME...]: the catalogue of host functions, with each
// argument's unit, default and ranges, and the library file each would load.
#include <algorithm>

#include "command_support.hpp"
#include "table.hpp"

namespace host_program {

namespace {

void list(const std::vector<std::string>& names, bool names_only, const CommonOptions& common,
          std::ostream& out) {
  for (const std::string& name : names) {
    if (!find_entry(name)) throw Stop{exit_cannot_run, "no catalogue entry " + printable(name)};
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
        << "  result " << column_title(e.result, e.result_unit, false) << "\n";
    for (const Argument& a : e.arguments) {
      out << "  " << column_title(a.name, a.unit, false) << ": " << a.meaning << "; default "
          << format_number(a.default_value) << "; accepted " << accepted_range(a);
      if (a.meaningful_note != nullptr) {
        out << "; meaningful " << format_number(a.meaningful_from) << " to "
            << format_number(a.meaningful_to) << " (" << a.meaningful_note << ")";
      }
      out << "\n";
    }
    out << "  library "
        << printable(path.empty() ? "not found (looked for " + tried + ")" : path, long_quote)
        << "\n\n";
  }
}

}  // namespace

Command add_list_command(CLI::App& app, CommonOptions& common, const Streams& streams) {
  CLI::App* list_command = app.add_subcommand("list", "The catalogue of host functions");
  struct Options {
    std::vector<std::string> names;
    bool names_only = false;
  };
  auto options = std::make_shared<Options>();
  list_command->add_option("NAME", options->names, "Only these functions");
  list_command->add_flag("--names", options->names_only, "Only the names, one per line");
  return {list_command, [options, &common, &streams] {
            list(options->names, options->names_only, common, streams.out);
            return 0;
          }};
}

}  // namespace host_program
