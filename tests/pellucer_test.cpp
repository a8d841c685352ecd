// Aluminium heat-capacity derivative: reference values, rounding, a physics
// check against the heat capacity itself, the range bounds and the factor m.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
const char* const below = testing_support::below(catalogue::Pellucer);
const char* const above = testing_support::above(catalogue::Pellucer);

// log10 of the heat capacity in J/(kg K) against L = log10 T; a[k] of L^k.
constexpr double a[9] = {46.6467,  -314.292, 866.662,  -1298.3, 1162.27,
                         -637.795, 210.351,  -38.3094, 2.96344};

// C(T) evaluated by Horner's rule: a different rounding from the library's,
// and no derivative in sight.
double heat_capacity(double T) {
  const double L = std::log10(T);
  double P = 0;
  for (int k = 8; k >= 0; --k) P = P * L + a[k];
  return std::pow(10.0, P);
}

// The closed form with every operation in the library's order; the powers
// of L are calls to pow, the exponent only known at run time.
double slope_as_written(double T, double m) {
  const double ln10 = 2.302585092994046;
  const double L = std::log10(T);
  double D = (a[2] + a[2]) * L + a[1];
  for (int k = 3; k <= 8; ++k) D = std::pow(L, k - 1.0) * (a[k] * k) + D;
  double P = a[1] * L + a[0];
  for (int k = 2; k <= 8; ++k) P = std::pow(L, double(k)) * a[k] + P;
  return ln10 * ((std::pow(10.0, P) * m) * (D * (1 / (T * ln10))));
}

struct Pellucer : LibraryTest<Pellucer> {
  static const catalogue::HostFunction& function() { return catalogue::Pellucer; }
};

TEST_F(Pellucer, ReferenceValues) {
  expect_reference_rows(library, {
                                     {{4, 1}, 0.05796537254, ten_digits},
                                     {{10, 1}, 0.2964741545, ten_digits},
                                     {{77, 1}, 6.932423513, ten_digits},
                                     {{100, 2}, 11.21581828, ten_digits},
                                     {{300, 1}, 1.666551849, ten_digits},
                                     {{300, 2700}, 4499.689992, ten_digits},
                                     {{50, -1}, -7.251739099, ten_digits},
                                 });
}

TEST_F(Pellucer, EveryRoundingAsTheFitIsWritten) {
  for (double m : {1.0, 2700.0}) {
    for (double T = 4; T <= 300; T *= 1.01) {
      expect_reference_rows(library, {{{T, m}, slope_as_written(T, m), 0}});
    }
  }
}

// A wrong derivative coefficient or a lost factor of ln10 or T would pass
// the rounding check above if made on both sides, but not this one.
TEST_F(Pellucer, IsTheDerivativeOfTheHeatCapacity) {
  const double m = 2.5;
  for (double T = 5; T <= 295; T += 5) {
    const double h = 1e-4 * T;
    const double difference = (m * heat_capacity(T + h) - m * heat_capacity(T - h)) / (2 * h);
    expect_reference_rows(library, {{{T, m}, difference, 1e-6}});
  }
}

TEST_F(Pellucer, RangeBoundsAreStrictAndTestedInOrder) {
  expect_reference_rows(library, {
                                     {{4, 1}, slope_as_written(4, 1), 0},
                                     {{300, 1}, slope_as_written(300, 1), 0},
                                 });
  for (double T : {std::nextafter(4.0, 0.0), 3.0, 0.0, -0.0, -1.0, -inf}) {
    expect_point_failure(library, {T, 1}, below);
  }
  for (double T : {std::nextafter(300.0, inf), 1000.0, inf}) {
    expect_point_failure(library, {T, 1}, above);
  }
  // NaN passes both comparisons and is computed.
  expect_output_failure(library, {nan, 1}, nan);
}

TEST_F(Pellucer, TheFactorScalesTheResult) {
  for (double T : {4.0, 50.0, 300.0}) {
    SCOPED_TRACE(T);
    expect_reference_rows(library, {
                                       {{T, 0}, 0, 0},
                                       {{T, -3}, -slope_as_written(T, 3), 0},
                                   });
    expect_output_failure(library, {T, nan}, nan);
    expect_output_failure(library, {T, inf}, inf);
    expect_output_failure(library, {T, -inf}, -inf);
  }
}

}  // namespace
