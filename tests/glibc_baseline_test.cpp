// Each library as a host gets it, its maths functions bound to the versions
// of the glibc baseline, against its twin from the same sources that calls
// the current versions: status, message and stored value agree bit for bit
// at every point. The points cover each library's range and beyond it, and
// every fourth point has one argument where pow and exp overflow, underflow
// or have no real value: the cases the old versions handle in code of their
// own.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "orvandel.h"
#include "support/loaded_library.hpp"

namespace {

using namespace testing_support;

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// An argument drawn uniformly from [low, high], or its logarithm from
// [log low, log high].
struct Range {
  double low, high;
  bool logarithmic;
};

struct Sweep {
  const catalogue::HostFunction* function;
  std::vector<Range> arguments;
};

// J in A/m^2 on both sides of the threshold, rho, Jc, n and Ec: Quenrow's
// arguments after the component index, and those of Orvandel's power law.
const std::vector<Range> power_law = {{-1e9, 1e9, false},  {-1e9, 1e9, false}, {-1e9, 1e9, false},
                                      {1e-14, 1e-8, true}, {1e6, 1e10, true},  {1.1, 40, false},
                                      {1e-6, 1e-2, true}};

std::vector<Range> with_index(const std::vector<Range>& ranges) {
  std::vector<Range> all = {{-0.9, 2.99, false}};
  all.insert(all.end(), ranges.begin(), ranges.end());
  return all;
}

// Each library's arguments: its accepted range and some way beyond.
const std::vector<Sweep> sweeps = {
    {&catalogue::Orvandel,
     {{-2, 2, false},
      {-2, 2, false},
      {-2, 2, false},
      {0, 1, false},
      {0, 1, false},
      {1e-3, 1, true}}},
    {&catalogue::Tamsery, {{-5e6, 5e6, false}, {-1, 1, false}, {-1, 1, false}, {-1, 1, false}}},
    {&catalogue::Quenrow, with_index(power_law)},
    {&catalogue::Daskelt,
     {{0.01, 2000, true}, {1, 5000, true}, {-10, 10, false}, {-10, 10, false}}},
    {&catalogue::Mirrobane, {{0, 1000, false}}},
    {&catalogue::Pellucer, {{3, 310, false}, {-3000, 3000, false}}},
    {&catalogue::Wembrel, {{1e-4, 1500, true}}},
};

constexpr double extremes[] = {0.0, -0.0, -1.0, 1e-310, 1e300, -1e300, inf, -inf, nan};
constexpr size_t points_per_library = 4000;

std::vector<std::vector<double>> points(const std::vector<Range>& ranges) {
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<std::vector<double>> all(points_per_library);
  for (size_t i = 0; i < all.size(); ++i) {
    for (const Range& r : ranges) {
      const double u = unit(rng);
      all[i].push_back(r.logarithmic ? r.low * std::pow(r.high / r.low, u)
                                     : r.low + (r.high - r.low) * u);
    }
    if (i % 4 == 3) all[i][rng() % ranges.size()] = extremes[rng() % std::size(extremes)];
  }
  return all;
}

bool same_bits(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

struct Twins {
  explicit Twins(const catalogue::HostFunction& function)
      : baseline(function.name),
        current(function.name, std::string(MATERIAL_CURRENT_GLIBC_DIR) + "/" + function.file) {}
  // Two files loaded, not one of them twice.
  bool loaded() const {
    return baseline.loaded() && current.loaded() &&
           baseline.symbol<void*>("eval") != current.symbol<void*>("eval");
  }
  LoadedLibrary baseline, current;
};

// The stored value to the last bit, and the message of a failed point.
std::string outcome(const BlockResult& r) {
  uint64_t bits;
  std::memcpy(&bits, &r.outputs[0], sizeof bits);
  std::ostringstream text;
  text << r.outputs[0] << " [" << std::hex << bits << "]";
  if (r.status != 1) text << " (" << r.message << ")";
  return text.str();
}

TEST(CurrentGlibc, EveryHostFunctionGivesTheSameBits) {
  for (const Sweep& sweep : every_library(sweeps)) {
    SCOPED_TRACE(sweep.function->name);
    const Twins twins(*sweep.function);
    ASSERT_TRUE(twins.loaded());
    for (const std::vector<double>& args : points(sweep.arguments)) {
      const std::string baseline = outcome(eval_point(twins.baseline, args));
      const std::string current = outcome(eval_point(twins.current, args));
      if (baseline != current) {  // the first difference tells enough
        ::testing::Message at;
        for (double a : args) at << a << ' ';
        ADD_FAILURE() << "at " << at << ": " << baseline << " against " << current;
        break;
      }
    }
  }
}

// The power law that programs call directly, through e_joule and its tangent.
TEST(CurrentGlibc, OrvandelsPowerLawGivesTheSameBits) {
  const Twins twins(catalogue::Orvandel);
  ASSERT_TRUE(twins.loaded());
  const LoadedLibrary* both[] = {&twins.baseline, &twins.current};
  for (const std::vector<double>& p : points(power_law)) {
    const Vec3 j = {p[0], p[1], p[2]};
    Vec3 e[2];
    Ten3 t[2];
    for (int k = 0; k < 2; ++k) {
      e[k] = both[k]->symbol<decltype(&e_joule)>("e_joule")(p[3], p[4], p[5], p[6], j);
      t[k] = both[k]->symbol<decltype(&de_joule_dj)>("de_joule_dj")(p[3], p[4], p[5], p[6], j);
    }
    ::testing::Message at;
    for (double a : p) at << a << ' ';
    ASSERT_TRUE(same_bits(&e[0], &e[1], sizeof(Vec3))) << at;
    ASSERT_TRUE(same_bits(&t[0], &t[1], sizeof(Ten3))) << at;
  }
}

}  // namespace
