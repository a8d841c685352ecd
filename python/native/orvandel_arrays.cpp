// Orvandel's model functions over NumPy arrays, for the Python package
// (materials.orvandel): one call walks every point of the arguments
// broadcast against each other and calls the model function there, as a C
// program would, so that Python pays one foreign call per array, not one
// per point. The values are the library's own, bit for bit: each point is
// one call of the exported function with that point's arguments.
//
// The table at the end is the one list of these functions. Python reads it
// when it imports the package and makes its wrappers from it: the names,
// the arguments' names and what each function computes are written there;
// the kind of every argument and of the result is read off the function's
// prototype in orvandel.h.
//
// Nothing of Orvandel is linked: the caller passes the address of the
// function it resolved in the Orvandel library it loaded. Freestanding:
// no C++ runtime, no allocation, no state.
#include <stddef.h>
#include <stdint.h>

#include <utility>  // std::index_sequence, a compile-time list

#include "orvandel.h"

#if defined(_WIN32)
#define ORVANDEL_ARRAYS_API extern "C" __declspec(dllexport)
#else
#define ORVANDEL_ARRAYS_API extern "C" __attribute__((visibility("default")))
#endif

// Any function's address, cast to its own type before the call.
using ModelFunction = void (*)();

// One walk: the broadcast shape of the points, and for each parameter of
// the prototype the address of its first point and its stride in bytes
// along each axis (0 along an axis it is broadcast over), axis by axis:
// strides[axis * parameters + k]. Each point's own values (a vector's three
// components, a per-cell array) lie contiguous at its address. Results go
// to `out` point after point in C order.
struct Walk {
  int32_t cells;  // the length of the per-cell arrays
  int32_t axes;
  const int64_t* shape;
  const void* const* data;
  const int64_t* strides;
  double* out;
};

