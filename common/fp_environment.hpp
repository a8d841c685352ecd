// The floating-point environment a block runs in. A host may run with traps
// enabled, with flush-to-zero and denormals-are-zero (anything built with
// fast-math sets them), or in another rounding mode; any of these would crash
// the host at a division by zero or change results in their last bits. So
// eval runs its block in the default environment and gives the host its own
// back, sticky flags included, on every way out.
//
// The model functions that programs call directly do not use this: they run
// in their caller's environment, as any arithmetic does.
#ifndef MATERIAL_FP_ENVIRONMENT_HPP
#define MATERIAL_FP_ENVIRONMENT_HPP

#if !defined(__x86_64__)
#include <cfenv>
#endif

namespace material {

#if defined(__x86_64__)

// x86-64 does double arithmetic in SSE, under one register, MXCSR:
//   bits 0-5   sticky exception flags (invalid, denormal, divide, overflow,
//              underflow, inexact)
//   bit 6      denormals-are-zero
//   bits 7-12  exception masks (set = masked)
//   bits 13-14 rounding control (00 = to nearest)
//   bit 15     flush-to-zero
// 0x1F80 is the power-on value: all masked, to nearest, no FTZ/DAZ, no flags.
// The x87 unit is left alone: no double arithmetic of these libraries runs on
// it. One stmxcsr and two ldmxcsr per call.
inline constexpr unsigned int default_mxcsr = 0x1F80u;

class DefaultFpEnvironment {
 public:
  DefaultFpEnvironment() : host_(__builtin_ia32_stmxcsr()) {
    __builtin_ia32_ldmxcsr(default_mxcsr);
  }
  // Writing the saved register back also drops the flags the block raised:
  // the host sees exactly the flags it had before the call.
  ~DefaultFpEnvironment() { __builtin_ia32_ldmxcsr(host_); }

  DefaultFpEnvironment(const DefaultFpEnvironment&) = delete;
  DefaultFpEnvironment& operator=(const DefaultFpEnvironment&) = delete;

 private:
  unsigned int host_;
};

#else

// Elsewhere the C library's environment does the same, at a higher price;
// FE_DFL_ENV also clears flush-to-zero where the platform has it.
class DefaultFpEnvironment {
 public:
  DefaultFpEnvironment() {
    std::fegetenv(&host_);
    std::fesetenv(FE_DFL_ENV);
  }
  ~DefaultFpEnvironment() { std::fesetenv(&host_); }

  DefaultFpEnvironment(const DefaultFpEnvironment&) = delete;
  DefaultFpEnvironment& operator=(const DefaultFpEnvironment&) = delete;

 private:
  std::fenv_t host_;
};

#endif

}  // namespace material

#endif
