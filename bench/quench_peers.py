"""The quench of examples/quench.py solved three ways on the same bar, time
steps, enthalpy quadrature and Newton tolerance, to time the library route
against what a DOLFINx user would write instead:

- library: the example's own route, k(T) and C(T) from Daskelt and Mirrobane
  at the quadrature points, the examples' Newton;
- inline: the same fits written in UFL, with the same constants and the same
  order of operations, compiled into the forms; the Jacobian by
  ufl.derivative; the examples' Newton;
- dolfinx: the inline forms solved by DOLFINx's own NewtonSolver: full
  steps, until a correction's 2-norm has fallen below NEWTON_RTOL of the
  first one's (its "incremental" criterion), with the examples' linear
  solver.

All three use the linear solver `--solver` names (the examples' default,
Krylov with algebraic multigrid, unless lu).

Each route runs `--repetitions` times, the routes interleaved so that the
load of a shared machine falls on all alike; the best time of the
time-stepping loop counts (the slowest process's, mesh and form compilation
excluded). Prints one JSON object on process 0: per route the seconds, the
Newton iterations and the largest difference of the final temperature from
the library route's (K); for the library route also the eval blocks it
asked of each library and the seconds inside them in its best run (the
slowest process's). Needs the package importable and MATERIALS_LIB_DIR
naming the libraries' folder, and examples/ on the module path for the
example and its package femkit (bench/run-benchmarks sets all three).

    PYTHONPATH=python:examples mpirun -n 2 python3 bench/quench_peers.py --size full \
        --repetitions 1"""
import argparse
import collections
import functools
import json
import time

import numpy as np
import ufl
from dolfinx import fem, nls
from dolfinx.fem import petsc as fem_petsc
from mpi4py import MPI
from petsc4py import PETSc

import materials
from femkit.newton import NEWTON_RTOL, SOLVERS, Newton
from femkit.quadrature import GAUSS_NODES, GAUSS_WEIGHTS
from numpy_peer import MIRROBANE_BOUNDS, MIRROBANE_COEFFICIENTS, MIRROBANE_LINE, daskelt
from quench import RRR, SIZES, T_START, Bar, LibraryRoute


def conductivity(T):
    """Copper's thermal conductivity k(T, RRR), W/(m K): Daskelt's fit."""
    return daskelt(T, RRR, 1.0, 1.0, exp=ufl.exp)


def heat_capacity(T):
    """C(T), J/(m^3 K), as Mirrobane computes it: the quartic of the first
    interval whose upper bound T does not exceed (a NaN falls through to the
    line)."""
    slope, intercept = MIRROBANE_LINE
    C = slope * T + intercept
    pieces = zip(MIRROBANE_BOUNDS.tolist(), MIRROBANE_COEFFICIENTS.tolist())
    for bound, (a4, a3, a2, a1, a0) in reversed(list(pieces)):
        quartic = a0 + (((a4 * T**4 + a3 * T**3) + a2 * T**2) + a1 * T)
        C = ufl.conditional(ufl.le(T, bound), quartic, C)
    return C


class InlineRoute:
    """The heat equation with k and C inline: the stored heat is the same
    3-point Gauss rule for the integral of C from the last temperature to T,
    at the forms' quadrature points; the Jacobian is the residual's exact
    derivative."""

    def __init__(self, bar, solver):
        self.bar, self.solver = bar, solver
        T = bar.T
        self.T_old = fem.Function(bar.V)
        rise = T - self.T_old
        mean_C = functools.reduce(
            lambda a, b: a + b,
            [w * heat_capacity(self.T_old + x * rise) for x, w in zip(GAUSS_NODES, GAUSS_WEIGHTS)],
        )
        self.residual = bar.heat_equation(rise * mean_C, conductivity(T))
        self.jacobian = ufl.derivative(self.residual, T, ufl.TrialFunction(bar.V))
        self.newton = self.make_newton()
        self.accept()

    def make_newton(self):
        return Newton(
            self.residual,
            self.jacobian,
            self.bar.T,
            [],
            self.bar.points,
            lambda T: [],
            solver=self.solver,
            symmetric=False,
        )

    def solve(self):
        return self.newton.solve()

    def accept(self):
        self.T_old.x.array[:] = self.bar.T.x.array


