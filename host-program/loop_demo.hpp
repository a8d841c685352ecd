// The hysteresis model driven through whole cycles: the scalar play with
// relaxation under a sinusoidal current density, and the vector model of
// the flux density under an alternating and a rotating field, each cell's
// history carried forward by the caller as the model requires.
#ifndef HOST_PROGRAM_LOOP_DEMO_HPP
#define HOST_PROGRAM_LOOP_DEMO_HPP

#include <string>
#include <vector>

#include "library.hpp"

namespace host_program {

struct LoopSettings {
  int cycles = 3;
  int steps_per_cycle = 200;
  double frequency_Hz = 50.0;
  double j_amplitude = 3e8;   // A/m^2
  double h_amplitude = 1000;  // A/m
  // The scalar model: play band and relaxation time short against the period.
  double j_width = 1e8;  // A/m^2
  double j_tau = 1e-4;   // s
};

// One sample per time step, from t = 0 to the end of the last cycle.
struct LoopSamples {
  std::vector<double> t;         // s
  std::vector<double> j, j_rev;  // A/m^2
  std::vector<double> h, B;      // alternating along x: A/m, T
  std::vector<double> hx_rot, hy_rot, Bx_rot, By_rot;
};

struct LoopReport {
  // Per cycle: the area of j_rev(j), the integral of j dj_rev, in (A/m^2)^2;
  // the energy dissipated, the integral of h . dB, in J/m^3.
  std::vector<double> scalar_area, alternating_energy, rotating_energy;
  // How far the last cycle is from repeating the one before it, relative to
  // the largest value of the loop: 0 for a loop that has closed.
  double scalar_mismatch = 0, alternating_mismatch = 0, rotating_mismatch = 0;
};

// Runs the demo on the model functions of a loaded Orvandel library. Returns
// "" or the reason it cannot run (a model function not exported).
std::string run_loops(const material_host::LoadedLibrary& orvandel, const LoopSettings& settings,
                      LoopSamples& samples, LoopReport& report);

}  // namespace host_program

#endif
