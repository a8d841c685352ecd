/* A program that links an installed Orvandel: the flux density of the vector
 * hysteresis model and the power-law electric field, at points whose values
 * follow by hand. Exits 0 when every value agrees, else 1, naming each that
 * does not. Valid C and C++, built as both. */
#include <stdio.h>

#include "orvandel.h"

static const double mu0 = 1.2566370614359173e-06; /* H/m, 4 pi 1e-7 */

static int failures = 0;

/* Agreement to 15 significant digits; a zero must come out as zero; NaN never
 * agrees. */
static void check(const char* what, char component, double got, double want) {
  double diff = got - want;
  double scale = want < 0 ? -want : want;
  if (diff < 0) diff = -diff;
  if (!(diff <= 1e-15 * scale)) {
    printf("%s, %c: got %.17g, want %.17g\n", what, component, got, want);
    ++failures;
  }
}

static void check_vec3(const char* what, Vec3 got, double x, double y, double z) {
  check(what, 'x', got.x, x);
  check(what, 'y', got.y, y);
  check(what, 'z', got.z, z);
}

/* Two cells from rest (hrev_prev = h_ref = 0), dt = 1, cell_fraction 0.5,
 * weights 0.25, h = 2 A/m along one axis:
 *   cell 0, no play and no coupling, tau = 1: relaxes halfway, H = 1;
 *   cell 1, play radius 1, coupling tau_c = 2 limited to 0.25, tau = 1: the
 *   play moves to 1; the step d obeys 2 d + F(d) = 1, the linear coupling
 *   2 d would exceed its limit, so F = 0.25 and H = d = 0.375.
 * Then B = mu0 (0.5 h + sum of weight H). Along x and along z, so that a
 * vector passed or returned in the wrong layout shows. */
static void check_flux_density(void) {
  const Vec3 rest[2] = {{0, 0, 0}, {0, 0, 0}};
  const double weight[2] = {0.25, 0.25};
  const double chi[2] = {0, 1};
  const double hc_max[2] = {0, 0.25};
  const double tau_c[2] = {0, 2};
  const double tau[2] = {1, 1};
  const double dt = 1, cell_fraction = 0.5;
  const double weight_half = 0.5;
  const Vec3 hx = {2, 0, 0};
  const Vec3 hz = {0, 0, 2};

  check_vec3("bhyst, two cells along x",
             bhyst(2, rest, rest, weight, chi, dt, cell_fraction, hx, hc_max, tau_c, tau),
             mu0 * 1.34375, 0, 0);
  check_vec3("bhyst, two cells along z",
             bhyst(2, rest, rest, weight, chi, dt, cell_fraction, hz, hc_max, tau_c, tau), 0, 0,
             mu0 * 1.34375);
  /* Cell 1 alone, weight 0.5: B = mu0 (1 + 0.5 * 0.375). */
  check_vec3("bhyst, one cell",
             bhyst(1, rest + 1, rest + 1, &weight_half, chi + 1, dt, cell_fraction, hx, hc_max + 1,
                   tau_c + 1, tau + 1),
             mu0 * 1.1875, 0, 0);
  /* No cells: B = mu0 (1 - cell_fraction) h; no array is read. */
  check_vec3("bhyst, no cells",
             bhyst(0, NULL, NULL, NULL, NULL, dt, cell_fraction, hx, NULL, NULL, NULL), mu0, 0, 0);
}

/* rho = 1, jc = 1, n = 2, ec = 1: the threshold is 0.5. Below it
 * |E| = |J|^2, above it 0.25 + (|J| - 0.5); the threshold itself takes the
 * straight line, which meets the power law there. */
static void check_electric_field(void) {
  const double rho = 1, jc = 1, n = 2, ec = 1;
  const Vec3 below = {0.25, 0, 0};
  const Vec3 at = {0, 0.5, 0};
  const Vec3 above = {0, 0, 1};

  check("j_threshold", '-', j_threshold(rho, jc, n, ec), 0.5);
  check_vec3("e_joule below the threshold", e_joule(rho, jc, n, ec, below), 0.0625, 0, 0);
  check_vec3("e_joule at the threshold", e_joule(rho, jc, n, ec, at), 0, 0.25, 0);
  check_vec3("e_joule above the threshold", e_joule(rho, jc, n, ec, above), 0, 0, 0.75);
}

int main(void) {
  check_flux_density();
  check_electric_field();
  if (failures != 0) {
    printf("%d values disagree\n", failures);
    return 1;
  }
  printf("Orvandel: bhyst and e_joule agree\n");
  return 0;
}
