// Electric-field component: reference values, the choice of component by a
// truncated index, the threshold itself and the degenerate currents.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
const char* const bad_index = testing_support::above(catalogue::Quenrow);

struct Law {
  double rho, jc, n, ec;
  double threshold() const {
    return std::pow(1.0 / (n * ec), 1.0 / (n - 1.0)) *
           (std::pow(jc, n / (n - 1.0)) * std::pow(rho, 1.0 / (n - 1.0)));
  }
};
// A superconducting tape: Ec = 1e-4 V/m at Jc = 3e8 A/m^2, n = 25, and a
// stabiliser of 1e-11 ohm m; its threshold is 3.022876980e8 A/m^2.
constexpr Law tape{1e-11, 3e8, 25, 1e-4};
// The smallest law whose numbers can be followed by hand: threshold 0.5.
constexpr Law unit{1, 1, 2, 1};

std::vector<double> args(double index, double jx, double jy, double jz, const Law& law) {
  return {index, jx, jy, jz, law.rho, law.jc, law.n, law.ec};
}

class Quenrow : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()); }
  double component(double index, double jx, double jy, double jz, const Law& law) const {
    const BlockResult r = eval_point(library, args(index, jx, jy, jz, law));
    EXPECT_EQ(r.status, 1) << r.message;
    return r.outputs[0];
  }
  LoadedLibrary library{catalogue::Quenrow.name};
};

TEST_F(Quenrow, ReferenceValues) {
  expect_reference_rows(library,
                        {
                            // Values of the law in 50-digit decimal arithmetic.
                            // Tape below its threshold: |J| = 2.29e8, the power law.
                            {args(0, 2e8, 1e8, -5e7, tape), 1.034928313585e-07, ten_digits},
                            {args(1, 2e8, 1e8, -5e7, tape), 5.174641567924e-08, ten_digits},
                            {args(2, 2e8, 1e8, -5e7, tape), -2.587320783962e-08, ten_digits},
                            // At Jc the power law gives Ec.
                            {args(0, 3e8, 0, 0, tape), 1e-4, ten_digits},
                            // Above: the linear law.
                            {args(0, 4e8, -3e8, 1e8, tape), 1.723513791001e-03, ten_digits},
                            {args(1, 4e8, -3e8, 1e8, tape), -1.292635343251e-03, ten_digits},
                            {args(2, 4e8, -3e8, 1e8, tape), 4.308784477503e-04, ten_digits},
                            {args(1, 1e9, 2e8, 0, tape), 1.430878447750e-03, ten_digits},
                            // n = 3: threshold 1.154700538 A/m^2, |J| = 2.5 above it.
                            {args(0, 1.5, 2, 0, {2, 1, 3, 0.5}), 2.076239569297, ten_digits},
                            {args(1, 1.5, 2, 0, {2, 1, 3, 0.5}), 2.768319425729, ten_digits},
                            // By hand: power law at 0.25, both laws at 0.5, linear law at 1.
                            {args(0, 0.25, 0, 0, unit), 0.0625, ten_digits},
                            {args(1, 0.25, 0, 0, unit), 0, ten_digits},
                            {args(2, 0.25, 0, 0, unit), 0, ten_digits},
                            {args(0, 0.5, 0, 0, unit), 0.25, ten_digits},
                            {args(0, 1, 0, 0, unit), 0.75, ten_digits},
                        });
}

TEST_F(Quenrow, IndexIsTruncatedTowardZero) {
  const double by_component[] = {component(0, 1e8, -2e8, 3e8, tape),
                                 component(1, 1e8, -2e8, 3e8, tape),
                                 component(2, 1e8, -2e8, 3e8, tape)};
  // The components really differ, so the choice shows.
  ASSERT_GT(by_component[0], 0);
  ASSERT_EQ(by_component[1], -2 * by_component[0]);
  struct Case {
    double index;
    int selects;
  };
  for (const Case& c :
       {Case{0.99, 0}, Case{-0.5, 0}, Case{-0.0, 0}, Case{std::nextafter(-1.0, 0.0), 0},
        Case{1.7, 1}, Case{2.999, 2}, Case{std::nextafter(3.0, 0.0), 2}}) {
    EXPECT_EQ(component(c.index, 1e8, -2e8, 3e8, tape), by_component[c.selects]) << c.index;
  }
}

TEST_F(Quenrow, BadIndexFailsAndStoresNothing) {
  for (double index : {3.0, -1.0, nan, inf, -inf, 1e10, -3e9, 2147483648.0, -2147483649.0, 5.0}) {
    const BlockResult r = eval_point(library, args(index, 1, 2, 3, tape));
    EXPECT_EQ(r.status, 0) << index;
    EXPECT_EQ(r.message, bad_index) << index;
    EXPECT_EQ(r.outputs[0], -12345.678) << index;
  }
  // Tested even where the value is NaN (n = 1), and after good points.
  const BlockResult r = eval_block(
      library,
      {{0, nan, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {2, 1, 2}, {1, 1, 1}});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.message, bad_index);
  EXPECT_EQ(r.outputs[0], component(0, 1, 0, 0, unit));
  EXPECT_EQ(r.outputs[1], -12345.678);
  EXPECT_EQ(r.outputs[2], -12345.678);
}

