/* Orvandel: a scalar play-and-relaxation model of the reversible current
 * density, a vector hysteresis model of the magnetic flux density built from
 * cells with vector play, relaxation and saturating coupling, and a power-law
 * electric field, each with its derivatives. Valid C and C++.
 *
 * Units: fields h in A/m, flux density B in T, current density J in A/m^2,
 * electric field E in V/m, resistivity in ohm m. Time constants and the time
 * step share one unit of time of the caller's choosing: only their ratios
 * enter the results.
 *
 * Every function is pure: it keeps no state, tests no argument and reports
 * no error; infinities and NaN flow through the IEEE arithmetic. The model
 * has no memory of its own: the caller owns the history (previous reversible
 * fields and currents, play states, reference vectors), passes it in on every
 * call and advances it itself once a step is accepted.
 *
 * These functions run in the caller's floating-point environment, untouched:
 * its rounding mode, traps and flush-to-zero apply to them as to any of the
 * caller's arithmetic. (Only eval switches to the default environment for a
 * block and restores the host's afterwards.)
 *
 * Vectors and tensors are passed and returned by value. A Jacobian's entry
 * (i, j) is the derivative of component i of the result with respect to
 * component j of the variable. */
#ifndef ORVANDEL_H
#define ORVANDEL_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(ORVANDEL_BUILDING)
#define ORVANDEL_API __declspec(dllexport)
#else
#define ORVANDEL_API __declspec(dllimport)
#endif
#else
#define ORVANDEL_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Vec3 {
  double x, y, z;
} Vec3;

/* A symmetric 3x3 tensor by its upper triangle; yx = xy, zx = xz, zy = yz. */
typedef struct Sym3 {
  double xx, xy, xz, yy, yz, zz;
} Sym3;

/* A general 3x3 tensor, row by row: first letter row, second column. */
typedef struct Ten3 {
  double xx, xy, xz, yx, yy, yz, zx, zy, zz;
} Ten3;

/* ---- Scalar play with relaxation (current densities in A/m^2) ---------- */

/* The play operator: jplay_prev while |j - jplay_prev| <= j_width, else j
 * dragged at distance j_width. Its value is the play's next state. */
ORVANDEL_API double G(double j, double jplay_prev, double j_width);

/* dG/dj: 0 inside the band (its edge included), 1 outside or for NaN. */
ORVANDEL_API double dG_dj(double j, double jplay_prev, double j_width);

/* The reversible current density: one backward-Euler step of length dt of
 * tau dy/dt = G - y from y = jrev_prev. This is what eval computes for the
 * host function "Orvandel" from its six inputs in this order. */
ORVANDEL_API double j_rev(double j, double jrev_prev, double jplay_prev, double j_width, double tau,
                          double dt);

/* dj_rev/dj. */
ORVANDEL_API double djrev_dj(double j, double jrev_prev, double jplay_prev, double j_width,
                             double tau, double dt);

/* ---- Vector play of one cell (fields in A/m) --------------------------- */

/* The play output: hrev_prev while h lies within chi of both hrev_prev and
 * h_ref (and when h equals hrev_prev), else the point at distance chi from h
 * on the ray from h through hrev_prev. */
ORVANDEL_API Vec3 Urec(double chi, Vec3 h, Vec3 hrev_prev, Vec3 h_ref);

/* dUrec/dh for fixed hrev_prev and h_ref; zero where the play holds. */
ORVANDEL_API Sym3 dUrec_dh(double chi, Vec3 h, Vec3 hrev_prev, Vec3 h_ref);

/* ---- Reversible field of one cell -------------------------------------- */

/* The cell's new reversible field H: the play output U relaxed from
 * hrev_prev, (1 + tau/dt) (H - hrev_prev) + F(H - hrev_prev) = U - hrev_prev,
 * with the coupling F(d) = (tau_c/dt) d up to the magnitude hc_max (A/m).
 * weight is accepted for the cell's uniform signature and not used. */
