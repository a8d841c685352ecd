// Turns a fuzzer's bytes into the choices and doubles of one call. Most
// doubles come from a table of the values where the libraries branch or
// break: NaNs with payloads, infinities, denormals, -0.0, every limit and
// breakpoint of the catalogue and their neighbours; the rest are raw bit
// patterns.
#ifndef TESTS_FUZZ_FUZZED_INPUT_HPP
#define TESTS_FUZZ_FUZZED_INPUT_HPP

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "catalogue_facts.hpp"

namespace fuzzing {

inline double from_bits(uint64_t b) {
  double v;
  std::memcpy(&v, &b, sizeof v);
  return v;
}

inline uint64_t to_bits(double v) {
  uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Marks an output the library must not have written. No input ever carries
// it (next_double replaces it), so a library cannot copy it through.
inline constexpr uint64_t untouched_bits = 0x7FF4DEADBEEF0001ull;

// Each is also taken negated and with its neighbours above and below: values
// where the arithmetic turns, and every limit and breakpoint of the catalogue.
inline const std::vector<double>& plain_values() {
  static const std::vector<double> values = [] {
    std::vector<double> v = {
        // where the arithmetic turns
        0.0, 1.0, 2.0, 0.5, 0.25, 5.0, 10.0, 20.0, 77.0, 100.0, 1000.0, 1e6, 0.001, 0.1, 1e-300,
        // the iron table's first step (A/m)
        159.2,
        // component indices around their range
        0.99, 2.999, 2147483647.0, 2147483648.0, 2147483649.0,
        // exponents and parameters
        15.0, 1e-6, 1e-4, 1e4, 1e300, 1e306, 1.7766e305, DBL_MIN, DBL_MAX};
    for (const catalogue::HostFunction& function : catalogue::host_functions()) {
      for (const catalogue::Argument& a : function.arguments) {
        for (const catalogue::Limit& limit : {a.lowest, a.highest}) {
          if (limit.message != nullptr) v.push_back(limit.value);
        }
        v.insert(v.end(), a.breakpoints.begin(), a.breakpoints.end());
      }
    }
    return v;
  }();
  return values;
}

class FuzzedInput {
 public:
  FuzzedInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return used_ == size_; }

  // 0 once the bytes are used up: a short input still makes a whole call.
  uint8_t byte() { return used_ < size_ ? data_[used_++] : 0; }

  // A byte picks a plain value, negated or a neighbour, or a special one;
  // the bytes past those read a raw bit pattern.
  double next_double() {
    const std::vector<double>& plain_values = fuzzing::plain_values();
    const auto plain_count = static_cast<unsigned>(plain_values.size());
    const unsigned choice = byte();
    double v;
    if (choice < 2 * plain_count) {
      v = plain_values[choice % plain_count];
      if (choice >= plain_count) v = -v;
    } else if (choice < 4 * plain_count) {
      const unsigned k = choice - 2 * plain_count;
      v = std::nextafter(plain_values[k % plain_count], k < plain_count ? HUGE_VAL : -HUGE_VAL);
    } else if (choice < 4 * plain_count + 10) {
      v = ieee_special(choice - 4 * plain_count);
    } else {
      uint64_t b = 0;
      for (int k = 0; k < 8; ++k) b = (b << 8) | byte();
      v = from_bits(b);
    }
    return to_bits(v) == untouched_bits ? 0.0 : v;
  }

 private:
  static double ieee_special(unsigned k) {
    switch (k) {
      case 0:
        return std::numeric_limits<double>::quiet_NaN();
      case 1:
        return -std::numeric_limits<double>::quiet_NaN();
      case 2:
        return from_bits(0x7FF8000000000123ull);  // quiet NaN, payload
      case 3:
        return from_bits(0x7FF0000000000001ull);  // signalling NaN
      case 4:
        return std::numeric_limits<double>::infinity();
      case 5:
        return -std::numeric_limits<double>::infinity();
      case 6:
        return std::numeric_limits<double>::denorm_min();
      case 7:
        return 1e-310;
      case 8:
        return -0.0;
      default:
        return DBL_EPSILON;
    }
  }

  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

}  // namespace fuzzing

#endif
