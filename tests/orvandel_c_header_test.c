/* A C program that includes Orvandel's public header and links the built
 * library: the types, the calling convention of structures by value and the
 * unmangled names as a C caller sees them. Exits non-zero on a mismatch. */
#include <stdio.h>

#include "orvandel.h"

static int failures = 0;

static void expect(int ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "FAILED: %s\n", what);
    ++failures;
  }
}

int main(void) {
  const Vec3 h = {2, 0, 0}, origin = {0, 0, 0};
  const Vec3 hrev_prev[1] = {{0, 0, 0}}, h_ref[1] = {{0, 0, 0}};
  const double weight[1] = {0.5}, chi[1] = {1}, hc_max[1] = {0.25}, tau_c[1] = {2}, tau[1] = {1};
  Vec3 U, H, B;
  Sym3 dU;
  Ten3 dH, dB;

  expect(j_rev(5, 0, 1, 2, 1, 1) == 1.5 && djrev_dj(5, 0, 1, 2, 1, 1) == 0.5, "j_rev");
  expect(G(2, 1, 2) == 1 && dG_dj(2, 1, 2) == 0, "G inside the band");

  U = Urec(1, h, origin, origin);
  dU = dUrec_dh(1, h, origin, origin);
  expect(U.x == 1 && U.y == 0 && U.z == 0, "Urec");
  expect(dU.xx == 1 && dU.yy == 0.5 && dU.zz == 0.5 && dU.xy == 0, "dUrec_dh");

  H = hrev_k(0.5, 1, 0.25, 2, 1, 1, h, origin, origin);
  dH = dHrev_k_dH(0.5, 1, 0.25, 2, 1, 1, h, origin, origin);
  expect(H.x == 0.375 && H.y == 0 && H.z == 0, "hrev_k");
  expect(dH.xx == 0.5 && dH.yy == 0.1875 && dH.zz == 0.1875 && dH.yx == 0, "dHrev_k_dH");

  B = bhyst(1, hrev_prev, h_ref, weight, chi, 1, 0.5, h, hc_max, tau_c, tau);
  dB = dbhyst_dh(1, hrev_prev, h_ref, weight, chi, 1, 0.5, h, hc_max, tau_c, tau);
  expect(B.x == 1.4922565104551518e-06 && B.y == 0 && B.z == 0, "bhyst");
  expect(dB.xx > 9.4247779607693e-07 && dB.xx < 9.4247779607694e-07 && dB.xy == 0, "dbhyst_dh");

  {
    const Vec3 rate = {0, 4, 0};
    const Vec3 c = h_coupling(2, 1.2566370614359173e-06, 0.5, rate);
    expect(c.x == 0 && c.y == 1 && c.z == 0, "h_coupling");
  }
  {
    const Vec3 j = {1, 0, 0};
    const Vec3 E = e_joule(1, 1, 2, 1, j);
    const Ten3 dE = de_joule_dj(1, 1, 2, 1, j);
    const double jth = j_threshold(1, 1, 2, 1);
    expect(jth > 0.4999999999 && jth < 0.5000000001, "j_threshold");
    expect(E.x > 0.7499999999 && E.x < 0.7500000001 && E.y == 0, "e_joule");
    expect(dE.xx > 0.9999999999 && dE.xx < 1.0000000001 && dE.xy == 0, "de_joule_dj");
  }
  if (failures == 0) printf("orvandel.h: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
