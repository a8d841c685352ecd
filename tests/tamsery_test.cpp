// Iron B(H): reference values, every table point with its neighbours, the
// saturation line, the odd extension and the non-finite fields.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "support/reference.hpp"

namespace {

using namespace testing_support;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

// The curve, written out independently: H in A/m, B in T.
constexpr double table_H[] = {
    0.0,      159.2,     294.4,     501.3,     795.8,     1154.0,   1795.0,   2862.0,   4383.0,
    6044.0,   8122.0,    10590.0,   13160.0,   21170.0,   26750.0,  33760.0,  43800.0,  66000.0,
    99740.0,  120960.0,  141210.0,  169600.0,  212170.0,  283130.0, 339890.0, 425040.0, 566950.0,
    850760.0, 1702300.0, 2128000.0, 2837700.0, 3405100.0, 4256700.0};
constexpr double table_B[] = {
    0.0,    0.8,    1.2,    1.4,    1.5,    1.55,   1.6,    1.65,   1.7,    1.75,   1.8,
    1.85,   1.9,    2.0,    2.05,   2.1,    2.15,   2.2,    2.249,  2.275,  2.3,    2.3443,
    2.3996, 2.4905, 2.5627, 2.6706, 2.8498, 3.2074, 4.2782, 4.8134, 5.7052, 6.4186, 7.4887};
constexpr size_t points = std::size(table_H);
static_assert(std::size(table_B) == points);

// Interval j, quotient first.
double interpolated(size_t j, double H) {
  return (table_B[j + 1] - table_B[j]) / (table_H[j + 1] - table_H[j]) * (H - table_H[j]) +
         table_B[j];
}
double saturated(double H) {
  return (H - table_H[points - 1]) * (std::pow(10.0, -7.0) * 12.56637061436) + table_B[points - 1];
}

class Tamsery : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()); }

  // One block of fields; inputs 1 to 3 are null, so reading them crashes.
  BlockResult block(const std::vector<double>& H) const {
    const double* inputs[] = {H.data(), nullptr, nullptr, nullptr};
    BlockResult r;
    r.outputs.assign(H.size(), -12345.678);
    r.status = library.eval(catalogue::Tamsery.name, catalogue::Tamsery.argument_count(), inputs,
                            int32_t(H.size()), r.outputs.data());
    const char* m = library.last_error();
    r.message = m != nullptr ? m : "";
    return r;
  }

  // Every field evaluated in one block against its expected value, bit for bit.
  void expect_exact(const std::vector<double>& H, const std::vector<double>& expected) const {
    const BlockResult r = block(H);
    ASSERT_EQ(r.status, 1) << r.message;
    for (size_t i = 0; i < H.size(); ++i) {
      EXPECT_EQ(r.outputs[i], expected[i]) << "H = " << H[i];
    }
  }

  LoadedLibrary library{catalogue::Tamsery.name};
};

TEST_F(Tamsery, ReferenceValues) {
  // Inputs 1 to 3 hold values that would spoil any result that read them.
  const double unread = nan;
  expect_reference_rows(library,
                        {
                            {{79.6, unread, unread, unread}, 0.4, ten_digits},
                            {{1000, unread, unread, unread}, 1.528503629257, ten_digits},
                            {{5000, unread, unread, unread}, 1.718573148706, ten_digits},
                            {{12345, unread, unread, unread}, 1.884143968872, ten_digits},
                            {{3e6, unread, unread, unread}, 5.909262072612, ten_digits},
                            {{5256700, unread, unread, unread}, 8.745337061436, ten_digits},
                            {{1e7, unread, -inf, 1e308}, 14.70594363495, ten_digits},
                            {{-1000, unread, unread, unread}, -1.528503629257, ten_digits},
                        });
}

TEST_F(Tamsery, EveryTablePointItsNeighboursAndEachInterior) {
  std::vector<double> H, expected;
  auto add = [&](double h, double b) { H.push_back(h), expected.push_back(b); };
  for (size_t j = 0; j < points; ++j) {
    add(table_H[j], table_B[j]);
    const double below = std::nextafter(table_H[j], 0.0);
    if (j > 0) add(below, interpolated(j - 1, below));
    const double above = std::nextafter(table_H[j], inf);
    add(above, j + 1 < points ? interpolated(j, above) : saturated(above));
    if (j + 1 < points) {
      for (double t : {0.25, 0.5, 0.9}) {
        const double h = table_H[j] + t * (table_H[j + 1] - table_H[j]);
        add(h, interpolated(j, h));
      }
    }
  }
  expect_exact(H, expected);
}

TEST_F(Tamsery, SaturationLine) {
  const std::vector<double> H = {4256700.5, 5256700, 1e7, 1e12, 1e300, DBL_MAX};
  std::vector<double> expected;
  for (double h : H) expected.push_back(saturated(h));
  expect_exact(H, expected);
  // Continuous at the last point and rising from it.
  const BlockResult r = block({std::nextafter(4256700.0, inf)});
  EXPECT_GT(r.outputs[0], 7.4887);
  EXPECT_LT(r.outputs[0], 7.4887 + 1e-12);
}

TEST_F(Tamsery, OddInH) {
  std::vector<double> H, minus_H;
  for (size_t j = 0; j < points; ++j) {
    for (double h : {table_H[j], table_H[j] * 1.01 + 1.0}) H.push_back(h), minus_H.push_back(-h);
  }
  const BlockResult positive = block(H), negative = block(minus_H);
  ASSERT_EQ(positive.status, 1) << positive.message;
  ASSERT_EQ(negative.status, 1) << negative.message;
  for (size_t i = 0; i < H.size(); ++i) {
    EXPECT_EQ(negative.outputs[i], -positive.outputs[i]) << "H = " << minus_H[i];
  }
  // -0.0 meets the first table point: +0.0.
  const BlockResult zero = block({-0.0});
  EXPECT_EQ(zero.outputs[0], 0.0);
  EXPECT_FALSE(std::signbit(zero.outputs[0]));
}

TEST_F(Tamsery, NonFiniteFieldsFailAndAreStored) {
  for (double H : {inf, -inf, nan}) {
    const BlockResult r = block({1000, H, 1000});
    EXPECT_EQ(r.status, 0) << H;
    EXPECT_EQ(r.message, std::isnan(H) ? output_is_nan : output_is_inf) << H;
    EXPECT_TRUE(r.outputs[1] == H || (std::isnan(H) && std::isnan(r.outputs[1]))) << H;
    EXPECT_EQ(r.outputs[2], -12345.678) << "nothing is written after the failure";
  }
}

TEST_F(Tamsery, ResultNeverDependsOnEarlierPoints) {
  // Negative fields first in a block, and after points of another interval.
  const std::vector<double> H = {-1000, 5000, -5000, 0, -2e7, -0.0, 159.2};
  const BlockResult together = block(H);
  ASSERT_EQ(together.status, 1) << together.message;
  for (size_t i = 0; i < H.size(); ++i) {
    const BlockResult alone = block({H[i]});
    EXPECT_EQ(together.outputs[i], alone.outputs[0]) << "H = " << H[i];
    EXPECT_EQ(alone.outputs[0] < 0, H[i] < 0) << "H = " << H[i];
  }
}

}  // namespace