namespace {

static_assert(sizeof(Vec3) == 3 * sizeof(double), "a per-cell array of Vec3 is 3 doubles a cell");

// NumPy allows at most 64 axes (32 before NumPy 2).
constexpr int32_t max_axes = 64;

// A parameter by its C type: its kind letter as Python reads it, and its
// value at a point's address. The cell count has no array; it is `cells`.
template <class T>
struct Parameter;
template <>
struct Parameter<double> {
  static constexpr char kind = 's';  // a scalar
  static double at(const void* p, int32_t) { return *static_cast<const double*>(p); }
};
template <>
struct Parameter<Vec3> {
  static constexpr char kind = 'v';  // a vector, (..., 3)
  static Vec3 at(const void* p, int32_t) {
    const double* v = static_cast<const double*>(p);
    return Vec3{v[0], v[1], v[2]};
  }
};
template <>
struct Parameter<const double*> {
  static constexpr char kind = 'S';  // a scalar per cell, (..., cells)
  static const double* at(const void* p, int32_t) { return static_cast<const double*>(p); }
};
template <>
struct Parameter<const Vec3*> {
  static constexpr char kind = 'V';  // a vector per cell, (..., cells, 3)
  static const Vec3* at(const void* p, int32_t) { return static_cast<const Vec3*>(p); }
};
template <>
struct Parameter<int32_t> {
  static constexpr char kind = 'n';  // the cell count
  static int32_t at(const void*, int32_t cells) { return cells; }
};

// A result by its C type: its kind letter, the doubles it fills per point
// and how. A symmetric tensor is stored in full, row by row.
template <class T>
struct Result;
template <>
struct Result<double> {
  static constexpr char kind = 's';
  static constexpr int width = 1;
  static void store(double* out, double r) { out[0] = r; }
};
template <>
struct Result<Vec3> {
  static constexpr char kind = 'v';
  static constexpr int width = 3;
  static void store(double* out, Vec3 r) { out[0] = r.x, out[1] = r.y, out[2] = r.z; }
};
template <>
struct Result<Ten3> {
  static constexpr char kind = 't';
  static constexpr int width = 9;
  static void store(double* out, Ten3 r) {
    const double rows[9] = {r.xx, r.xy, r.xz, r.yx, r.yy, r.yz, r.zx, r.zy, r.zz};
    for (int i = 0; i < 9; ++i) out[i] = rows[i];
  }
};
template <>
struct Result<Sym3> {
  static constexpr char kind = 'y';
  static constexpr int width = 9;
  static void store(double* out, Sym3 r) {
    Result<Ten3>::store(out, Ten3{r.xx, r.xy, r.xz, r.xy, r.yy, r.yz, r.xz, r.yz, r.zz});
  }
};

// The address `bytes` on from p.
const void* advanced(const void* p, int64_t bytes) { return static_cast<const char*>(p) + bytes; }

// Calls f once per point, the last axis fastest: a run along the last axis
// advances each parameter's address by its stride there; between runs the
// other axes advance like an odometer, each parameter moving back along
// the axes that wrap. A broadcast operand (stride 0) is read in place.
template <class R, class... A, size_t... K>
void walk_points(ModelFunction address, const Walk& w, std::index_sequence<K...>) {
  constexpr size_t parameters = sizeof...(A);
  const auto f = reinterpret_cast<R (*)(A...)>(address);
  double* out = w.out;
  if (w.axes == 0) {
    Result<R>::store(out, f(Parameter<A>::at(w.data[K], w.cells)...));
    return;
  }
  const int32_t last = w.axes - 1;
  const int64_t run = w.shape[last];
  const int64_t* run_stride = w.strides + static_cast<size_t>(last) * parameters;
  int64_t runs = 1;
  for (int32_t axis = 0; axis < last; ++axis) runs *= w.shape[axis];
  const void* start[parameters] = {w.data[K]...};  // of the current run
  int64_t index[max_axes] = {};
  for (; runs > 0; --runs) {
    const void* at[parameters] = {start[K]...};
    for (int64_t i = 0; i < run; ++i, out += Result<R>::width) {
      Result<R>::store(out, f(Parameter<A>::at(at[K], w.cells)...));
      ((at[K] = advanced(at[K], run_stride[K])), ...);
    }
    for (int32_t axis = last - 1; axis >= 0; --axis) {
      const int64_t* stride = w.strides + static_cast<size_t>(axis) * parameters;
      if (++index[axis] < w.shape[axis]) {
        ((start[K] = advanced(start[K], stride[K])), ...);
        break;
      }
      index[axis] = 0;
      ((start[K] = advanced(start[K], -stride[K] * (w.shape[axis] - 1))), ...);
    }
  }
}

template <class F>
struct Prototype;
template <class R, class... A>
struct Prototype<R(A...)> {
  static constexpr char kinds[] = {Parameter<A>::kind..., '\0'};
  static constexpr char result = Result<R>::kind;
  static void walk(ModelFunction f, const Walk& w) {
    walk_points<R, A...>(f, w, std::index_sequence_for<A...>{});
  }
};

}  // namespace

extern "C" {

// One function of the table, as Python reads it.
struct OrvandelArrayFunction {
  const char* name;       // the exported name in Orvandel
  const char* arguments;  // the arguments' names in order, the cell count left out
  const char* kinds;      // per parameter of the prototype: s, v, S, V or n (see above)
  char result;            // s a double, v a Vec3, y a Sym3 stored in full, t a Ten3
  const char* summary;    // what it computes, for its docstring
  void (*walk)(ModelFunction, const Walk&);
};

}  // extern "C"

#define ORVANDEL_ARRAY_FUNCTION(f, arguments, summary)                                           \
  OrvandelArrayFunction {                                                                        \
#f, arguments, Prototype < decltype(f)> ::kinds, Prototype < decltype(f)> ::result, summary, \
        Prototype < decltype(f)> ::walk                                                          \
  }
#define CELLS "hrev_prev h_ref weight chi dt cell_fraction h hc_max tau_c tau"
#define CELL "weight chi hc_max tau_c tau dt h hrev_prev h_ref"
#define FIELD_LAW "rho jc n ec"

