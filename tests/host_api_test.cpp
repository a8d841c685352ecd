// The throwing layer of the host API over the built libraries, loaded by file
// name: values as the entry points give them, the failing point found
// wherever it lies in a block, its exception's parts, the outputs before it
// kept and none written after it, and the ways a library fails to load.
#include <gtest/gtest.h>

#include <array>
#include <cstring>  // std::memcmp
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "material_host_api.hpp"
#include "support/loaded_library.hpp"

namespace {

using material_host::EvalError;
using material_host::Library;
using material_host::LoadError;
using material_host::Output;
using material_host::Values;
using testing_support::eval_block;
using testing_support::library_file;

// Columns from any contiguous container, temporaries among them; outputs only
// into one that outlives the call.
static_assert(std::is_convertible_v<std::vector<double>&&, Values> &&
              std::is_convertible_v<const std::array<double, 3>&, Values>);
static_assert(std::is_convertible_v<std::vector<double>&, Output> &&
              !std::is_convertible_v<std::vector<double>&&, Output> &&
              !std::is_convertible_v<const std::vector<double>&, Output> &&
              !std::is_convertible_v<std::vector<float>&, Values>);

// What a point the library must not write still holds.
constexpr double untouched = -12345.678;

// Bit for bit, NaN included.
void expect_same_bits(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(std::memcmp(&got[i], &want[i], sizeof(double)), 0) << "point " << i;
}

// A block of one library whose point `index` fails with `message`: the
// exception names all four, the points before it hold what the entry point
// gives them, the failing one what the contract leaves there, the rest stay
// untouched. Blocks of one point up to a thousand, failing at either end or
// inside, by a point test or an output test, or refused whole.
struct FailingBlock {
  const char* library;
  const char* function;
  size_t index;
  const char* message;
  std::vector<std::vector<double>> columns;
};

std::vector<double> temperatures(size_t points, std::vector<size_t> negative) {
  std::vector<double> T(points);
  for (size_t i = 0; i < points; ++i) T[i] = 1 + double(i);
  for (size_t i : negative) T[i] = -1;
  return T;
}

TEST(HostApi, AFailureCarriesItsPointAndKeepsTheOutputsBeforeIt) {
  using Columns = std::vector<std::vector<double>>;
  const auto five = [](double value) { return std::vector<double>(5, value); };
  const char* above_1400 = testing_support::above(catalogue::Wembrel);
  const std::vector<FailingBlock> blocks = {
      {"Wembrel", "Wembrel", 2, "T is negative!", {temperatures(5, {2})}},
      {"Wembrel", "Wembrel", 0, "T is negative!", {temperatures(1, {0})}},
      {"Wembrel", "Wembrel", 1, "T is negative!", {temperatures(2, {1})}},
      {"Wembrel", "Wembrel", 0, "T is negative!", {temperatures(1000, {0})}},
      {"Wembrel", "Wembrel", 777, "T is negative!", {temperatures(1000, {777, 778, 901})}},
      {"Wembrel", "Wembrel", 999, "T is negative!", {temperatures(1000, {999})}},
      {"Wembrel", "Wembrel", 2, above_1400, {{1, 2, 1401, -1}}},
      // T = 77 K, RRR = 100, scaled by 1/0 at point 3: the infinity stays there.
      {"Daskelt", "Daskelt", 3, "Output is inf", {five(77), five(100), five(1), {1, 1, 1, 0, 1}}},
      // Refused before any point: nothing is written.
      {"Wembrel", "wembrel", 0, "Unknown function", {temperatures(4, {})}},
      {"Mirrobane", "Mirrobane", 0, "One argument expected", Columns(2, temperatures(4, {}))},
      // More columns than any library takes.
      {"Quenrow", "Quenrow", 0, "Eight arguments expected", Columns(9, {0, 1})},
  };
  for (const FailingBlock& block : blocks) {
    SCOPED_TRACE(std::string(block.function) + " failing at " + std::to_string(block.index));
    const std::string file = library_file(block.library);
    const Library library(file);
    std::vector<Values> inputs(block.columns.begin(), block.columns.end());
    std::vector<double> outputs(block.columns[0].size(), untouched);
    try {
      library.eval(block.function, inputs, outputs);
      ADD_FAILURE() << "no exception";
      continue;
    } catch (const EvalError& e) {
      EXPECT_EQ(e.message(), block.message);
      EXPECT_EQ(e.library(), file);
      EXPECT_EQ(e.function(), block.function);
      EXPECT_EQ(e.index(), block.index);
      EXPECT_EQ(std::string(e.what()), file + ": " + block.function + " failed at point " +
                                           std::to_string(block.index) + ": " + block.message);
    }
    // What the entry point itself leaves in an array of the block's size.
    const testing_support::LoadedLibrary raw(block.function, file);
    expect_same_bits(outputs, eval_block(raw, block.columns, untouched).outputs);
    for (size_t i = block.index + 1; i < outputs.size(); ++i) ASSERT_EQ(outputs[i], untouched);
  }
}

// Blocks from any contiguous container, and single points, give the entry
// point's own values.
TEST(HostApi, BlocksAndPointsGiveTheEntryPointsValues) {
  const Library tamsery(library_file("Tamsery"));
  const std::array<double, 4> H = {0, 150, 2.5e4, 1e7};
  const std::vector<double> unused(H.size(), 0);
  std::vector<double> B(H.size(), untouched);
  tamsery.eval("Tamsery", {H, unused, unused, unused}, B);
  const testing_support::LoadedLibrary raw("Tamsery", library_file("Tamsery"));
  expect_same_bits(B, eval_block(raw, {{H.begin(), H.end()}, unused, unused, unused}).outputs);
  for (size_t i = 0; i < H.size(); ++i)
    EXPECT_EQ(tamsery.eval("Tamsery", {H[i], 0, 0, 0}), B[i]) << "H = " << H[i];

  const Library wembrel(library_file("Wembrel"));
  EXPECT_EQ(wembrel.eval("Wembrel", {77.0}),
            eval_block(testing_support::LoadedLibrary("Wembrel"), {{77.0}}).outputs[0]);
  try {
    wembrel.eval("Wembrel", {-1.0});
    ADD_FAILURE() << "no exception";
  } catch (const EvalError& e) {
    EXPECT_EQ(e.index(), 0u);
    EXPECT_EQ(e.message(), "T is negative!");
  }
}

// A column shorter or longer than the outputs stops before the library is
// called: its error slot keeps the last failure's message, though the
// columns hold a negative temperature.
TEST(HostApi, ColumnsOfTheWrongLengthNeverReachTheLibrary) {
  const Library wembrel(library_file("Wembrel"));
  std::vector<double> outputs(2, untouched);
  EXPECT_THROW(wembrel.eval("wembrel", {std::vector<double>{}}, {outputs.data(), 0}), EvalError);
  for (size_t points : {1, 3}) {
    const std::vector<double> T(points, -1);
    EXPECT_THROW(wembrel.eval("Wembrel", {T}, outputs), std::invalid_argument);
  }
  EXPECT_EQ(std::string(wembrel.loaded().last_error()), "Unknown function");
  EXPECT_EQ(outputs, std::vector<double>(2, untouched));
}

// A file that does not load, or loads without the entry points, never gives
// a Library; one that does survives a move.
TEST(HostApi, LoadFailuresAndMoves) {
  const std::string missing = library_file("Wembrel") + ".missing";
  try {
    const Library library(missing);
    ADD_FAILURE() << "loaded " << missing;
  } catch (const LoadError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("cannot load " + missing, 0), 0u) << e.what();
  }
#if defined(_WIN32)
  const std::string system_library = "kernel32.dll";
#else
  const std::string system_library = "libm.so.6";
#endif
  try {
    const Library library(system_library);
    ADD_FAILURE() << "loaded " << system_library;
  } catch (const LoadError& e) {
    EXPECT_EQ(std::string(e.what()), system_library + " does not export init");
  }

  Library first(library_file("Wembrel"));
  Library second = std::move(first);
  EXPECT_FALSE(first.loaded().loaded());  // NOLINT(bugprone-use-after-move): what a move leaves
  EXPECT_GT(second.eval("Wembrel", {77.0}), 0);
  EXPECT_STREQ(second.loaded().return_test_yaml(), "Wembrel");
  EXPECT_EQ(Library(library_file("Pellucer")).loaded().return_test_yaml(), nullptr);
}

}  // namespace
