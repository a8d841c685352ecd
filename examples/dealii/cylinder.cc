// Case 1: vector hysteresis in the magnetostatic field of a cylinder, with
// Orvandel linked and its model called at every quadrature point.
//
// In the plane, the uniform applied field H_a(t) and the gradient of the
// scalar potential phi make up the field, and the flux density is free of
// divergence:
//
//     h = H_a - grad phi,    div B(h) = 0,    phi = 0 on the outer circle,
//
// so the field solve's flux is F = -B(h) and its tangent dB/dh. The
// material: B = mu0 ((1 - f) h + sum_k w_k H_k), where each cell k's
// reversible field H_k follows h through a vector play of radius chi_k,
// relaxes with tau_k and is held back by a coupling of time constant tau_c,k
// up to hc_max,k (`bhyst`, `dbhyst_dh`). Every H_k of the last accepted step
// is kept at every quadrature point of the iron (deal.II's CellDataStorage);
// Newton's iterates evaluate B and dB/dh from it and leave it untouched, and
// once a step has converged `hrev_k` advances it to the converged field.
//
// Check: a cylinder of radius a, outer circle at R = 10 a. For any local,
// homogeneous law the field inside is uniform, h = H_a - N_eff M with
// M = B(h)/mu0 - h and N_eff = (1 - a^2/R^2)/2 (the elliptic cylinder's
// demagnetising factors, J. A. Osborn, Phys. Rev. 67 (1945) 351, with the
// image of the outer circle). That equation, solved at one point with the
// same model, steps and history, gives h_point; the area average of h over
// the iron and its largest deviation at the points more than two cells
// inside the surface stay within 0.5 % of |H_a| at every step, H_a
// alternating along x and rotating at constant magnitude.
#include <deal.II/base/quadrature_point_data.h>
#include <deal.II/base/tensor.h>

#include <orvandel.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "field_solve.h"

namespace example {
namespace {

constexpr double RADIUS = 0.010;       // m, the cylinder's
constexpr double OUTER = 10 * RADIUS;  // m, where phi = 0
constexpr double N_EFF = (1 - RADIUS * RADIUS / (OUTER * OUTER)) / 2;
constexpr double H_APPLIED = 2000.0;  // A/m: |h| inside about 800 A/m
constexpr double FREQUENCY = 50.0;    // Hz
constexpr unsigned PERIODS = 2;
constexpr double LIMIT = 0.005;  // of |H_a|

// The four cells: cell 0 without play and coupling (dbhyst_dh is then the
// exact derivative of bhyst), a cell with relaxation, one with coupling, a
// wide one. Weights sum to 4 with f = 0.5: a differential relative
// permeability from 1.5 to 4.5, so the field inside is a good part of H_a.
constexpr int CELLS = 4;
constexpr double CELL_FRACTION = 0.5;
constexpr double WEIGHT[CELLS] = {1.0, 1.5, 1.0, 0.5};
constexpr double CHI[CELLS] = {0.0, 100.0, 250.0, 500.0};  // A/m
constexpr double HC_MAX[CELLS] = {0.0, 0.0, 20.0, 0.0};    // A/m
constexpr double TAU_C[CELLS] = {0.0, 0.0, 1e-3, 0.0};     // s
constexpr double TAU[CELLS] = {0.0, 0.5e-3, 0.0, 0.0};     // s

// The model's history at one point: each cell's H_k and reference field.
struct History {
  std::array<Vec3, CELLS> hrev{}, ref{};

