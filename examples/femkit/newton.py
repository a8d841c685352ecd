"""Newton's method for the examples' nonlinear forms, with its line search,
its handling of a library's refusal, and the linear solvers it uses."""
import numpy as np
from dolfinx import fem
from dolfinx.fem import petsc as fem_petsc
from mpi4py import MPI
from petsc4py import PETSc

import materials

# Newton stops when its correction is this small against the solution, in the
# largest-magnitude norm; with quadratic convergence the error left is far
# smaller still. The figures of a run on 1 and on 2 processes agree to it.
NEWTON_RTOL = 1e-8


class NotConverged(RuntimeError):
    """Newton ran out of iterations."""


class RefusedElsewhere(RuntimeError):
    """Raised by Newton on the other processes when a library refuses a
    point on one process and ends the solve there."""


# The linear solve of each Newton iteration need only leave an error well
# below the correction Newton stops at: the Krylov solvers reduce the
# residual by this factor, so that the converged figures are those of an
# exact solve to Newton's own tolerance.
KRYLOV_RTOL = NEWTON_RTOL
KRYLOV_MAX_ITERATIONS = 1000

# BoomerAMG's coarsening and interpolation for low operator complexity (the
# coarse levels of its classical defaults fill in on second-order elements in
# 3-D, and their setup, repeated each Newton iteration, took most of the
# solve): HMIS coarsening, extended+i interpolation of at most 4 entries a
# row, aggressive coarsening on the finest level, and a coupling counted
# strong above half the row's largest. On the sphere's second-order
# tetrahedra this took 0.4 of the defaults' time, at 16 against 7 iterations.
BOOMERAMG_OPTIONS = {
    "pc_hypre_boomeramg_coarsen_type": "HMIS",
    "pc_hypre_boomeramg_interp_type": "ext+i",
    "pc_hypre_boomeramg_P_max": 4,
    "pc_hypre_boomeramg_agg_nl": 1,
    "pc_hypre_boomeramg_strong_threshold": 0.5,
}


def multigrid_solver(ksp, symmetric):
    """Makes ksp a Krylov solver preconditioned by hypre's algebraic multigrid
    (BoomerAMG): CG where the Jacobian is symmetric (positive definite), GMRES
    where it is not (a conductivity's slope against the temperature gradient
    adds a non-symmetric term). The multigrid's work and memory per unknown
    stay the same as the mesh is refined and shared out over processes; its
    iterations stay nearly flat. Against PETSc's GAMG (smoothed aggregation):
    the sphere's solve took 0.46 of GAMG's time, at 16 iterations against 32
    per solve; the quench's 1.1 times, at 8 against 11."""
    ksp.setType("cg" if symmetric else "gmres")
    ksp.setTolerances(rtol=KRYLOV_RTOL, atol=0.0, max_it=KRYLOV_MAX_ITERATIONS)
    ksp.setNormType(PETSc.KSP.NormType.UNPRECONDITIONED)
    if not symmetric:
        ksp.setGMRESRestart(100)
        ksp.setPCSide(PETSc.PC.Side.RIGHT)  # GMRES then minimises the true residual
    pc = ksp.getPC()
    pc.setType("hypre")
    pc.setHYPREType("boomeramg")
    options = PETSc.Options(ksp.getOptionsPrefix())
    for name, value in BOOMERAMG_OPTIONS.items():
        if not options.hasName(name):  # PETSC_OPTIONS may set its own
            options[name] = value


# On one process, up to this many unknowns PETSc's own sparse LU is the
# faster factorisation; above, MUMPS: for the iron ring's 116 000 unknowns it
# takes 0.6 of PETSc's time.
OWN_LU_UP_TO = 50_000


