// The host's side of the entry points: a material library loaded at run time
// by its file name (dlopen on Linux, LoadLibraryA on Windows), with init,
// getLastError and eval resolved. The host program, the tests and the
// benchmarks all load the libraries through this one class, as a host does.
// Header-only, for programs; the libraries themselves never include it.
#ifndef MATERIAL_LIBRARY_LOADER_HPP
#define MATERIAL_LIBRARY_LOADER_HPP

#include <cstdint>
#include <string>
#include <utility>  // std::move

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace material_loader {

using InitFn = int32_t (*)(const char*);
using GetLastErrorFn = const char* (*)();
using EvalFn = int32_t (*)(const char*, int32_t, const double**, const void*, int32_t, double*);

// The file a host loads for the library `name`: libName.so, or Name.dll on
// Windows (no prefix there).
inline std::string library_file_name(const std::string& name) {
#if defined(_WIN32)
  return name + ".dll";
#else
  return "lib" + name + ".so";
#endif
}

class LoadedLibrary {
 public:
  // Loads `path` (a bare file name makes the system loader search its own
  // path). Whether it worked, and why not, say loaded() and load_error().
  explicit LoadedLibrary(std::string path) : path_(std::move(path)) {
#if defined(_WIN32)
    handle_ = reinterpret_cast<void*>(LoadLibraryA(path_.c_str()));
    if (handle_ == nullptr) {
      load_error_ =
          "cannot load " + path_ + " (Windows error " + std::to_string(GetLastError()) + ")";
      return;
    }
#else
    handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
      load_error_ = "cannot load " + path_ + ": " + dlerror();
      return;
    }
#endif
    init_ = symbol<InitFn>("init");
    get_last_error_ = symbol<GetLastErrorFn>("getLastError");
    eval_ = symbol<EvalFn>("eval");
    for (const char* name : {"init", "getLastError", "eval"}) {
      if (address(name) == nullptr) {
        load_error_ = path_ + " does not export " + name;
        return;
      }
    }
  }
  ~LoadedLibrary() {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The file loaded and exports the three entry points every library has.
  bool loaded() const { return load_error_.empty(); }
  // One line on why it is not loaded; empty when it is.
  const std::string& load_error() const { return load_error_; }
  const std::string& path() const { return path_; }

  // The address of an exported name, or null.
  void* address(const char* name) const {
    if (handle_ == nullptr) return nullptr;
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
  }
  template <class Fn>
  Fn symbol(const char* name) const {
    return reinterpret_cast<Fn>(address(name));
  }

  // The entry points; call them only on a loaded library.
  int32_t init() const { return init_(nullptr); }
  const char* last_error() const { return get_last_error_(); }
  int32_t eval(const char* function_name, int32_t argument_count, const double** inputs,
               int32_t block_size, double* outputs) const {
    return eval_(function_name, argument_count, inputs, nullptr, block_size, outputs);
  }

 private:
  std::string path_;
  std::string load_error_;
  void* handle_ = nullptr;
  InitFn init_ = nullptr;
  GetLastErrorFn get_last_error_ = nullptr;
  EvalFn eval_ = nullptr;
};

}  // namespace material_loader

#endif
