// Case 2: an iron ring around a current, with the iron's B(H) curve from
// Tamsery, loaded by file name through the installed host API as any host
// loads a library.
//
// In the plane, the vector potential A_z obeys
//
//     -div(nu(|B|) grad A_z) = J_z,    B = curl(A_z e_z),    A_z = 0 far out,
//
// so the field solve's flux is F = nu grad A_z with the tangent
// nu I + (dnu/d|B| / |B|) grad A_z (x) grad A_z, and the source J_z in the
// conductor. A straight conductor of radius 10 mm carries the current I at
// the centre of a ring from 40 mm to 60 mm, in air out to 150 mm. The
// solution gives |B| at each quadrature point and the law needs H there, so
// the curve is inverted point by point: Newton steps kept inside a bracket
// that every evaluation narrows (bisection where a step would leave it),
// all the iron's points in one eval block per round. The slope dB/dH from
// a forward difference in the same block gives nu's derivative.
//
// Check: Ampere's law fixes H = I/(2 pi r) in the ring whatever the curve,
// so |B| at every quadrature point of the iron must be Tamsery(I/(2 pi r))
// within 1 %, at a current that puts the iron at its knee and at one that
// drives it deep into saturation (H above 1e5 A/m throughout the ring).
#include <material_host_api.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "field_solve.h"

namespace example {
namespace {

constexpr double R_CONDUCTOR = 0.010, R_INNER = 0.040, R_OUTER = 0.060, R_AIR = 0.150;  // m
// A: H about 500 A/m (the knee), above 1e5 A/m (saturation)
constexpr std::pair<const char*, double> CURRENTS[] = {{"knee", 150.0}, {"saturation", 40e3}};
constexpr double INVERSION_RTOL = 1e-13;  // |B(H) - B| against B, to end the inversion
constexpr double STEP_OF_H = 1e-7;        // relative step of the difference for dB/dH
constexpr double LIMIT = 0.01;

class Reluctivity : public Law {
 public:
  explicit Reluctivity(const material_host::Library& tamsery) : tamsery_(tamsery) {}

  // Tamsery's B (T) at every H (A/m) of the block.
  std::vector<double> flux_density(const std::vector<double>& H) const {
    const std::vector<double> unused(H.size(), 0.0);
    std::vector<double> B(H.size());
    tamsery_.eval("Tamsery", {H, unused, unused, unused}, B);
    return B;
  }

  void evaluate(std::vector<QuadraturePoint>& points) override {
    std::vector<double> B;
    for (const QuadraturePoint& p : points)
      if (p.cell->material_id() == iron) B.push_back(std::max(p.gradient.norm(), 1e-12));
    H_.resize(B.size(), 0.0);  // the last evaluation's H, the inversion's start
    const std::vector<double> slope = invert(B);
    std::size_t i = 0;
    for (QuadraturePoint& p : points) {
      if (p.cell->material_id() != iron) {
        p.flux = p.gradient / mu0, p.tangent = unit_symmetric_tensor<2>() / mu0;
        continue;
      }
      const double nu = H_[i] / B[i], dnu_over_B = (1 / slope[i] - nu) / (B[i] * B[i]);
      p.flux = nu * p.gradient;
      p.tangent = nu * unit_symmetric_tensor<2>() +
                  dnu_over_B * symmetrize(outer_product(p.gradient, p.gradient));
      ++i;
    }
  }

  double source(Region region) const override {
    return region == conductor ? current_density : 0.0;
  }

  double current_density = 0;  // A/m^2

 private:
  // H_ with Tamsery(H_) = B at every point, and dB/dH there. Iron's curve
  // lies above mu0 H, so H lies in [0, B/mu0].
  std::vector<double> invert(const std::vector<double>& B) {
    const std::size_t n = B.size();
    std::vector<double> low(n, 0.0), high(n), slope(n), trial;
    std::vector<std::size_t> active(n);
    for (std::size_t i = 0; i < n; ++i) {
      high[i] = B[i] / mu0, H_[i] = std::clamp(H_[i], low[i], high[i]), active[i] = i;
    }
    while (!active.empty()) {
      const std::size_t m = active.size();
      trial.resize(2 * m);
      for (std::size_t j = 0; j < m; ++j) {
        const double H = H_[active[j]];
        trial[j] = H, trial[m + j] = H + STEP_OF_H * std::max(H, 1.0);
      }
      const std::vector<double> both = flux_density(trial);
      std::vector<std::size_t> next;
      for (std::size_t j = 0; j < m; ++j) {
        const std::size_t i = active[j];
        const double miss = both[j] - B[i];
        slope[i] = (both[m + j] - both[j]) / (trial[m + j] - trial[j]);
        (miss < 0 ? low : high)[i] = H_[i];
        if (std::abs(miss) <= INVERSION_RTOL * B[i]) continue;
        const double step = H_[i] - miss / slope[i];
        H_[i] = step > low[i] && step < high[i] ? step : (low[i] + high[i]) / 2;
        if (high[i] - low[i] > 4e-16 * high[i]) next.push_back(i);
      }
      active.swap(next);
    }
    return slope;
  }

  const material_host::Library& tamsery_;
  std::vector<double> H_;  // A/m, at the iron's points
};

}  // namespace

double iron_ring(Run& run) {
  const material_host::Library tamsery(material_host::library_file_name("Tamsery"));
  Reluctivity law(tamsery);
  const unsigned refinements = run.full ? 4 : 3;
  FieldSolve field(
      run, {{R_CONDUCTOR, conductor, 1}, {R_INNER, air, 2}, {R_OUTER, iron, 1}, {R_AIR, air, 2}},
      refinements, law);
  const double conductor_area = field.area(conductor);  // m^2, of the curved cells
  char line[512];
  std::snprintf(line, sizeof line, "iron ring of %llu curved cells, %llu unknowns, %s",
                field.cells(), (unsigned long long)field.unknowns(), run.processes().c_str());
  run.say(line);
  double worst = 0;
  for (const auto& [name, current] : CURRENTS) {
    law.current_density = current / conductor_area;  // carries exactly I
    const unsigned iterations = field.solve();
    std::vector<double> B_fe, H_ampere;
    double H_low = HUGE_VAL, H_high = 0;  // A/m
    for (const QuadraturePoint& p : field.points())
      if (p.cell->material_id() == iron) {
        B_fe.push_back(p.gradient.norm());
        H_ampere.push_back(current / (2 * numbers::PI * p.x.norm()));
        H_low = std::min(H_low, H_ampere.back()), H_high = std::max(H_high, H_ampere.back());
      }
    const auto start = std::chrono::steady_clock::now();
    const std::vector<double> B_ampere = law.flux_density(H_ampere);
    run.eval_seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double deviation = 0;
    for (std::size_t i = 0; i < B_fe.size(); ++i)
      deviation = std::max(deviation, std::abs(B_fe[i] - B_ampere[i]) / B_ampere[i]);
    deviation = Utilities::MPI::max(deviation, run.comm);
    std::snprintf(line, sizeof line,
                  "I = %g A (%s): %u Newton iterations, H in the ring %.4g to %.4g A/m, largest "
                  "|B - Tamsery(I/(2 pi r))| / Tamsery(I/(2 pi r)) over the iron's points %.3f %%",
                  current, name, iterations, Utilities::MPI::min(H_low, run.comm),
                  Utilities::MPI::max(H_high, run.comm), deviation * 100);
    run.say(line);
    worst = std::max(worst, deviation / LIMIT);
  }
  return worst;
}

}  // namespace example
