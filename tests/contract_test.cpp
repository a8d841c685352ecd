// The calling contract every library shares, checked on the built files:
// every test run against every library, with its name, argument count and
// messages as the catalogue gives them and the blocks of its row here.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/loaded_library.hpp"

namespace {

using catalogue::HostFunction;
using testing_support::above;
using testing_support::below;
using testing_support::BlockResult;
using testing_support::eval_block;
using testing_support::LoadedLibrary;
using testing_support::output_is_inf;
using testing_support::output_is_nan;
using Columns = std::vector<std::vector<double>>;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// A block that ends at point fail_index with message; a point test's
// failure stores nothing at that point, an output test's stores the value.
// fail_index < 0: the block succeeds even with non-finite results
// (libraries without output tests).
struct FailingBlock {
  Columns columns;
  int fail_index;
  const char* message;
};

struct ContractRow {
  const HostFunction* function;
  std::vector<double> good_point;
  std::vector<FailingBlock> failing_blocks;
};

// Names the row in test output instead of dumping its bytes.
void PrintTo(const ContractRow& row, std::ostream* os) { *os << row.function->name; }

const std::vector<ContractRow>& all_rows() {
  using namespace catalogue;
  static const std::vector<ContractRow> rows = {
      {&Orvandel,
       {5, 0, 1, 2, 1, 1},
       {// tau + dt = 0 gives 0/0; a NaN current density gives NaN: both stored.
        {{{5, 5, nan}, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {1, 0, 1}, {1, 0, 1}}, -1, ""}}},
      {&Tamsery,
       {1000, 0, 0, 0},
       {{{{0, 1000, inf, 5}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, 2, output_is_inf},
        {{{159.2, nan, 5}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, 1, output_is_nan}}},
      {&Quenrow,
       {0, 0.25, 0, 0, 1, 1, 2, 1},
       {{{{0, 5, 1},
          {0.25, 0.25, 0.25},
          {0, 0, 0},
          {0, 0, 0},
          {1, 1, 1},
          {1, 1, 1},
          {2, 2, 2},
          {1, 1, 1}},
         1,
         above(Quenrow)},
        // rho = 0 at J = 0 gives 0/0 with a valid index: stored, call succeeds.
        {{{0, 1}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {1, 1}, {2, 2}, {1, 1}}, -1, ""}}},
      {&Daskelt,
       {77, 100, 1, 1},
       {{{{4, 10, 20, 77, 300}, {100, 100, 100, 100, 100}, {1, 1, 1, 1, 1}, {1, 1, 1, 0, 1}},
         3,
         output_is_inf},
        {{{10, 0}, {100, 100}, {1, 1}, {1, 1}}, 1, output_is_nan}}},
      {&Mirrobane,
       {77},
       {{{{10, -5, 20}}, 1, below(Mirrobane)},
        {{{4.2, nan, 1}}, 1, output_is_nan},
        {{{1, 1e306, 2}}, 1, output_is_inf}}},
      {&Pellucer,
       {77, 1},
       {{{{10, 2, 20}, {1, 1, 1}}, 1, below(Pellucer)},
        {{{10, 301, 20}, {1, 1, 1}}, 1, above(Pellucer)},
        {{{10, 50, 20}, {1, nan, 1}}, 1, output_is_nan}}},
      {&Wembrel,
       {77},
       {{{{300, 77, -1, 20, 4}}, 2, below(Wembrel)},
        {{{77, 2000, 300}}, 1, above(Wembrel)},
        {{{77, 0.001, 300}}, 1, output_is_inf}}},
  };
  return rows;
}

class Contract : public ::testing::TestWithParam<ContractRow> {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()) << library.name(); }

  // The good point repeated n times, one column per argument.
  Columns good_block(size_t n) const {
    Columns columns;
    for (double v : row.good_point) columns.push_back(std::vector<double>(n, v));
    return columns;
  }
  int32_t eval_raw(const char* name, int32_t count, const double** inputs, int32_t size,
                   double* outputs) const {
    return library.eval(name, count, inputs, size, outputs);
  }
  std::string message() const {
    const char* m = library.last_error();
    return m != nullptr ? m : "(null)";
  }

  const ContractRow& row = GetParam();
  const HostFunction& function = *row.function;
  LoadedLibrary library{function.name};
};

TEST_P(Contract, FreshLoadHasNoErrorAndInitReturnsOne) {
  EXPECT_EQ(library.last_error(), nullptr);
  EXPECT_EQ(library.init(), 1);
  EXPECT_EQ(library.last_error(), nullptr);
}

TEST_P(Contract, EmptyAndNegativeBlocksWriteNothing) {
  Columns columns = good_block(1);
  std::vector<const double*> inputs;
  for (auto& c : columns) inputs.push_back(c.data());
  for (int32_t size : {0, -1, std::numeric_limits<int32_t>::min()}) {
    double output = -7.0;
    EXPECT_EQ(eval_raw(function.name, function.argument_count(), inputs.data(), size, &output), 1);
    EXPECT_EQ(output, -7.0);
    EXPECT_EQ(library.last_error(), nullptr) << "size " << size;
  }
}

TEST_P(Contract, WrongNameFailsBeforeAnyArrayIsRead) {
  std::string lower = function.name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string trailing_blank = std::string(function.name) + " ";
  for (const std::string& name : {lower, trailing_blank, std::string()}) {
    for (int32_t size : {0, 3}) {
      EXPECT_EQ(eval_raw(name.c_str(), function.argument_count(), nullptr, size, nullptr), 0);
      EXPECT_EQ(message(), function.name_message) << '"' << name << '"';
    }
  }
}

TEST_P(Contract, WrongCountFailsBeforeAnyArrayIsRead) {
  for (int32_t count : {function.argument_count() - 1, function.argument_count() + 1, 0, -1}) {
    EXPECT_EQ(eval_raw(function.name, count, nullptr, 4, nullptr), 0);
    EXPECT_EQ(message(), function.count_message) << "count " << count;
  }
  // The name is tested first.
  EXPECT_EQ(eval_raw("nobody", function.argument_count() + 1, nullptr, 4, nullptr), 0);
  EXPECT_EQ(message(), function.name_message);
}

TEST_P(Contract, SuccessLeavesTheLastMessageInPlace) {
  EXPECT_EQ(eval_raw("nobody", function.argument_count(), nullptr, 0, nullptr), 0);
  const BlockResult good = eval_block(library, good_block(3));
  EXPECT_EQ(good.status, 1);
  EXPECT_EQ(good.message, function.name_message);
  for (double v : good.outputs) EXPECT_TRUE(std::isfinite(v));
}

TEST_P(Contract, FailureStopsAtTheFailingPoint) {
  constexpr double sentinel = -12345.678;
  for (const FailingBlock& block : row.failing_blocks) {
    std::vector<double> alone;  // each point evaluated in a block of its own
    for (size_t i = 0; i < block.columns[0].size(); ++i) {
      Columns one;
      for (const auto& c : block.columns) one.push_back({c[i]});
      alone.push_back(eval_block(library, one, sentinel).outputs[0]);
    }
    const BlockResult r = eval_block(library, block.columns, sentinel);
    const size_t end = block.fail_index < 0 ? r.outputs.size() : size_t(block.fail_index);
    SCOPED_TRACE(testing::Message() << "failing at " << block.fail_index);
    // An output test fails after the store, a point test before it.
    const std::string failure = block.message;
    const bool value_stored = failure == output_is_nan || failure == output_is_inf;
    EXPECT_EQ(r.status, block.fail_index < 0 ? 1 : 0);
    if (block.fail_index >= 0) {
      EXPECT_EQ(r.message, block.message);
    }
    for (size_t i = 0; i < r.outputs.size(); ++i) {
      const bool written = i < end || (i == end && value_stored);
      if (written) {
        EXPECT_TRUE(r.outputs[i] == alone[i] || (std::isnan(r.outputs[i]) && std::isnan(alone[i])))
            << "point " << i << ": " << r.outputs[i] << " alone " << alone[i];
      } else {
        EXPECT_EQ(r.outputs[i], sentinel) << "point " << i << " must stay untouched";
      }
    }
    if (block.fail_index >= 0 && value_stored) {
      EXPECT_FALSE(std::isfinite(r.outputs[end]));
    }
  }
}

TEST_P(Contract, ReturnTestYaml) {
  const auto yaml = library.symbol<const char* (*)()>("return_test_yaml");
  if (function.test_yaml == nullptr) {
    EXPECT_EQ(yaml, nullptr) << "must not be exported";
  } else {
    ASSERT_NE(yaml, nullptr);
    EXPECT_STREQ(yaml(), function.test_yaml);
  }
}

INSTANTIATE_TEST_SUITE_P(, Contract,
                         ::testing::ValuesIn(testing_support::every_library(all_rows())),
                         [](const auto& p) { return std::string(p.param.function->name); });

}  // namespace
