#include "field_solve.h"

#include <deal.II/base/index_set.h>
#include <deal.II/dofs/dof_tools.h>
#include <deal.II/fe/fe_values.h>
#include <deal.II/grid/grid_tools.h>
#include <deal.II/grid/tria_description.h>
#include <deal.II/lac/solver_control.h>
#include <deal.II/lac/solver_cg.h>
#include <deal.II/lac/trilinos_sparsity_pattern.h>
#include <deal.II/numerics/vector_tools.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace example {

// Newton stops when its correction is this small against u, in the largest
// magnitude; quadratic convergence leaves a far smaller error. Each
// correction is solved to CG_RTOL of |R| at Newton's start (a correction
// whose |R| is below that is zero, and Newton has converged): far below the
// printed digits, so that runs on 1 and on 2 processes, with different
// multigrid hierarchies, give the same figures, and yet well above the
// rounding that stops CG (tighter, it breaks down near a converged field).
constexpr double NEWTON_RTOL = 1e-8;
constexpr double CG_RTOL = 1e-10;
constexpr unsigned NEWTON_ITERATIONS = 50;
constexpr unsigned HALVINGS = 10;  // of a correction that does not lower |R|

Run::Run(const char* name, int argc, char** argv)
    : root(Utilities::MPI::this_mpi_process(MPI_COMM_WORLD) == 0), name_(name) {
  for (int i = 1; i < argc; ++i) {
    const bool size = std::strcmp(argv[i], "--size") == 0 && i + 1 < argc;
    if (size && std::strcmp(argv[i + 1], "full") == 0) {
      full = true, ++i;
    } else if (size && std::strcmp(argv[i + 1], "small") == 0) {
      ++i;
    } else {
      help = true;
      say(std::string("usage: ") + name +
          " [--size small|full]\nsmall (the default): a coarse mesh and few steps; full: the "
          "resolution the figures in the README come from");
      usage_error_ = std::strcmp(argv[i], "--help") != 0 && std::strcmp(argv[i], "-h") != 0;
      return;
    }
  }
}

void Run::say(const std::string& text) const {
  if (root) std::printf("%s: %s\n", name_, text.c_str()), std::fflush(stdout);
}

std::string Run::processes() const {
  const unsigned n = Utilities::MPI::n_mpi_processes(comm);
  return std::to_string(n) + (n > 1 ? " processes" : " process");
}

int Run::finish(const std::string& what, double figure, double limit) const {
  if (help) return usage_error_;
  const bool ok = figure <= limit;
  const double n = Utilities::MPI::n_mpi_processes(comm);
  const double eval = Utilities::MPI::sum(eval_seconds, comm) / n;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double wall = Utilities::MPI::max(elapsed, comm);
  char line[512];
  std::snprintf(line, sizeof line,
                "%s %.6e (limit %g) %s; eval %.1f %% of the run (%.2f s of %.2f s per process), %s",
                what.c_str(), figure, limit, ok ? "ok" : "FAIL", 100 * eval / wall, eval, wall,
                processes().c_str());
  say(line);
  return ok ? 0 : 1;
}

