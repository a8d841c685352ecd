"""What the examples share: the command line, the clock on eval, the
material properties at quadrature points, Newton's method and the stop when
a library refuses the state it converges to, gathering a field for plots,
the CSV files, the checks and the closing line.

Each MPI process runs the whole script on its part of the mesh (the slab:
on its share of the cases) and loads its own copy of each library; only
process 0 prints and writes files."""
import argparse
import contextlib
import csv
import functools
import logging
import sys
import time
from pathlib import Path

import basix
import numpy as np
import ufl
from dolfinx import fem
from dolfinx.fem import petsc as fem_petsc
from mpi4py import MPI
from petsc4py import PETSc

import materials

# DOLFINx compiles forms on first use (cached after); the build log of each
# compilation reaches the root logger's handler at level INFO. Keep it quiet.
for _handler in logging.getLogger().handlers:
    _handler.setLevel(logging.WARNING)

MU0 = 4e-7 * np.pi  # H/m, the magnetic constant

# Newton stops when its correction is this small against the solution, in the
# largest-magnitude norm; with quadratic convergence the error left is far
# smaller still. The figures of a run on 1 and on 2 processes agree to it.
NEWTON_RTOL = 1e-8

# Gauss-Legendre nodes and weights of three points on [0, 1]: exact for
# polynomials up to degree 5, such as the quartic pieces of a heat-capacity
# fit over T.
GAUSS_NODES, GAUSS_WEIGHTS = np.polynomial.legendre.leggauss(3)
GAUSS_NODES, GAUSS_WEIGHTS = (GAUSS_NODES + 1) / 2, GAUSS_WEIGHTS / 2


def gauss_rule(low, high, pieces):
    """The three-point Gauss rule on `pieces` equal parts of [low, high]
    (arrays of one shape, or numbers): its nodes, shape (3 pieces,) + the
    bounds' shape, and weights, such that the integral of f from low to
    high is (high - low) times np.tensordot(weights, f(nodes), axes=1)."""
    fractions = ((np.arange(pieces)[:, None] + GAUSS_NODES) / pieces).ravel()
    return low + np.multiply.outer(fractions, high - low), np.tile(GAUSS_WEIGHTS / pieces, pieces)


class NotConverged(RuntimeError):
    """Newton ran out of iterations."""


class RefusedElsewhere(RuntimeError):
    """Raised by Newton on the other processes when a library refuses a
    point on one process and ends the solve there."""