  Vec3 flux_density(Vec3 h, double dt) const {
    return bhyst(CELLS, hrev.data(), ref.data(), WEIGHT, CHI, dt, CELL_FRACTION, h, HC_MAX, TAU_C,
                 TAU);
  }
  Ten3 slope(Vec3 h, double dt) const {
    return dbhyst_dh(CELLS, hrev.data(), ref.data(), WEIGHT, CHI, dt, CELL_FRACTION, h, HC_MAX,
                     TAU_C, TAU);
  }
  // After an accepted step: each cell's new H_k, the value bhyst used.
  void accept(Vec3 h, double dt) {
    for (int k = 0; k < CELLS; ++k) {
      hrev[k] = hrev_k(WEIGHT[k], CHI[k], HC_MAX[k], TAU_C[k], TAU[k], dt, h, hrev[k], ref[k]);
      ref[k] = hrev[k];
    }
  }
};

Vec3 in_3d(const Tensor<1, 2>& v) { return {v[0], v[1], 0.0}; }
Tensor<1, 2> in_plane(Vec3 v) { return Tensor<1, 2>({v.x, v.y}); }

// h inside the cylinder for each applied field, and B there: g(h) = h - H_a
// + N_eff (B(h)/mu0 - h) = 0 at one point, by Newton's method from the last
// step's h (a step that does not lower |g| is halved), the history advanced
// after each step.
std::vector<Tensor<1, 2>> point_model(const std::vector<Tensor<1, 2>>& applied, double dt,
                                      std::vector<Tensor<1, 2>>& B) {
  History history;
  Tensor<1, 2> h;
  std::vector<Tensor<1, 2>> result;
  const auto miss = [&](const Tensor<1, 2>& trial, const Tensor<1, 2>& H_a) {
    return trial - H_a + N_EFF * (in_plane(history.flux_density(in_3d(trial), dt)) / mu0 - trial);
  };
  for (const Tensor<1, 2>& H_a : applied) {
    Tensor<1, 2> g = miss(h, H_a);
    for (unsigned iteration = 0;; ++iteration) {
      if (iteration == 50) throw std::runtime_error("the point model did not converge");
      const Ten3 dB = history.slope(in_3d(h), dt);
      const Tensor<2, 2> slope({{1 - N_EFF + N_EFF * dB.xx / mu0, N_EFF * dB.xy / mu0},
                                {N_EFF * dB.yx / mu0, 1 - N_EFF + N_EFF * dB.yy / mu0}});
      const Tensor<1, 2> correction = invert(slope) * g;
      double step = 1;
      Tensor<1, 2> trial = h - correction, g_trial = miss(trial, H_a);
      while (g_trial.norm() >= g.norm() && step > 1e-6) {
        step /= 2, trial = h - step * correction, g_trial = miss(trial, H_a);
      }
      h = trial, g = g_trial;
      if (step * correction.norm() <= 1e-13 * H_APPLIED) break;
    }
    B.push_back(in_plane(history.flux_density(in_3d(h), dt)));
    history.accept(in_3d(h), dt);
    result.push_back(h);
  }
  return result;
}

// The law: B(h) of the model in the iron, mu0 h in the air.
class Hysteresis : public Law {
 public:
  explicit Hysteresis(double dt) : dt_(dt) {}
  // The virgin state at every point of the iron, each point's history made
  // when the field solve first reaches it.
  void start(unsigned points_per_cell) {
    history_.clear();
    points_per_cell_ = points_per_cell;
  }
  void evaluate(std::vector<QuadraturePoint>& points) override {
    for (QuadraturePoint& p : points) {
      const Tensor<1, 2> h = applied - p.gradient;
      if (p.cell->material_id() != iron) {
        p.flux = -mu0 * h, p.tangent = mu0 * unit_symmetric_tensor<2>();
        continue;
      }
      if (p.q == 0 && !history_.try_get_data(Cell(p.cell)))
        history_.initialize(Cell(p.cell), points_per_cell_);
      const History& history = *history_.get_data(Cell(p.cell))[p.q];
      p.flux = -in_plane(history.flux_density(in_3d(h), dt_));
      // dB/dh is symmetric and positive, so CG applies; its symmetric
      // part is taken, as CG needs K symmetric to the last bit.
      const Ten3 dB = history.slope(in_3d(h), dt_);
      p.tangent[0][0] = dB.xx, p.tangent[1][1] = dB.yy, p.tangent[0][1] = (dB.xy + dB.yx) / 2;
    }
  }
  void accept(const std::vector<QuadraturePoint>& points) {
    for (const QuadraturePoint& p : points)
      if (p.cell->material_id() == iron)
        history_.get_data(Cell(p.cell))[p.q]->accept(in_3d(applied - p.gradient), dt_);
  }

  Tensor<1, 2> applied;  // A/m, H_a of the step