class DolfinxNewtonRoute(InlineRoute):
    """The inline forms under DOLFINx's NewtonSolver."""

    def make_newton(self):
        problem = fem_petsc.NonlinearProblem(self.residual, self.bar.T, bcs=[], J=self.jacobian)
        solver = nls.petsc.NewtonSolver(self.bar.mesh.comm, problem)
        solver.convergence_criterion = "incremental"
        solver.rtol = NEWTON_RTOL
        ksp = solver.krylov_solver
        ksp.setOperators(solver.A)
        # NewtonSolver leaves its own defaults (an LU) in PETSc's options
        options = PETSc.Options(ksp.getOptionsPrefix())
        for name in ("ksp_type", "pc_type", "pc_factor_mat_solver_type"):
            options.delValue(name)
        SOLVERS[self.solver](ksp, symmetric=False)
        ksp.setFromOptions()
        return solver

    def solve(self):
        iterations, _ = self.newton.solve(self.bar.T)  # raises unless converged
        return iterations


# The library route's eval blocks and the seconds inside them, per library.
blocks, eval_seconds = collections.Counter(), collections.Counter()


def counted(function):
    def call(*args, **kwargs):
        start = time.perf_counter()
        try:
            return function(*args, **kwargs)
        finally:
            blocks[function.__name__] += 1
            eval_seconds[function.__name__] += time.perf_counter() - start

    return call


PEERS = {"inline": InlineRoute, "dolfinx": DolfinxNewtonRoute}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", choices=SIZES, default="small")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument(
        "--peers",
        nargs="*",
        choices=PEERS,
        default=list(PEERS),
        help="the routes to time against the library route (default all)",
    )
    parser.add_argument("--solver", choices=SOLVERS, default="multigrid")
    options = parser.parse_args()
    comm = MPI.COMM_WORLD
    bar = Bar(comm, options.size)
    routes = {
        "library": LibraryRoute(
            bar, counted(materials.Daskelt), counted(materials.Mirrobane), options.solver
        ),
        **{name: PEERS[name](bar, options.solver) for name in options.peers},
    }
    runs = {name: [] for name in routes}  # [seconds, seconds in eval] of each run
    iterations, final = {}, {}
    for _ in range(options.repetitions):
        for name, route in routes.items():
            bar.T.x.array[:] = T_START
            route.accept()
            blocks.clear()
            eval_seconds.clear()
            comm.Barrier()
            start = time.perf_counter()
            iterations[name], _ = bar.march(route)
            run = np.array([time.perf_counter() - start, sum(eval_seconds.values())])
            comm.Allreduce(MPI.IN_PLACE, run, op=MPI.MAX)
            runs[name].append(run)
            final[name] = bar.T.x.array[: bar.V.dofmap.index_map.size_local].copy()
            if name == "library":
                library_blocks = dict(blocks)
    best = {name: min(r, key=lambda run: run[0]) for name, r in runs.items()}
    result = {
        "size": options.size,
        "processes": comm.size,
        "cells": bar.cells_x * (bar.cells_x // 10),
        "steps": bar.steps,
        "repetitions": options.repetitions,
        "solver": options.solver,
        "routes": {
            name: {
                "seconds": best[name][0],
                "iterations": iterations[name],
                "max_difference_K": comm.allreduce(
                    float(np.abs(final[name] - final["library"]).max(initial=0.0)), op=MPI.MAX
                ),
            }
            for name in routes
        },
    }
    result["routes"]["library"].update(blocks=library_blocks, eval_seconds=best["library"][1])
    if comm.rank == 0:
        print(json.dumps(result))


if __name__ == "__main__":
    main()
