// Mirrobane: heat capacity per unit volume of copper, C(T) in J/(m^3 K),
// for T in K from 0 up.
//
// Origin: five quartic pieces in T and a straight tail, fitted to the heat
//   capacity of copper per unit volume.
// Accuracy: against the NIST specific heat of OFHC copper times 8960 kg/m^3,
//   within 6.8 % from 4 K to 15 K and 4.5 % from 15 K to 300 K, inside the
//   NIST fit's own stated error; the pieces jump by up to 0.2 % where they
//   meet; nothing compared below 4 K or above 300 K (docs/validation.md).
#include <cmath>

#include "eval_frame.hpp"

namespace {

// Quartic fits C(T) = a0 + (((a4 T^4 + a3 T^3) + a2 T^2) + a1 T), one per
// interval of T. Each row holds up to and including its upper bound: the
// quartics do not meet exactly, so which side owns a breakpoint matters.
// T in K; a_k in J/(m^3 K^(k+1)).
struct QuarticRow {
  double upper_K, a4, a3, a2, a1, a0;
};
constexpr QuarticRow quartic_rows[] = {
    {9.441, -0.0308, 7.229, -2.1286, 101.89, 2.5631},
    {31.134, -0.3045, 29.871, -455.61, 3469.5, -8250.3},
    {123.34, 0.0419, -14.024, 1508.9, -31595, 178430},
    {306.12, -0.000848, 0.8419, -325.52, 60590, -1290000},
    {498.15, -4.8e-05, 0.09173, -64.12, 20363, 1030000},
};

// Above 498.15 K: the straight line that continues the last quartic.
constexpr double tail_slope = 1011.9;              // J/(m^3 K^2)
constexpr double tail_intercept = 3141752.164661;  // J/(m^3 K)

constexpr int quartic_row_count = int(sizeof quartic_rows / sizeof quartic_rows[0]);

// The row is the number of upper bounds below T, counted without a branch:
// on mixed temperatures a chain of tests would mispredict about once a
// point. A NaN is above no bound and below none; counting the bounds it is
// not at or under sends it past the last row to the tail, which keeps it NaN.
double heat_capacity(double T) {
  int row = 0;
  for (const QuarticRow& r : quartic_rows) row += !(T <= r.upper_K);
  if (row == quartic_row_count) return tail_slope * T + tail_intercept;
  const QuarticRow& r = quartic_rows[row];
  return r.a0 + (((r.a4 * std::pow(T, 4.0) + r.a3 * std::pow(T, 3.0)) + r.a2 * std::pow(T, 2.0)) +
                 r.a1 * T);
}

struct Mirrobane {
  static constexpr material::FrameRow row{"Mirrobane", material::unknown_function, 1,
                                          "One argument expected", true};

  const char* evaluate(material::Point p, double& value) const {
    const double T = p[0];
    if (T < 0) return material::t_is_negative;  // -0.0 is not negative
    value = heat_capacity(T);
    return nullptr;
  }
};

}  // namespace

MATERIAL_DEFINE_EVAL(Mirrobane)

MATERIAL_EXPORT const char* return_test_yaml(void) { return Mirrobane::row.host_name; }
