// The built libraries as the tests load them (by file name, as a host does,
// through the one loader in common/), and calls of eval over test blocks.
#ifndef TESTS_LOADED_LIBRARY_HPP
#define TESTS_LOADED_LIBRARY_HPP

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "library_loader.hpp"

namespace testing_support {

// The file a host loads for a host function name: libName.so next to the
// tests on Linux, Name.dll found by the loader's search on Windows.
inline std::string library_file(const std::string& name) {
#if defined(_WIN32)
  return material_loader::library_file_name(name);
#else
  return std::string(MATERIAL_LIBRARY_DIR) + "/" + material_loader::library_file_name(name);
#endif
}

// The built library of host function `name`, or that function's library
// from another file.
class LoadedLibrary : public material_loader::LoadedLibrary {
 public:
  explicit LoadedLibrary(const std::string& name) : LoadedLibrary(name, library_file(name)) {}
  LoadedLibrary(std::string name, const std::string& file)
      : material_loader::LoadedLibrary(file), name_(std::move(name)) {}
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
