// Fuzzes the model functions Orvandel exports to programs, loaded from the
// built file: any doubles, any vectors, any cell count with arrays of
// exactly that many cells. Nothing may crash or be undefined (the sanitizers
// watch), a call must give the same bits when repeated, and no call may
// change the caller's floating-point control settings.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "fuzzed_input.hpp"
#include "orvandel.h"
#include "support/loaded_library.hpp"

namespace {

using fuzzing::FuzzedInput;

struct Model {
  decltype(&::G) G;
  decltype(&::dG_dj) dG_dj;
  decltype(&::j_rev) j_rev;
  decltype(&::djrev_dj) djrev_dj;
  decltype(&::Urec) Urec;
  decltype(&::dUrec_dh) dUrec_dh;
  decltype(&::hrev_k) hrev_k;
  decltype(&::dHrev_k_dH) dHrev_k_dH;
  decltype(&::h_coupling) h_coupling;
  decltype(&::bhyst) bhyst;
  decltype(&::dbhyst_dh) dbhyst_dh;
  decltype(&::j_threshold) j_threshold;
  decltype(&::e_joule) e_joule;
  decltype(&::de_joule_dj) de_joule_dj;
};

testing_support::LoadedLibrary* library = nullptr;
Model model;

template <class Fn>
void resolve(Fn& fn, const char* name) {
  fn = library->symbol<Fn>(name);
  if (fn == nullptr) {
    std::fprintf(stderr, "Orvandel does not export %s\n", name);
    std::abort();
  }
}

Vec3 next_vec3(FuzzedInput& in) {
  const double x = in.next_double(), y = in.next_double(), z = in.next_double();
  return {x, y, z};
}

// The control half of the SSE register: masks, rounding, FTZ and DAZ.
unsigned int control_settings() {
#if defined(__x86_64__)
  return _mm_getcsr() & 0xFFC0u;
#else
  return 0;
#endif
}

// Calls f twice and demands the same bits and unchanged control settings.
template <class F>
void check_pure(const char* name, F f) {
  const unsigned int control = control_settings();
  const auto first = f();
  const auto second = f();
  if (std::memcmp(&first, &second, sizeof first) != 0) {
    std::fprintf(stderr, "%s: two calls with the same arguments differ\n", name);
    std::abort();
  }
  if (control_settings() != control) {
    std::fprintf(stderr, "%s changed the caller's floating-point settings\n", name);
    std::abort();
  }
}

void scalar_play(FuzzedInput& in) {
  const double j = in.next_double(), jrev_prev = in.next_double(), jplay = in.next_double(),
               width = in.next_double(), tau = in.next_double(), dt = in.next_double();
  check_pure("G", [&] { return model.G(j, jplay, width); });
  check_pure("dG_dj", [&] { return model.dG_dj(j, jplay, width); });
  check_pure("j_rev", [&] { return model.j_rev(j, jrev_prev, jplay, width, tau, dt); });
  check_pure("djrev_dj", [&] { return model.djrev_dj(j, jrev_prev, jplay, width, tau, dt); });
}

void one_cell(FuzzedInput& in) {
  const double weight = in.next_double(), chi = in.next_double(), hc_max = in.next_double(),
               tau_c = in.next_double(), tau = in.next_double(), dt = in.next_double();
  const Vec3 h = next_vec3(in), hrev_prev = next_vec3(in), h_ref = next_vec3(in);
  check_pure("Urec", [&] { return model.Urec(chi, h, hrev_prev, h_ref); });
  check_pure("dUrec_dh", [&] { return model.dUrec_dh(chi, h, hrev_prev, h_ref); });
  check_pure("hrev_k", [&] {
    return model.hrev_k(weight, chi, hc_max, tau_c, tau, dt, h, hrev_prev, h_ref);
  });
  check_pure("dHrev_k_dH", [&] {
    return model.dHrev_k_dH(weight, chi, hc_max, tau_c, tau, dt, h, hrev_prev, h_ref);
  });
  check_pure("h_coupling", [&] { return model.h_coupling(hc_max, tau_c, chi, h); });
}

void cells(FuzzedInput& in) {
  const int32_t n_cells = static_cast<int32_t>(in.byte() % 24) - 3;
  const size_t n = n_cells > 0 ? size_t(n_cells) : 0;
  // Exactly n entries each: a read past the last cell is caught.
  std::vector<Vec3> hrev_prev(n), h_ref(n);
  std::vector<double> weight(n), chi(n), hc_max(n), tau_c(n), tau(n);
  for (size_t k = 0; k < n; ++k) {
    hrev_prev[k] = next_vec3(in);
    h_ref[k] = next_vec3(in);
    weight[k] = in.next_double();
    chi[k] = in.next_double();
    hc_max[k] = in.next_double();
    tau_c[k] = in.next_double();
    tau[k] = in.next_double();
  }
  const double dt = in.next_double(), cell_fraction = in.next_double();
  const Vec3 h = next_vec3(in);
  check_pure("bhyst", [&] {
    return model.bhyst(n_cells, hrev_prev.data(), h_ref.data(), weight.data(), chi.data(), dt,
                       cell_fraction, h, hc_max.data(), tau_c.data(), tau.data());
  });
  check_pure("dbhyst_dh", [&] {
    return model.dbhyst_dh(n_cells, hrev_prev.data(), h_ref.data(), weight.data(), chi.data(), dt,
                           cell_fraction, h, hc_max.data(), tau_c.data(), tau.data());
  });
}

void power_law(FuzzedInput& in) {
  const double rho = in.next_double(), jc = in.next_double(), n = in.next_double(),
               ec = in.next_double();
  const Vec3 j = next_vec3(in);
  check_pure("j_threshold", [&] { return model.j_threshold(rho, jc, n, ec); });
  check_pure("e_joule", [&] { return model.e_joule(rho, jc, n, ec, j); });
  check_pure("de_joule_dj", [&] { return model.de_joule_dj(rho, jc, n, ec, j); });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  library = new testing_support::LoadedLibrary(catalogue::Orvandel.name);
  if (!library->loaded()) {
    std::fprintf(stderr, "%s\n", library->load_error().c_str());
    std::abort();
  }
  resolve(model.G, "G");
  resolve(model.dG_dj, "dG_dj");
  resolve(model.j_rev, "j_rev");
  resolve(model.djrev_dj, "djrev_dj");
  resolve(model.Urec, "Urec");
  resolve(model.dUrec_dh, "dUrec_dh");
  resolve(model.hrev_k, "hrev_k");
  resolve(model.dHrev_k_dH, "dHrev_k_dH");
  resolve(model.h_coupling, "h_coupling");
  resolve(model.bhyst, "bhyst");
  resolve(model.dbhyst_dh, "dbhyst_dh");
  resolve(model.j_threshold, "j_threshold");
  resolve(model.e_joule, "e_joule");
  resolve(model.de_joule_dj, "de_joule_dj");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedInput in(data, size);
  while (!in.empty()) {
    switch (in.byte() % 4) {
      case 0:
        scalar_play(in);
        break;
      case 1:
        one_cell(in);
        break;
      case 2:
        cells(in);
        break;
      default:
        power_law(in);
        break;
    }
  }
  return 0;
}