TEST_F(Quenrow, ThresholdItselfTakesTheLinearLaw) {
  // At |J| = Jth both laws agree but round differently; the linear law's
  // rounding must come out. sqrt(Jth * Jth) is Jth exactly.
  const Law laws[] = {tape,
                      unit,
                      {2, 1, 3, 0.5},
                      {1e-10, 1e9, 15, 1e-4},
                      {3e-12, 2e8, 40, 1e-4},
                      {5e-11, 5e8, 1.5, 1e-3},
                      {1e-9, 7e7, 8, 1e-4},
                      {2e-10, 3e9, 30, 1e-5}};
  int rounding_differs = 0;
  for (const Law& law : laws) {
    const double jth = law.threshold();
    const double linear = std::pow(jth / law.jc, law.n) * law.ec / jth * jth;
    const double power = std::pow(jth / law.jc, law.n - 1.0) * (law.ec / law.jc) * jth;
    rounding_differs += linear != power;
    EXPECT_EQ(component(0, jth, 0, 0, law), linear) << law.n;
    EXPECT_EQ(component(2, 0, 0, -jth, law), -linear) << law.n;
    // Just below, the power law.
    const double below = std::nextafter(jth, 0.0);
    EXPECT_EQ(component(1, 0, below, 0, law),
              std::pow(below / law.jc, law.n - 1.0) * (law.ec / law.jc) * below)
        << law.n;
  }
  EXPECT_GT(rounding_differs, 0) << "no row tells the two laws apart";
}

TEST_F(Quenrow, DegenerateCurrentsAndParameters) {
  for (double index : {0, 1, 2}) {
    EXPECT_EQ(component(index, 0, 0, 0, tape), 0) << index;
    // rho = 0: threshold 0, so the linear law everywhere: 0, and 0/0 at J = 0.
    EXPECT_EQ(component(index, 1, 2, 3, {0, 1, 2, 1}), 0) << index;
    EXPECT_TRUE(std::isnan(component(index, 0, 0, 0, {0, 1, 2, 1}))) << index;
    // A NaN or infinite component spoils every component.
    EXPECT_TRUE(std::isnan(component(index, 1, nan, 1, tape))) << index;
    EXPECT_TRUE(std::isnan(component(index, 1, inf, 1, tape))) << index;
  }
  // Overflow is stored and the call succeeds.
  EXPECT_EQ(component(0, 1e150, 0, 0, {1e300, 1, 3, 1}), inf);
}

TEST_F(Quenrow, EveryPointReadsItsOwnInputs) {
  // One parameter changes from point to point, above the threshold where the
  // result depends on it: a threshold kept from an earlier point would show.
  const Law laws[] = {tape,
                      {2e-11, 3e8, 25, 1e-4},
                      {2e-11, 4e8, 25, 1e-4},
                      {2e-11, 4e8, 20, 1e-4},
                      {2e-11, 4e8, 20, 2e-4},
                      tape,
                      unit};
  std::vector<std::vector<double>> columns(8);
  for (const Law& law : laws) {
    const std::vector<double> point = args(0, 4e8, -3e8, 1e8, law);
    for (size_t k = 0; k < 8; ++k) columns[k].push_back(point[k]);
  }
  const BlockResult together = eval_block(library, columns);
  ASSERT_EQ(together.status, 1) << together.message;
  for (size_t i = 0; i < std::size(laws); ++i) {
    EXPECT_EQ(together.outputs[i], component(0, 4e8, -3e8, 1e8, laws[i])) << "point " << i;
    if (i > 0) {
      EXPECT_NE(together.outputs[i], together.outputs[i - 1]) << "point " << i;
    }
  }
}

TEST_F(Quenrow, SignedZerosAreParametersOfTheirOwn) {
  // With Ec = 0 the threshold is infinite and the factor is (Ec/Jc) times a
  // power: its sign follows Ec's zero. -0.0 == +0.0, so a law compared by
  // value would carry the first sign on.
  Law plus = tape, minus = tape;
  plus.ec = 0.0;
  minus.ec = -0.0;
  const Law laws[] = {plus, minus, plus, minus};
  std::vector<std::vector<double>> columns(8);
  for (const Law& law : laws) {
    const std::vector<double> point = args(0, 2e8, 1e8, 0, law);
    for (size_t k = 0; k < 8; ++k) columns[k].push_back(point[k]);
  }
  const BlockResult together = eval_block(library, columns);
  ASSERT_EQ(together.status, 1) << together.message;
  for (size_t i = 0; i < std::size(laws); ++i) {
    const double alone = component(0, 2e8, 1e8, 0, laws[i]);
    EXPECT_EQ(together.outputs[i], 0.0) << "point " << i;
    EXPECT_EQ(std::signbit(together.outputs[i]), std::signbit(alone)) << "point " << i;
    EXPECT_EQ(std::signbit(alone), i % 2 == 1) << "point " << i;
  }
}

}  // namespace
