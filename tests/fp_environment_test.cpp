// Every library under hostile host floating-point settings: traps unmasked,
// flush-to-zero and denormals-are-zero, directed rounding. The inputs of each
// row divide by zero, overflow, or make or take denormals. Under every
// setting each call must return what it returns in the default environment,
// bit for bit, raise no signal, and hand the host its register back exactly,
// sticky flags included.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "support/loaded_library.hpp"

namespace {

using testing_support::LoadedLibrary;
using Point = std::vector<double>;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double denormal = 1e-310;
constexpr double smallest = std::numeric_limits<double>::denorm_min();

struct HostileRow {
  const catalogue::HostFunction* function;
  std::vector<Point> points;  // each one argument list
};

void PrintTo(const HostileRow& row, std::ostream* os) { *os << row.function->name; }

const std::vector<HostileRow>& all_rows() {
  static const std::vector<HostileRow> rows = {
      // j, jrev_prev, jplay_prev, j_width, tau, dt
      {&catalogue::Orvandel,
       {{5, 0, 1, 2, 1, 1},
        {0.1, 0.3, 0.2, 0.05, 3, 7},    // rounds differently upward
        {1, 0, 1, -1, 1, 1},            // negative width: 0/0
        {5, 0, 1, 2, 0, 0},             // tau + dt = 0: 0/0
        {5, 0, 1, 2, 1, -1},            // tau + dt = 0 the other way: 1/0
        {denormal, 0, 0, 0, 1, 1},      // denormal in and out
        {1e308, -1e308, 0, 0, 1, 1}}},  // overflow
      // H; three more, never read
      {&catalogue::Tamsery,
       {{1000, 0, 0, 0},
        {1234.5, 0, 0, 0},
        {denormal, 0, 0, 0},  // denormal in and out
        {smallest, 0, 0, 0},
        {-denormal, 0, 0, 0},
        {1e308, 0, 0, 0},
        {inf, 0, 0, 0},
        {nan, 0, 0, 0}}},
      // component, Jx, Jy, Jz, rho, Jc, n, Ec
      {&catalogue::Quenrow,
       {{0, 0.25, 0, 0, 1, 1, 2, 1},
        {0, 0.3, 0.1, 0.2, 1e-6, 1e4, 15, 1e-4},
        {0, 0.25, 0, 0, 1, 1, 1, 1},  // n = 1: 1/0 in the exponents
        {0, 0, 0, 0, 0, 1, 2, 1},     // rho = 0, J = 0: 0/0
        {1, denormal, denormal, 0, 1, 1, 2, 1},
        {2, 1e200, 1e200, 1e200, 1, 1, 2, 1},  // the squares overflow
        {nan, 1, 0, 0, 1, 1, 2, 1},            // invalid conversion
        {3e9, 1, 0, 0, 1, 1, 2, 1}}},
      // T, RRR, dividend, divisor
      {&catalogue::Daskelt,
       {{77, 100, 1, 1},
        {4.2, 50, 1, 1},
        {0, 100, 1, 1},          // 1/0, then inf * 0
        {77, 0, 1, 1},           // RRR = 0
        {77, 100, 1, 0},         // divisor 0
        {77, 100, denormal, 1},  // denormal result
        {1e-300, 100, 1, 1},
        {77, 100, 1e308, 1e-10}}},  // overflow
      {&catalogue::Mirrobane,
       {{0}, {-0.0}, {1e-80}, {smallest}, {4.2}, {77}, {300}, {1000}, {1e306}, {-1}}},
      // T, factor
      {&catalogue::Pellucer,
       {{4, 1},
        {300, 1},
        {77, smallest},
        {50, denormal},
        {10, -0.0},
        {300, 1e308},
        {3.9, 1},
        {nan, 1}}},
      {&catalogue::Wembrel,
       {{0}, {-0.0}, {0.001}, {1e-300}, {smallest}, {1}, {77}, {293.15}, {1400}, {-1}, {2000}}},
  };
  return rows;
}

uint64_t bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// What one call left behind: its status, the message and every output's
// bits (the outputs array starts filled with a sentinel).
struct Outcome {
  int32_t status = -1;
  std::string message;
  std::vector<uint64_t> output_bits;
};

bool operator==(const Outcome& a, const Outcome& b) {
  return a.status == b.status && a.message == b.message && a.output_bits == b.output_bits;
}

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  os << "status " << o.status << " \"" << o.message << "\" bits";
  for (uint64_t b : o.output_bits) os << ' ' << std::hex << b << std::dec;
  return os;
}

#if defined(__x86_64__)

// The host's settings, as the SSE control and status register holds them.
constexpr unsigned int all_masked = 0x1F80u;
constexpr unsigned int flush_to_zero = 0x8000u, denormals_are_zero = 0x0040u;
constexpr unsigned int round_up = 0x4000u, round_down = 0x2000u, round_to_zero = 0x6000u;
// Flags the host already has raised: must survive, and no other may appear.
constexpr unsigned int host_flags = 0x0011u;  // invalid, underflow