class Run:
    """One example's run: its options (--size, --out and its own), the clock
    on eval and on the solve, its output files, its checks and its closing
    line."""

    def __init__(self, name, description, add_options=None):
        """add_options(parser), if given, adds the example's own options;
        their values are in `options`."""
        parser = argparse.ArgumentParser(prog=f"{name}.py", description=description)
        parser.add_argument(
            "--size",
            choices=("small", "full"),
            default="small",
            help="small: a coarse mesh and few steps (seconds); "
            "full: the resolution the figures in the README come from",
        )
        parser.add_argument(
            "--out",
            type=Path,
            default=Path("out/examples"),
            help="folder for the PNG plots and CSV files (default out/examples)",
        )
        if add_options:
            add_options(parser)
        self.options = options = parser.parse_args()
        self.name = name
        self.size = options.size
        self.full = options.size == "full"
        self.out = options.out
        self.comm = MPI.COMM_WORLD
        self.root = self.comm.rank == 0
        self.eval_seconds = 0.0
        self.solve_seconds = 0.0
        self.failed_checks = 0
        if self.root:
            self.out.mkdir(parents=True, exist_ok=True)

    def say(self, text):
        if self.root:
            print(f"{self.name}: {text}", flush=True)

    def timed(self, function):
        """function (a materials function) with its time added to the eval
        clock; a refusal it raises carries the function's name as `library`."""

        @functools.wraps(function)
        def clocked(*args, **kwargs):
            start = time.perf_counter()
            try:
                return function(*args, **kwargs)
            except materials.EvalError as error:
                error.library = function.__name__
                raise
            finally:
                self.eval_seconds += time.perf_counter() - start

        return clocked

    @contextlib.contextmanager
    def solving(self):
        """The time inside counts as the solve."""
        start = time.perf_counter()
        try:
            yield
        finally:
            self.solve_seconds += time.perf_counter() - start

    @contextlib.contextmanager
    def stopping_on_refusal(self, where):
        """Inside, a refusal that Newton could not step around (the state the
        equations call for lies outside a material law's range) ends the run:
        one line from process 0, "stopped <where>:" with the library's
        message and point, and status 1. Newton raises it on every process at
        once: materials.EvalError where the library refused, RefusedElsewhere
        on the others."""
        try:
            yield
        except (materials.EvalError, RefusedElsewhere) as error:
            refusals = self.comm.allgather(
                f"{getattr(error, 'library', 'a library')}: {error}"
                if isinstance(error, materials.EvalError)
                else None
            )
            self.say(f"stopped {where}: {next(filter(None, refusals))}")
            sys.exit(1)

    def write_csv(self, filename, columns):
        """columns: {header: 1-D sequence}, all of one length."""
        if not self.root:
            return
        with open(self.out / filename, "w", newline="") as file:
            writer = csv.writer(file)
            writer.writerow(columns)
            writer.writerows(zip(*(np.asarray(c) for c in columns.values())))

    def save(self, figure, filename):
        if self.root:
            figure.savefig(self.out / filename, dpi=110)

    def save_temperature_maps(self, name, maps, T_low, T_high, size, x_label="x (mm)"):
        """Temperature maps {t in s: (coordinates in m, values in K)} as
        gather_dofs gives them, one panel per time in a column under one
        colour scale from T_low to T_high: name.png, and name.csv with a
        column per time. size: the figure's width and its height per panel,
        in inches."""
        if not self.root:
            return
        import matplotlib.pyplot as plt  # here: the example has chosen the backend

        first = next(iter(maps.values()))
        self.write_csv(
            f"{name}.csv",
            {
                "x_m": first[0][:, 0],
                "y_m": first[0][:, 1],
                **{f"T_K_at_{t * 1e3:g}ms": m[1] for t, m in maps.items()},
            },
        )
        width, height = size
        figure, axes = plt.subplots(
            len(maps),
            1,
            figsize=(width, height * len(maps) + 0.7),
            sharex=True,
            constrained_layout=True,
        )
        levels = np.linspace(T_low, T_high, 25)
        for axis, (t, (xy, values)) in zip(axes, maps.items()):
            shown = axis.tricontourf(
                xy[:, 0] * 1e3, xy[:, 1] * 1e3, values, levels=levels, cmap="inferno"
            )
            axis.set_aspect("equal")
            axis.set_ylabel("y (mm)")
            axis.set_title(f"t = {t * 1e3:g} ms", fontsize=9, loc="left")
        axes[-1].set_xlabel(x_label)
        figure.colorbar(
            shown, ax=axes, label="T (K)", ticks=np.arange(10 * np.ceil(T_low / 10), T_high, 10)
        )
        self.save(figure, f"{name}.png")

    def check(self, check, figure, limit):
        """A check ahead of the closing one, on a line of its own; if it
        fails, finish exits with status 1 too."""
        ok = figure <= limit
        self.failed_checks += not ok
        self.say(f"{check} {figure:.6e} (limit {limit:g}) {'ok' if ok else 'FAIL'}")

    def finish(self, check, figure, limit):
        """The closing line, then exit: status 1 when figure exceeds limit
        or an earlier check failed. figure is the same on every process
        (computed from global sums)."""
        ok = figure <= limit
        eval_total = self.comm.allreduce(self.eval_seconds)
        solve_total = self.comm.allreduce(self.solve_seconds)
        share = 100 * eval_total / solve_total if solve_total else 0.0
        verdict = "ok" if ok else "FAIL"
        if self.failed_checks:
            verdict += (
                f", {self.failed_checks} earlier check"
                f"{'s' if self.failed_checks > 1 else ''} failed"
            )
        self.say(
            f"{check} {figure:.6e} (limit {limit:g}) {verdict}; "
            f"eval {share:.1f} % of the solve "
            f"({eval_total / self.comm.size:.2f} s of {solve_total / self.comm.size:.2f} s "
            f"per process), {self.comm.size} process{'es' if self.comm.size > 1 else ''}"
        )
        sys.stdout.flush()
        sys.exit(0 if ok and not self.failed_checks else 1)


def concentric_mesh(comm, regions, size):
    """A mesh of concentric regions about the origin, made by gmsh on process
    0 and shared out over comm. regions: (outer radius in m, cell tag) from
    the centre out, each region reaching from the radius before (the first a
    disc); a tag None leaves its region out of the mesh (a hole). size(r):
    the cell size at radius r, m. The cells are curved, second order, so that
    the circles are exact to second order. Returns the mesh and its cell
    tags."""
    import gmsh  # here: only the examples on circles need it
    from dolfinx.io import gmshio

    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    if comm.rank == 0:
        occ = gmsh.model.occ
        disks = [occ.addDisk(0, 0, 0, r, r) for r, _ in regions]
        occ.fragment([(2, disks[-1])], [(2, d) for d in disks[:-1]])
        occ.synchronize()
        tagged = {tag: [] for tag in sorted({tag for _, tag in regions if tag is not None})}
        for _, surface in gmsh.model.getEntities(2):
            reach = occ.getBoundingBox(2, surface)[3]  # the outer radius of the disc or ring
            tag = next(tag for r, tag in regions if np.isclose(reach, r))
            if tag is not None:
                tagged[tag].append(surface)
        for tag, surfaces in tagged.items():
            gmsh.model.addPhysicalGroup(2, surfaces, tag)
        gmsh.model.mesh.setSizeCallback(lambda dim, tag, x, y, z: size(np.hypot(x, y)))
        gmsh.model.mesh.generate(2)
        gmsh.model.mesh.setOrder(2)
    mesh, cell_tags, _ = gmshio.model_to_mesh(gmsh.model, comm, 0, gdim=2)
    gmsh.finalize()
    return mesh, cell_tags


