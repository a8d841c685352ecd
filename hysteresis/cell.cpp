// Reversible field of one cell: the play output U, relaxed from the
// previous reversible field with ratio r = tau/dt and held back by a
// coupling term of slope v = tau_c/dt that saturates at the magnitude
// hc_max (A/m). One implicit step: with H = hrev_prev + delta,
//   (1 + r) delta + F(delta) = U - hrev_prev,
//   F(delta) = v delta while v |delta| <= hc_max, else hc_max delta/|delta|.
#include <cmath>

#include "orvandel.h"
#include "tensor.hpp"

using namespace orvandel;

namespace {

struct CellStep {
  double r, v, w;  // tau/dt, tau_c/dt, (1 + r) + v
  Vec3 U;          // the play output
  Vec3 D;          // U - hrev_prev
  double d;        // |D|
  bool linear;     // the coupling stays below its limit
};

// Below the limit delta = D/w, and v |D|/w <= hc_max is tested as
// hc_max w >= v d. NaN fails the test and takes the saturated branch.
CellStep cell_step(double chi, double hc_max, double tau_c, double tau, double dt, Vec3 h,
                   Vec3 hrev_prev, Vec3 h_ref) {
  CellStep c;
  c.r = tau / dt;
  c.U = Urec(chi, h, hrev_prev, h_ref);
  c.D = vec3_sub(c.U, hrev_prev);
  c.d = vec3_norm(c.D);
  c.v = tau_c / dt;
  c.w = (1.0 + c.r) + c.v;
  c.linear = hc_max * c.w >= c.v * c.d;
  return c;
}

}  // namespace

ORVANDEL_API Vec3 hrev_k(double, double chi, double hc_max, double tau_c, double tau, double dt,
                         Vec3 h, Vec3 hrev_prev, Vec3 h_ref) {
  const CellStep c = cell_step(chi, hc_max, tau_c, tau, dt, h, hrev_prev, h_ref);
  // (U + (r + v) hrev_prev)/w
  if (c.linear) return vec3_scale(1.0 / c.w, vec3_add(c.U, vec3_scale(c.r + c.v, hrev_prev)));
  // (U - hc_max D/d + r hrev_prev)/(1 + r); the inner sum first.
  const Vec3 held = vec3_add(vec3_scale(-hc_max / c.d, c.D), vec3_scale(c.r, hrev_prev));
  return vec3_scale(1.0 / (c.r + 1.0), vec3_add(c.U, held));
}

ORVANDEL_API Ten3 dHrev_k_dH(double, double chi, double hc_max, double tau_c, double tau, double dt,
                             Vec3 h, Vec3 hrev_prev, Vec3 h_ref) {
  const CellStep c = cell_step(chi, hc_max, tau_c, tau, dt, h, hrev_prev, h_ref);
  const Sym3 dU = dUrec_dh(chi, h, hrev_prev, h_ref);
  if (c.linear) return ten_from_symmetric(sym_scale(1.0 / c.w, dU));
  // (dU - (hc_max/d)(I - D D^T/d^2) dU)/(1 + r): the saturated coupling only
  // turns with D, so only the part of dU across D is held back.
  const Sym3 turn = sym_scale(hc_max / c.d, sym_normal_projector(c.D, c.d));
  return ten_scale(1.0 / (c.r + 1.0), ten_sub_symm(dU, sym_product(turn, dU)));
}