namespace {

constexpr unsigned AROUND = 8;  // coarse cells around every circle

// The coarse mesh of concentric regions: a square of 2 x 2 cells of half
// the first radius, a ring of AROUND cells from it to the first circle, and
// rings of AROUND cells between circles. Vertices on a circle lie at the
// angles 2 pi k / AROUND, the square's at the same angles on its edges, so
// that every cell is convex. Cells are polar (manifold 0, exact on every
// circle) in the rings of circles; the square's are flat, and so are those of
// its ring but for their face on the first circle, which the second-order
// mapping blends into their interior.
void concentric_mesh(Triangulation<2>& triangulation, const std::vector<Annulus>& annuli) {
  const double half = annuli[0].outer / 2;
  std::vector<Point<2>> vertices;
  for (int j = -1; j <= 1; ++j)
    for (int i = -1; i <= 1; ++i) vertices.emplace_back(i * half, j * half);
  // the square's edge, counterclockwise from the x axis: (i, j) grid indices
  const unsigned square[AROUND] = {5, 8, 7, 6, 3, 0, 1, 2};
  std::vector<CellData<2>> cells;
  for (unsigned j = 0; j < 2; ++j)
    for (unsigned i = 0; i < 2; ++i) {
      CellData<2> cell;
      const unsigned first = 3 * j + i;
      cell.vertices = {first, first + 1, first + 3, first + 4};
      cell.material_id = annuli[0].region;
      cell.manifold_id = numbers::flat_manifold_id;
      cells.push_back(cell);
    }
  std::vector<unsigned> inner(square, square + AROUND);
  double radius = 0;
  for (const Annulus& annulus : annuli) {
    const unsigned layers = radius == 0 ? 1 : annulus.layers;
    for (unsigned layer = 1; layer <= layers; ++layer) {
      const double r = radius == 0
                           ? annulus.outer
                           : radius * std::pow(annulus.outer / radius, double(layer) / layers);
      std::vector<unsigned> outer;
      for (unsigned k = 0; k < AROUND; ++k) {
        const double angle = 2 * numbers::PI * k / AROUND;
        outer.push_back(vertices.size());
        vertices.emplace_back(r * std::cos(angle), r * std::sin(angle));
      }
      for (unsigned k = 0; k < AROUND; ++k) {
        CellData<2> cell;  // radial, then counterclockwise: positive orientation
        const unsigned next = (k + 1) % AROUND;
        cell.vertices = {inner[k], outer[k], inner[next], outer[next]};
        cell.material_id = annulus.region;
        cell.manifold_id = radius == 0 ? numbers::flat_manifold_id : 0;
        cells.push_back(cell);
      }
      inner = outer;
    }
    radius = annulus.outer;
  }
  // the square's cells and the rings' run their local axes differently: make
  // every shared line's direction agree, as the triangulation requires
  GridTools::consistently_order_cells(cells);
  triangulation.create_triangulation(vertices, cells, SubCellData());
  // Faces take the manifold of their cells; those on a circle are polar.
  for (const auto& cell : triangulation.active_cell_iterators())
    for (const auto& face : cell->face_iterators()) {
      const double r0 = face->vertex(0).norm(), r1 = face->vertex(1).norm();
      const bool on_circle = r0 > 0 && std::abs(r0 - r1) < 1e-12 * r0;
      face->set_manifold_id(on_circle ? 0 : cell->manifold_id());
    }
}

}  // namespace

FieldSolve::FieldSolve(Run& run, const std::vector<Annulus>& annuli, unsigned refinements, Law& law)
    : run_(run), law_(law), triangulation_(run.comm), polar_(Point<2>()) {
  concentric_mesh(triangulation_, annuli);
  triangulation_.set_manifold(0, polar_);
  triangulation_.refine_global(refinements);

  dofs_.reinit(triangulation_);
  dofs_.distribute_dofs(element_);
  const IndexSet owned = dofs_.locally_owned_dofs();
  IndexSet relevant;
  DoFTools::extract_locally_relevant_dofs(dofs_, relevant);
  constraints_.reinit(relevant);
  VectorTools::interpolate_boundary_values(mapping_, dofs_, 0, Functions::ZeroFunction<2>(),
                                           constraints_);
  constraints_.close();
  TrilinosWrappers::SparsityPattern pattern(owned, owned, relevant, run.comm);
  DoFTools::make_sparsity_pattern(dofs_, pattern, constraints_, false,
                                  Utilities::MPI::this_mpi_process(run.comm));
  pattern.compress();
  matrix_.reinit(pattern);
  residual_.reinit(owned, run.comm);
  correction_.reinit(owned, run.comm);
  u_owned_.reinit(owned, run.comm);
  u_.reinit(owned, relevant, run.comm);
}

void FieldSolve::reset() {
  u_owned_ = 0;
  u_ = u_owned_;
}

double FieldSolve::area(Region region) const {
  FEValues<2> values(mapping_, element_, quadrature_, update_JxW_values);
  double sum = 0;
  for (const auto& cell : dofs_.active_cell_iterators())
    if (cell->is_locally_owned() && cell->material_id() == region) {
      values.reinit(cell);
      for (unsigned q = 0; q < quadrature_.size(); ++q) sum += values.JxW(q);
    }
  return Utilities::MPI::sum(sum, run_.comm);
}

