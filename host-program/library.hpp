// A material library loaded at run time by file name (dlopen on Linux,
// LoadLibraryA on Windows) and driven through its entry points.
#ifndef TOOLS_LIBRARY_HPP
#define TOOLS_LIBRARY_HPP

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace materials_tool {

using InitFn = int32_t (*)(const char*);
using GetLastErrorFn = const char* (*)();
using EvalFn = int32_t (*)(const char*, int32_t, const double**, const void*, int32_t, double*);

// The file a host function's library has on this platform: libName.so or
// Name.dll.
std::string library_file_name(const std::string& function);

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
std::string locate_library(const std::string& library, const std::string& lib_dir, std::string& tried);

// The host function name a library file answers to by convention: the file
// name without "lib" and the extension.
std::string function_from_file(const std::string& path);

class Library {
 public:
  // Null, with a one-line reason in `error`, when the file does not load or
  // lacks one of init, getLastError and eval.
  static std::unique_ptr<Library> open(const std::string& path, std::string& error);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  // The address of an exported name, or null.
  void* symbol(const char* name) const;
  const std::string& path() const { return path_; }

  int32_t eval(const char* function, int32_t count, const double** inputs, int32_t size,
               double* outputs) const {
    return eval_(function, count, inputs, nullptr, size, outputs);
  }
  // getLastError as a string, "" for a null pointer.
  std::string last_error() const;

  // An empty block: the library's message when it refuses the name or the
  // argument count, "" when it accepts both.
  std::string refusal(const std::string& function, size_t count) const;

 private:
  Library(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
  void* handle_;
  std::string path_;
  GetLastErrorFn get_last_error_ = nullptr;
  EvalFn eval_ = nullptr;
};

struct Outcome {
  bool failed = false;
  size_t failing_index = 0;  // valid when failed; outputs before it hold values
  std::string message;
};

// Progress of a long evaluation: points done, points in all.
using Progress = std::function<void(size_t, size_t)>;

// Evaluates one column per argument, all of the same length, into outputs
// (resized to that length). Blocks are handed to eval in pieces, so any
// length works and progress can be shown. On failure the failing point is
// found from the contract alone: a prefix of the block succeeds exactly when
// it ends before the first bad point.
Outcome evaluate(const Library& library, const std::string& function,
                 const std::vector<std::vector<double>>& columns, std::vector<double>& outputs,
                 const Progress& progress = nullptr);

}  // namespace materials_tool

#endif
