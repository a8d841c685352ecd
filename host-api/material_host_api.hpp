// The host's side of the material libraries, for C++17 programs: a library
// loaded at run time by its file name (dlopen on Linux, LoadLibraryA on
// Windows), its entry points resolved and init called, and eval over blocks
// of points. Header-only; the libraries themselves never include it.
//
// Two layers:
//   LoadedLibrary  the entry points as the library exports them, no
//                  exceptions: eval returns 1 or 0 and getLastError says why.
//   Library        loads or throws LoadError; eval throws EvalError at the
//                  first failing point, carrying the library's own message,
//                  the library, the function and the point's index.
//
//   material_host::Library wembrel("/opt/materials/lib/libWembrel.so");
//   std::vector<double> T = {4.2, 77, 293}, rho(T.size());
//   wembrel.eval("Wembrel", {T}, rho);               // a block, one column per argument
//   double rho_77 = wembrel.eval("Wembrel", {77.0});   // one point
//
// Points are independent (a library keeps no state between them), so the
// failing point of a block is found by evaluating parts of it again: the
// outputs before it hold their values, the outputs after it are never written.
#ifndef MATERIAL_HOST_API_HPP
#define MATERIAL_HOST_API_HPP

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>  // std::shared_ptr
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>  // std::declval, std::exchange, std::move
#include <vector>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX  // windows.h's min and max macros would break std::min in the includer
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace material_host {

// The entry points' types, as every library exports them.
using InitFn = int32_t (*)(const char*);
using GetLastErrorFn = const char* (*)();
using EvalFn = int32_t (*)(const char*, int32_t, const double**, const void*, int32_t, double*);
using ReturnTestYamlFn = const char* (*)();

// The file a host loads for the library `name`: libName.so, or Name.dll on
// Windows (no prefix there).
inline std::string library_file_name(const std::string& name) {
#if defined(_WIN32)
  return name + ".dll";
#else
  return "lib" + name + ".so";
#endif
}

// The low layer: a loaded library and its entry points as they are, for
// programs that check return codes themselves (the tests do). Never throws
// on a library's account.
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
    return_test_yaml_ = symbol<ReturnTestYamlFn>("return_test_yaml");  // not in every library
    for (const char* name : {"init", "getLastError", "eval"}) {
      if (address(name) == nullptr) {
        load_error_ = path_ + " does not export " + name;
        return;
      }
    }
  }
  ~LoadedLibrary() { unload(); }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  // Moved from, a library is unloaded: it holds no handle and no entry point.
  LoadedLibrary(LoadedLibrary&& other) noexcept { take(other); }
  LoadedLibrary& operator=(LoadedLibrary&& other) noexcept {
    if (this != &other) {
      unload();
      take(other);
    }
    return *this;
  }

  // The file loaded and exports the three entry points every library has.
  bool loaded() const { return load_error_.empty() && handle_ != nullptr; }
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
  // return_test_yaml's string, or null where the library does not export it.
  const char* return_test_yaml() const {
    return return_test_yaml_ != nullptr ? return_test_yaml_() : nullptr;
  }

 private:
  void unload() {
    if (handle_ == nullptr) return;
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
  }
  void take(LoadedLibrary& other) {
    path_ = std::move(other.path_);
    load_error_ = std::move(other.load_error_);
    handle_ = std::exchange(other.handle_, nullptr);
    init_ = std::exchange(other.init_, nullptr);
    get_last_error_ = std::exchange(other.get_last_error_, nullptr);
    eval_ = std::exchange(other.eval_, nullptr);
    return_test_yaml_ = std::exchange(other.return_test_yaml_, nullptr);
  }

  std::string path_;
  std::string load_error_;
  void* handle_ = nullptr;
  InitFn init_ = nullptr;
  GetLastErrorFn get_last_error_ = nullptr;
  EvalFn eval_ = nullptr;
  ReturnTestYamlFn return_test_yaml_ = nullptr;
};

// A view of `size` doubles at `data`: Values reads a column of inputs, Output
// is written. Either converts from any contiguous container with data() and
// size() (std::vector<double>, std::array<double, N>); an Output only from
// one that outlives the call, so that results cannot vanish into a temporary.
template <class T>
class View {
  template <class C>
  using data_of = decltype(std::declval<C&>().data());
  template <class C>
  static constexpr bool viewable =
      std::is_convertible_v<data_of<C>, T*> && !std::is_same_v<std::decay_t<C>, View> &&
      (std::is_const_v<T> || std::is_lvalue_reference_v<C>);

 public:
  constexpr View(T* data, std::size_t size) noexcept : data_(data), size_(size) {}
  template <class C, std::enable_if_t<viewable<C>, int> = 0>
  constexpr View(C&& container) noexcept  // NOLINT(google-explicit-constructor): a view
      : data_(container.data()), size_(container.size()) {}
  constexpr T* data() const noexcept { return data_; }
  constexpr std::size_t size() const noexcept { return size_; }

 private:
  T* data_;
  std::size_t size_;
};
using Values = View<const double>;
using Output = View<double>;

// The library cannot be used: it does not load, lacks an entry point, or its
// init refuses.
class LoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// eval failed at a point; what() reads
// "<library>: <function> failed at point <index>: <message>". A refused
// function name or argument count fails at point 0, before any point is read.
class EvalError : public std::runtime_error {
 public:
  EvalError(std::string library, std::string function, std::size_t index, std::string message)
      : std::runtime_error(library + ": " + function + " failed at point " + std::to_string(index) +
                           ": " + message),
        details_(std::make_shared<const Details>(
            Details{std::move(message), std::move(library), std::move(function), index})) {}
  // The library's own getLastError text, e.g. "T is negative!".
  const std::string& message() const noexcept { return details_->message; }
  // The path or file name the library was loaded from.
  const std::string& library() const noexcept { return details_->library; }
  // The function name passed to eval.
  const std::string& function() const noexcept { return details_->function; }
  // The failing point's index in the block.
  std::size_t index() const noexcept { return details_->index; }