double FieldSolve::assemble(bool with_matrix) {
  FEValues<2> values(
      mapping_, element_, quadrature_,
      update_values | update_gradients | update_quadrature_points | update_JxW_values);
  const unsigned per_cell = element_.n_dofs_per_cell(), n_q = quadrature_.size();
  std::vector<Tensor<1, 2>> gradients(n_q);
  points_.clear();
  for (const auto& cell : dofs_.active_cell_iterators())
    if (cell->is_locally_owned()) {
      values.reinit(cell);
      values.get_function_gradients(u_, gradients);
      for (unsigned q = 0; q < n_q; ++q)
        points_.push_back(
            {cell, q, values.quadrature_point(q), values.JxW(q), gradients[q], {}, {}});
    }
  const auto start = std::chrono::steady_clock::now();
  law_.evaluate(points_);
  run_.eval_seconds +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  residual_ = 0;
  if (with_matrix) matrix_ = 0;
  FullMatrix<double> cell_matrix(per_cell, per_cell);
  Vector<double> cell_residual(per_cell);
  std::vector<types::global_dof_index> indices(per_cell);
  for (auto point = points_.begin(); point != points_.end(); point += n_q) {
    values.reinit(point->cell);
    cell_matrix = 0, cell_residual = 0;
    const double f = law_.source(Region(point->cell->material_id()));
    for (unsigned q = 0; q < n_q; ++q) {
      const QuadraturePoint& p = point[q];
      for (unsigned i = 0; i < per_cell; ++i) {
        const Tensor<1, 2> grad_i = values.shape_grad(i, q);
        cell_residual(i) += (p.flux * grad_i - f * values.shape_value(i, q)) * p.JxW;
        if (with_matrix) {
          const Tensor<1, 2> tangent_grad_i = p.tangent * grad_i;
          for (unsigned j = 0; j < per_cell; ++j)
            cell_matrix(i, j) += tangent_grad_i * values.shape_grad(j, q) * p.JxW;
        }
      }
    }
    point->cell->get_dof_indices(indices);
    if (with_matrix) {
      constraints_.distribute_local_to_global(cell_matrix, cell_residual, indices, matrix_,
                                              residual_);
    } else {
      constraints_.distribute_local_to_global(cell_residual, indices, residual_);
    }
  }
  residual_.compress(VectorOperation::add);
  if (with_matrix) matrix_.compress(VectorOperation::add);
  return residual_.l2_norm();
}

unsigned FieldSolve::solve() {
  double norm = assemble(true);
  const double tolerance = CG_RTOL * norm;
  for (unsigned iteration = 1; iteration <= NEWTON_ITERATIONS; ++iteration) {
    correction_ = 0;
    if (norm > tolerance) {
      SolverControl control(1000, tolerance);
      SolverCG<TrilinosWrappers::MPI::Vector> cg(control);
      TrilinosWrappers::PreconditionAMG::AdditionalData amg_data;
      amg_data.elliptic = true;
      amg_data.higher_order_elements = true;
      TrilinosWrappers::PreconditionAMG amg;
      amg.initialize(matrix_, amg_data);
      cg.solve(matrix_, correction_, residual_, amg);
    }
    constraints_.distribute(correction_);
    const TrilinosWrappers::MPI::Vector start = u_owned_;
    const bool converged = correction_.linfty_norm() <= NEWTON_RTOL * start.linfty_norm();
    // the full step, or halved until |R| falls; the last evaluation is at
    // the accepted u, which the caller reads through points()
    double step = 1, trial_norm = 0;
    for (unsigned halving = 0;; ++halving, step /= 2) {
      u_owned_ = start;
      u_owned_.add(-step, correction_);
      u_ = u_owned_;
      trial_norm = assemble(!converged);
      if (converged || trial_norm < norm || halving == HALVINGS) break;
    }
    if (converged) return iteration;
    norm = trial_norm;
  }
  throw std::runtime_error("Newton did not converge in " + std::to_string(NEWTON_ITERATIONS) +
                           " iterations");
}

}  // namespace example
