#include "catalogue.hpp"

#include <cmath>
#include <sstream>

namespace materials_tool {

namespace {

const char* const t_negative = "T is negative!";
const char* const index_message = "Component index must be 0, 1, or 2";

// A temperature in kelvin with its accepted bounds (both inclusive).
Argument temperature(Limit lowest, Limit highest = {}) {
  return {"T", "K", 77.0, "temperature", lowest, highest};
}

}  // namespace

const std::vector<Entry>& catalogue() {
  static const std::vector<Entry> entries = {
      {"Orvandel",
       "reversible current density of the scalar play-and-relaxation model",
       "j_rev",
       "A/m^2",
       {{"j", "A/m^2", 2e8, "current density, the input of the play"},
        {"jrev_prev", "A/m^2", 0.0, "reversible current density of the previous step"},
        {"jplay_prev", "A/m^2", 0.0, "previous play state, the centre of its band"},
        {"j_width", "A/m^2", 1e8, "half-width of the play band"},
        {"tau", "s", 1e-3, "relaxation time constant (tau + dt must not be 0)"},
        {"dt", "s", 1e-3, "time step"}},
       {0, -3e8, 3e8, false, false}},
      {"Tamsery",
       "flux density B(H) of iron",
       "B",
       "T",
       {{"H",
         "A/m",
         1000.0,
         "magnetic field strength",
         {},
         {},
         0.0,
         4256700.0,
         "the 33-point table; a straight line of slope 1.2566e-6 T/(A/m) beyond"},
        {"input1", "-", 0.0, "accepted and never read"},
        {"input2", "-", 0.0, "accepted and never read"},
        {"input3", "-", 0.0, "accepted and never read"}},
       {0, 10.0, 4256700.0, true, false}},
      // A superconducting tape: 1 uV/cm criterion, Jc of a coated conductor
      // at 77 K, a steep transition, a normal-metal stabiliser above it.
      {"Quenrow",
       "one Cartesian component of the power-law electric field E(J)",
       "E",
       "V/m",
       {{"k",
         "-",
         0.0,
         "component index, truncated: 0 x, 1 y, 2 z",
         {-1.0, false, index_message},
         {3.0, false, index_message}},
        {"Jx", "A/m^2", 1e10, "current density, x component"},
        {"Jy", "A/m^2", 0.0, "current density, y component"},
        {"Jz", "A/m^2", 0.0, "current density, z component"},
        {"rho", "Ohm m", 2e-9, "slope of |E| over |J| above the threshold"},
        {"jc", "A/m^2", 1e10, "critical current density"},
        {"n", "-", 30.0, "power-law exponent (n = 1 divides by zero)"},
        {"ec", "V/m", 1e-4, "critical electric field"}},
       {1, 5e9, 3e10, false, true}},
      {"Daskelt",
       "thermal conductivity of copper times dividend/divisor",
       "k",
       "W/(m K)",
       {{"T",
         "K",
         77.0,
         "temperature",
         {},
         {},
         4.0,
         300.0,
         "the range of the published reference values"},
        {"RRR", "-", 100.0, "residual-resistivity ratio"},
        {"dividend", "-", 1.0, "scale factor, numerator"},
        {"divisor", "-", 1.0, "scale factor, denominator"}},
       {0, 4.0, 300.0, true, true}},
      {"Mirrobane",
       "heat capacity per unit volume of copper",
       "C",
       "J/(m^3 K)",
       {{"T",
         "K",
         77.0,
         "temperature",
         {0.0, true, t_negative},
         {},
         0.0,
         498.15,
         "five quartic fits; a straight-line continuation above 498.15 K"}},
       {0, 1.0, 1000.0, true, true}},
      {"Pellucer",
       "temperature derivative of the heat capacity of aluminium, times m",
       "m_dC_dT",
       "J/(kg K^2)",
       {temperature({4.0, true, t_negative},
                    {300.0, true, "Temperature is above 1400 K - out of range!"}),
        {"m", "-", 1.0, "factor applied to dC/dT"}},
       {0, 4.0, 300.0, true, true}},
      {"Wembrel",
       "electrical resistivity of aluminium",
       "rho",
       "Ohm m",
       {{"T",
         "K",
         77.0,
         "temperature (T = 0 gives no finite value)",
         {0.0, true, t_negative},
         {1400.0, true, "Temperature is above 1400 K - outside of the range!"},
         1.0,
         500.0,
         "the fit climbs steeply below 1 K and above about 500 K; aluminium melts at 933 K"}},
       {0, 1.0, 500.0, true, true}},
  };
  return entries;
}

const Entry* find_entry(const std::string& name) {
  for (const Entry& e : catalogue()) {
    if (name == e.name) return &e;
  }
  return nullptr;
}

int argument_index(const Entry& entry, const std::string& name) {
  for (size_t k = 0; k < entry.arguments.size(); ++k) {
    if (name == entry.arguments[k].name) return static_cast<int>(k);
  }
  return -1;
}

std::string accepted_range(const Argument& a) {
  std::ostringstream text;
  if (a.lowest.message == nullptr && a.highest.message == nullptr) return "any";
  if (a.lowest.message != nullptr) text << a.lowest.value << (a.lowest.inclusive ? " <= " : " < ");
  text << a.name;
  if (a.highest.message != nullptr)
    text << (a.highest.inclusive ? " <= " : " < ") << a.highest.value;
  return text.str();
}

double first_refused(const Limit& limit, bool upper) {
  if (!limit.inclusive) return limit.value;
  return std::nextafter(limit.value, upper ? unbounded : -unbounded);
}

}  // namespace materials_tool
