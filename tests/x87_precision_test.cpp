// Every library under each x87 control word a host may run with. A typical
// Windows host runs its threads at 53-bit x87 precision, a MinGW or Linux
// program at 64; a maths function that computes on the x87 unit would give
// different last bits in different hosts. Each block must come out bit for
// bit as under the power-on control word, and leave the host's word as it was.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/loaded_library.hpp"

namespace {

// The x87 unit exists only on x86; elsewhere there is nothing to test.
#if defined(__x86_64__) || defined(__i386__)

using testing_support::LoadedLibrary;

// A block that sweeps one argument geometrically from `low` to `high`, the
// others held at `base`, through the library's maths functions.
struct Sweep {
  const catalogue::HostFunction* function;
  std::vector<double> base;
  size_t swept;
  double low, high;
};

void PrintTo(const Sweep& s, std::ostream* os) { *os << s.function->name; }

const std::vector<Sweep>& all_sweeps() {
  static const std::vector<Sweep> sweeps = {
      {&catalogue::Orvandel, {0, 0.3, 0.2, 0.05, 3, 7}, 0, 1e-3, 1e3},            // j
      {&catalogue::Tamsery, {0, 0, 0, 0}, 0, 1, 1e7},                             // H
      {&catalogue::Quenrow, {0, 0, 0.1, 0.2, 1e-6, 1e4, 15.5, 1e-4}, 1, 1, 1e5},  // Jx
      {&catalogue::Daskelt, {0, 100, 1, 1}, 0, 1, 1000},                          // T
      {&catalogue::Mirrobane, {0}, 0, 0.5, 1000},                                 // T
      {&catalogue::Pellucer, {0, 1}, 0, 4, 300},                                  // T
      {&catalogue::Wembrel, {0}, 0, 1, 1400},                                     // T
  };
  return sweeps;
}

// x87 control word: bits 0-5 exception masks, 8-9 precision (00 24 bits,
// 10 53 bits, 11 64 bits), 10-11 rounding (00 nearest, 01 down, 10 up,
// 11 toward zero). 0x37F is the power-on word (fninit).
constexpr uint16_t power_on = 0x37F;

struct X87Setting {
  const char* name;
  uint16_t word;
};

const X87Setting x87_settings[] = {
    {"53-bit precision (a typical Windows host)", 0x27F},
    {"24-bit precision", 0x07F},
    {"rounding upward", 0xB7F},
    {"rounding toward zero", 0xF7F},
};

uint16_t x87_word() {
  uint16_t word;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void set_x87_word(uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

std::vector<uint64_t> output_bits(const std::vector<double>& outputs) {
  std::vector<uint64_t> bits(outputs.size());
  std::memcpy(bits.data(), outputs.data(), outputs.size() * sizeof(double));
  return bits;
}

class X87Precision : public ::testing::TestWithParam<Sweep> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library.loaded()) << library.name();
    constexpr int points = 513;
    columns.resize(sweep.base.size());
    for (int i = 0; i < points; ++i) {
      const double t = double(i) / (points - 1);
      for (size_t k = 0; k < columns.size(); ++k) {
        columns[k].push_back(k == sweep.swept ? sweep.low * std::pow(sweep.high / sweep.low, t)
                                              : sweep.base[k]);
      }
    }
  }

  // The output bits of the block, evaluated with the x87 control word set to
  // `word`; `after` receives the word as eval left it.
  std::vector<uint64_t> run_under(uint16_t word, uint16_t& after) {
    std::vector<const double*> inputs;
    for (const auto& c : columns) inputs.push_back(c.data());
    std::vector<double> outputs(columns[0].size());
    const uint16_t saved = x87_word();
    set_x87_word(word);
    const int32_t status =
        library.eval(library.name().c_str(), static_cast<int32_t>(columns.size()), inputs.data(),
                     static_cast<int32_t>(outputs.size()), outputs.data());
    after = x87_word();
    set_x87_word(saved);
    EXPECT_EQ(status, 1) << (library.last_error() ? library.last_error() : "");
    return output_bits(outputs);
  }

  const Sweep& sweep = GetParam();
  LoadedLibrary library{sweep.function->name};
  std::vector<std::vector<double>> columns;
};

TEST_P(X87Precision, ResultsDoNotDependOnTheHostsX87ControlWord) {
  uint16_t after = 0;
  const std::vector<uint64_t> expected = run_under(power_on, after);
  for (const X87Setting& host : x87_settings) {
    const std::vector<uint64_t> got = run_under(host.word, after);
    size_t differing = 0;
    for (size_t i = 0; i < got.size(); ++i) differing += got[i] != expected[i];
    EXPECT_EQ(differing, 0u) << host.name << ": points whose last bits changed";
    EXPECT_EQ(after, host.word) << host.name << ": the host's x87 control word was changed";
  }
}

INSTANTIATE_TEST_SUITE_P(, X87Precision,
                         ::testing::ValuesIn(testing_support::every_library(all_sweeps())),
                         [](const auto& p) { return std::string(p.param.function->name); });

#endif

}  // namespace