// The fourteen model functions, in the header's order; a null name ends
// the table.
ORVANDEL_ARRAYS_API const OrvandelArrayFunction orvandel_array_functions[] = {
    ORVANDEL_ARRAY_FUNCTION(G, "j jplay_prev j_width",
                            "The scalar play: jplay_prev while |j - jplay_prev| <= j_width, else "
                            "j dragged at distance j_width; its value is the play's next state."),
    ORVANDEL_ARRAY_FUNCTION(dG_dj, "j jplay_prev j_width",
                            "dG/dj: 0 inside the band (its edge included), 1 outside or for NaN."),
    ORVANDEL_ARRAY_FUNCTION(j_rev, "j jrev_prev jplay_prev j_width tau dt",
                            "The reversible current density: one backward-Euler step of length dt "
                            "of tau dy/dt = G - y from y = jrev_prev (what materials.Orvandel "
                            "evaluates)."),
    ORVANDEL_ARRAY_FUNCTION(djrev_dj, "j jrev_prev jplay_prev j_width tau dt", "dj_rev/dj."),
    ORVANDEL_ARRAY_FUNCTION(Urec, "chi h hrev_prev h_ref",
                            "One cell's vector play of radius chi: hrev_prev while h lies within "
                            "chi of both hrev_prev and h_ref, else the point at distance chi from "
                            "h towards hrev_prev."),
    ORVANDEL_ARRAY_FUNCTION(dUrec_dh, "chi h hrev_prev h_ref",
                            "dUrec/dh for fixed hrev_prev and h_ref; zero where the play holds."),
    ORVANDEL_ARRAY_FUNCTION(hrev_k, CELL,
                            "One cell's new reversible field: the play output relaxed with tau/dt "
                            "and held back by a coupling of slope tau_c/dt limited to hc_max "
                            "(weight unused)."),
    ORVANDEL_ARRAY_FUNCTION(dHrev_k_dH, CELL,
                            "dH/dh of hrev_k, with hrev_prev and h_ref held fixed."),
    ORVANDEL_ARRAY_FUNCTION(h_coupling, "hc_a tau_c hc_b b_rate",
                            "The coupling law alone: (tau_c/mu0) b_rate limited to the magnitude "
                            "hc_a hc_b."),
    ORVANDEL_ARRAY_FUNCTION(bhyst, CELLS,
                            "B = mu0 ((1 - cell_fraction) h + sum_k weight[k] hrev_k) in T."),
    ORVANDEL_ARRAY_FUNCTION(dbhyst_dh, CELLS,
                            "dB/dh in T m/A; cell 0 enters as a cell without play or coupling, "
                            "mu0 weight[0] / (1 + tau[0]/dt) I."),
    ORVANDEL_ARRAY_FUNCTION(j_threshold, FIELD_LAW,
                            "The |J| at which the power law's slope reaches rho, A/m^2."),
    ORVANDEL_ARRAY_FUNCTION(e_joule, FIELD_LAW " j",
                            "E(J) in V/m: ec (|J|/jc)^n below the threshold, a straight line of "
                            "slope rho above it, along J."),
    ORVANDEL_ARRAY_FUNCTION(de_joule_dj, FIELD_LAW " j",
                            "The tangent tensor of e_joule in ohm m: n |E|/|J| I + (n - 1) "
                            "|E|/|J|^3 J J^T below the threshold, rho I from it on."),
    OrvandelArrayFunction{nullptr, nullptr, nullptr, '\0', nullptr, nullptr},
};

// Walks function `function` of the table (its index) over the points:
// `address` is that function in the caller's Orvandel, `cells` the length
// of the per-cell arrays, the rest as Walk describes. Returns 1, or 0
// without calling anything for an index outside the table or more axes
// than NumPy allows. Runs without touching any state: callers may walk
// separate arrays on separate threads at once.
ORVANDEL_ARRAYS_API int32_t orvandel_array_walk(int32_t function, ModelFunction address,
                                                int32_t cells, int32_t axes, const int64_t* shape,
                                                const void* const* data, const int64_t* strides,
                                                double* out) {
  constexpr int32_t functions =
      sizeof orvandel_array_functions / sizeof orvandel_array_functions[0] - 1;
  if (function < 0 || function >= functions || axes < 0 || axes > max_axes) return 0;
  orvandel_array_functions[function].walk(address, Walk{cells, axes, shape, data, strides, out});
  return 1;
}
