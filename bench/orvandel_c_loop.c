/* The peer of the Python package's array evaluation of the vector
 * hysteresis model: what a C program linking Orvandel writes, a plain loop
 * over the points calling the exported functions. bench/orvandel_arrays.py
 * loads it with ctypes and hands it the very arrays it hands the package.
 *
 * Per point p the cells' histories are hrev[p * cells .. p * cells + cells - 1],
 * each also the cell's reference vector, as materials.VectorHysteresis
 * keeps them. */
#include <stdint.h>

#include "orvandel.h"

/* B and dB/dh at every point. */
void c_loop_evaluate(int64_t points, int32_t cells, const Vec3* hrev, const double* weight,
                     const double* chi, double dt, double cell_fraction, const Vec3* h,
                     const double* hc_max, const double* tau_c, const double* tau, Vec3* B,
                     Ten3* mu) {
  for (int64_t p = 0; p < points; ++p) {
    const Vec3* history = hrev + p * cells;
    B[p] = bhyst(cells, history, history, weight, chi, dt, cell_fraction, h[p], hc_max, tau_c, tau);
    mu[p] = dbhyst_dh(cells, history, history, weight, chi, dt, cell_fraction, h[p], hc_max, tau_c,
                      tau);
  }
}

/* Each cell's new reversible field at every point, into next. */
void c_loop_accept(int64_t points, int32_t cells, const Vec3* hrev, const double* weight,
                   const double* chi, double dt, const Vec3* h, const double* hc_max,
                   const double* tau_c, const double* tau, Vec3* next) {
  for (int64_t p = 0; p < points; ++p) {
    for (int32_t k = 0; k < cells; ++k) {
      const Vec3 history = hrev[p * cells + k];
      next[p * cells + k] =
          hrev_k(weight[k], chi[k], hc_max[k], tau_c[k], tau[k], dt, h[p], history, history);
    }
  }
}