struct HostSetting {
  const char* name;
  unsigned int mxcsr;
};

const HostSetting host_settings[] = {
    {"every trap unmasked", host_flags},
    {"flush-to-zero and denormals-are-zero",
     all_masked | flush_to_zero | denormals_are_zero | host_flags},
    {"rounding upward", all_masked | round_up | host_flags},
    {"rounding downward", all_masked | round_down | host_flags},
    {"rounding toward zero", all_masked | round_to_zero},
    {"traps, flush-to-zero and upward together",
     flush_to_zero | denormals_are_zero | round_up | host_flags},
};

// Calls eval with the host's register set to `mxcsr` and nothing else run in
// between; `after` receives the register as eval left it.
Outcome call_under(unsigned int mxcsr, const LoadedLibrary& library,
                   const std::vector<Point>& points, unsigned int& after) {
  const size_t arguments = points[0].size();
  std::vector<std::vector<double>> columns(arguments);
  for (const Point& p : points) {
    for (size_t k = 0; k < arguments; ++k) columns[k].push_back(p[k]);
  }
  std::vector<const double*> inputs;
  for (const auto& c : columns) inputs.push_back(c.data());
  std::vector<double> outputs(points.size(), -12345.678);
  const char* name = library.name().c_str();
  const auto count = static_cast<int32_t>(arguments);
  const auto size = static_cast<int32_t>(points.size());

  const unsigned int saved = _mm_getcsr();
  _mm_setcsr(mxcsr);
  const int32_t status = library.eval(name, count, inputs.data(), size, outputs.data());
  after = _mm_getcsr();
  _mm_setcsr(saved);

  Outcome o;
  o.status = status;
  const char* message = library.last_error();
  o.message = message != nullptr ? message : "";
  for (double v : outputs) o.output_bits.push_back(bits(v));
  return o;
}

#endif

class FpEnvironment : public ::testing::TestWithParam<HostileRow> {
 protected:
  void SetUp() override { ASSERT_TRUE(library.loaded()) << library.name(); }
  const HostileRow& row = GetParam();
  LoadedLibrary library{row.function->name};
};

#if defined(__x86_64__)

TEST_P(FpEnvironment, EachPointAsInTheDefaultEnvironment) {
  for (const Point& point : row.points) {
    ::testing::Message where;
    for (double a : point) where << a << ' ';
    SCOPED_TRACE(where);
    unsigned int after = 0;
    const Outcome expected = call_under(all_masked, library, {point}, after);
    EXPECT_EQ(after, all_masked) << "flags raised by the library reached the host";
    for (const HostSetting& host : host_settings) {
      const Outcome got = call_under(host.mxcsr, library, {point}, after);
      EXPECT_EQ(got, expected) << host.name;
      EXPECT_EQ(after, host.mxcsr) << host.name << ": host register not restored";
    }
  }
}

// The whole row as one block: stops where the default environment stops.
TEST_P(FpEnvironment, WholeBlockAsInTheDefaultEnvironment) {
  unsigned int after = 0;
  const Outcome expected = call_under(all_masked, library, row.points, after);
  for (const HostSetting& host : host_settings) {
    const Outcome got = call_under(host.mxcsr, library, row.points, after);
    EXPECT_EQ(got, expected) << host.name;
    EXPECT_EQ(after, host.mxcsr) << host.name;
  }
}

// A host whose own flags are clear must find them clear: the library's
// divisions by zero and overflows stay the library's.
TEST_P(FpEnvironment, NoFlagReachesACleanHost) {
  for (const Point& point : row.points) {
    unsigned int after = 0;
    call_under(all_masked | round_up, library, {point}, after);
    EXPECT_EQ(after, all_masked | round_up) << "at " << point[0];
  }
}

#endif

#if defined(__GLIBC__)

// The C library's way to trap, which also unmasks the x87 unit: any
// exception raised there, or left pending, would kill the test.
TEST_P(FpEnvironment, EnabledTrapsDoNotFire) {
  constexpr int traps = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW | FE_UNDERFLOW;
  for (const Point& point : row.points) {
    std::vector<const double*> inputs;
    for (const double& a : point) inputs.push_back(&a);
    double output = 0;
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(traps);
    const int32_t status = library.eval(library.name().c_str(), static_cast<int32_t>(point.size()),
                                        inputs.data(), 1, &output);
    const int enabled = fegetexcept();
    const int raised = std::fetestexcept(FE_ALL_EXCEPT);
    fedisableexcept(traps);
    EXPECT_TRUE(status == 0 || status == 1);
    EXPECT_EQ(enabled, traps) << "at " << point[0];
    EXPECT_EQ(raised, 0) << "at " << point[0];
  }
}

#endif

INSTANTIATE_TEST_SUITE_P(, FpEnvironment,
                         ::testing::ValuesIn(testing_support::every_library(all_rows())),
                         [](const auto& p) { return std::string(p.param.function->name); });

}  // namespace
