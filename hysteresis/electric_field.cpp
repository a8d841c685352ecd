// Electric field of a conductor, E along J, and the tangent tensor handed to
// solvers. The law and its parameters are in electric_field_law.hpp, which
// Quenrow evaluates too: the two libraries give the same bits.
#include <cmath>

#include "electric_field_law.hpp"
#include "orvandel.h"
#include "tensor.hpp"

using namespace orvandel;

ORVANDEL_API double j_threshold(double rho, double jc, double n, double ec) {
  return electric_field_law::threshold(rho, jc, n, ec);
}

// The threshold itself is linear; a NaN fails the test and is linear too.
ORVANDEL_API Vec3 e_joule(double rho, double jc, double n, double ec, Vec3 j) {
  const double jth = j_threshold(rho, jc, n, ec);
  const double r = vec3_norm(j);
  const double s = jth > r ? electric_field_law::ratio_below(r, jc, n - 1.0, ec / jc)
                           : electric_field_law::ratio_above(
                                 r, jth, electric_field_law::threshold_field(jth, jc, n, ec), rho);
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
  // n times ratio_below, but multiplied in another order: its own rounding.
  const double a = std::pow(r / jc, n - 1.0) * ((ec / jc) * n);
  // At J = 0 the J J^T term vanishes in the limit, while b is infinite for
  // n < 3: leave it out rather than form 0 times infinity.
  if (r == 0) return ten_scale(a, ten_identity());
  const double b = std::pow(r / jc, n - 3.0) * ((ec / std::pow(jc, 3.0)) * (n - 1.0));
  return ten_add(ten_scale(a, ten_identity()), ten_scale(b, ten_dyadic(j, j)));
}
