#include "catalogue.hpp"

#include <cmath>
#include <sstream>

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

double first_refused(const Limit& limit, bool upper) {
  if (!limit.inclusive) return limit.value;
  return std::nextafter(limit.value, upper ? unbounded : -unbounded);
}

}  // namespace host_program
