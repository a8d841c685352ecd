// Wembrel: electrical resistivity of aluminium in ohm m, for T in K from 0
// up to 1400.
//
// Origin: a polynomial of degree 6 in log10 T fitted to the resistivity of
//   aluminium.
// Accuracy: a rough fit: against the CRC Handbook's values for high-purity
//   aluminium (after Desai, James and Ho, J. Phys. Chem. Ref. Data 13 (1984)
//   1131) within 26 % from 40 K to 500 K; below 40 K resistivity depends on
//   purity, above 500 K the fit climbs away from the data (docs/validation.md).
#include <cmath>

#include "eval_frame.hpp"

namespace {

// log10 of the resistivity in units of 1e-8 ohm m as E(L) = sum of a[k] L^k,
// L = log10(T / 1 K), accepted for 0 K <= T <= 1400 K. The fit is steep at
// both ends: it climbs fast above about 500 K and overflows for T below
// about 0.0098 K.
struct LogResistivityFit {
  static constexpr double a[7] = {-4.010635050869012, 0.207979301275814, 1.121748209742612,
                                  -5.738194411483883, 7.489576522510857, -3.299730411832043,
                                  0.476050395713888};
};
constexpr double unit_ohm_m = 1e-08;
constexpr double lowest_K = 0;
constexpr double highest_K = 1400;

// Every accepted T is evaluated, so a point never depends on the one before
// it. At T = +-0, log10 gives -inf, the high terms meet as inf - inf and the
// result is NaN; a NaN T stays NaN.
double resistivity(double T) {
  const double* a = LogResistivityFit::a;
  const double L = std::log10(T);
  double E = a[6] * std::pow(L, 6.0);
  E = a[5] * std::pow(L, 5.0) + E;
  E = a[4] * std::pow(L, 4.0) + E;
  E = E + a[3] * std::pow(L, 3.0);
  E = E + (a[2] * L) * L;
  E = E + a[1] * L;
  E = a[0] + E;
  return std::pow(10.0, E) * unit_ohm_m;
}

struct Wembrel {
  static constexpr material::FrameRow row{"Wembrel", material::unknown_function, 1,
                                          "One argument expected", true};

  const char* evaluate(material::Point p, double& value) const {
    const double T = p[0];
    if (T < lowest_K) return material::t_is_negative;  // -0.0 is not negative
    if (T > highest_K) return "Temperature is above 1400 K - outside of the range!";
    value = resistivity(T);
    return nullptr;
  }
};

}  // namespace

MATERIAL_DEFINE_EVAL(Wembrel)

MATERIAL_EXPORT const char* return_test_yaml(void) { return Wembrel::row.host_name; }
