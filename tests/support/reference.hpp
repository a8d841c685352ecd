// Reference rows with one tolerance each, checked in a loop.
#ifndef TESTS_REFERENCE_HPP
#define TESTS_REFERENCE_HPP

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "loaded_library.hpp"

namespace testing_support {

// The fixture of one library's own tests, `Suite` its class:
//   struct Wembrel : LibraryTest<Wembrel> {
//     static const catalogue::HostFunction& function() { return catalogue::Wembrel; }
//   };
// loads the library by its file name before every test.
template <class Suite>
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()) << library.name(); }
  LoadedLibrary library{Suite::function().name};
};

struct ReferenceRow {
  std::vector<double> args;
  double expected;
  double relative_tolerance;  // 0: bit for bit
};

// Relative error of `value` against `expected` (absolute where expected = 0).
inline double relative_error(double value, double expected) {
  const double scale = expected == 0 ? 1.0 : std::fabs(expected);
  return std::fabs(value - expected) / scale;
}

inline void expect_reference_rows(const LoadedLibrary& library,
                                  const std::vector<ReferenceRow>& rows) {
  for (const ReferenceRow& row : rows) {
    const BlockResult r = eval_point(library, row.args);
    ::testing::Message where;
    for (double a : row.args) where << a << ' ';
    SCOPED_TRACE(where);
    ASSERT_EQ(r.status, 1) << r.message;
    if (row.relative_tolerance == 0) {
      EXPECT_EQ(r.outputs[0], row.expected);
    } else {
      EXPECT_LE(relative_error(r.outputs[0], row.expected), row.relative_tolerance)
          << "got " << r.outputs[0] << ", expected " << row.expected;
    }
  }
}

// Asserts that the one-point block fails with `message`.
inline void expect_point_failure(const LoadedLibrary& library, const std::vector<double>& args,
                                 const char* message) {
  const BlockResult r = eval_point(library, args);
  ::testing::Message where;
  for (double a : args) where << a << ' ';
  SCOPED_TRACE(where);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, message);
}

// Asserts that the one-point block fails its output test and keeps the
// failing value: `stored` is NaN or an infinity of the expected sign.
inline void expect_output_failure(const LoadedLibrary& library, const std::vector<double>& args,
                                  double stored) {
  const bool nan = std::isnan(stored);
  expect_point_failure(library, args, nan ? output_is_nan : output_is_inf);
  const double got = eval_point(library, args).outputs[0];
  EXPECT_TRUE(nan ? std::isnan(got) : got == stored)
      << "at " << args[0] << ": stored " << got << ", expected " << stored;
}

// Ten significant digits: the precision of published reference values.
constexpr double ten_digits = 5e-10;

}  // namespace testing_support

#endif
