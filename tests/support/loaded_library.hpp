// The built libraries as the tests load them (by file name, as a host does,
// through the host's loader), and calls of eval over test blocks.
#ifndef TESTS_LOADED_LIBRARY_HPP
#define TESTS_LOADED_LIBRARY_HPP

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>  // std::move
#include <vector>

#include "catalogue_facts.hpp"
#include "material_host_api.hpp"

namespace testing_support {

// What every library with output tests fails a NaN or an infinite result with.
inline constexpr char output_is_nan[] = "Output is nan";
inline constexpr char output_is_inf[] = "Output is inf";

// What a point below argument 0's lowest limit, or above its highest, fails
// with.
inline const char* below(const catalogue::HostFunction& f) { return f.arguments[0].lowest.message; }
inline const char* above(const catalogue::HostFunction& f) {
  return f.arguments[0].highest.message;
}

// The file a host loads for a host function of the catalogue: next to the
// tests on Linux, found by the loader's search on Windows.
inline std::string library_file(const std::string& name) {
  for (const catalogue::HostFunction& f : catalogue::host_functions()) {
    if (name != f.name) continue;
#if defined(_WIN32)
    return f.file;
#else
    return std::string(MATERIAL_LIBRARY_DIR) + "/" + f.file;
#endif
  }
  return "(no library of " + name + " in the catalogue)";
}

// The built library of host function `name`, or that function's library
// from another file.
class LoadedLibrary : public material_host::LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& name) : LoadedLibrary(name, library_file(name)) {}
  LoadedLibrary(std::string name, const std::string& file)
      : material_host::LoadedLibrary(file), name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
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
                               inputs.data(), static_cast<int32_t>(points), result.outputs.data());
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

// A per-library table of test data (rows with a `function` member), checked
// to hold a row for every host function of the catalogue: a library left out
// stops the test program before it lists a test.
template <class Row>
const std::vector<Row>& every_library(const std::vector<Row>& rows) {
  for (const catalogue::HostFunction& f : catalogue::host_functions()) {
    if (std::none_of(rows.begin(), rows.end(), [&](const Row& r) { return r.function == &f; })) {
      std::fprintf(stderr, "no test row for %s\n", f.name);
      std::abort();
    }
  }
  return rows;
}

}  // namespace testing_support

#endif