def direct_solver(ksp, symmetric=None):
    """Makes ksp a sparse LU factorisation: on several processes MUMPS, which
    shares the matrix and its factors out over them (each holds and
    factorises its part); on one, see OWN_LU_UP_TO."""
    ksp.setType("preonly")
    pc = ksp.getPC()
    pc.setType("lu")
    if ksp.comm.size > 1 or ksp.getOperators()[0].getSize()[0] > OWN_LU_UP_TO:
        pc.setFactorSolverType("mumps")


# The linear solvers by the name --solver gives them.
SOLVERS = {"multigrid": multigrid_solver, "lu": direct_solver}


class LinearSolveFailed(RuntimeError):
    """A Krylov solver did not reach its tolerance."""


# Newton's work over a run, summed over every Newton: its iterations (one
# linear solve each) and the Krylov iterations those solves took.
work = {"newton": 0, "krylov": 0}


class Newton:
    """Newton's method for the residual form F(u) = 0 with Jacobian form J and
    Dirichlet conditions bcs.

    properties(u) evaluates the material properties at the quadrature points
    of `points` for the current u and returns them as [(quadrature function,
    values)]; they are stored before each assembly.

    Line search: a step s along the correction du is accepted when the
    residual there has little left along du, |F(u - s du) . du| <= 1/4 of
    its value at s = 0. Where F is the gradient of a convex energy (the
    slab, the iron ring), that is the energy's slope along the line, and the
    search walks towards its minimum: longer steps where Newton falls short,
    as on the steep side of a power law, shorter ones where it overshoots.
    Near the solution the full step passes at once.

    A library may refuse a trial iterate (materials.EvalError: the iterate
    left the range where the material law is defined, say a temperature
    below 0 K after an overshoot). The step is then shortened, on every
    process alike; when it has shrunk below 2**-refusals_allowed of the full
    correction, the error is raised with the library's message and point
    (RefusedElsewhere on the other processes).

    solver: the linear solver of each iteration, a name in SOLVERS or a
    function solver(ksp, symmetric) that sets up the PETSc KSP ksp (such as
    hypre's AMS for an H(curl) space, which needs the space's discrete
    gradient); symmetric says whether J is symmetric."""

    SEARCH_TRIALS = 12

    def __init__(
        self,
        F,
        J,
        u,
        bcs,
        points,
        properties,
        max_iterations=50,
        refusals_allowed=10,
        solver="multigrid",
        symmetric=True,
    ):
        self.F, self.J = fem.form(F), fem.form(J)
        self.u, self.bcs, self.points, self.properties = u, bcs, points, properties
        self.max_iterations, self.refusals_allowed = max_iterations, refusals_allowed
        self.comm = u.function_space.mesh.comm
        self.A = fem_petsc.create_matrix(self.J)
        self.b = fem_petsc.create_vector(self.F)
        self.du = fem.Function(u.function_space)
        self.solver = PETSc.KSP().create(self.comm)
        # PETSc's options prefixed newton_ (PETSC_OPTIONS="-newton_pc_type gamg")
        # override the solver's own
        self.solver.setOptionsPrefix("newton_")
        self.solver.setOperators(self.A)
        (SOLVERS[solver] if isinstance(solver, str) else solver)(self.solver, symmetric)
        self.solver.setFromOptions()
        self.refusals = 0  # trial iterates that a library refused, over the run

    def _evaluate(self, raise_refusal):
        """Evaluates and stores the properties at u; False when a library
        refused a point on any process (raised instead if raise_refusal)."""
        try:
            results, refused = self.properties(self.u), None
        except materials.EvalError as error:
            results, refused = None, error
        if not self.comm.allreduce(refused is not None, op=MPI.LOR):
            for function, values in results:
                self.points.store(function, values)
            return True
        self.refusals += 1
        if raise_refusal:
            raise refused or RefusedElsewhere("a library refused a point on another process")
        return False

    def _residual(self):
        """Assembles F(u) into b."""
        with self.b.localForm() as local:
            local.set(0.0)
        fem_petsc.assemble_vector(self.b, self.F)
        if self.bcs:  # lifting gathers the Jacobian's coefficients even with nothing to lift
            fem_petsc.apply_lifting(self.b, [self.J], [self.bcs], x0=[self.u.vector], scale=-1.0)
        self.b.ghostUpdate(addv=PETSc.InsertMode.ADD, mode=PETSc.ScatterMode.REVERSE)
        fem_petsc.set_bc(self.b, self.bcs, self.u.vector, -1.0)

    def _largest(self, *functions):
        """max |value| over the owned entries of each function, in one
        reduction, from the arrays themselves (PETSc caches norms and does
        not see writes through the array)."""
        largest = np.array(
            [
                np.abs(f.x.array[: f.function_space.dofmap.index_map.size_local]).max(initial=0.0)
                for f in functions
            ]
        )
        self.comm.Allreduce(MPI.IN_PLACE, largest, op=MPI.MAX)
        return largest

    def _step(self, start, s, smallest):
        """u = start - s du with its properties and residual; False when a
        library refused u."""
        self.u.x.array[:] = start - s * self.du.x.array
        if not self._evaluate(raise_refusal=s < smallest):
            return False
        self._residual()
        return True

    def _search(self, start, slope):
        """The line search from u = start, where the residual's component
        along du is slope (> 0): doubling the step until the component
        changes sign, then regula falsi kept a tenth of the bracket away
        from its ends (bisection past a refusal)."""
        low, low_slope, high, s = 0.0, slope, None, 1.0  # the minimum: past low, short of high
        for _ in range(self.SEARCH_TRIALS):
            along = (
                self.b.dot(self.du.vector)
                if self._step(start, s, 2.0**-self.refusals_allowed)
                else None
            )
            if along is not None and abs(along) <= slope / 4:
                return
            if along is not None and along > 0:
                low, low_slope = s, along
            else:
                high, high_slope = s, along
            if high is None:
                s = 2 * s
            elif high_slope is None or not np.isfinite(high_slope):
                s = (low + high) / 2
            else:
                fraction = low_slope / (low_slope - high_slope)
                s = low + (high - low) * min(max(fraction, 0.1), 0.9)
        # a search that ran out keeps its last step

    def _linear_solve(self):
        """du = A^-1 b; raises LinearSolveFailed when the Krylov solver
        stopped short of its tolerance."""
        self.solver.solve(self.b, self.du.vector)
        reason = self.solver.getConvergedReason()
        if reason < 0:
            raise LinearSolveFailed(
                f"the linear solver stopped (PETSc reason {reason}) after "
                f"{self.solver.getIterationNumber()} iterations at residual "
                f"{self.solver.getResidualNorm():.3e}"
            )
        self.du.x.scatter_forward()
        work["newton"] += 1
        work["krylov"] += self.solver.getIterationNumber()

    def solve(self):
        """Runs Newton from the current u; returns the number of iterations.
        The first correction also brings u to its Dirichlet values; it is
        taken whole (shortened only when a library refuses it)."""
        u, du = self.u, self.du
        self._evaluate(raise_refusal=True)
        self._residual()
        for iteration in range(1, self.max_iterations + 1):
            self.A.zeroEntries()
            fem_petsc.assemble_matrix(self.A, self.J, self.bcs)
            self.A.assemble()
            self._linear_solve()
            start = u.x.array.copy()
            correction, size = self._largest(du, u)
            converged = correction <= NEWTON_RTOL * size
            slope = None if iteration == 1 or converged else self.b.dot(du.vector)
            if slope is None or not slope > 0:
                s = 1.0
                while not self._step(start, s, 2.0**-self.refusals_allowed):
                    s /= 2
                if converged:
                    return iteration
            else:
                self._search(start, slope)
        correction, size = self._largest(du, u)
        raise NotConverged(
            f"Newton did not converge in {self.max_iterations} iterations "
            f"(last correction {correction:.3e} against {size:.3e})"
        )
