// Realistic blocks for each host function: per-point inputs spread over the
// range a solve visits, material parameters constant over the block, points
// shuffled so that no branch pattern repeats.
#ifndef BENCH_INPUTS_HPP
#define BENCH_INPUTS_HPP

#include <cmath>
#include <random>
#include <vector>

#include "catalogue_facts.hpp"
#include "orvandel.h"

namespace bench {

// One column per argument, `pool` points.
using Columns = std::vector<std::vector<double>>;

constexpr size_t pool = 65536;

inline std::mt19937_64& rng() {
  static std::mt19937_64 generator(20261208);
  return generator;
}
inline double uniform(double lo, double hi) {
  return std::uniform_real_distribution<double>(lo, hi)(rng());
}
inline double log_uniform(double lo, double hi) {
  return std::exp(uniform(std::log(lo), std::log(hi)));
}
inline std::vector<double> constant(double v) { return std::vector<double>(pool, v); }
template <class F>
std::vector<double> column(F draw) {
  std::vector<double> c(pool);
  for (double& v : c) v = draw();
  return c;
}

// A superconducting tape: Ec = 1e-4 V/m at Jc = 3e8 A/m^2, n = 25, and a
// stabiliser resistivity that puts the threshold just above Jc.
struct Tape {
  static constexpr double rho = 1e-11, jc = 3e8, n = 25, ec = 1e-4;
  static double threshold() {
    return std::pow(1 / (n * ec), 1 / (n - 1)) *
           (std::pow(jc, n / (n - 1)) * std::pow(rho, 1 / (n - 1)));
  }
};

// Iron table abscissae, A/m: fields are drawn interval by interval so that
// every interval of the table is visited alike.
inline const std::vector<double>& iron_table_H() {
  static const std::vector<double> H = {
      0.0,      159.2,     294.4,     501.3,     795.8,     1154.0,   1795.0,   2862.0,   4383.0,
      6044.0,   8122.0,    10590.0,   13160.0,   21170.0,   26750.0,  33760.0,  43800.0,  66000.0,
      99740.0,  120960.0,  141210.0,  169600.0,  212170.0,  283130.0, 339890.0, 425040.0, 566950.0,
      850760.0, 1702300.0, 2128000.0, 2837700.0, 3405100.0, 4256700.0};
  return H;
}

inline const std::vector<double>& iron_table_B() {
  static const std::vector<double> B = {
      0.0,    0.8,    1.2,    1.4,    1.5,    1.55,   1.6,    1.65,   1.7,    1.75,   1.8,
      1.85,   1.9,    2.0,    2.05,   2.1,    2.15,   2.2,    2.249,  2.275,  2.3,    2.3443,
      2.3996, 2.4905, 2.5627, 2.6706, 2.8498, 3.2074, 4.2782, 4.8134, 5.7052, 6.4186, 7.4887};
  return B;
}

// Arguments of the model functions, one per call, cycled.
constexpr size_t model_pool = 4096;

// 64 cells of a vector hysteresis model of electrical steel (fields in A/m,
// times in s): play radii up to 400 A/m, weights summing to 0.9, histories
// and applied fields of a few hundred A/m in every direction.
struct Cells {
  std::vector<Vec3> hrev_prev, h_ref, h;
  std::vector<double> weight, chi, hc_max, tau_c, tau;
  double dt = 1e-4, cell_fraction = 0.9;
};
inline Vec3 random_field(double magnitude) {
  return {uniform(-magnitude, magnitude), uniform(-magnitude, magnitude),
          uniform(-magnitude, magnitude)};
}
inline const Cells& cells() {
  static const Cells c = [] {
    Cells m;
    for (int k = 0; k < 64; ++k) {
      m.hrev_prev.push_back(random_field(300));
      m.h_ref.push_back(random_field(300));
      m.weight.push_back(0.9 / 64);
      m.chi.push_back(k == 0 ? 0.0 : 400.0 * k / 63);
      m.hc_max.push_back(k == 0 ? 0.0 : 50.0);
      m.tau_c.push_back(k == 0 ? 0.0 : 1e-5);
      m.tau.push_back(1e-5);
    }
    for (size_t i = 0; i < model_pool; ++i) m.h.push_back(random_field(600));
    return m;
  }();
  return c;
}

// Current densities for the field law, both sides of the tape's threshold,
// in every direction.
inline const std::vector<Vec3>& currents() {
  static const std::vector<Vec3> J = [] {
    std::vector<Vec3> v;
    const double jth = Tape::threshold();
    for (size_t i = 0; i < model_pool; ++i) {
      const double r = uniform(0.5, 1.5) * jth;
      const double theta = uniform(0, 3.14159), phi = uniform(0, 6.28318);
      v.push_back({r * std::sin(theta) * std::cos(phi), r * std::sin(theta) * std::sin(phi),
                   r * std::cos(theta)});
    }
    return v;
  }();
  return J;
}

inline Columns inputs_for(const catalogue::HostFunction& library) {
  using namespace catalogue;
  if (&library == &Mirrobane) return {column([] { return uniform(0, 600); })};
  if (&library == &Wembrel) return {column([] { return uniform(1, 1400); })};
  if (&library == &Pellucer) return {column([] { return uniform(4, 300); }), constant(1)};
  if (&library == &Daskelt)
    return {column([] { return uniform(2, 300); }), constant(100), constant(1), constant(1)};
  if (&library == &Tamsery) {
    const auto& H = iron_table_H();
    return {column([&] {
              const size_t j = std::uniform_int_distribution<size_t>(0, H.size() - 1)(rng());
              return j + 1 < H.size() ? uniform(H[j], H[j + 1]) : uniform(H[j], 2 * H[j]);
            }),
            constant(0), constant(0), constant(0)};
  }
  if (&library == &Quenrow) {
    Columns c(8, std::vector<double>(pool));
    const double jth = Tape::threshold();
    for (size_t i = 0; i < pool; ++i) {
      const double r = uniform(0.5, 1.5) * jth;  // both sides of the threshold
      const double theta = uniform(0, 3.14159), phi = uniform(0, 6.28318);
      c[0][i] = double(i % 3);
      c[1][i] = r * std::sin(theta) * std::cos(phi);
      c[2][i] = r * std::sin(theta) * std::sin(phi);
      c[3][i] = r * std::cos(theta);
      c[4][i] = Tape::rho, c[5][i] = Tape::jc, c[6][i] = Tape::n, c[7][i] = Tape::ec;
    }
    return c;
  }
  if (&library == &Orvandel)  // j, jrev_prev, jplay_prev, j_width, tau, dt
    return {column([] { return uniform(-2e8, 2e8); }),
            column([] { return uniform(-1e8, 1e8); }),
            column([] { return uniform(-1e8, 1e8); }),
            constant(5e7),
            constant(1e-3),
            constant(1e-4)};
  return {};
}

}  // namespace bench

#endif
