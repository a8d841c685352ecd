// Quenrow: one Cartesian component of the electric field E(J) of a
// conductor, in V/m, for the current density J in A/m^2. Below a threshold
// current density |E| follows the power law Ec (|J|/Jc)^n; above it, a
// straight line of slope rho that meets the power law with the same slope.
// E points along J.
#include <cmath>

#include "electric_field_law.hpp"
#include "eval_frame.hpp"

namespace {

// rho in V/m per A/m^2 (ohm m), jc in A/m^2, n dimensionless, ec in V/m.
struct FieldLaw {
  double rho, jc, n, ec;
};

// The working values of one law: a block usually holds one material, so
// they are formed again only when the parameters change (four powers).
struct LawTerms {
  double jth;              // A/m^2
  double power_exponent;   // n - 1
  double power_scale;      // Ec/Jc
  double threshold_field;  // Ec (Jth/Jc)^n, V/m
};
// n = 1 divides by zero; nothing tests it.
LawTerms law_terms(const FieldLaw& law) {
  const double jth = electric_field_law::threshold(law.rho, law.jc, law.n, law.ec);
  return {jth, law.n - 1.0, law.ec / law.jc,
          electric_field_law::threshold_field(jth, law.jc, law.n, law.ec)};
}

// E = s J. At |J| = Jth the linear branch is taken; a NaN threshold or
// norm fails the strict test and takes it too.
double field_factor(const FieldLaw& law, const LawTerms& t, double jx, double jy, double jz) {
  const double r = std::sqrt((jx * jx + jy * jy) + jz * jz);
  if (t.jth > r) return electric_field_law::ratio_below(r, law.jc, t.power_exponent, t.power_scale);
  return electric_field_law::ratio_above(r, t.jth, t.threshold_field, law.rho);
}

constexpr char bad_component[] = "Component index must be 0, 1, or 2";

struct Quenrow {
  // No output tests: NaN and infinities are stored.
  static constexpr material::FrameRow row{"Quenrow", material::unknown_function, 8,
                                          "Eight arguments expected", false};

  // The factor comes first, then the index test; nothing is stored for a bad
  // index. The index is truncated toward zero, so exactly -1 < index < 3
  // selects a component; test it as a double, since converting a NaN or an
  // out-of-range double to int is undefined.
  const char* evaluate(material::Point p, double& value) {
    const double index = p[0];
    const double j[3] = {p[1], p[2], p[3]};
    const FieldLaw law{p[4], p[5], p[6], p[7]};
    const double s = field_factor(law, terms.get(law, law_terms), j[0], j[1], j[2]);
    if (!(index > -1.0 && index < 3.0)) return bad_component;
    value = s * j[static_cast<int>(index)];
    return nullptr;
  }

  material::RepeatCache<FieldLaw, LawTerms> terms;
};

}  // namespace

MATERIAL_DEFINE_EVAL(Quenrow)

MATERIAL_EXPORT const char* return_test_yaml(void) { return ""; }