 private:
  // Shared, so that copying the exception cannot throw.
  struct Details {
    std::string message, library, function;
    std::size_t index;
  };
  std::shared_ptr<const Details> details_;
};

namespace detail {

// The columns' addresses handed to eval, one per argument: in place for as
// many as a library takes (Quenrow's eight), so that a call allocates
// nothing; on the heap beyond.
class ColumnPointers {
 public:
  explicit ColumnPointers(std::size_t count) : count_(count) {
    if (count > in_place) on_heap_.resize(count);
  }
  std::size_t size() const { return count_; }
  const double** data() { return count_ > in_place ? on_heap_.data() : in_place_; }
  const double* operator[](std::size_t k) const {
    return count_ > in_place ? on_heap_[k] : in_place_[k];
  }

 private:
  static constexpr std::size_t in_place = 8;
  std::size_t count_;
  const double* in_place_[in_place] = {};
  std::vector<const double*> on_heap_;
};

}  // namespace detail

// A library loaded and initialised, with eval that throws.
class Library {
 public:
  // Loads by file name (searched by the system loader) or path, resolves the
  // entry points and calls init.
  explicit Library(const std::string& file) : loaded_(file) {
    if (!loaded_.loaded()) throw LoadError(loaded_.load_error());
    const int32_t status = loaded_.init();
    if (status != 1) throw LoadError(file + ": init returned " + std::to_string(status));
  }

  // One input column per argument, each holding outputs.size() values (else
  // std::invalid_argument, before the library is called). On a failing point
  // the outputs before it keep their values, those after it are untouched,
  // and EvalError says where and why.
  void eval(const std::string& function, std::initializer_list<Values> inputs,
            Output outputs) const {
    eval_values(function, inputs.begin(), inputs.size(), outputs);
  }
  // The same with an argument count known only at run time.
  void eval(const std::string& function, const std::vector<Values>& inputs, Output outputs) const {
    eval_values(function, inputs.data(), inputs.size(), outputs);
  }
  // The value at a single point, one value per argument.
  double eval(const std::string& function, std::initializer_list<double> point) const {
    detail::ColumnPointers columns(point.size());
    for (std::size_t k = 0; k < point.size(); ++k) columns.data()[k] = point.begin() + k;
    double output = 0;
    eval_columns(function, columns, Output(&output, 1));
    return output;
  }

  const LoadedLibrary& loaded() const { return loaded_; }

 private:
  void eval_values(const std::string& function, const Values* inputs, std::size_t count,
                   Output outputs) const {
    detail::ColumnPointers columns(count);
    for (std::size_t k = 0; k < count; ++k) {
      if (inputs[k].size() != outputs.size())
        throw std::invalid_argument(function + ": argument " + std::to_string(k) + " holds " +
                                    std::to_string(inputs[k].size()) + " values for " +
                                    std::to_string(outputs.size()) + " outputs");
      columns.data()[k] = inputs[k].data();
    }
    eval_columns(function, columns, outputs);
  }

  // eval's block size is a signed 32-bit integer: longer blocks go in
  // pieces. An empty block is still one call, so that a refused name or
  // argument count is reported.
  void eval_columns(const std::string& function, const detail::ColumnPointers& columns,
                    Output outputs) const {
    constexpr std::size_t largest_piece = INT32_MAX;
    const std::size_t points = outputs.size();
    detail::ColumnPointers shifted(columns.size());
    std::size_t start = 0;
    do {
      const std::size_t size = points - start < largest_piece ? points - start : largest_piece;
      if (!eval_piece(function, columns, shifted, start, size, outputs)) {
        const char* message = loaded_.last_error();
        throw EvalError(loaded_.path(), function,
                        first_failure(function, columns, shifted, start, size, outputs),
                        message != nullptr ? message : "");
      }
      start += size;
    } while (start < points);
  }

  // eval over points [start, start + size); whether it returned 1.
  bool eval_piece(const std::string& function, const detail::ColumnPointers& columns,
                  detail::ColumnPointers& shifted, std::size_t start, std::size_t size,
                  Output outputs) const {
    for (std::size_t k = 0; k < columns.size(); ++k) shifted.data()[k] = columns[k] + start;
    return loaded_.eval(function.c_str(), static_cast<int32_t>(columns.size()), shifted.data(),
                        static_cast<int32_t>(size), outputs.data() + start) == 1;
  }

  // The first failing point of [start, start + size), which failed: halving,
  // [start, good) holds no bad point and [good, bad) holds one. Each half
  // evaluated is the part just after `good`, so no point past the failing one
  // is written, and the points before it are written with their own values.
  std::size_t first_failure(const std::string& function, const detail::ColumnPointers& columns,
                            detail::ColumnPointers& shifted, std::size_t start, std::size_t size,
                            Output outputs) const {
    std::size_t good = start, bad = start + size;
    while (bad - good > 1) {
      const std::size_t middle = good + (bad - good) / 2;
      (eval_piece(function, columns, shifted, good, middle - good, outputs) ? good : bad) = middle;
    }
    return good;
  }

  LoadedLibrary loaded_;
};

}  // namespace material_host

#endif