ORVANDEL_API Vec3 hrev_k(double weight, double chi, double hc_max, double tau_c, double tau,
                         double dt, Vec3 h, Vec3 hrev_prev, Vec3 h_ref);

/* dH/dh of hrev_k, with hrev_prev and h_ref held fixed. */
ORVANDEL_API Ten3 dHrev_k_dH(double weight, double chi, double hc_max, double tau_c, double tau,
                             double dt, Vec3 h, Vec3 hrev_prev, Vec3 h_ref);

/* ---- Flux density of the cells ----------------------------------------- */

/* The saturating coupling law on its own: (tau_c/mu0) b_rate, limited to
 * the magnitude hc_a * hc_b (A/m); b_rate in T per unit of time. With
 * hc_a * hc_b = hc_max and b_rate = mu0 (H - hrev_prev)/dt it is the
 * coupling term of hrev_k. */
ORVANDEL_API Vec3 h_coupling(double hc_a, double tau_c, double hc_b, Vec3 b_rate);

/* B = mu0 ((1 - cell_fraction) h + sum_k weight[k] H_k) in T, with H_k the
 * hrev_k of cell k, mu0 = 4 pi 1e-7 H/m. Every array holds n_cells entries
 * (none is read for n_cells <= 0). bhyst returns B only: to advance the
 * history after an accepted step, set hrev_prev[k] to hrev_k of cell k with
 * the same arguments (the identical value) and update h_ref as the model
 * requires. */
ORVANDEL_API Vec3 bhyst(int32_t n_cells, const Vec3* hrev_prev, const Vec3* h_ref,
                        const double* weight, const double* chi, double dt, double cell_fraction,
                        Vec3 h, const double* hc_max, const double* tau_c, const double* tau);

/* dB/dh in T m/A, for the arguments of bhyst. Cell 0 enters by the closed
 * form mu0 weight[0] / (1 + tau[0]/dt) I, the term of a reversible cell
 * without play or coupling (chi = 0, tau_c = 0), whatever its chi, hc_max,
 * tau_c and history: it is the exact derivative of bhyst only when cell 0 is
 * such a cell. Cells 1 and up enter through dHrev_k_dH. For n_cells < 1 no
 * array is read and the result is mu0 (1 - cell_fraction) I. */
ORVANDEL_API Ten3 dbhyst_dh(int32_t n_cells, const Vec3* hrev_prev, const Vec3* h_ref,
                            const double* weight, const double* chi, double dt,
                            double cell_fraction, Vec3 h, const double* hc_max, const double* tau_c,
                            const double* tau);

/* ---- Power-law electric field ------------------------------------------ */

/* rho (ohm m): slope of |E| against |J| above the threshold; jc (A/m^2):
 * critical current density; n: exponent (n = 1 is not allowed); ec (V/m):
 * critical field. Below the threshold |E| = ec (|J|/jc)^n, above it a
 * straight line of slope rho; E points along J. */

/* The threshold |J| at which the power law's slope reaches rho (A/m^2). */
ORVANDEL_API double j_threshold(double rho, double jc, double n, double ec);

/* The electric field E(J) in V/m. */
ORVANDEL_API Vec3 e_joule(double rho, double jc, double n, double ec, Vec3 j);

/* The tangent tensor in ohm m, symmetric: below the threshold
 * a I + b J J^T with a = n |E|/|J| (the slope of |E| against |J|) and
 * b = (n - 1) |E|/|J|^3; from the threshold on rho I. It is not the exact
 * Jacobian of e_joule (which has |E|/|J| as its identity coefficient and a
 * J J^T term above the threshold). At J = 0 below the threshold the J J^T
 * term is left out, its limit: the zero tensor for n > 1. */
ORVANDEL_API Ten3 de_joule_dj(double rho, double jc, double n, double ec, Vec3 j);

#ifdef __cplusplus
}
#endif

#endif
