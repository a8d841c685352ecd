// Copper thermal conductivity: reference values, the rounding of the whole
// fit, the scale quotient and the failures that only the output tests catch.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The fit written out independently, in W/(m K): 1 / (W0 + Wi + Wi0).
double conductivity(double T, double rrr) {
  const double beta = 0.634 / rrr;
  const double w0 = beta / T;
  const double wi =
      (std::pow(T, 2.763) * 1.754e-8) /
      (std::exp(-std::pow(70.0 / T, 1.756)) * (std::pow(T, 2.598) * 1.932908e-5) + 1.0);
  const double gamma = 0.838 / std::pow(beta / 0.0003, 0.1661);
  const double s = wi + w0;
  return 1.0 / ((gamma * (wi * w0)) / s + s);
}

class Daskelt : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()); }
  double value(double T, double rrr, double dividend, double divisor) const {
    const BlockResult r = eval_point(library, {T, rrr, dividend, divisor});
    EXPECT_EQ(r.status, 1) << r.message;
    return r.outputs[0];
  }
  LoadedLibrary library{catalogue::Daskelt.name};
};

TEST_F(Daskelt, ReferenceValues) {
  // Published to seven significant digits, RRR = 100; tolerance half a unit
  // of the last digit given.
  expect_reference_rows(library, {
                                     {{4, 100, 1, 1}, 630.4312, 8e-8},
                                     {{10, 100, 1, 1}, 1540.326, 3.3e-7},
                                     {{20, 100, 1, 1}, 2412.011, 2.1e-7},
                                     {{77, 100, 1, 1}, 542.1782, 9.3e-8},
                                     {{300, 100, 1, 1}, 400.8598, 1.3e-7},
                                 });
}

TEST_F(Daskelt, EveryRoundingAsTheFitIsWritten) {
  for (double rrr : {3.0, 100.0, 2000.0}) {
    for (double T = 1; T <= 1000; T *= 1.07) {
      expect_reference_rows(library, {{{T, rrr, 1, 1}, conductivity(T, rrr), 0}});
    }
  }
}

TEST_F(Daskelt, InputsTwoAndThreeActOnlyThroughTheirQuotient) {
  for (double T : {4.0, 77.0, 300.0}) {
    SCOPED_TRACE(T);
    const double k = value(T, 100, 1, 1);
    EXPECT_EQ(value(T, 100, 2, 1), 2 * k);
    EXPECT_EQ(value(T, 100, 1, 4), k / 4);
    EXPECT_EQ(value(T, 100, 6, 3), 2 * k);
    EXPECT_EQ(value(T, 100, 0, 1), 0.0);
    // k times the dividend first would round, or overflow, before dividing.
    for (double same : {3.0, 0.1, 1e308, 1e-308}) EXPECT_EQ(value(T, 100, same, same), k) << same;
  }
}

TEST_F(Daskelt, EveryPointReadsItsOwnResidualRatio) {
  // RRR changes, returns and repeats within one block: terms of an RRR kept
  // from an earlier point would show.
  const std::vector<double> T = {4, 20, 77, 4, 4, 300, 10, 10};
  const std::vector<double> rrr = {100, 100, 3, 3, 2000, 100, 2000, 50};
  const std::vector<double> one(T.size(), 1.0);
  const BlockResult together = eval_block(library, {T, rrr, one, one});
  ASSERT_EQ(together.status, 1) << together.message;
  for (size_t i = 0; i < T.size(); ++i)
    EXPECT_EQ(together.outputs[i], conductivity(T[i], rrr[i])) << "point " << i;
  // A NaN RRR after a valid one is not the valid one.
  const BlockResult failed = eval_block(library, {{77, 77}, {100, nan}, {1, 1}, {1, 1}});
  EXPECT_EQ(failed.status, 0);
  EXPECT_EQ(failed.message, output_is_nan);
  EXPECT_EQ(failed.outputs[0], conductivity(77, 100));
  EXPECT_TRUE(std::isnan(failed.outputs[1]));
}

TEST_F(Daskelt, FailuresShowOnlyThroughTheOutputTests) {
  for (double T : {0.0, -0.0, -1.0, -inf, nan}) expect_output_failure(library, {T, 100, 1, 1}, nan);
  for (double rrr : {0.0, -100.0, nan}) expect_output_failure(library, {77, rrr, 1, 1}, nan);
  expect_output_failure(library, {77, 100, 1, 0}, inf);
  expect_output_failure(library, {77, 100, -1, 0}, -inf);
  expect_output_failure(library, {77, 100, 0, 0}, nan);
  expect_output_failure(library, {77, 100, inf, 1}, inf);
}

}  // namespace
