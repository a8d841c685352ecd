// Fuzzes eval of every library through the file a host loads. The input
// picks a library, a function name, an argument count, a block size and the
// doubles of the block; the call is checked against the frame's rules as
// written here, with each library's name, count, messages and limits as the
// catalogue gives them, independently of the libraries' code:
//   - a wrong name, then a wrong count, fails before any array is touched;
//   - a block of 0 or fewer points succeeds and changes nothing;
//   - each point's own tests (its arguments' limits) fail it with their message,
//     storing nothing;
//   - every other point stores exactly what that point gives alone, and in
//     a library with output tests a stored NaN or infinity ends the block
//     with "Output is nan" or "Output is inf";
//   - nothing after the failing point is written, and a success leaves the
//     last message as it was.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzzed_input.hpp"
#include "support/loaded_library.hpp"

namespace {

using catalogue::HostFunction;
using fuzzing::to_bits;
using fuzzing::untouched_bits;
using testing_support::LoadedLibrary;

// The message of the first point test that a point fails, or null: the
// arguments in order, each against its lower limit, then its upper one.
// Every comparison with a NaN is false, so a NaN passes the limits, unless
// the argument refuses it.
const char* point_test_message(const HostFunction& function, const double* args) {
  for (size_t k = 0; k < function.arguments.size(); ++k) {
    const catalogue::Argument& argument = function.arguments[k];
    const catalogue::Limit &low = argument.lowest, &high = argument.highest;
    const double x = args[k];
    if (argument.nan_refused && x != x) return low.message;
    if (low.message && (low.inclusive ? x < low.value : x <= low.value)) return low.message;
    if (high.message && (high.inclusive ? x > high.value : x >= high.value)) return high.message;
  }
  return nullptr;
}

struct Target {
  const HostFunction* function;
  std::unique_ptr<LoadedLibrary> library;
};

std::vector<Target>& targets() {
  static std::vector<Target> loaded;
  return loaded;
}

[[noreturn]] void violated(const HostFunction& function, const char* what, long point) {
  std::fprintf(stderr, "%s: %s (point %ld)\n", function.name, what, point);
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

// What a block left: eval's status and message, and its outputs.
struct BlockOutcome {
  int32_t status;
  std::string message;
  const std::vector<double>& outputs;
};

// Point i of a block against the same point evaluated alone: the same value
// where it is stored, nothing where it is refused, and the block stopped at
// its first failing point with that point's message. True where it did.
bool check_point(const Target& target, const std::string& name,
                 const std::vector<std::vector<double>>& columns, size_t i,
                 const BlockOutcome& block) {
  const HostFunction& function = *target.function;
  const LoadedLibrary& library = *target.library;
  const long at = long(i);
  std::vector<double> args;
  for (const auto& column : columns) args.push_back(column[i]);
  std::vector<const double*> alone_inputs;
  for (const double& a : args) alone_inputs.push_back(&a);
  double alone = fuzzing::from_bits(untouched_bits);
  const int32_t count = function.argument_count();
  const int32_t alone_status = library.eval(name.c_str(), count, alone_inputs.data(), 1, &alone);
  const std::string alone_message = message_of(library);

  const char* const point_failure = point_test_message(function, args.data());
  const bool stored = point_failure == nullptr;
  const char* expected_failure = point_failure;
  if (stored && function.output_tests) {
    if (alone != alone) {
      expected_failure = testing_support::output_is_nan;
    } else if (alone == HUGE_VAL || alone == -HUGE_VAL) {
      expected_failure = testing_support::output_is_inf;
    }
  }
  const std::vector<double>& outputs = block.outputs;
  if (stored ? to_bits(outputs[i]) != to_bits(alone) : to_bits(outputs[i]) != untouched_bits) {
    violated(function,
             stored ? "value differs from the point alone" : "a refused point was written", at);
  }
  if (expected_failure == nullptr) {
    if (alone_status != 1) violated(function, "a good point failed alone", at);
    return false;
  }
  if (alone_status != 0 || alone_message != expected_failure) {
    violated(function, "a bad point alone: wrong status or message", at);
  }
  if (block.status != 0 || block.message != expected_failure) {
    violated(function, "the block: wrong status or message at its failing point", at);
  }
  for (size_t k = i + 1; k < outputs.size(); ++k) {
    if (to_bits(outputs[k]) != untouched_bits)
      violated(function, "written after the failure", long(k));
  }
  return true;
}

void check_call(const Target& target, fuzzing::FuzzedInput& in) {
  const HostFunction& function = *target.function;
  const LoadedLibrary& library = *target.library;
  const std::string name = function_name(in, function.name);
  const uint8_t count_choice = in.byte();
  const int32_t count =
      count_choice % 8 == 0 ? static_cast<int8_t>(in.byte()) : function.argument_count();
  const int32_t block_size = static_cast<int32_t>(in.byte() % 40) - 3;

  const std::string before = message_of(library);
  if (name != function.name || count != function.argument_count()) {
    // Null arrays: reading or writing any of them would crash.
    if (library.eval(name.c_str(), count, nullptr, block_size, nullptr) != 0) {
      violated(function, "a wrong name or count succeeded", -1);
    }
    const char* expected = name != function.name ? function.name_message : function.count_message;
    if (message_of(library) != expected) violated(function, "wrong name or count message", -1);
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
  const BlockOutcome block{status, message_of(library), outputs};
  for (size_t i = 0; i < points; ++i) {
    if (check_point(target, name, columns, i, block)) return;
  }
  if (status != 1) violated(function, "a block of good points failed", -1);
  if (block.message != before) violated(function, "a success changed the last message", -1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const HostFunction& function : catalogue::host_functions()) {
    auto library = std::make_unique<LoadedLibrary>(function.name);
    if (!library->loaded()) {
      std::fprintf(stderr, "%s\n", library->load_error().c_str());
      std::abort();
    }
    targets().push_back({&function, std::move(library)});
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzing::FuzzedInput in(data, size);
  const Target& target = targets()[in.byte() % targets().size()];
  check_call(target, in);
  return 0;
}