 private:
  using Cell = Triangulation<2>::cell_iterator;
  const double dt_;
  unsigned points_per_cell_ = 0;
  CellDataStorage<Cell, History> history_;
};

// H_a at the end of every step: alternating along x, or rotating.
std::vector<Tensor<1, 2>> applied_fields(bool rotating, unsigned per_period) {
  std::vector<Tensor<1, 2>> applied;
  for (unsigned step = 1; step <= PERIODS * per_period; ++step) {
    const double angle = 2 * numbers::PI * step / per_period;
    applied.push_back(H_APPLIED * (rotating ? Tensor<1, 2>({std::cos(angle), std::sin(angle)})
                                            : Tensor<1, 2>({std::sin(angle), 0.0})));
  }
  return applied;
}

// The cylinder in its applied field: the field solve and its checks.
struct Cylinder {
  Run& run;
  const unsigned per_period, refinements;
  const double dt = 1 / (FREQUENCY * per_period);  // s
  Hysteresis law{dt};
  FieldSolve field{run, {{RADIUS, iron, 0}, {OUTER, air, 4}}, refinements, law};
  const double cell_size = 2 * numbers::PI * RADIUS / (8 << refinements);  // m, at the surface
  const double iron_area = field.area(iron);                               // m^2

  // One load from the virgin state, said on a line; returns the larger
  // deviation from the point model against |H_a|.
  double load(const char* name, const std::vector<Tensor<1, 2>>& applied) {
    std::vector<Tensor<1, 2>> B_point;
    const std::vector<Tensor<1, 2>> h_point = point_model(applied, dt, B_point);
    field.reset();
    law.start(field.points_per_cell());
    double deviation = 0, largest = 0;
    unsigned newton_most = 0, newton_total = 0;
    std::string ends;  // the iron's average B and B_point at the end of each period
    for (unsigned step = 1; step <= applied.size(); ++step) {
      law.applied = applied[step - 1];
      const unsigned iterations = field.solve();
      newton_most = std::max(newton_most, iterations), newton_total += iterations;
      Tensor<1, 2> h_sum, B_sum;
      double inside = 0;
      for (const QuadraturePoint& p : field.points())
        if (p.cell->material_id() == iron) {
          const Tensor<1, 2> h = law.applied - p.gradient;
          h_sum += h * p.JxW, B_sum -= p.flux * p.JxW;
          if (p.x.norm() < RADIUS - 2 * cell_size)
            inside = std::max(inside, (h - h_point[step - 1]).norm());
        }
      law.accept(field.points());
      const Tensor<1, 2> h_average = Utilities::MPI::sum(h_sum, run.comm) / iron_area;
      deviation = std::max(deviation, (h_average - h_point[step - 1]).norm() / H_APPLIED);
      largest = std::max(largest, Utilities::MPI::max(inside, run.comm) / H_APPLIED);
      if (step % per_period == 0) {
        const Tensor<1, 2> B = Utilities::MPI::sum(B_sum, run.comm) / iron_area;
        char end[160];
        std::snprintf(end, sizeof end, "%s(%.5f, %.5f) mT against (%.5f, %.5f) mT",
                      ends.empty() ? "" : "; ", 1e3 * B[0], 1e3 * B[1], 1e3 * B_point[step - 1][0],
                      1e3 * B_point[step - 1][1]);
        ends += end;
      }
    }
    char line[768];
    std::snprintf(line, sizeof line,
                  "cylinder, %s: |h - h_point| / |H_a|: area average %.3e, largest inside %.3e; "
                  "Newton %.1f (mean), %u (largest) iterations per step; the iron's average B "
                  "at the end of each period against the point model's: %s",
                  name, deviation, largest, double(newton_total) / applied.size(), newton_most,
                  ends.c_str());
    run.say(line);
    return std::max(deviation, largest);
  }
};

}  // namespace

double cylinder(Run& run) {
  Cylinder cylinder{run, run.full ? 64u : 12u, run.full ? 3u : 2u};
  char line[256];
  std::snprintf(line, sizeof line,
                "%s: cylinder of %llu curved cells, %llu unknowns, %u steps "
                "per period, %s",
                run.full ? "full" : "small", cylinder.field.cells(),
                (unsigned long long)cylinder.field.unknowns(), cylinder.per_period,
                run.processes().c_str());
  run.say(line);
  const double alternating =
      cylinder.load("alternating", applied_fields(false, cylinder.per_period));
  const double rotating = cylinder.load("rotating", applied_fields(true, cylinder.per_period));
  return std::max(alternating, rotating) / LIMIT;
}

}  // namespace example
