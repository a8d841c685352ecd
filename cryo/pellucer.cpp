// Pellucer: m dC/dT, the temperature derivative of the heat capacity of
// aluminium in J/(kg K^2) times a factor m that the host supplies (a density,
// say, for a volumetric result), for T in K from 4 up to 300.
//
// Origin: the derivative of the NIST specific-heat fit of 6061-T6 aluminium
//   (NIST Cryogenics Technologies Group, "Material Properties: 6061-T6
//   Aluminum"), whose coefficients it uses unchanged, over the fit's range.
// Accuracy: the fit's exact derivative (against a difference quotient 5e-8,
//   its integral over 4-300 K against the fit's rise 1e-11); the fit itself
//   is stated to 5 %, so its slope to somewhat worse (docs/validation.md).
#include <cmath>

#include "eval_frame.hpp"

namespace {

// C(T) = 10^P(L) in J/(kg K), L = log10(T / 1 K), P(L) = sum of a[k] L^k,
// valid for 4 K <= T <= 300 K.
struct LogHeatCapacityFit {
  static constexpr int degree = 8;
  static constexpr double a[degree + 1] = {46.6467,  -314.292, 866.662,  -1298.3, 1162.27,
                                           -637.795, 210.351,  -38.3094, 2.96344};
};
constexpr double ln10 = 2.302585092994046;
constexpr double lowest_K = 4;
constexpr double highest_K = 300;

// dC/dT = ln10 10^P P'(L) / (T ln10): the chain rule through both logs.
// The derivative's coefficients are formed here rather than stored, and
// the powers of L are shared by P and P'. L^2 too is a call to pow: the
// product L * L a compiler would put for a constant exponent can differ from
// it in the last bit.
double heat_capacity_slope(double T, double m) {
  using F = LogHeatCapacityFit;
  const double L = std::log10(T);
  double power[F::degree + 1];  // power[k] = L^k for k >= 2
  for (int k = 2; k <= F::degree; ++k) power[k] = std::pow(L, static_cast<double>(k));

  double dP = (F::a[2] + F::a[2]) * L + F::a[1];
  for (int k = 3; k <= F::degree; ++k) dP = power[k - 1] * (F::a[k] * k) + dP;
  const double dP_dT = dP * (1 / (T * ln10));

  double P = F::a[1] * L + F::a[0];
  for (int k = 2; k <= F::degree; ++k) P = power[k] * F::a[k] + P;

  return ln10 * ((std::pow(10.0, P) * m) * dP_dT);
}

struct Pellucer {
  // "Two argument expected", as hosts already match it.
  static constexpr material::FrameRow row{"Pellucer", material::unknown_function, 2,
                                          "Two argument expected", true};

  // A NaN temperature passes both tests and fails on its NaN result.
  const char* evaluate(material::Point p, double& value) const {
    const double T = p[0];
    if (T < lowest_K) return material::t_is_negative;  // kept for hosts: below 4 K, not 0
    if (T > highest_K) return "Temperature is above 1400 K - out of range!";  // kept: 300 K bound
    value = heat_capacity_slope(T, p[1]);
    return nullptr;
  }
};

}  // namespace

MATERIAL_DEFINE_EVAL(Pellucer)
