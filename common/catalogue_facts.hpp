// What the programs that check the libraries (the tests, the fuzzers and the
// benchmarks) know of each host function, read from catalogue.json when the
// build is generated: its name and messages, its arguments' limits and
// breakpoints, and the file this build makes for its library. They type
// none of it again; a library keeps its own compiled-in copy, which they
// hold to these facts.
#ifndef MATERIAL_CATALOGUE_FACTS_HPP
#define MATERIAL_CATALOGUE_FACTS_HPP

#include <cstdint>
#include <vector>

#include "catalogue_limit.hpp"

namespace catalogue {

struct Argument {
  const char* name;
  Limit lowest, highest;
  bool nan_refused;  // a NaN fails the lowest limit's test, which it otherwise passes
  std::vector<double> breakpoints;  // where the pieces of a law meet, each in the piece below
};

struct HostFunction {
  const char* name;  // the name eval answers to, also the library's
  const char* file;  // libName.so, Name.dll: the file a host loads
  const char* name_message;
  const char* count_message;
  bool output_tests;      // a NaN or infinite result fails
  const char* test_yaml;  // what return_test_yaml gives; null: not exported
  std::vector<Argument> arguments;

  int32_t argument_count() const { return static_cast<int32_t>(arguments.size()); }
};

}  // namespace catalogue

// host_functions(), every entry in the catalogue's order, and each entry by
// its name (catalogue::Mirrobane).
#include "catalogue_facts.inc"

#endif
