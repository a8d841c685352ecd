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

Each route runs `--repetitions` times, the routes interleaved so that the
load of a shared machine falls on all alike; the best time of the
time-stepping loop counts (the slowest process's, mesh and form compilation
excluded). Prints one JSON object on process 0: per route the seconds, the
Newton iterations and the largest difference of the final temperature from
the library route's (K); for the library route also the eval blocks it
asked of each library. Needs the package importable and MATERIALS_LIB_DIR
naming the libraries' folder (bench/run-benchmarks sets both).

    mpirun -n 2 python3 bench/quench_peers.py --size full --repetitions 1"""
import argparse
import collections
import functools
import json
import sys
import time
from pathlib import Path

import numpy as np
import ufl
from dolfinx import fem, nls
from dolfinx.fem import petsc as fem_petsc
from mpi4py import MPI

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "examples"))
import materials  # noqa: E402
from common import NEWTON_RTOL, Newton, direct_solver  # noqa: E402
from quench import (GAUSS_NODES, GAUSS_WEIGHTS, RRR, SIZES, T_START, Bar,  # noqa: E402
                    LibraryRoute)


def conductivity(T):
    """Copper's thermal conductivity k(T, RRR), W/(m K): Daskelt's fit with
    its scale factor 1, in the library's order of operations."""
    beta = 0.634 / RRR
    residual = beta / T
    intrinsic = (T**2.763 * 1.754e-8) / (
        ufl.exp(-(70.0 / T)**1.756) * (T**2.598 * 1.932908e-5) + 1.0)
    gamma = 0.838 / (beta / 0.0003)**0.1661
    both = intrinsic + residual
    return 1.0 / ((gamma * (intrinsic * residual)) / both + both)


# Mirrobane's fit of copper's heat capacity, J/(m^3 K): on each interval up
# to its upper bound (K) a quartic, coefficients of T^4, T^3, T^2, T, 1;
# above the last bound a straight line.
HEAT_CAPACITY_PIECES = [
    (9.441, -0.0308, 7.229, -2.1286, 101.89, 2.5631),
    (31.134, -0.3045, 29.871, -455.61, 3469.5, -8250.3),
    (123.34, 0.0419, -14.024, 1508.9, -31595, 178430),
    (306.12, -0.000848, 0.8419, -325.52, 60590, -1290000),
    (498.15, -4.8e-05, 0.09173, -64.12, 20363, 1030000)]
HEAT_CAPACITY_TAIL = (1011.9, 3141752.164661)  # J/(m^3 K^2), J/(m^3 K)


def heat_capacity(T):
    """C(T) as Mirrobane computes it: the first interval whose bound T does
    not exceed (a NaN falls through to the line)."""
    slope, intercept = HEAT_CAPACITY_TAIL
    C = slope * T + intercept
    for bound, a4, a3, a2, a1, a0 in reversed(HEAT_CAPACITY_PIECES):
        quartic = a0 + (((a4 * T**4 + a3 * T**3) + a2 * T**2) + a1 * T)
        C = ufl.conditional(ufl.le(T, bound), quartic, C)
    return C


class InlineRoute:
    """The heat equation with k and C inline: the stored heat is the same
    3-point Gauss rule for the integral of C from the last temperature to T,
    at the forms' quadrature points; the Jacobian is the residual's exact
    derivative."""

    def __init__(self, bar):
        self.bar = bar
        T = bar.T
        self.T_old = fem.Function(bar.V)
        rise = T - self.T_old
        mean_C = functools.reduce(lambda a, b: a + b, [
            w * heat_capacity(self.T_old + x * rise) for x, w in zip(GAUSS_NODES, GAUSS_WEIGHTS)])
        self.residual = bar.heat_equation(rise * mean_C, conductivity(T))
        self.jacobian = ufl.derivative(self.residual, T, ufl.TrialFunction(bar.V))
        self.newton = self.make_newton()
        self.accept()

    def make_newton(self):
        return Newton(self.residual, self.jacobian, self.bar.T, [], self.bar.points,
                      lambda T: [])

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
        direct_solver(solver.krylov_solver)
        return solver

    def solve(self):
        iterations, _ = self.newton.solve(self.bar.T)  # raises unless converged
        return iterations


blocks = collections.Counter()  # eval blocks of the library route, per library


def counted(function):
    def call(*args, **kwargs):
        blocks[function.__name__] += 1
        return function(*args, **kwargs)
    return call


ROUTES = {"library": lambda bar: LibraryRoute(bar, counted(materials.Daskelt),
                                              counted(materials.Mirrobane)),
          "inline": InlineRoute,
          "dolfinx": DolfinxNewtonRoute}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--size", choices=SIZES, default="small")
    parser.add_argument("--repetitions", type=int, default=3)
    options = parser.parse_args()
    comm = MPI.COMM_WORLD
    bar = Bar(comm, options.size)
    routes = {name: make(bar) for name, make in ROUTES.items()}
    seconds = {name: [] for name in ROUTES}
    iterations, final = {}, {}
    for _ in range(options.repetitions):
        for name, route in routes.items():
            bar.T.x.array[:] = T_START
            route.accept()
            comm.Barrier()
            start = time.perf_counter()
            iterations[name], _ = bar.march(route)
            seconds[name].append(comm.allreduce(time.perf_counter() - start, op=MPI.MAX))
            final[name] = bar.T.x.array[:bar.V.dofmap.index_map.size_local].copy()
    result = {"size": options.size, "processes": comm.size,
              "cells": bar.cells_x * (bar.cells_x // 10), "steps": bar.steps,
              "repetitions": options.repetitions, "routes": {
                  name: {"seconds": min(seconds[name]), "iterations": iterations[name],
                         "max_difference_K": comm.allreduce(
                             float(np.abs(final[name] - final["library"]).max(initial=0.0)),
                             op=MPI.MAX)}
                  for name in ROUTES}}
    result["routes"]["library"]["blocks"] = {
        name: count // options.repetitions for name, count in blocks.items()}
    if comm.rank == 0:
        print(json.dumps(result))


if __name__ == "__main__":
    main()
