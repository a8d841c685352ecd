// The frame of eval, written once: the name test, the count test, the walk
// over the block (in the default floating-point environment, whatever the
// host has set), the point tests, the store and the output tests. A library
// supplies one Law type: its row of the frame and its value at a point.
//
//   struct Law {
//     static constexpr material::FrameRow row{...};  // name, count, messages
//     // One point: null and the value, or the message of a failed point test
//     // (then nothing is stored). A Law object lives for one call, built
//     // only for a non-empty block, so it can keep per-call working values.
//     const char* evaluate(Point p, double& value);
//   };
#ifndef MATERIAL_EVAL_FRAME_HPP
#define MATERIAL_EVAL_FRAME_HPP

#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "fp_environment.hpp"
#include "material_api.h"

namespace material {

// The library's error slot: null at load, written only by a failing eval.
// Atomic because concurrent calls on one library may fail at once. Its
// definition is constant-initialized: no static constructor.
extern std::atomic<const char*> error;  // NOLINT(bugprone-dynamic-static-initializers)

inline constexpr char output_is_nan[] = "Output is nan";
inline constexpr char output_is_inf[] = "Output is inf";
// Messages that several libraries give alike (each library has its own copy).
inline constexpr char unknown_function[] = "Unknown function";
inline constexpr char t_is_negative[] = "T is negative!";

// What the frame of one library's eval is made of.
struct FrameRow {
  const char* host_name;      // the function name eval answers to, compared with strcmp
  const char* name_message;   // set when the name differs
  int32_t argument_count;     // compared for equality
  const char* count_message;  // set when the count differs
  bool output_tests;          // a NaN or infinite result fails
};

inline int32_t fail(const char* message) {
  error.store(message, std::memory_order_release);
  return 0;
}

// The inputs of point i: p[k] is argument k there.
class Point {
 public:
  Point(const double* const* inputs, int32_t index) : inputs_(inputs), index_(index) {}
  double operator[](int k) const { return inputs_[k][index_]; }

 private:
  const double* const* inputs_;
  int32_t index_;
};

// Working values that depend only on parameters which usually repeat from
// point to point (one material per block): formed again only when the
// parameters change. Keyed on their bits, never on ==: -0.0 and +0.0 can
// give different values, and a NaN must neither match nor miss at random.
// Parameters is a double or a struct of doubles, so it has no padding.
template <class Parameters, class Derived>
class RepeatCache {
 public:
  template <class Make>
  const Derived& get(const Parameters& parameters, Make make) {
    if (!valid_ || std::memcmp(&parameters, &key_, sizeof parameters) != 0) {
      key_ = parameters;
      value_ = make(parameters);
      valid_ = true;
    }
    return value_;
  }

 private:
  bool valid_ = false;
  Parameters key_{};
  Derived value_{};
};

// NaN first: a NaN must never be reported as an infinity.
inline const char* output_test(double value) {
  if (value != value) return output_is_nan;
  if (std::fabs(value) > DBL_MAX) return output_is_inf;
  return nullptr;
}

template <class Law>
int32_t eval_block(const char* function_name, int32_t argument_count, const double* const* inputs,
                   int32_t block_size, double* outputs) {
  constexpr FrameRow row = Law::row;
  if (std::strcmp(function_name, row.host_name) != 0) return fail(row.name_message);
  if (argument_count != row.argument_count) return fail(row.count_message);
  if (block_size <= 0) return 1;
  const DefaultFpEnvironment environment;  // restored on every return below
  Law law;
  for (int32_t i = 0; i < block_size; ++i) {
    double value;
    if (const char* message = law.evaluate(Point(inputs, i), value)) return fail(message);
    outputs[i] = value;
    if constexpr (row.output_tests) {
      if (const char* message = output_test(value)) return fail(message);
    }
  }
  return 1;
}

}  // namespace material

// Defines eval for one Law; return_test_yaml stays with the library, since
// its text and presence differ from library to library.
#define MATERIAL_DEFINE_EVAL(Law)                                                                 \
  MATERIAL_EXPORT int32_t eval(const char* function_name, int32_t argument_count,                 \
                               const double** inputs, const void*, int32_t block_size,            \
                               double* outputs) {                                                 \
    return material::eval_block<Law>(function_name, argument_count, inputs, block_size, outputs); \
  }

#endif
