// Aluminium resistivity: reference values, rounding, the range bounds, the
// ends of the fit and zero temperature, which must not inherit anything from
// an earlier point.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// log10 of the resistivity in 1e-8 ohm m against L = log10 T, in the
// library's order of summation, L^2 by two multiplications.
double resistivity_as_written(double T) {
  const double a[7] = {-4.010635050869012, 0.207979301275814, 1.121748209742612,
                       -5.738194411483883, 7.489576522510857, -3.299730411832043,
                       0.476050395713888};
  const double L = std::log10(T);
  double S = a[6] * std::pow(L, 6.0);
  S = a[5] * std::pow(L, 5.0) + S;
  S = a[4] * std::pow(L, 4.0) + S;
  S = S + a[3] * std::pow(L, 3.0);
  S = S + (a[2] * L) * L;
  S = S + a[1] * L;
  return std::pow(10.0, a[0] + S) * 1e-08;
}

struct Wembrel : LibraryTest<Wembrel> {
  static const catalogue::HostFunction& function() { return catalogue::Wembrel; }
};

TEST_F(Wembrel, ReferenceValues) {
  expect_reference_rows(library, {
                                     {{1}, 9.758092916e-13, ten_digits},
                                     {{4.2}, 1.030854791e-12, ten_digits},
                                     {{20}, 9.755098604e-12, ten_digits},
                                     {{77}, 2.109725511e-09, ten_digits},
                                     {{293.15}, 2.414624415e-08, ten_digits},
                                     {{300}, 2.452835175e-08, ten_digits},
                                     {{1000}, 4.362489093e-05, ten_digits},
                                     {{1400}, 0.2431962375, ten_digits},
                                     {{0.1}, 806650.8562, ten_digits},
                                     // L = 0: only the constant term is left.
                                     {{1}, std::pow(10.0, -4.010635050869012) * 1e-08, 0},
                                 });
}

// One block over the whole finite range: each value as written, and as it
// is when evaluated alone.
TEST_F(Wembrel, EveryRoundingAsTheFitIsWritten) {
  std::vector<double> temperatures;
  for (double T = 0.01; T <= 1400; T *= 1.02) temperatures.push_back(T);
  const BlockResult block = eval_block(library, {temperatures});
  ASSERT_EQ(block.status, 1) << block.message;
  for (size_t i = 0; i < temperatures.size(); ++i) {
    EXPECT_EQ(block.outputs[i], resistivity_as_written(temperatures[i])) << temperatures[i];
  }
}

TEST_F(Wembrel, RangeBoundsAndTheEndsOfTheFit) {
  expect_reference_rows(library, {{{1400}, resistivity_as_written(1400), 0}});
  expect_point_failure(library, {std::nextafter(1400.0, inf)}, above(catalogue::Wembrel));
  expect_point_failure(library, {inf}, above(catalogue::Wembrel));
  expect_point_failure(library, {-std::numeric_limits<double>::denorm_min()},
                       below(catalogue::Wembrel));
  expect_point_failure(library, {-inf}, below(catalogue::Wembrel));
  // The fit overflows for small positive T.
  expect_output_failure(library, {0.001}, inf);
}

// T = +-0 passes both range tests; the fit gives log10 0 = -inf and a NaN
// exponent. Such a point, or a NaN one, fails on its own NaN, first in a
// block or after a valid point, never on a value left by the point before.
TEST_F(Wembrel, ZeroTemperatureFailsOnItsOwnValue) {
  constexpr double untouched = -1.0;
  for (double T : {0.0, -0.0, nan}) {
    SCOPED_TRACE(T);
    const BlockResult first = eval_block(library, {{T, 77}}, untouched);
    const BlockResult after = eval_block(library, {{77, T, 300}}, untouched);
    for (const BlockResult& r : {first, after}) {
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.message, output_is_nan);
    }
    EXPECT_TRUE(std::isnan(first.outputs[0]));
    EXPECT_EQ(first.outputs[1], untouched);
    EXPECT_EQ(after.outputs[0], resistivity_as_written(77));
    EXPECT_TRUE(std::isnan(after.outputs[1]));
    EXPECT_EQ(after.outputs[2], untouched);
  }
}

}  // namespace
