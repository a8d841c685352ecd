// Quenrow's field component against the field vector that Orvandel exports
// for programs that link it: one law compiled into two libraries, each with
// its own norm, branch and per-block caching, which must agree bit for bit.
// Both built libraries are loaded by file name.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "orvandel.h"
#include "support/loaded_library.hpp"

namespace {

using testing_support::LoadedLibrary;

uint64_t bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// One column per input: index, Jx, Jy, Jz, rho, jc, n, ec.
using Columns = std::vector<std::vector<double>>;

// Random points, on both sides of the threshold, exactly at it, at J = 0
// and with rho = 0, for every component. A material holds for five points,
// as over a host's block, then the next is drawn.
Columns random_points(decltype(&j_threshold) threshold, size_t count) {
  std::mt19937_64 rng(5);
  auto uniform = [&](double lo, double hi) {
    return std::uniform_real_distribution<double>(lo, hi)(rng);
  };
  auto log_uniform = [&](double lo, double hi) {
    return std::exp(uniform(std::log(lo), std::log(hi)));
  };
  std::normal_distribution<double> normal;
  double material_rho = 0, jc = 0, n = 0, ec = 0;
  Columns p(8);
  for (size_t i = 0; i < count; ++i) {
    if (i % 5 == 0) {
      material_rho = log_uniform(1e-14, 1e-8), jc = log_uniform(1e6, 1e10);
      n = uniform(1.5, 40), ec = log_uniform(1e-6, 1e-2);
    }
    const int component = int(i % 3);
    const double index = component + uniform(component == 0 ? -0.999 : 0.0, 0.999);
    double rho = material_rho;
    double u[3] = {normal(rng), normal(rng), normal(rng)};
    const double length = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double jth = threshold(rho, jc, n, ec);
    double scale = 0;
    switch (i / 3 % 6) {
      case 0:
        scale = uniform(0.01, 1.0) * jth / length;
        break;  // power law
      case 1:
        scale = uniform(1.0, 30.0) * jth / length;
        break;  // linear law
      case 2:   // exactly at the threshold: sqrt(jth * jth) is jth
        u[0] = u[1] = u[2] = 0;
        u[i / 18 % 3] = uniform(-1, 1) < 0 ? -1 : 1;
        scale = jth;
        break;
      case 3:
        scale = 0;
        break;  // J = 0
      case 4:
        rho = 0, scale = uniform(0.1, 10) * jc / length;
        break;
      case 5:
        rho = 0, scale = 0;
        break;  // 0/0: NaN
    }
    const double row[] = {index, scale * u[0], scale * u[1], scale * u[2], rho, jc, n, ec};
    for (size_t k = 0; k < 8; ++k) p[k].push_back(row[k]);
  }
  return p;
}

TEST(EfieldAgreement, QuenrowComponentEqualsOrvandelFieldBitForBit) {
  LoadedLibrary quenrow(catalogue::Quenrow.name), orvandel(catalogue::Orvandel.name);
  ASSERT_TRUE(quenrow.loaded());
  ASSERT_TRUE(orvandel.loaded());
  const auto e_joule_fn = orvandel.symbol<decltype(&e_joule)>("e_joule");
  const auto j_threshold_fn = orvandel.symbol<decltype(&j_threshold)>("j_threshold");
  ASSERT_NE(e_joule_fn, nullptr);
  ASSERT_NE(j_threshold_fn, nullptr);

  const Columns p = random_points(j_threshold_fn, 18000);
  const testing_support::BlockResult quenrow_e = testing_support::eval_block(quenrow, p);
  ASSERT_EQ(quenrow_e.status, 1) << quenrow_e.message;
  const std::vector<double>& e = quenrow_e.outputs;

  int below = 0, at = 0, above = 0, both_nan = 0;
  for (size_t i = 0; i < e.size(); ++i) {
    const double rho = p[4][i], jc = p[5][i], n = p[6][i], ec = p[7][i];
    const Vec3 j{p[1][i], p[2][i], p[3][i]};
    const Vec3 field = e_joule_fn(rho, jc, n, ec, j);
    const double expected[] = {field.x, field.y, field.z};
    const double wanted = expected[int(p[0][i])];
    if (std::isnan(wanted) && std::isnan(e[i])) {
      EXPECT_TRUE(rho == 0 && j.x == 0 && j.y == 0 && j.z == 0) << "point " << i;
      ++both_nan;
      continue;
    }
    EXPECT_EQ(bits(e[i]), bits(wanted))
        << "point " << i << ": " << e[i] << " against " << wanted << ", index " << p[0][i];
    const double jth = j_threshold_fn(rho, jc, n, ec);
    const double r = std::sqrt((j.x * j.x + j.y * j.y) + j.z * j.z);
    below += jth > r, at += jth == r, above += jth < r;
  }
  // Every regime and the threshold itself were visited.
  EXPECT_GT(below, 1000);
  EXPECT_GT(at, 1000);
  EXPECT_GT(above, 1000);
  EXPECT_EQ(both_nan, 3000);
}

}  // namespace
