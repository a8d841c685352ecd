// Flux density of the cells, B = mu0 ((1 - cell_fraction) h + sum_k w_k H_k)
// in T for h in A/m, its Jacobian, and the cells' coupling law on its own.
#include <cmath>

#include "orvandel.h"
#include "tensor.hpp"

using namespace orvandel;

// Linear with slope g = tau_c/mu0 up to the magnitude hc_a hc_b; a tie is
// linear. A NaN fails the test, and so does a zero rate under a negative
// limit, which then divides 0 by 0.
ORVANDEL_API Vec3 h_coupling(double hc_a, double tau_c, double hc_b, Vec3 b_rate) {
  const double n = vec3_norm(b_rate);
  const double g = tau_c / mu0;
  if (hc_a * hc_b >= g * n) return vec3_scale(g, b_rate);
  return vec3_scale((hc_a * hc_b) / n, b_rate);
}

// Cells are added in ascending order and mu0 multiplies the finished sum.
ORVANDEL_API Vec3 bhyst(int32_t n_cells, const Vec3* hrev_prev, const Vec3* h_ref,
                        const double* weight, const double* chi, double dt, double cell_fraction,
                        Vec3 h, const double* hc_max, const double* tau_c, const double* tau) {
  Vec3 sum = vec3_scale(1.0 - cell_fraction, h);
  for (int32_t k = 0; k < n_cells; ++k) {
    const Vec3 H =
        hrev_k(weight[k], chi[k], hc_max[k], tau_c[k], tau[k], dt, h, hrev_prev[k], h_ref[k]);
    sum = vec3_add(sum, vec3_scale(weight[k], H));
  }
  return vec3_scale(mu0, sum);
}

// Cell 0 enters as a reversible cell without play or coupling, whose
// Jacobian is I/(1 + tau/dt); the others through their own Jacobian.
// Without cells no array is read.
ORVANDEL_API Ten3 dbhyst_dh(int32_t n_cells, const Vec3* hrev_prev, const Vec3* h_ref,
                            const double* weight, const double* chi, double dt,
                            double cell_fraction, Vec3 h, const double* hc_max, const double* tau_c,
                            const double* tau) {
  Ten3 sum = ten_scale((1.0 - cell_fraction) * mu0, ten_identity());
  if (n_cells < 1) return sum;
  const double q0 = (mu0 * weight[0]) / (1.0 + tau[0] / dt);
  sum = ten_add(sum, ten_scale(q0, ten_identity()));
  for (int32_t k = 1; k < n_cells; ++k) {
    const Ten3 J =
        dHrev_k_dH(weight[k], chi[k], hc_max[k], tau_c[k], tau[k], dt, h, hrev_prev[k], h_ref[k]);
    sum = ten_add(sum, ten_scale(weight[k] * mu0, J));
  }
  return sum;
}
