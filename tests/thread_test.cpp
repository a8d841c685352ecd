// Several threads drive one library at once with blocks that succeed, blocks
// that fail at their last point and calls with a wrong name. The only datum
// they share is the error slot: every successful block must come out exact,
// and the slot must always hold one of the library's own messages. Run under
// ThreadSanitizer, this also proves the calls free of races.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/loaded_library.hpp"

namespace {

using catalogue::HostFunction;
using testing_support::LoadedLibrary;

struct ThreadRow {
  const HostFunction* function;
  std::vector<double> good_point;
  std::vector<double> failing_point;  // empty: the library has no point failure
  const char* failing_message;
};

void PrintTo(const ThreadRow& row, std::ostream* os) { *os << row.function->name; }

const std::vector<ThreadRow>& all_rows() {
  using namespace catalogue;
  using testing_support::above;
  using testing_support::below;
  using testing_support::output_is_inf;
  constexpr double inf = std::numeric_limits<double>::infinity();
  static const std::vector<ThreadRow> rows = {
      {&Orvandel, {5, 0, 1, 2, 1, 1}, {}, nullptr},
      {&Tamsery, {1000, 0, 0, 0}, {inf, 0, 0, 0}, output_is_inf},
      {&Quenrow, {0, 0.25, 0, 0, 1, 1, 2, 1}, {5, 0.25, 0, 0, 1, 1, 2, 1}, above(Quenrow)},
      {&Daskelt, {77, 100, 1, 1}, {77, 100, 1, 0}, output_is_inf},
      {&Mirrobane, {77}, {-1}, below(Mirrobane)},
      {&Pellucer, {77, 1}, {301, 1}, above(Pellucer)},
      {&Wembrel, {77}, {2000}, above(Wembrel)},
  };
  return rows;
}

constexpr int thread_count = 4;
constexpr int rounds = 300;
constexpr size_t block_points = 37;  // odd, so no block is a power of two

// One block: `points` copies of the good point, the last one replaced by
// `last` when given; one column per argument, each exactly block-sized.
struct Block {
  Block(const std::vector<double>& good, const std::vector<double>& last, size_t points) {
    for (size_t k = 0; k < good.size(); ++k) {
      columns.emplace_back(points, good[k]);
      if (!last.empty()) columns.back().back() = last[k];
    }
    for (const auto& c : columns) inputs.push_back(c.data());
  }
  std::vector<std::vector<double>> columns;
  std::vector<const double*> inputs;
};

class Threads : public ::testing::TestWithParam<ThreadRow> {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()) << library.name(); }
  const ThreadRow& row = GetParam();
  const char* const name = row.function->name;
  LoadedLibrary library{name};
};

TEST_P(Threads, ConcurrentCallsStayExactAndReportOwnMessages) {
  const auto count = static_cast<int32_t>(row.good_point.size());
  const auto size = static_cast<int32_t>(block_points);
  Block good(row.good_point, {}, block_points);  // read only, by every thread
  Block failing(row.good_point, row.failing_point, block_points);

  std::vector<double> expected(block_points);
  ASSERT_EQ(library.eval(name, count, good.inputs.data(), size, expected.data()), 1);

  std::set<std::string> own_messages = {row.function->name_message};
  if (row.failing_message != nullptr) own_messages.insert(row.failing_message);

  std::atomic<int> wrong_values{0}, wrong_status{0}, foreign_messages{0};
  auto work = [&](int seed) {
    for (int round = 0; round < rounds; ++round) {
      std::vector<double> out(block_points);
      switch ((round + seed) % 3) {
        case 0:
          if (library.eval(name, count, good.inputs.data(), size, out.data()) != 1) {
            ++wrong_status;
          }
          if (std::memcmp(out.data(), expected.data(), block_points * sizeof(double)) != 0) {
            ++wrong_values;
          }
          continue;  // a success leaves the slot as some earlier failure set it
        case 1:
          if (row.failing_message == nullptr) continue;
          if (library.eval(name, count, failing.inputs.data(), size, out.data()) != 0) {
            ++wrong_status;
          }
          // Every point before the failing one is written and exact.
          if (std::memcmp(out.data(), expected.data(), (block_points - 1) * sizeof(double)) != 0) {
            ++wrong_values;
          }
          break;
        default:
          if (library.eval("nobody", count, nullptr, size, nullptr) != 0) ++wrong_status;
          break;
      }
      const char* message = library.last_error();
      if (message == nullptr || own_messages.count(message) == 0) ++foreign_messages;
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < thread_count; ++t) threads.emplace_back(work, t);
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(wrong_status.load(), 0);
  EXPECT_EQ(wrong_values.load(), 0);
  EXPECT_EQ(foreign_messages.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(, Threads, ::testing::ValuesIn(testing_support::every_library(all_rows())),
                         [](const auto& p) { return std::string(p.param.function->name); });

}  // namespace
