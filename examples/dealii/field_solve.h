// The nonlinear field solve shared by both cases of the deal.II example: a
// scalar unknown u on second-order elements over curved cells of concentric
// regions, distributed over the MPI processes, with a constitutive law that
// gives at each quadrature point a flux F(x, grad u) and its tangent:
//
//     R(u; v)     = integral F(x, grad u) . grad v - f v dx        = 0 for all v,
//     K(u; du, v) = integral (dF/d(grad u) grad du) . grad v dx,
//
// u = 0 on the outer circle. Newton's method solves it, each correction by
// conjugate gradients with algebraic multigrid (Trilinos), since K is
// symmetric and positive; a correction that does not lower |R| is halved.
#pragma once

#include <deal.II/base/mpi.h>
#include <deal.II/base/quadrature_lib.h>
#include <deal.II/base/symmetric_tensor.h>
#include <deal.II/base/tensor.h>
#include <deal.II/distributed/tria.h>
#include <deal.II/dofs/dof_handler.h>
#include <deal.II/fe/fe_q.h>
#include <deal.II/fe/mapping_q.h>
#include <deal.II/grid/manifold_lib.h>
#include <deal.II/lac/affine_constraints.h>
#include <deal.II/lac/trilinos_precondition.h>
#include <deal.II/lac/trilinos_sparse_matrix.h>
#include <deal.II/lac/trilinos_vector.h>

#include <chrono>
#include <string>
#include <vector>

namespace example {
using namespace dealii;

constexpr double mu0 = 4e-7 * numbers::PI;  // H/m, as the libraries take it

// Cells are tagged with their region (material_id).
enum Region : types::material_id { conductor = 1, iron = 2, air = 3 };

// One example's run: --size small|full, the clocks and the closing line,
// all said by process 0.
class Run {
 public:
  Run(const char* name, int argc, char** argv);
  void say(const std::string& text) const;
  // The closing line; returns the exit status: 1 when figure exceeds limit
  // (after --help, 0; after a wrong option, 1).
  int finish(const std::string& what, double figure, double limit) const;
  std::string processes() const;

  const MPI_Comm comm = MPI_COMM_WORLD;
  const bool root;
  bool full = false;        // --size full
  bool help = false;        // --help: said, nothing run
  double eval_seconds = 0;  // in the material laws, library calls included

 private:
  const char* name_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  bool usage_error_ = false;
};

// A region from the previous radius out to `outer` (m), meshed in `layers`
// layers of cells that grow geometrically outwards; the first region is a
// disc (its layers are ignored).
struct Annulus {
  double outer;
  Region region;
  unsigned layers;
};

// A quadrature point of a locally owned cell, at the current iterate.
struct QuadraturePoint {
  DoFHandler<2>::active_cell_iterator cell;
  unsigned q;
  Point<2> x;                     // m
  double JxW;                     // m^2, its weight in the integral
  Tensor<1, 2> gradient;          // of u
  Tensor<1, 2> flux;              // F, set by the law
  SymmetricTensor<2, 2> tangent;  // dF/d(grad u), set by the law
};

// The constitutive law and the source.
class Law {
 public:
  // F and dF/d(grad u) at every point, from its gradient; the law keeps
  // any history untouched.
  virtual void evaluate(std::vector<QuadraturePoint>& points) = 0;
  // f in the region (per m^2 of the unknown's equation).
  virtual double source(Region) const { return 0.0; }

 protected:
  ~Law() = default;
};

class FieldSolve {
 public:
  // The mesh of `annuli`, refined `refinements` times; its cells measure
  // 2 pi r / (8 2^refinements) around at radius r.
  FieldSolve(Run& run, const std::vector<Annulus>& annuli, unsigned refinements, Law& law);
  // Newton from the current u; returns its iterations. Afterwards points()
  // holds the law evaluated at the converged u.
  unsigned solve();
  void reset();  // u = 0
  const std::vector<QuadraturePoint>& points() const { return points_; }
  unsigned points_per_cell() const { return quadrature_.size(); }
  types::global_dof_index unknowns() const { return dofs_.n_dofs(); }
  unsigned long long cells() const { return triangulation_.n_global_active_cells(); }
  // The integral of a region's area (m^2), over all processes.
  double area(Region region) const;

 private:
  // Evaluates the law at u and assembles R (and K if asked); returns |R|.
  double assemble(bool with_matrix);

  Run& run_;
  Law& law_;
  parallel::distributed::Triangulation<2> triangulation_;
  const SphericalManifold<2> polar_;
  const FE_Q<2> element_{2};
  const MappingQ<2> mapping_{2};
  const QGauss<2> quadrature_{3};
  DoFHandler<2> dofs_;
  AffineConstraints<double> constraints_;
  TrilinosWrappers::SparseMatrix matrix_;
  TrilinosWrappers::MPI::Vector residual_, correction_, u_owned_;
  TrilinosWrappers::MPI::Vector u_;  // with the ghost entries the cells read
  std::vector<QuadraturePoint> points_;
};

// The two cases (cylinder.cc, iron_ring.cc); each says its figures and
// returns its check's figure as a share of its limit.
double cylinder(Run& run);
double iron_ring(Run& run);

}  // namespace example
