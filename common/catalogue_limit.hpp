// One end of a host function argument's accepted range, as the catalogue
// (catalogue.json) gives it: read by the host program and by the tests.
#ifndef MATERIAL_CATALOGUE_LIMIT_HPP
#define MATERIAL_CATALOGUE_LIMIT_HPP

namespace catalogue {

// Values past `value` fail with `message`; `inclusive` says whether the bound
// itself passes.
struct Limit {
  double value = 0;
  bool inclusive = true;
  const char* message = nullptr;  // null: no limit on this side
};

}  // namespace catalogue

#endif
