// Copper heat capacity: reference values, the ownership of every breakpoint
// and the failures.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The fit, written out independently: one quartic per piece, J/(m^3 K),
// each up to and including its breakpoint.
struct Quartic {
  double a4, a3, a2, a1, a0;
  double at(double T) const {
    return a0 +
           (((a4 * std::pow(T, 4.0) + a3 * std::pow(T, 3.0)) + a2 * std::pow(T, 2.0)) + a1 * T);
  }
};
const Quartic quartics[] = {
    {-0.0308, 7.229, -2.1286, 101.89, 2.5631},      // from 0 K
    {-0.3045, 29.871, -455.61, 3469.5, -8250.3},    // above breakpoint 0
    {0.0419, -14.024, 1508.9, -31595, 178430},      // above breakpoint 1
    {-0.000848, 0.8419, -325.52, 60590, -1290000},  // above breakpoint 2
    {-4.8e-05, 0.09173, -64.12, 20363, 1030000},    // above breakpoint 3
};
// Above breakpoint 4, the straight line.
double tail(double T) { return 1011.9 * T + 3141752.164661; }

// Where the pieces meet, K, as the catalogue gives them.
const std::vector<double>& breakpoints = catalogue::Mirrobane.arguments[0].breakpoints;

struct Mirrobane : LibraryTest<Mirrobane> {
  static const catalogue::HostFunction& function() { return catalogue::Mirrobane; }
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
                                     // Each breakpoint belongs to the piece below it.
                                     {{breakpoints[0]}, 6613.287252, ten_digits},
                                     {{breakpoints[2]}, 2619049.965, ten_digits},
                                     {{breakpoints[3]}, 3457857.675, ten_digits},
                                     {{breakpoints[4]}, 3645830.15, ten_digits},
                                     // Signed zero is not negative.
                                     {{-0.0}, 2.5631, 0},
                                 });
}

// The library's pieces held to the catalogue's breakpoints: each one, and
// the double below it, in its own piece, the double above it in the next.
TEST_F(Mirrobane, EveryBreakpointAndItsNeighboursTakeTheIntendedPiece) {
  ASSERT_EQ(breakpoints.size(), std::size(quartics));
  for (size_t k = 0; k < breakpoints.size(); ++k) {
    const double at = breakpoints[k];
    const double below = std::nextafter(at, 0.0);
    const double above = std::nextafter(at, inf);
    const double expected_above =
        k + 1 < std::size(quartics) ? quartics[k + 1].at(above) : tail(above);
    expect_reference_rows(library, {
                                       {{below}, quartics[k].at(below), 0},
                                       {{at}, quartics[k].at(at), 0},
                                       {{above}, expected_above, 0},
                                   });
  }
  // The pieces really differ at a breakpoint, so the side is observable.
  EXPECT_NE(quartics[0].at(breakpoints[0]), quartics[1].at(breakpoints[0]));
}

TEST_F(Mirrobane, Failures) {
  expect_point_failure(library, {-std::numeric_limits<double>::denorm_min()},
                       below(catalogue::Mirrobane));
  expect_point_failure(library, {-inf}, below(catalogue::Mirrobane));
  expect_output_failure(library, {nan}, nan);
  expect_output_failure(library, {1.8e305}, inf);  // the tail overflows
  expect_output_failure(library, {inf}, inf);
  // The tail stays finite just below its overflow.
  expect_reference_rows(library, {{{1.7e305}, tail(1.7e305), 0}});
}

TEST_F(Mirrobane, BlockStopsAtANegativeTemperature) {
  const BlockResult r = eval_block(library, {{10, -5, 20}}, -1.0);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, below(catalogue::Mirrobane));
  EXPECT_EQ(r.outputs[0], quartics[1].at(10));
  EXPECT_EQ(r.outputs[1], -1.0);
  EXPECT_EQ(r.outputs[2], -1.0);
}

}  // namespace
