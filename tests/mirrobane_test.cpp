// Copper heat capacity: reference values, the ownership of every breakpoint
// and the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The fit, written out independently: rows by breakpoint, J/(m^3 K).
struct Quartic {
  double upper_K, a4, a3, a2, a1, a0;
  double at(double T) const {
    return a0 +
           (((a4 * std::pow(T, 4.0) + a3 * std::pow(T, 3.0)) + a2 * std::pow(T, 2.0)) + a1 * T);
  }
};
const Quartic rows[] = {
    {9.441, -0.0308, 7.229, -2.1286, 101.89, 2.5631},
    {31.134, -0.3045, 29.871, -455.61, 3469.5, -8250.3},
    {123.34, 0.0419, -14.024, 1508.9, -31595, 178430},
    {306.12, -0.000848, 0.8419, -325.52, 60590, -1290000},
    {498.15, -4.8e-05, 0.09173, -64.12, 20363, 1030000},
};
double tail(double T) { return 1011.9 * T + 3141752.164661; }

class Mirrobane : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()); }
  LoadedLibrary library{"Mirrobane"};
};

TEST_F(Mirrobane, ReferenceValues) {
  expect_reference_rows(library, {
                                     // Published values of the fit, ten significant digits.
                                     {{0}, 2.5631, ten_digits},
                                     {{4.2}, 918.9507243, ten_digits},
                                     {{20}, 69143.7, ten_digits},
                                     {{77}, 1762376.726, ten_digits},
                                     {{300}, 3452700, ten_digits},
                                     {{400}, 3557920, ten_digits},
                                     {{1000}, 4153652.165, ten_digits},
                                     // Each breakpoint belongs to the row below it.
                                     {{9.441}, 6613.287252, ten_digits},
                                     {{123.34}, 2619049.965, ten_digits},
                                     {{306.12}, 3457857.675, ten_digits},
                                     {{498.15}, 3645830.15, ten_digits},
                                     // Signed zero is not negative.
                                     {{-0.0}, 2.5631, 0},
                                 });
}

TEST_F(Mirrobane, EveryBreakpointAndItsNeighboursTakeTheIntendedRow) {
  for (size_t k = 0; k < std::size(rows); ++k) {
    const double at = rows[k].upper_K;
    const double below = std::nextafter(at, 0.0);
    const double above = std::nextafter(at, inf);
    const double expected_above = k + 1 < std::size(rows) ? rows[k + 1].at(above) : tail(above);
    expect_reference_rows(library, {
                                       {{below}, rows[k].at(below), 0},
                                       {{at}, rows[k].at(at), 0},
                                       {{above}, expected_above, 0},
                                   });
  }
  // The rows really differ at a breakpoint, so the side is observable.
  EXPECT_NE(rows[0].at(9.441), rows[1].at(9.441));
}

TEST_F(Mirrobane, Failures) {
  expect_point_failure(library, {-std::numeric_limits<double>::denorm_min()}, "T is negative!");
  expect_point_failure(library, {-inf}, "T is negative!");
  expect_output_failure(library, {nan}, nan);
  expect_output_failure(library, {1.8e305}, inf);  // the tail overflows
  expect_output_failure(library, {inf}, inf);
  // The tail stays finite just below its overflow.
  expect_reference_rows(library, {{{1.7e305}, tail(1.7e305), 0}});
}

TEST_F(Mirrobane, BlockStopsAtANegativeTemperature) {
  const BlockResult r = eval_block(library, {{10, -5, 20}}, -1.0);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, "T is negative!");
  EXPECT_EQ(r.outputs[0], rows[1].at(10));
  EXPECT_EQ(r.outputs[1], -1.0);
  EXPECT_EQ(r.outputs[2], -1.0);
}

}  // namespace
