// materials: evaluate, sweep and plot any material library from the command
// line, and drive the hysteresis model through whole loops.
#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define MATERIALS_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define MATERIALS_ISATTY(fd) isatty(fd)
#endif

#include "commands.hpp"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::ios::sync_with_stdio(false);
  return host_program::run(arguments, {std::cin, std::cout, std::cerr, MATERIALS_ISATTY(2) != 0,
                                       MATERIALS_ISATTY(0) != 0});
}
