// Fuzzes eval of every built library through the file a host loads. The
// input picks a library, a function name, an argument count, a block size
// and the doubles of the block; the call is checked against the frame's
// rules as written here, independently of the libraries' code:
//   - a wrong name, then a wrong count, fails before any array is touched;
//   - a block of 0 or fewer points succeeds and changes nothing;
//   - each point's own tests (the rules below) fail it with their message,
//     storing nothing;
//   - every other point stores exactly what that point gives alone, and in
//     a library with output tests a stored NaN or infinity ends the block
//     with "Output is nan" or "Output is inf";
//   - nothing after the failing point is written, and a success leaves the
//     last message as it was.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fuzzed_input.hpp"
#include "support/loaded_library.hpp"

namespace {

using fuzzing::to_bits;
using fuzzing::untouched_bits;
using testing_support::LoadedLibrary;

// The message of the point test a point fails, or null.
using PointRule = const char* (*)(const double* args);

const char* no_point_test(const double*) { return nullptr; }

const char* const negative = "T is negative!";

const char* mirrobane_rule(const double* a) { return a[0] < 0 ? negative : nullptr; }

const char* pellucer_rule(const double* a) {
  if (a[0] < 4) return negative;
  if (a[0] > 300) return "Temperature is above 1400 K - out of range!";
  return nullptr;
}

const char* wembrel_rule(const double* a) {
  if (a[0] < 0) return negative;
  if (a[0] > 1400) return "Temperature is above 1400 K - outside of the range!";
  return nullptr;
}

// Truncation toward zero lands in {0, 1, 2} exactly for -1 < k < 3.
const char* quenrow_rule(const double* a) {
  return a[0] > -1 && a[0] < 3 ? nullptr : "Component index must be 0, 1, or 2";
}

struct FrameRow {
  const char* library;
  int32_t argument_count;
  const char* name_message;
  const char* count_message;
  bool output_tests;
  PointRule point_rule;
};

const FrameRow all_rows[] = {
    {"Orvandel", 6, "Function not found", "Six arguments expected", false, no_point_test},
    {"Tamsery", 4, "Unknown function", "Four arguments expected", true, no_point_test},
    {"Quenrow", 8, "Unknown function", "Eight arguments expected", false, quenrow_rule},
    {"Daskelt", 4, "Unknown function", "Four arguments expected", true, no_point_test},
    {"Mirrobane", 1, "Unknown function", "One argument expected", true, mirrobane_rule},
    {"Pellucer", 2, "Unknown function", "Two argument expected", true, pellucer_rule},
    {"Wembrel", 1, "Unknown function", "One argument expected", true, wembrel_rule},
};

struct Target {
  const FrameRow* row;
  std::unique_ptr<LoadedLibrary> library;
};

std::vector<Target>& targets() {
  static std::vector<Target> loaded;
  return loaded;
}

[[noreturn]] void violated(const FrameRow& row, const char* what, long point) {
  std::fprintf(stderr, "%s: %s (point %ld)\n", row.library, what, point);
  std::abort();
}

std::string message_of(const LoadedLibrary& library) {
  const char* m = library.last_error();
  return m != nullptr ? m : "(null)";
}

// The name the input asks for: mostly the right one, else a near miss.
std::string function_name(fuzzing::FuzzedInput& in, const char* host_name) {
  std::string name = host_name;
  switch (in.byte() % 8) {
    case 0:
      name[0] = static_cast<char>(name[0] ^ 0x20);
      break;  // case differs
    case 1:
      name += ' ';
      break;
    case 2:
      name.pop_back();
      break;
    case 3:
      name.clear();
      break;
    default:
      break;
  }
  return name;
}

void check_call(const Target& target, fuzzing::FuzzedInput& in) {
  const FrameRow& row = *target.row;
  const LoadedLibrary& library = *target.library;
  const std::string name = function_name(in, row.library);
  const uint8_t count_choice = in.byte();
  const int32_t count = count_choice % 8 == 0 ? static_cast<int8_t>(in.byte()) : row.argument_count;
  const int32_t block_size = static_cast<int32_t>(in.byte() % 40) - 3;

  const std::string before = message_of(library);
  if (name != row.library || count != row.argument_count) {
    // Null arrays: reading or writing any of them would crash.
    if (library.eval(name.c_str(), count, nullptr, block_size, nullptr) != 0) {
      violated(row, "a wrong name or count succeeded", -1);
    }
    const char* expected = name != row.library ? row.name_message : row.count_message;
    if (message_of(library) != expected) violated(row, "wrong name or count message", -1);
    return;
  }

  // Every array exactly block-sized, so a step past the block is caught.
  const size_t points = block_size > 0 ? static_cast<size_t>(block_size) : 0;
  std::vector<std::vector<double>> columns(static_cast<size_t>(count), std::vector<double>(points));
  for (size_t i = 0; i < points; ++i) {
    for (auto& column : columns) column[i] = in.next_double();
  }
  std::vector<const double*> inputs;
  for (const auto& column : columns) inputs.push_back(column.data());
  std::vector<double> outputs(points, fuzzing::from_bits(untouched_bits));

  const int32_t status =
      library.eval(name.c_str(), count, inputs.data(), block_size, outputs.data());
  const std::string after = message_of(library);

  for (size_t i = 0; i < points; ++i) {
    const long at = long(i);
    std::vector<double> args;
    for (const auto& column : columns) args.push_back(column[i]);
    std::vector<const double*> alone_inputs;
    for (const double& a : args) alone_inputs.push_back(&a);
    double alone = fuzzing::from_bits(untouched_bits);
    const int32_t alone_status = library.eval(name.c_str(), count, alone_inputs.data(), 1, &alone);
    const std::string alone_message = message_of(library);

    const char* const point_failure = row.point_rule(args.data());
    const bool stored = point_failure == nullptr;
    const char* expected_failure = point_failure;
    if (stored && row.output_tests) {
      if (alone != alone) {
        expected_failure = "Output is nan";
      } else if (alone == HUGE_VAL || alone == -HUGE_VAL) {
        expected_failure = "Output is inf";
      }
    }
    if (stored ? to_bits(outputs[i]) != to_bits(alone) : to_bits(outputs[i]) != untouched_bits) {
      violated(row, stored ? "value differs from the point alone" : "a refused point was written",
               at);
    }
    if (expected_failure == nullptr) {
      if (alone_status != 1) violated(row, "a good point failed alone", at);
      continue;
    }
    if (alone_status != 0 || alone_message != expected_failure) {
      violated(row, "a bad point alone: wrong status or message", at);
    }
    if (status != 0 || after != expected_failure) {
      violated(row, "the block: wrong status or message at its failing point", at);
    }
    for (size_t k = i + 1; k < points; ++k) {
      if (to_bits(outputs[k]) != untouched_bits)
        violated(row, "written after the failure", long(k));
    }
    return;
  }
  if (status != 1) violated(row, "a block of good points failed", -1);
  if (after != before) violated(row, "a success changed the last message", -1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::stringstream names(MATERIAL_LIBRARIES);
  for (std::string name; std::getline(names, name, ';');) {
    for (const FrameRow& row : all_rows) {
      if (name != row.library) continue;
      auto library = std::make_unique<LoadedLibrary>(name);
      if (!library->loaded()) {
        std::fprintf(stderr, "cannot load %s\n", testing_support::library_file(name).c_str());
        std::abort();
      }
      targets().push_back({&row, std::move(library)});
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzedInput in(data, size);
  const Target& target = targets()[in.byte() % targets().size()];
  check_call(target, in);
  return 0;
}
