// The tensor algebra under the hysteresis model. It is internal to the
// library, so it is compiled here from the library's own header, with the
// library's floating-point flags.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>

#include "tensor.hpp"

namespace {

using namespace orvandel;

std::array<double, 9> entries(Ten3 t) {
  std::array<double, 9> a;
  static_assert(sizeof t == sizeof a);
  std::memcpy(a.data(), &t, sizeof t);
  return a;
}

// Bit for bit, so that -0.0 and +0.0 differ and NaN equals NaN.
bool same_bits(Ten3 a, Ten3 b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(OrvandelTensor, LayoutIsPlainDoublesInFieldOrder) {
  static_assert(sizeof(Vec3) == 3 * sizeof(double) && sizeof(Sym3) == 6 * sizeof(double));
  const Ten3 t = ten_new(1, 2, 3, 4, 5, 6, 7, 8, 9);
  EXPECT_EQ(entries(t), (std::array<double, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(t.yx, 4);  // row-major: row 2, column 1 at position 3
}

TEST(OrvandelTensor, ProductOfSymmetricTensorsIsOrderedAndTransposes) {
  const Sym3 a = sym_new(1, 1, 0, 0, 0, 0);
  const Sym3 b = sym_new(1, 0, 0, 2, 0, 0);
  EXPECT_EQ(entries(sym_product(a, b)), (std::array<double, 9>{1, 2, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(entries(sym_product(b, a)), (std::array<double, 9>{1, 1, 0, 2, 0, 0, 0, 0, 0}));
  // Every entry uses the implied lower triangle of both factors.
  const Sym3 s = sym_new(2, 3, 5, 7, 11, 13);
  const Sym3 u = sym_new(17, 19, 23, 29, 31, 37);
  const double full_s[3][3] = {{2, 3, 5}, {3, 7, 11}, {5, 11, 13}};
  const double full_u[3][3] = {{17, 19, 23}, {19, 29, 31}, {23, 31, 37}};
  const std::array<double, 9> p = entries(sym_product(s, u));
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) {
      const double expected =
          (full_s[i][0] * full_u[0][j] + full_s[i][1] * full_u[1][j]) + full_s[i][2] * full_u[2][j];
      EXPECT_EQ(p[3 * i + j], expected) << i << j;
    }
  }
}

TEST(OrvandelTensor, DyadicAndSymmetricForms) {
  EXPECT_EQ(entries(ten_dyadic(vec3(1, 0, 0), vec3(0, 1, 0))),
            (std::array<double, 9>{0, 1, 0, 0, 0, 0, 0, 0, 0}));
  const Sym3 s = sym_new(2, 3, 5, 7, 11, 13);
  EXPECT_TRUE(
      same_bits(ten_sub_symm(s, ten_from_symmetric(s)), ten_new(0, 0, 0, 0, 0, 0, 0, 0, 0)));
  EXPECT_EQ(entries(ten_sub_symm(s, ten_identity())),
            (std::array<double, 9>{1, 3, 5, 3, 6, 11, 5, 11, 12}));
  for (const Vec3 v : {vec3(0.1, -0.7, 1e-3), vec3(3e200, 1e-200, -0.0), vec3(1, 2, 3)}) {
    EXPECT_TRUE(same_bits(ten_from_symmetric(sym_square_dyadic(v)), ten_dyadic(v, v)));
  }
}

TEST(OrvandelTensor, NormAndNonFiniteOperands) {
  EXPECT_EQ(vec3_norm(vec3(0, 0, 0)), 0.0);
  EXPECT_FALSE(std::signbit(vec3_norm(vec3(-0.0, -0.0, -0.0))));
  const Vec3 a = vec3(0.1, 0.2, 0.3);
  EXPECT_EQ(vec3_norm(a), std::sqrt(vec3_dot(a, a)));
  EXPECT_EQ(vec3_norm(vec3(3, 4, 12)), 13.0);
  const double inf = std::numeric_limits<double>::infinity();
  const Ten3 t = ten_scale(inf, ten_identity());
  EXPECT_EQ(t.xx, inf);
  EXPECT_TRUE(std::isnan(t.xy));  // infinity times zero
}

}  // namespace