class QuadraturePoints:
    """The quadrature points of a mesh's owned cells, and functions that hold
    one value per point (a "Quadrature" element) for forms integrated with
    the measure `dx` at the same points.

    values(expression) evaluates a UFL expression at every point in one call,
    as an array (cells, points per cell); store(function, array) puts such an
    array into a quadrature function; areas() is the area (in 3-D the
    volume) each point stands for.

    Only the owned cells' points are ever written: a quadrature function
    enters nothing but cell integrals with its own rule, and those run over
    the owned cells, so the points of ghost cells are never read and need no
    update from their owners."""

    def __init__(self, mesh, degree):
        cell = mesh.ufl_cell()
        self.points, self.weights = basix.make_quadrature(
            basix.cell.string_to_type(cell.cellname()), degree
        )
        element = ufl.FiniteElement("Quadrature", cell, degree, quad_scheme="default")
        self.space = fem.FunctionSpace(mesh, element)
        self.dx = ufl.dx(
            domain=mesh, metadata={"quadrature_degree": degree, "quadrature_scheme": "default"}
        )
        owned = mesh.topology.index_map(mesh.topology.dim).size_local
        self.cells = np.arange(owned, dtype=np.int32)
        self.dofs = self.space.dofmap.list.array.reshape(-1, len(self.points))[:owned]
        # The owned cells' points usually come first, cell by cell: a block
        # of values then goes in by one contiguous copy.
        self._in_order = np.array_equal(self.dofs.ravel(), np.arange(self.dofs.size))
        self._expressions = {}

    def function(self, name):
        return fem.Function(self.space, name=name)

    def values(self, expression):
        compiled = self._expressions.get(expression)
        if compiled is None:
            compiled = self._expressions[expression] = fem.Expression(expression, self.points)
        return compiled.eval(self.cells)

    def store(self, function, values):
        if self._in_order:
            function.x.array[: self.dofs.size] = values.reshape(-1)
        else:
            function.x.array[self.dofs] = values

    def areas(self):
        """Each point's quadrature weight times |det J| of its cell's map
        (cells, points): sums over points are integrals with `dx`."""
        return self.values(abs(ufl.JacobianDeterminant(self.space.mesh))) * self.weights


# Up to this many unknowns PETSc's own sparse LU is the faster
# factorisation, and on several processes each process factorising the whole
# matrix is faster than MUMPS sharing the work out, whose messages cost more
# than the work they share: for the quench's 1 100 and 16 400 unknowns on 2
# processes, a tenth and a half of MUMPS's time. Larger systems go to MUMPS:
# for the iron ring's 116 000 unknowns it takes 0.6 of PETSc's time on one
# process and 0.4 on two.
OWN_LU_UP_TO = 50_000


def direct_solver(ksp, unknowns):
    """Makes the linear solver ksp a sparse LU factorisation for a system of
    `unknowns` equations (see OWN_LU_UP_TO)."""
    ksp.setType("preonly")
    pc = ksp.getPC()
    if unknowns > OWN_LU_UP_TO:
        pc.setType("lu")
        pc.setFactorSolverType("mumps")
    else:
        pc.setType("lu" if ksp.comm.size == 1 else "redundant")


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
    (RefusedElsewhere on the other processes)."""

    SEARCH_TRIALS = 12

    def __init__(self, F, J, u, bcs, points, properties, max_iterations=50, refusals_allowed=10):
        self.F, self.J = fem.form(F), fem.form(J)
        self.u, self.bcs, self.points, self.properties = u, bcs, points, properties
        self.max_iterations, self.refusals_allowed = max_iterations, refusals_allowed
        self.comm = u.function_space.mesh.comm
        self.A = fem_petsc.create_matrix(self.J)
        self.b = fem_petsc.create_vector(self.F)
        self.du = fem.Function(u.function_space)
        self.solver = PETSc.KSP().create(self.comm)
        self.solver.setOperators(self.A)
        direct_solver(self.solver, self.A.getSize()[0])
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
            self.solver.solve(self.b, du.vector)
            du.x.scatter_forward()
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


def gather_dofs(function):
    """(coordinates (points, 2), values) of the owned degrees of freedom of a
    scalar function, from every process, on process 0 (None elsewhere)."""
    space = function.function_space
    owned = space.dofmap.index_map.size_local
    local = (space.tabulate_dof_coordinates()[:owned, :2], function.x.array[:owned].copy())
    parts = space.mesh.comm.gather(local, root=0)
    if parts is None:
        return None
    return np.concatenate([p[0] for p in parts]), np.concatenate([p[1] for p in parts])


def global_sum(comm, value):
    return comm.allreduce(float(value), op=MPI.SUM)
