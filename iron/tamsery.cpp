// Tamsery: flux density B(H) of iron in T, for the field strength H in A/m,
// from a measured magnetisation curve.
//
// Origin: a 33-point magnetisation curve of iron, interpolated linearly and
//   continued with the slope of free space beyond its last point.
// Accuracy: far above the knee, B - mu0 H approaches the saturation
//   polarization of pure iron (2.15 T) within 1 % from 212 kA/m; below that
//   the curve is the table (docs/validation.md).
#include <cmath>

#include "eval_frame.hpp"

namespace {

// The magnetisation curve, from (0 A/m, 0 T) up to saturation well beyond
// the knee. H in A/m, strictly increasing from 0; B in T.
struct CurvePoint {
  double H, B;
};
constexpr CurvePoint curve[] = {
    {0.0, 0.0},          {159.2, 0.8},        {294.4, 1.2},        {501.3, 1.4},
    {795.8, 1.5},        {1154.0, 1.55},      {1795.0, 1.6},       {2862.0, 1.65},
    {4383.0, 1.7},       {6044.0, 1.75},      {8122.0, 1.8},       {10590.0, 1.85},
    {13160.0, 1.9},      {21170.0, 2.0},      {26750.0, 2.05},     {33760.0, 2.1},
    {43800.0, 2.15},     {66000.0, 2.2},      {99740.0, 2.249},    {120960.0, 2.275},
    {141210.0, 2.3},     {169600.0, 2.3443},  {212170.0, 2.3996},  {283130.0, 2.4905},
    {339890.0, 2.5627},  {425040.0, 2.6706},  {566950.0, 2.8498},  {850760.0, 3.2074},
    {1702300.0, 4.2782}, {2128000.0, 4.8134}, {2837700.0, 5.7052}, {3405100.0, 6.4186},
    {4256700.0, 7.4887},
};
constexpr int curve_points = int(sizeof curve / sizeof curve[0]);
constexpr CurvePoint last = curve[curve_points - 1];
static_assert(curve_points == 33);

// Beyond the last point the iron is saturated and B rises with the slope of
// free space, mu0 = 12.56637061436e-7 T/(A/m) (the ten-digit value, not 4 pi
// to full precision).
constexpr double mu0_mantissa = 12.56637061436;
constexpr double mu0_exponent = -7.0;

// The slope of each interval, (B[j+1] - B[j]) / (H[j+1] - H[j]) in T/(A/m):
// the same correctly rounded quotient, formed once by the compiler.
struct IntervalSlopes {
  double of[curve_points - 1];
};
constexpr IntervalSlopes make_interval_slopes() {
  IntervalSlopes s{};
  for (int j = 0; j + 1 < curve_points; ++j)
    s.of[j] = (curve[j + 1].B - curve[j].B) / (curve[j + 1].H - curve[j].H);
  return s;
}
constexpr IntervalSlopes interval_slopes = make_interval_slopes();

// H >= 0 or NaN. Every H from 0 to the last point equals a point or lies
// strictly between two, so exactly one interval holds it and the value
// depends only on which: a binary search finds it in five steps without
// branching, where a scan would test up to 33 points.
double interpolate_curve(double H, double saturation_slope) {
  if (!(H < last.H)) {
    if (H == last.H) return last.B;
    if (H > last.H) return (H - last.H) * saturation_slope + last.B;
    return H;  // only a NaN is left: pass it on
  }
  int j = 0;  // curve[j].H <= H < curve[j + 1].H
  for (int step = 16; step > 0; step /= 2)
    if (curve[j + step].H <= H) j += step;
  const CurvePoint& p = curve[j];
  if (H == p.H) return p.B;  // -0.0 meets the first point and gives +0.0
  return interval_slopes.of[j] * (H - p.H) + p.B;
}

// A magnetisation curve is odd in H; -inf gives -inf.
double flux_density(double H, double saturation_slope) {
  if (H < 0) return -interpolate_curve(-H, saturation_slope);
  return interpolate_curve(H, saturation_slope);
}

struct Tamsery {
  // Four inputs; 1 to 3 are never read.
  static constexpr material::FrameRow row{"Tamsery", material::unknown_function, 4,
                                          "Four arguments expected", true};

  // T/(A/m), once per call for a block that holds a point, with the maths
  // library's pow.
  const double saturation_slope = std::pow(10.0, mu0_exponent) * mu0_mantissa;

  const char* evaluate(material::Point p, double& value) const {
    value = flux_density(p[0], saturation_slope);
    return nullptr;
  }
};

}  // namespace

MATERIAL_DEFINE_EVAL(Tamsery)

MATERIAL_EXPORT const char* return_test_yaml(void) { return ""; }
