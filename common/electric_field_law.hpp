// The power-law electric field of a conductor, E along J: |E| = ec (|J|/jc)^n
// below a threshold current density, a straight line of slope rho above it
// that meets the power law with the same slope. Quenrow evaluates it one
// component at a time for hosts; Orvandel exports it whole. Both compute it
// with these functions, so their values agree to the last bit.
//   rho  slope of |E| against |J| above the threshold, ohm m
//   jc   critical current density, A/m^2: |E| = ec at |J| = jc
//   n    exponent of the power law, dimensionless; n = 1 divides by zero
//   ec   critical electric field, V/m
#ifndef MATERIAL_ELECTRIC_FIELD_LAW_HPP
#define MATERIAL_ELECTRIC_FIELD_LAW_HPP

#include <cmath>

namespace electric_field_law {

// The |J| at which the power law's slope n (ec/jc) (|J|/jc)^(n-1) equals
// rho: (1/(n ec))^(1/(n-1)) jc^(n/(n-1)) rho^(1/(n-1)).
inline double threshold(double rho, double jc, double n, double ec) {
  const double root = 1.0 / (n - 1.0);
  return std::pow(1.0 / (n * ec), root) * (std::pow(jc, n / (n - 1.0)) * std::pow(rho, root));
}

// |E| at the threshold, ec (jth/jc)^n, where the straight line starts.
inline double threshold_field(double jth, double jc, double n, double ec) {
  return std::pow(jth / jc, n) * ec;
}

// |E|/|J| below the threshold, (r/jc)^(n-1) (ec/jc), for |J| = r, with the
// exponent n - 1 and the scale ec/jc formed by the caller (once per material,
// where it can).
inline double ratio_below(double r, double jc, double exponent, double scale) {
  return std::pow(r / jc, exponent) * scale;
}

// |E|/|J| from the threshold on: (E(jth) + rho (r - jth))/r.
inline double ratio_above(double r, double jth, double field_at_threshold, double rho) {
  return (field_at_threshold + (r - jth) * rho) / r;
}

}  // namespace electric_field_law

#endif
