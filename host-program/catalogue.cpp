#include "catalogue.hpp"

#include <cmath>
#include <sstream>

#include "table.hpp"

namespace host_program {

const std::vector<Entry>& catalogue() {
  static const std::vector<Entry> entries = {
#include "catalogue_entries.inc"
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

namespace {

// "4 K", "-1": a bound as printf's %g writes it, with the unit unless it is
// dimensionless.
std::string bound_text(double value, const std::string& unit) {
  return format_number(value, 6) + (unit == "-" ? "" : " " + unit);
}

// "from 4 K to 300 K", "from 0 K up", "above -1 and below 3".
std::string limits_text(const Argument& a) {
  std::string lower, upper;
  if (a.lowest.message != nullptr)
    lower = (a.lowest.inclusive ? "from " : "above ") + bound_text(a.lowest.value, a.unit);
  if (a.highest.message != nullptr)
    upper = (a.highest.inclusive ? "to " : "below ") + bound_text(a.highest.value, a.unit);
  if (lower.empty()) return a.highest.inclusive ? "up " + upper : upper;
  if (upper.empty()) return a.lowest.inclusive ? lower + " up" : lower;
  return lower + (a.lowest.inclusive && a.highest.inclusive ? " " : " and ") + upper;
}

}  // namespace

std::string accepted_range_note(const Entry& entry, const std::string& message) {
  for (const Argument& a : entry.arguments) {
    for (const Limit* limit : {&a.lowest, &a.highest}) {
      if (limit->message != nullptr && message == limit->message)
        return " (" + std::string(entry.name) + " accepts " + a.name + " " + limits_text(a) + ")";
    }
  }
  return {};
}

std::string meaningful_range(const Argument& argument) {
  return std::string(argument.name) + " from " +
         bound_text(argument.meaningful_from, argument.unit) + " to " +
         bound_text(argument.meaningful_to, argument.unit);
}

bool is_meaningful(const Argument& argument, double value) {
  return value >= argument.meaningful_from && value <= argument.meaningful_to;
}

}  // namespace host_program
