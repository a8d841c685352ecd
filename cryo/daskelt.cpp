// Daskelt: thermal conductivity of copper k(T, RRR) in W/(m K), for T in K
// and the residual-resistivity ratio RRR, times the quotient of two further
// inputs that the host supplies (a dividend and a divisor).
//
// Origin: a closed-form model of copper's thermal resistivity, a residual,
//   an intrinsic and a cross term, with the residual term set by RRR.
// Accuracy: against the NIST fits for OFHC copper (RRR 50, 100, 150, 300,
//   500; 4 K to 300 K) within 2.1 % to 3.0 % by RRR, the peak included; no
//   reference outside that range (docs/validation.md).
#include <cmath>

#include "eval_frame.hpp"

namespace {

// The thermal resistivity 1/k as the sum of a residual (impurity) term
// W0 = beta/T, an intrinsic (phonon) term Wi and a cross term Wi0 that
// couples them, with beta = 0.634/RRR. Resistivities in m K/W, T in K.
// No range is tested: outside the fit's domain (T <= 0, RRR <= 0) the
// terms turn NaN or infinite and the output tests report it.
struct CopperResistivityFit {
  static constexpr double residual = 0.634;            // m K^2/W, over RRR
  static constexpr double intrinsic_scale = 1.754e-8;  // m/(W K^1.763)
  static constexpr double intrinsic_power = 2.763;
  static constexpr double knee_K = 70.0;  // K
  static constexpr double knee_power = 1.756;
  static constexpr double saturation_scale = 1.932908e-5;  // K^-2.598
  static constexpr double saturation_power = 2.598;
  static constexpr double reference_beta = 0.0003;  // m K^2/W
  static constexpr double cross_scale = 0.838;
  static constexpr double cross_power = 0.1661;
};

// The terms that depend on RRR alone, kept while RRR repeats.
struct ResidualTerms {
  double beta, gamma;
};
ResidualTerms residual_terms(double rrr) {
  using F = CopperResistivityFit;
  const double beta = F::residual / rrr;
  const double beta_r = beta / F::reference_beta;
  return {beta, F::cross_scale / std::pow(beta_r, F::cross_power)};
}

double thermal_conductivity(double T, const ResidualTerms& r) {
  using F = CopperResistivityFit;
  const double w0 = r.beta / T;
  const double wi = (std::pow(T, F::intrinsic_power) * F::intrinsic_scale) /
                    (std::exp(-std::pow(F::knee_K / T, F::knee_power)) *
                         (std::pow(T, F::saturation_power) * F::saturation_scale) +
                     1.0);
  const double sum = wi + w0;
  const double wi0 = (r.gamma * (wi * w0)) / sum;
  return 1.0 / (wi0 + sum);
}

struct Daskelt {
  static constexpr material::FrameRow row{"Daskelt", material::unknown_function, 4,
                                          "Four arguments expected", true};

  const char* evaluate(material::Point p, double& value) {
    // The quotient first: only the ratio of the two inputs matters.
    const ResidualTerms& terms = residual.get(p[1], residual_terms);
    value = thermal_conductivity(p[0], terms) * (p[2] / p[3]);
    return nullptr;
  }
  material::RepeatCache<double, ResidualTerms> residual;
};

}  // namespace

MATERIAL_DEFINE_EVAL(Daskelt)

MATERIAL_EXPORT const char* return_test_yaml(void) { return Daskelt::row.host_name; }
