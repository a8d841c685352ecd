// Vector play of one cell: the reversible field holds while the applied
// field h stays within the radius chi (A/m) of it and of the cell's
// reference vector, and is otherwise dragged behind h at distance chi.
#include <cmath>

#include "orvandel.h"
#include "tensor.hpp"

using namespace orvandel;

namespace {

// What the value and its Jacobian share: the step from hrev_prev to h, its
// length, and whether the play holds.
struct PlayStep {
  Vec3 d2;      // h - hrev_prev
  double rho2;  // |d2|
  Vec3 s2;      // chi d2
  bool holds;
};

// The second condition of the keep test is q = (rho2 - chi) rho2^2 <= 0,
// formed through q rather than by comparing rho2 with chi; NaN fails both
// comparisons and so moves the play. When h sits on hrev_prev (rho2 = 0)
// the reversible field is already at h and holds: the moving branch would
// divide 0 by 0 there.
PlayStep play_step(double chi, Vec3 h, Vec3 hrev_prev, Vec3 h_ref) {
  const Vec3 d1 = vec3_sub(h, h_ref);
  const Vec3 d2 = vec3_sub(h, hrev_prev);
  const double rho1 = std::sqrt(vec3_dot(d1, d1));
  const double rho2 = std::sqrt(vec3_dot(d2, d2));
  const Vec3 s1 = vec3_scale(rho2, d2);
  const Vec3 s2 = vec3_scale(chi, d2);
  const double q = vec3_dot(d2, vec3_sub(s1, s2));
  const bool keep = chi >= rho1 && 0 >= q;
  return PlayStep{d2, rho2, s2, keep || rho2 == 0};
}

}  // namespace

// h - chi (h - hrev_prev)/|h - hrev_prev| when the play moves.
ORVANDEL_API Vec3 Urec(double chi, Vec3 h, Vec3 hrev_prev, Vec3 h_ref) {
  const PlayStep p = play_step(chi, h, hrev_prev, h_ref);
  if (p.holds) return hrev_prev;
  return vec3_sub(h, vec3_scale(1.0 / p.rho2, p.s2));
}

// I - (chi/rho2)(I - d2 d2^T/rho2^2) when the play moves, zero where it holds
// (its boundary included).
ORVANDEL_API Sym3 dUrec_dh(double chi, Vec3 h, Vec3 hrev_prev, Vec3 h_ref) {
  const PlayStep p = play_step(chi, h, hrev_prev, h_ref);
  if (p.holds) return sym_zero();
  return sym_sub(sym_identity(), sym_scale(chi / p.rho2, sym_normal_projector(p.d2, p.rho2)));
}
