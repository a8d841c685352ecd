#include "loop_demo.hpp"

#include <algorithm>
#include <cmath>

#include "orvandel.h"

namespace host_program {

namespace {

// The model functions' own types, taken from the public header.
using GFn = decltype(&G);
using JRevFn = decltype(&j_rev);
using HRevFn = decltype(&hrev_k);
using BHystFn = decltype(&bhyst);

constexpr double two_pi = 6.283185307179586;

// The vector model: cell 0 is reversible (no play, no coupling), the others
// have growing play radii, small against the field amplitude so that a
// rotating field drags them onto their steady circles within a cycle; the
// weights make the material's permeability
// 1000 mu0 once every cell follows h.
struct CellData {
  double weight;  // -
  double chi;     // A/m, play radius
  double hc_max;  // A/m, coupling limit
  double tau_c;   // s, coupling time constant
  double tau;     // s, relaxation time constant
};
constexpr CellData cells[] = {
    {250, 0, 0, 0, 1e-5},
    {250, 75, 20, 2e-5, 1e-5},
    {250, 150, 20, 2e-5, 1e-5},
    {250, 225, 20, 2e-5, 1e-5},
};
constexpr int32_t cell_count = int32_t(sizeof cells / sizeof cells[0]);
constexpr double cell_fraction = 1.0;

// The cells' history and parameters as the parallel arrays bhyst takes.
struct VectorModel {
  Vec3 hrev[cell_count] = {}, h_ref[cell_count] = {};
  double weight[cell_count], chi[cell_count], hc_max[cell_count], tau_c[cell_count],
      tau[cell_count];
  VectorModel() {
    for (int k = 0; k < cell_count; ++k) {
      weight[k] = cells[k].weight, chi[k] = cells[k].chi, hc_max[k] = cells[k].hc_max;
      tau_c[k] = cells[k].tau_c, tau[k] = cells[k].tau;
    }
  }
  // B at h, then every cell's history moved on to its new reversible field,
  // which also becomes the reference of the play's keep test.
  Vec3 step(BHystFn b_hyst, HRevFn h_rev, double dt, Vec3 h) {
    const Vec3 B =
        b_hyst(cell_count, hrev, h_ref, weight, chi, dt, cell_fraction, h, hc_max, tau_c, tau);
    for (int k = 0; k < cell_count; ++k) {
      hrev[k] = h_rev(weight[k], chi[k], hc_max[k], tau_c[k], tau[k], dt, h, hrev[k], h_ref[k]);
      h_ref[k] = hrev[k];
    }
    return B;
  }
};

// The integral of x dy over each cycle, by the trapezoidal rule; with more
// than one component the dot product of the two vectors' increments.
std::vector<double> cycle_integrals(const std::vector<const std::vector<double>*>& x,
                                    const std::vector<const std::vector<double>*>& y, int cycles,
                                    int steps) {
  std::vector<double> integrals;
  for (int c = 0; c < cycles; ++c) {
    double sum = 0;
    for (int i = c * steps + 1; i <= (c + 1) * steps; ++i) {
      for (size_t d = 0; d < x.size(); ++d) {
        const auto& xs = *x[d];
        const auto& ys = *y[d];
        sum += 0.5 * (xs[size_t(i)] + xs[size_t(i - 1)]) * (ys[size_t(i)] - ys[size_t(i - 1)]);
      }
    }
    integrals.push_back(sum);
  }
  return integrals;
}

// Largest difference between the last cycle and the one before it, relative
// to the largest magnitude in the signal.
double mismatch(const std::vector<const std::vector<double>*>& signal, int cycles, int steps) {
  double difference = 0, scale = 0;
  for (const std::vector<double>* s : signal) {
    for (double v : *s) scale = std::max(scale, std::fabs(v));
    for (int i = (cycles - 1) * steps; i <= cycles * steps; ++i)
      difference = std::max(difference, std::fabs((*s)[size_t(i)] - (*s)[size_t(i - steps)]));
  }
  return scale > 0 ? difference / scale : difference;
}

}  // namespace

std::string run_loops(const material_host::LoadedLibrary& orvandel, const LoopSettings& settings,
                      LoopSamples& samples, LoopReport& report) {
  const auto play = orvandel.symbol<GFn>("G");
  const auto relaxed = orvandel.symbol<JRevFn>("j_rev");
  const auto h_rev = orvandel.symbol<HRevFn>("hrev_k");
  const auto b_hyst = orvandel.symbol<BHystFn>("bhyst");
  for (const char* name : {"G", "j_rev", "hrev_k", "bhyst"}) {
    if (orvandel.address(name) == nullptr) return orvandel.path() + " does not export " + name;
  }

  const int steps = settings.steps_per_cycle;
  const int total = settings.cycles * steps;
  const double dt = 1.0 / (settings.frequency_Hz * steps);
  samples = LoopSamples{};
  double jrev = 0, jplay = 0;
  VectorModel alternating, rotating;
  for (int i = 0; i <= total; ++i) {
    const double t = i * dt;
    const double phase = two_pi * double(i % steps) / double(steps);
    samples.t.push_back(t);

    const double j = settings.j_amplitude * std::sin(phase);
    jrev = relaxed(j, jrev, jplay, settings.j_width, settings.j_tau, dt);
    jplay = play(j, jplay, settings.j_width);
    samples.j.push_back(j), samples.j_rev.push_back(jrev);

    const double h = settings.h_amplitude * std::sin(phase);
    const Vec3 B = alternating.step(b_hyst, h_rev, dt, Vec3{h, 0, 0});
    samples.h.push_back(h), samples.B.push_back(B.x);

    const Vec3 h_rot{settings.h_amplitude * std::cos(phase), settings.h_amplitude * std::sin(phase),
                     0};
    const Vec3 B_rot = rotating.step(b_hyst, h_rev, dt, h_rot);
    samples.hx_rot.push_back(h_rot.x), samples.hy_rot.push_back(h_rot.y);
    samples.Bx_rot.push_back(B_rot.x), samples.By_rot.push_back(B_rot.y);
  }

  const int cycles = settings.cycles;
  report.scalar_area = cycle_integrals({&samples.j}, {&samples.j_rev}, cycles, steps);
  report.alternating_energy = cycle_integrals({&samples.h}, {&samples.B}, cycles, steps);
  report.rotating_energy = cycle_integrals({&samples.hx_rot, &samples.hy_rot},
                                           {&samples.Bx_rot, &samples.By_rot}, cycles, steps);
  report.scalar_mismatch = mismatch({&samples.j_rev}, cycles, steps);
  report.alternating_mismatch = mismatch({&samples.B}, cycles, steps);
  report.rotating_mismatch = mismatch({&samples.Bx_rot, &samples.By_rot}, cycles, steps);
  return {};
}

}  // namespace host_program
