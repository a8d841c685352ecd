// The host program's command line: list, eval, sweep and loop, run on given streams
// so that tests drive exactly what the program runs.
#ifndef HOST_PROGRAM_COMMANDS_HPP
#define HOST_PROGRAM_COMMANDS_HPP

#include <iosfwd>
#include <string>
#include <vector>

namespace host_program {

struct Streams {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool err_is_terminal;         // progress is shown only on a terminal
  bool in_is_terminal = false;  // a hint says what eval reads from it
};

// Exit status: 0 done, 1 a point failed (what was computed is printed, then
// the failing point), 2 the program could not run (usage, a library that does
// not load or refuses the function).
int run(const std::vector<std::string>& arguments, const Streams& streams);

}  // namespace host_program

#endif
