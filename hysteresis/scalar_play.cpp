// Reversible current density of a scalar play with relaxation, and the host
// function "Orvandel" that evaluates it. All current densities share one
// unit (A/m^2); tau and dt share one time unit, only tau/(dt + tau) enters.
#include <cmath>

#include "eval_frame.hpp"
#include "orvandel.h"

// The play: a band of half-width j_width around jplay_prev in which the
// output holds. The band edge is inside. A NaN fails the test and takes the
// moving branch, so it propagates.
ORVANDEL_API double G(double j, double jplay_prev, double j_width) {
  const double d = j - jplay_prev;
  const double a = std::fabs(d);
  if (j_width >= a) return jplay_prev;
  return j - (j_width * d) / a;
}

ORVANDEL_API double dG_dj(double j, double jplay_prev, double j_width) {
  return j_width >= std::fabs(j - jplay_prev) ? 0.0 : 1.0;
}

// One backward-Euler step of tau dy/dt = G - y from jrev_prev:
// (dt G + tau jrev_prev)/(dt + tau), written as a correction of G.
ORVANDEL_API double j_rev(double j, double jrev_prev, double jplay_prev, double j_width, double tau,
                          double dt) {
  const double r = G(j, jplay_prev, j_width);
  return r - (tau / (dt + tau)) * (r - jrev_prev);
}

// jrev_prev does not enter: the step is linear in G.
ORVANDEL_API double djrev_dj(double j, double, double jplay_prev, double j_width, double tau,
                             double dt) {
  const double g = dG_dj(j, jplay_prev, j_width);
  return g - (g * tau) / (dt + tau);
}

namespace {

struct Orvandel {
  // No output tests: NaN and infinities are results like any other here,
  // stored, not failed. "Function not found" is this library's own wording.
  static constexpr material::FrameRow row{"Orvandel", "Function not found", 6,
                                          "Six arguments expected", false};

  // The share tau/(dt + tau) is not kept from point to point: the division
  // pipelines with the rest, and testing whether tau and dt repeat costs as
  // much as it saves.
  const char* evaluate(material::Point p, double& value) const {
    value = j_rev(p[0], p[1], p[2], p[3], p[4], p[5]);
    return nullptr;
  }
};

}  // namespace

MATERIAL_DEFINE_EVAL(Orvandel)

MATERIAL_EXPORT const char* return_test_yaml(void) { return ""; }
