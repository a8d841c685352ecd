#include "library.hpp"

#include <algorithm>
#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace host_program {

namespace fs = std::filesystem;

namespace {

// Points handed to one eval call: small enough for frequent progress, large
// enough that the per-call name and count tests cost nothing.
constexpr size_t piece = size_t(1) << 16;

}  // namespace

std::string executable_dir() {
#if defined(_WIN32)
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return fs::path(std::string(buffer, length)).parent_path().string();
#else
  std::error_code ignored;
  return fs::read_symlink("/proc/self/exe", ignored).parent_path().string();
#endif
}

bool names_a_file(const std::string& library) {
  const std::string extension = fs::path(library).extension().string();
  return library.find_first_of("/\\") != std::string::npos || extension == ".so" ||
         extension == ".dll";
}

std::string locate_library(const std::string& library, const std::string& lib_dir,
                           std::string& tried) {
  std::vector<fs::path> candidates;
  if (names_a_file(library)) {
    // Absolute, so that the loader takes this file and does not search its
    // own path for the bare name.
    candidates.push_back(fs::absolute(library));
  } else if (!lib_dir.empty()) {
    candidates.push_back(fs::path(lib_dir) / library_file_name(library));
  } else {
    // Next to the program, as in a build, or in lib/ beside its bin/, as
    // installed.
    const fs::path program_dir = executable_dir();
    candidates.push_back(program_dir / library_file_name(library));
    candidates.push_back(program_dir.parent_path() / "lib" / library_file_name(library));
  }
  tried.clear();
  for (const fs::path& p : candidates) {
    std::error_code ignored;
    if (fs::is_regular_file(p, ignored)) return p.string();
    tried += (tried.empty() ? "" : ", ") + p.string();
  }
  return {};
}

std::string function_from_file(const std::string& path) {
  std::string stem = fs::path(path).stem().string();
  const std::string prefix = "lib";
  return stem.compare(0, prefix.size(), prefix) == 0 ? stem.substr(prefix.size()) : stem;
}

std::unique_ptr<Library> open_library(const std::string& path, std::string& error) {
  try {
    return std::make_unique<Library>(path);
  } catch (const material_host::LoadError& e) {
    error = e.what();
    return nullptr;
  }
}

std::string refusal(const Library& library, const std::string& function, size_t count) {
  // Valid arrays all the same, though an empty block reads none.
  double unused = 0;
  try {
    library.eval(function, std::vector<material_host::Values>(count, {&unused, 0}), {&unused, 0});
    return {};
  } catch (const material_host::EvalError& e) {
    return e.message().empty() ? "refused without a message" : e.message();
  }
}

Outcome evaluate(const Library& library, const std::string& function,
                 const std::vector<std::vector<double>>& columns, std::vector<double>& outputs,
                 const Progress& progress) {
  const size_t total = columns.empty() ? 0 : columns[0].size();
  outputs.assign(total, 0.0);
  std::vector<material_host::Values> inputs(columns.size(), {nullptr, 0});
  Outcome outcome;
  for (size_t start = 0; start < total; start += piece) {
    const size_t size = std::min(piece, total - start);
    for (size_t k = 0; k < columns.size(); ++k) inputs[k] = {columns[k].data() + start, size};
    try {
      library.eval(function, inputs, {outputs.data() + start, size});
    } catch (const material_host::EvalError& e) {
      outcome.failed = true;
      outcome.message = e.message();
      outcome.failing_index = start + e.index();
      return outcome;
    }
    if (progress) progress(start + size, total);
  }
  return outcome;
}

}  // namespace host_program
