// Loads a built material library by file name, as a host does, and drives it
// through its entry points. Only the loading differs between Linux and
// Windows; every test is written against this class.
#ifndef TESTS_LOADED_LIBRARY_HPP
#define TESTS_LOADED_LIBRARY_HPP

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace testing_support {

using InitFn = int32_t (*)(const char*);
using GetLastErrorFn = const char* (*)();
using EvalFn = int32_t (*)(const char*, int32_t, const double**, const void*, int32_t, double*);
using TextFn = const char* (*)();

// The file a host loads for a host function name: libName.so next to the
// tests on Linux, Name.dll found by the loader's search on Windows.
inline std::string library_file(const std::string& name) {
#if defined(_WIN32)
  return name + ".dll";
#else
  return std::string(MATERIAL_LIBRARY_DIR) + "/lib" + name + ".so";
#endif
}

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& name) : LoadedLibrary(name, library_file(name)) {}
  // The library of host function `name` from another file.
  LoadedLibrary(const std::string& name, const std::string& file) : name_(name) {
#if defined(_WIN32)
    handle_ = LoadLibraryA(file.c_str());
#else
    handle_ = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    if (handle_ != nullptr) {
      init_ = symbol<InitFn>("init");
      get_last_error_ = symbol<GetLastErrorFn>("getLastError");
      eval_ = symbol<EvalFn>("eval");
    }
  }
  ~LoadedLibrary() {
#if defined(_WIN32)
    if (handle_ != nullptr) FreeLibrary(static_cast<HMODULE>(handle_));
#else
    if (handle_ != nullptr) dlclose(handle_);
#endif
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr && init_ && get_last_error_ && eval_; }
  const std::string& name() const { return name_; }

  // Null when the library does not export the name.
  template <class Fn>
  Fn symbol(const char* symbol_name) const {
#if defined(_WIN32)
    return reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), symbol_name)));
#else
    return reinterpret_cast<Fn>(dlsym(handle_, symbol_name));
#endif
  }

  int32_t init() const { return init_(nullptr); }
  const char* last_error() const { return get_last_error_(); }
  int32_t eval(const char* function_name, int32_t argument_count, const double** inputs,
               int32_t block_size, double* outputs) const {
    return eval_(function_name, argument_count, inputs, nullptr, block_size, outputs);
  }

 private:
  std::string name_;
  void* handle_ = nullptr;
  InitFn init_ = nullptr;
  GetLastErrorFn get_last_error_ = nullptr;
  EvalFn eval_ = nullptr;
};

// One call of eval over a block given as one column per argument. The output
// array has exactly the block's size and starts filled with `sentinel`, so a
// write past the block or to a point that should stay untouched shows.
struct BlockResult {
  int32_t status = -1;
  std::string message;  // getLastError() after the call, "" when null
  std::vector<double> outputs;
};

inline BlockResult eval_block(const LoadedLibrary& library,
                              const std::vector<std::vector<double>>& columns,
                              double sentinel = -12345.678) {
  const size_t points = columns.empty() ? 0 : columns[0].size();
  std::vector<const double*> inputs;
  for (const auto& column : columns) inputs.push_back(column.data());
  BlockResult result;
  result.outputs.assign(points, sentinel);
  result.status = library.eval(library.name().c_str(), static_cast<int32_t>(columns.size()),
                               inputs.data(), static_cast<int32_t>(points),
                               result.outputs.data());
  const char* message = library.last_error();
  result.message = message != nullptr ? message : "";
  return result;
}

// The value at one point; the status and message come back through result.
inline BlockResult eval_point(const LoadedLibrary& library, const std::vector<double>& args) {
  std::vector<std::vector<double>> columns;
  for (double a : args) columns.push_back({a});
  return eval_block(library, columns);
}

#ifdef MATERIAL_LIBRARIES
// The rows of a per-library table whose library this build made, in the
// order of MATERIAL_LIBRARIES (a ';'-separated list from CMake).
template <class Row>
std::vector<Row> built_rows(const std::vector<Row>& all) {
  std::vector<Row> built;
  std::stringstream names(MATERIAL_LIBRARIES);
  for (std::string name; std::getline(names, name, ';');) {
    for (const Row& row : all) {
      if (name == row.library) built.push_back(row);
    }
  }
  return built;
}
#endif

}  // namespace testing_support

#endif
