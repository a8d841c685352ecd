// What the host program knows about each host function: its arguments with names,
// units and defaults, the range the library accepts, the range where its fit
// means something physically, and how to sweep and plot it. The facts live
// in catalogue.json, which the Python package reads too; configuring the
// build turns them into the initializer of catalogue().
#ifndef HOST_PROGRAM_CATALOGUE_HPP
#define HOST_PROGRAM_CATALOGUE_HPP

#include <limits>
#include <string>
#include <vector>

#include "catalogue_limit.hpp"

namespace host_program {

constexpr double unbounded = std::numeric_limits<double>::infinity();

// One end of the accepted range.
using Limit = catalogue::Limit;

struct Argument {
  const char* name;
  const char* unit;  // "-" for dimensionless
  double default_value;
  const char* meaning;
  Limit lowest{}, highest{};
  // Narrower than the accepted range where the fit stops being physics;
  // -inf/+inf where every accepted value is meaningful.
  double meaningful_from = -unbounded, meaningful_to = unbounded;
  const char* meaningful_note = nullptr;
};

// The default sweep: which argument, over what, how spaced and plotted.
struct SweepDefaults {
  size_t argument;
  double from, to;
  bool log;         // logarithmic spacing and x axis
  bool result_log;  // the result spans decades: logarithmic y axis
};

struct Entry {
  const char* name;  // the host function name, also the library's name
  const char* computes;
  const char* result;
  const char* result_unit;
  std::vector<Argument> arguments;
  SweepDefaults sweep;
};

const std::vector<Entry>& catalogue();

// Null when the name is not a host function of the catalogue.
const Entry* find_entry(const std::string& name);

// Index of the argument called `name`, or -1.
int argument_index(const Entry& entry, const std::string& name);

// "0 <= T <= 1400", "-1 < k < 3", or "any".
std::string accepted_range(const Argument& argument);

// " (Pellucer accepts T from 4 K to 300 K)", " (Mirrobane accepts T from
// 0 K up)", " (Quenrow accepts k above -1 and below 3)": the range of the
// argument whose range test refuses with `message`, to follow that kept
// message; "" when no range test of the entry refuses with it. The Python
// package adds the same text.
std::string accepted_range_note(const Entry& entry, const std::string& message);

// "T from 40 K to 500 K": where the argument's fit means something.
std::string meaningful_range(const Argument& argument);

// Whether the fit means something at `value` (never at NaN).
bool is_meaningful(const Argument& argument, double value);

}  // namespace host_program

#endif
