"""The transport-current loss of examples/transport_current_loss.py solved
two ways on the same wire, time steps, predictor and Newton, to time the
library route against what a DOLFINx user would write instead:

- library: the example's own route, E_z(J_z) from Orvandel's e_joule and
  the exact slope from materials.orvandel.de_joule_dj_exact, one call each
  over the conductor's quadrature points per Newton iteration (with
  --jacobian library, de_joule_dj as the library returns it);
- inline: the same law written in UFL (Orvandel's threshold, power law and
  linear continuation, with the same constants), compiled into the forms
  at the same one point per cell; the Jacobian by ufl.derivative.

One cycle of 100 steps after the first quarter, at n = 100 and I_m = 0.9
Ic. Each route runs `--repetitions` times, interleaved so that the load of
a shared machine falls on both alike; the best time of the time-stepping
loop counts (the slowest process's, mesh and form compilation excluded).
Prints one JSON object on process 0: per route the seconds, Newton's
iterations per step (median and largest), the loss per cycle and its
difference from the library route's; for the library route also the
seconds inside Orvandel's functions in its best run. Needs the package
importable and MATERIALS_LIB_DIR naming the libraries' folder, and
examples/ on the module path (bench/run-benchmarks sets all three).

    PYTHONPATH=python:examples mpirun -n 2 python3 bench/transport_current_peers.py"""
import argparse
import json
import time

import numpy as np
import ufl
from dolfinx import fem
from mpi4py import MPI

from femkit import MU0
from femkit.newton import Newton
from transport_current_loss import make_law
from transport_current_loss_model import AIR, CONDUCTOR, CONDUCTORS, EC, RHO, TransportCurrent

EXPONENT, FRACTION, STEPS = 100.0, 0.9, 100


def orvandel_e_z(J, jc, n):
    """E_z of Orvandel's e_joule for J = (0, 0, J): s J with the secant s of
    the power law below the threshold, of its linear continuation above."""
    threshold = (1.0 / (n * EC)) ** (1.0 / (n - 1.0)) * (
        jc ** (n / (n - 1.0)) * RHO ** (1.0 / (n - 1.0))
    )
    r = abs(J)
    power_law = (r / jc) ** (n - 1.0) * (EC / jc)
    linear = ((threshold / jc) ** n * EC + (r - threshold) * RHO) / r
    return ufl.conditional(ufl.gt(threshold, r), power_law, linear) * J


class InlineRoute(TransportCurrent):
    """The example's model with the law inline in its forms."""

    def __init__(self, comm, conductor, cells_across):
        super().__init__(comm, conductor, cells_across, STEPS, law=None)
        H, domain = self.H, self.domain
        self.n, self.jc_value = fem.Constant(domain, EXPONENT), fem.Constant(domain, conductor.jc)
        dx = ufl.Measure(
            "dx", domain, subdomain_data=self.cell_tags, metadata={"quadrature_degree": 1}
        )
        v, J = ufl.TestFunction(H.function_space), ufl.curl(H)
        E_conductor = orvandel_e_z(J, self.jc_value, self.n)
        dt = fem.Constant(domain, self.step)
        residual = (
            MU0 / dt * ufl.inner(H - self.H_old, v) * ufl.dx
            + E_conductor * ufl.curl(v) * dx(CONDUCTOR)
            + self.air * J * ufl.curl(v) * dx(AIR)
        )
        jacobian = ufl.derivative(residual, H, ufl.TrialFunction(H.function_space))
        self.newton = Newton(
            residual, jacobian, H, self.newton.bcs, self.points, lambda H: [], solver=self.solver
        )
        self.power = fem.form(E_conductor * J * dx(CONDUCTOR))

    def dissipation(self):
        return self.domain.comm.allreduce(fem.assemble_scalar(self.power))


def library_route(comm, conductor, cells_across, jacobian, clock):
    """The example's route; the seconds inside materials.orvandel added to
    clock[0]."""

    def timed(function):
        def clocked(*args):
            start = time.perf_counter()
            try:
                return function(*args)
            finally:
                clock[0] += time.perf_counter() - start

        return clocked

    return TransportCurrent(comm, conductor, cells_across, STEPS, make_law(jacobian, timed))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cells", type=int, default=18, help="cells across the wire's radius")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--jacobian", choices=("exact", "library"), default="exact")
    options = parser.parse_args()
    comm, wire, clock = MPI.COMM_WORLD, CONDUCTORS["wire"], [0.0]
    routes = {
        "library": library_route(comm, wire, options.cells, options.jacobian, clock),
        "inline": InlineRoute(comm, wire, options.cells),
    }
    runs = {name: [] for name in routes}  # [seconds, seconds in Orvandel] of each run
    found = {}
    for _ in range(options.repetitions):
        for name, route in routes.items():
            clock[0] = 0.0
            comm.Barrier()
            start = time.perf_counter()
            found[name] = route.cycle_loss(EXPONENT, FRACTION)
            run = np.array([time.perf_counter() - start, clock[0]])
            comm.Allreduce(MPI.IN_PLACE, run, op=MPI.MAX)
            runs[name].append(run)
    best = {name: min(r, key=lambda run: run[0]) for name, r in runs.items()}
    reference = found["library"][0]
    result = {
        "processes": comm.size,
        "unknowns": routes["library"].unknowns,
        "steps": STEPS,
        "jacobian": options.jacobian,
        "repetitions": options.repetitions,
        "routes": {
            name: {
                "seconds": best[name][0],
                "median_iterations": float(np.median(found[name][1])),
                "largest_iterations": max(found[name][1]),
                "loss_J_per_m": found[name][0],
                "relative_difference": found[name][0] / reference - 1,
            }
            for name in routes
        },
    }
    result["routes"]["library"]["eval_seconds"] = best["library"][1]
    if comm.rank == 0:
        print(json.dumps(result))


if __name__ == "__main__":
    main()
