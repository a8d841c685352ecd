// Electric field of a conductor, E along J: a power law below the threshold
// current density, a straight line of slope rho above it.
//   rho  slope of |E| against |J| above the threshold, ohm m
//   jc   critical current density, A/m^2: |E| = ec at |J| = jc
//   n    exponent of the power law, dimensionless, n != 1
//   ec   critical electric field, V/m
#include <cmath>

#include "orvandel.h"
#include "tensor.hpp"

using namespace orvandel;

namespace {

// |E|/|J| below the threshold: (ec/jc)(r/jc)^(n-1).
double power_law_ratio(double r, double jc, double n, double ec) {
  return std::pow(r / jc, n - 1.0) * (ec / jc);
}

// |E|/|J| above it: (ec (jth/jc)^n + rho (r - jth))/r.
double linear_ratio(double r, double jth, double rho, double jc, double n, double ec) {
  return (std::pow(jth / jc, n) * ec + (r - jth) * rho) / r;
}

}  // namespace

// The |J| at which the power law's slope n (ec/jc)(|J|/jc)^(n-1) is rho.
ORVANDEL_API double j_threshold(double rho, double jc, double n, double ec) {
  const double root = 1.0 / (n - 1.0);
  return std::pow(1.0 / (n * ec), root) * (std::pow(jc, n / (n - 1.0)) * std::pow(rho, root));
}

// The threshold itself is linear; a NaN fails the test and is linear too.
ORVANDEL_API Vec3 e_joule(double rho, double jc, double n, double ec, Vec3 j) {
  const double jth = j_threshold(rho, jc, n, ec);
  const double r = vec3_norm(j);
  const double s = jth > r ? power_law_ratio(r, jc, n, ec) : linear_ratio(r, jth, rho, jc, n, ec);
  return vec3_scale(s, j);
}

// The tensor handed to solvers: below the threshold a I + b J J^T, with
// a = n s the slope of |E| against |J| and b = (n - 1) s/|J|^2; above it
// rho I. It is not the exact Jacobian of e_joule (that has s I across J, and
// a J J^T term above the threshold), and callers rely on it as it is.
ORVANDEL_API Ten3 de_joule_dj(double rho, double jc, double n, double ec, Vec3 j) {
  const double jth = j_threshold(rho, jc, n, ec);
  const double r = vec3_norm(j);
  if (!(jth > r)) return ten_scale(rho, ten_identity());
  const double a = std::pow(r / jc, n - 1.0) * ((ec / jc) * n);
  // At J = 0 the J J^T term vanishes in the limit, while b is infinite for
  // n < 3: leave it out rather than form 0 times infinity.
  if (r == 0) return ten_scale(a, ten_identity());
  const double b = std::pow(r / jc, n - 3.0) * ((ec / std::pow(jc, 3.0)) * (n - 1.0));
  return ten_add(ten_scale(a, ten_identity()), ten_scale(b, ten_dyadic(j, j)));
}
