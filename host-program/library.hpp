// Finding a material library for the host program, and evaluating whole
// columns through its entry points.
#ifndef HOST_PROGRAM_LIBRARY_HPP
#define HOST_PROGRAM_LIBRARY_HPP

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "material_host_api.hpp"

namespace host_program {

// A library is opened through the host API every host-side program shares.
using Library = material_host::Library;
using material_host::library_file_name;

// The folder holding the running program.
std::string executable_dir();

// Whether `library` names a library file rather than a host function: it holds
// a directory separator or ends in .so or .dll.
bool names_a_file(const std::string& library);

// Where `library` names a library: the file itself, made absolute, or for a
// host function name its file in lib_dir when one is given (and nowhere
// else: a folder named on purpose that lacks the file must not yield an
// older build's), otherwise next to the program, then in lib/ beside the
// program's folder (an installed tree). Empty, with the places tried in
// `tried`, when there is no such file.
std::string locate_library(const std::string& library, const std::string& lib_dir,
                           std::string& tried);

// The host function name a library file answers to by convention: the file
// name without "lib" and the extension.
std::string function_from_file(const std::string& path);

// The library at `path`, loaded and its init called; null, with a one-line
// reason in `error`, when the file does not load, lacks one of init,
// getLastError and eval, or its init refuses.
std::unique_ptr<Library> open_library(const std::string& path, std::string& error);

// An empty block: the library's message when it refuses the name or the
// argument count, "" when it accepts both.
std::string refusal(const Library& library, const std::string& function, size_t count);

struct Outcome {
  bool failed = false;
  size_t failing_index = 0;  // valid when failed; outputs before it hold values
  std::string message;
};

// Progress of a long evaluation: points done, points in all.
using Progress = std::function<void(size_t, size_t)>;

// Evaluates one column per argument, all of the same length, into outputs
// (resized to that length). Blocks are handed to eval in pieces, so that
// progress can be shown.
Outcome evaluate(const Library& library, const std::string& function,
                 const std::vector<std::vector<double>>& columns, std::vector<double>& outputs,
                 const Progress& progress = nullptr);

}  // namespace host_program

#endif
