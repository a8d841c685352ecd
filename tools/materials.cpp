// A minimal host: loads a material library by file name, calls init, then
// eval over the points given, and prints one row per point.
//
//   materials LIBRARY [POINT...]
// LIBRARY is a file such as build/bin/libWembrel.so; its host function name
// is the file name without the "lib" prefix and the extension. A POINT is
// the point's arguments separated by commas ("77" or "77,100,1,1"). Without
// points, CSV rows are read from standard input, one column per argument;
// rows that do not parse as numbers (a header) are skipped.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using InitFn = int32_t (*)(const char*);
using GetLastErrorFn = const char* (*)();
using EvalFn = int32_t (*)(const char*, int32_t, const double**, const void*, int32_t, double*);

std::string host_function_name(const std::string& path) {
  std::string stem = path.substr(path.find_last_of('/') + 1);
  stem = stem.substr(0, stem.find('.'));
  return stem.rfind("lib", 0) == 0 ? stem.substr(3) : stem;
}

// The numbers of one comma-separated row; false if any field is not a number.
bool parse_row(const std::string& text, std::vector<double>& values) {
  values.clear();
  std::stringstream fields(text);
  for (std::string field; std::getline(fields, field, ',');) {
    char* end = nullptr;
    const double v = std::strtod(field.c_str(), &end);
    if (end == field.c_str()) return false;
    while (*end == ' ' || *end == '\r') ++end;
    if (*end != '\0') return false;
    values.push_back(v);
  }
  return !values.empty();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: materials LIBRARY [POINT...]   (POINT: a,b,c; CSV on stdin)\n";
    return 2;
  }
  const std::string path = argv[1];
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::cerr << "materials: cannot load " << path << ": " << dlerror() << "\n";
    return 2;
  }
  auto init = reinterpret_cast<InitFn>(dlsym(handle, "init"));
  auto get_last_error = reinterpret_cast<GetLastErrorFn>(dlsym(handle, "getLastError"));
  auto eval = reinterpret_cast<EvalFn>(dlsym(handle, "eval"));
  if (!init || !get_last_error || !eval) {
    std::cerr << "materials: " << path << " lacks init, getLastError or eval\n";
    return 2;
  }
  init(nullptr);

  std::vector<std::vector<double>> points;
  std::vector<double> values;
  if (argc > 2) {
    for (int a = 2; a < argc; ++a) {
      if (!parse_row(argv[a], values)) {
        std::cerr << "materials: not a point: " << argv[a] << "\n";
        return 2;
      }
      points.push_back(values);
    }
  } else {
    for (std::string line; std::getline(std::cin, line);) {
      if (parse_row(line, values)) points.push_back(values);
    }
  }
  if (points.empty()) return 0;
  const size_t count = points[0].size();
  for (const auto& p : points) {
    if (p.size() != count) {
      std::cerr << "materials: every point needs " << count << " arguments\n";
      return 2;
    }
  }

  std::vector<std::vector<double>> columns(count, std::vector<double>(points.size()));
  for (size_t i = 0; i < points.size(); ++i)
    for (size_t k = 0; k < count; ++k) columns[k][i] = points[i][k];
  std::vector<const double*> inputs;
  for (const auto& c : columns) inputs.push_back(c.data());
  std::vector<double> outputs(points.size());
  const std::string name = host_function_name(path);
  const int32_t status = eval(name.c_str(), static_cast<int32_t>(count), inputs.data(), nullptr,
                              static_cast<int32_t>(points.size()), outputs.data());

  // On failure, find the failing point by evaluating each point alone: a
  // point's result does not depend on the others.
  size_t failing = points.size();
  const char* message = nullptr;
  if (status == 0) {
    for (size_t i = 0; i < points.size() && failing == points.size(); ++i) {
      std::vector<const double*> one;
      for (const auto& c : columns) one.push_back(&c[i]);
      double out;
      if (eval(name.c_str(), static_cast<int32_t>(count), one.data(), nullptr, 1, &out) == 0)
        failing = i;
    }
    message = get_last_error();
  }

  for (size_t i = 0; i < points.size() && i < failing; ++i) {
    for (double v : points[i]) std::printf("%-24.10g", v);
    std::printf("%.10g\n", outputs[i]);
  }
  if (status == 0) {
    std::fprintf(stderr, "%s failed at point %zu (", name.c_str(), failing);
    for (size_t k = 0; failing < points.size() && k < count; ++k)
      std::fprintf(stderr, "%s%.17g", k ? ", " : "", points[failing][k]);
    std::fprintf(stderr, "): %s\n", message ? message : "(no message)");
    return 1;
  }
  return 0;
}
