// The tool's command line: list, eval, sweep and loop, run on given streams
// so that tests drive exactly what the program runs.
#ifndef TOOLS_COMMANDS_HPP
#define TOOLS_COMMANDS_HPP

#include <iosfwd>
#include <string>
#include <vector>

namespace materials_tool {

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal;  // progress is shown only on a terminal
};

// Exit status: 0 done, 1 a point failed (what was computed is printed, then
// the failing point), 2 the tool could not run (usage, a library that does
// not load or refuses the function).
int run(const std::vector<std::string>& arguments, const Streams& streams);

}  // namespace materials_tool

#endif
