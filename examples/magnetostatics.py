"""Vector hysteresis in a magnetostatic field solve: the magnetic scalar
potential with B(h) and dB/dh of Orvandel's vector model at the quadrature
points, each point with its own history.

In the plane, a given source field h_s (a uniform applied field, or the
field of a line current) and the gradient of a scalar potential phi make up
the field, and the flux density is free of divergence:

    h = h_s - grad phi,    div B(h) = 0,    phi = 0 on the outer circle,

with B . n = 0 on an inner boundary. Newton's method solves the weak form

    F(phi; v)       = - integral B(h) . grad v dx                = 0 for all v,
    J(phi; dphi, v) =   integral (dB/dh grad dphi) . grad v dx,

on second-order Lagrange elements over curved (second-order) cells, with
B and dB/dh at the quadrature points of `dx` (the model is 3-D; h_z = 0).
J is symmetric and positive, F the gradient of a convex energy within a
time step, so the examples' shared line search applies as it stands.

The material: B = mu0 ((1 - f) h + sum_k w_k H_k), where each cell k's
reversible field H_k follows h through a vector play of radius chi_k, relaxes
with the time constant tau_k and is held back by a coupling of time constant
tau_c,k up to the field hc_max,k (`bhyst`). Four cells: cell 0 without play
and coupling, so that `dbhyst_dh` is the exact derivative of `bhyst` and
Newton's Jacobian is exact; a cell with relaxation; a cell with coupling; a
wide cell. With weights summing to 4 and f = 0.5 the material's differential
relative permeability lies between 1.5 (the cells with play at rest) and 4.5
(all moving): low for iron, so that the field inside the cylinder below is
a good part of the applied one (at a permeability of 1000 it would be a
five-hundredth, and a deviation against the applied field would say little).

History at the quadrature points. Every cell's H_k of the last accepted step
is kept at every quadrature point of the iron: one materials.VectorHysteresis
of as many points, in the order of the points of the process's own cells
(each process keeps its own; nothing crosses between processes). Every
Newton iterate, line-search trials included, evaluates B and dB/dh from that
history and leaves it untouched; once a time step's Newton has converged,
accept(h) advances it to the H_k of the converged field. An iterate that
advanced it would leave the history of a field the solution never had.

Checks (two periods of 50 Hz each, the same time steps for the solve and the
closed forms):
1. A circular cylinder of radius a in the uniform applied field H_a(t),
   outer circle at R = 10 a. For any local, homogeneous law the field inside
   is uniform, h = H_a - N_eff M with M = B(h)/mu0 - h and
   N_eff = (1 - a^2/R^2)/2, the image of the outer circle included (the
   elliptic cylinder's demagnetising factors, J. A. Osborn, Phys. Rev. 67
   (1945) 351). That equation, solved at one point with the same model, steps
   and history, gives h_point; the area average of h over the iron and its
   largest deviation at the points more than two cells inside the surface
   must stay within 0.5 % of the amplitude of H_a at every step: H_a
   alternating along x, and rotating at constant magnitude, both with the
   four cells, and rotating with the play alone (check 2's run).
2. Rotational loss. Without relaxation and coupling a cell moves as
   H_k = h - chi (h - H_k')/|h - H_k'| from its last value H_k', so h - H_k has
   length chi along the step dH_k = H_k - H_k' and the cell dissipates
   mu0 w_k (h - H_k) . dH_k = mu0 w_k chi |dH_k| per unit volume. In a field
   of magnitude |h| > chi turning by dtheta per step, the steady cell runs on
   a circle of radius rho, its chord (2 rho sin(dtheta/2)) continued by chi
   reaching h: rho^2 cos^2(dtheta/2) + (rho sin(dtheta/2) + chi)^2 = |h|^2, so
       rho = -chi sin(dtheta/2) + sqrt(|h|^2 - chi^2 cos^2(dtheta/2)),
       loss per cycle = N mu0 w_k chi 2 rho sin(dtheta/2),  N = 2 pi/dtheta.
   This discrete form is checked: the continuous 2 pi mu0 w_k chi
   sqrt(|h|^2 - chi^2), its limit dtheta -> 0, lies 12 % above it at 12
   steps per cycle. The transient decays by about exp(-2 pi rho/chi) per
   cycle, so the second cycle is measured: the dissipation of every cell at
   every point, integrated over the iron, against pi a^2 times the closed
   form at the interior |h| (of the iron's area average of h, over the
   cycle), within 1 %.
3. A ring around a line current I(t): h_s = I/(2 pi r) e_theta is free of
   divergence and B(h_s) points along e_theta at every point whatever its
   history, so phi stays 0 and B at each point is the point model driven by
   its own I/(2 pi r). Every point has its own history; one mixed up between
   points or processes would show as tens of per cent. The largest
   |B - B_point e_theta| over the iron's points, against the largest |B|,
   within 0.5 %. At the full size it lies where the current passes zero,
   near the radius at which the widest cell's play stops moving
   (I_max/(2 pi chi) = 23.9 mm): the remanent B has a kink in r there, which
   the elements resolve poorly, so it shrinks only slowly with the cells.
4. Newton: the median of its iterations per step at most 6.

The closing figure is the largest of checks 1 to 3, each as a share of its
limit. --jacobian mu0 replaces dB/dh by mu0 I in Newton's Jacobian, to show
what the exact one buys (check 4 is then only reported)."""
import matplotlib

matplotlib.use("Agg")
import numpy as np
import ufl
from dolfinx import fem
from mpi4py import MPI

import materials
from femkit.run import Run
from magnetostatics_cylinder import (
    H_APPLIED,
    RADIUS,
    Cylinder,
    cylinder_point_model,
    rotational_loss,
)
from magnetostatics_field import FieldSolve, in_3d, iron_in_air
from magnetostatics_output import save_results

# The cells: weight, play radius chi (A/m), coupling limit hc_max (A/m),
# coupling and relaxation time constants tau_c and tau (s).
CELL_FRACTION = 0.5
CELLS = {
    "weight": [1.0, 1.5, 1.0, 0.5],
    "chi": [0.0, 100.0, 250.0, 500.0],
    "hc_max": [0.0, 0.0, 20.0, 0.0],
    "tau_c": [0.0, 0.0, 1e-3, 0.0],
    "tau": [0.0, 0.5e-3, 0.0, 0.0],
}
PLAY_ONLY = dict(CELLS, hc_max=[0.0] * 4, tau_c=[0.0] * 4, tau=[0.0] * 4)
FREQUENCY = 50.0  # Hz
PERIODS = 2
RING_INNER, RING_OUTER, RING_AIR = 0.010, 0.030, 0.050  # m: the iron, then air to phi = 0
CURRENT = 75.0  # A: |h_s| 1194 A/m to 398 A/m across the ring

# steps per period, cell size in the cylinder's iron (m), cell size in the ring's (m)
SIZES = {"small": (12, RADIUS / 5, 0.005), "full": (64, RADIUS / 15, 0.0015)}
LIMITS = {"cylinder": 0.005, "loss": 0.01, "ring": 0.005}  # checks 1 to 3, relative
NEWTON_MEDIAN_LIMIT = 6


def add_options(parser):
    parser.add_argument(
        "--jacobian",
        choices=("exact", "mu0"),
        default="exact",
        help="Newton's Jacobian from dB/dh (default) or from mu0 I",
    )


class Hysteresis:
    """The material route: Orvandel's vector model (materials.VectorHysteresis)
    at the time step dt, its evaluations on run's eval clock."""

    def __init__(self, run, dt):
        self.dt = dt  # s
        self.evaluate = run.timed(materials.VectorHysteresis.evaluate)
        self.accept = run.timed(materials.VectorHysteresis.accept)

    def model(self, cells, shape=()):
        """The virgin state of `cells` at an array of points of this shape."""
        return materials.VectorHysteresis(
            **cells, dt=self.dt, cell_fraction=CELL_FRACTION, shape=shape
        )


class Steps:
    """PERIODS periods of `per_period` time steps each."""

    def __init__(self, per_period):
        self.per_period = per_period
        self.dt = 1 / (FREQUENCY * per_period)  # s
        self.times = self.dt * np.arange(1, PERIODS * per_period + 1)  # s, the end of each step
        self.angles = 2 * np.pi * FREQUENCY * self.times
        self.map_step = per_period + per_period // 4  # the second period's peak (counted from 1)


def check_cylinder(run, material, steps, cell_size):
    """Checks 1 and 2, a line for each load; returns each load's rows, the
    shares of their limits, the field maps and Newton's iterations."""
    cylinder = Cylinder(run, material, cell_size)
    run.say(
        f"{run.size}: cylinder of {cylinder.field.count} iron points "
        f"({cylinder.cells_in_all} curved cells in all), {steps.per_period} steps "
        f"per period, {run.options.jacobian} Jacobian, {run.processes}"
    )
    alternating = H_APPLIED * np.stack([np.sin(steps.angles), 0 * steps.angles], axis=-1)
    rotating = H_APPLIED * np.stack([np.cos(steps.angles), np.sin(steps.angles)], axis=-1)
    loads = {
        "alternating": (CELLS, alternating),
        "rotating": (CELLS, rotating),
        "rotating, play only": (PLAY_ONLY, rotating),
    }
    runs, shares, maps, iterations = {}, {}, {}, []
    for load, (cells, fields) in loads.items():
        with run.solving():
            h_point, B_point = cylinder_point_model(material, cells, fields)
        rows, field_map = cylinder.load(cells, fields, h_point, steps, mapped=cells is CELLS)
        if cells is CELLS:
            maps[f"cylinder, {load}"] = field_map
        iterations += list(rows["newton"])
        runs[load] = dict(rows, H_a=fields, h_point=h_point, B_point=B_point)
        worst = max(rows["deviation"].max(), rows["largest_deviation"].max())
        shares[f"cylinder, {load}"] = worst / LIMITS["cylinder"]
        loss = rows["dissipated"][steps.per_period :].sum()
        run.say(
            f"cylinder, {load}: |h| inside up to {np.linalg.norm(h_point, axis=1).max():.1f} "
            f"A/m; |h - h_point| / |H_a|: area average {rows['deviation'].max():.3e}, "
            f"largest inside {rows['largest_deviation'].max():.3e}; loss in the second "
            f"period {loss:.6e} J/m; Newton {np.median(rows['newton']):g} (median), "
            f"{rows['newton'].max()} (largest) iterations per step"
        )
        if cells is PLAY_ONLY:
            h_inside = np.linalg.norm(rows["h_average"][steps.per_period :], axis=1).mean()
            shares["rotational loss"] = check_rotational_loss(run, loss, h_inside, steps)
    return runs, shares, maps, iterations, cylinder.field.evaluations


def check_rotational_loss(run, loss, h_inside, steps):
    """Check 2, said on a line; returns its share of its limit."""
    closed = np.pi * RADIUS**2 * rotational_loss(PLAY_ONLY, h_inside, steps.per_period)
    continuous = np.pi * RADIUS**2 * rotational_loss(PLAY_ONLY, h_inside, 10**9)
    run.say(
        f"rotational loss per cycle {loss:.6e} J/m against {closed:.6e} J/m, pi a^2 "
        f"times the closed form at |h| = {h_inside:.2f} A/m ({continuous:.6e} J/m "
        f"without the discrete steps): {abs(loss / closed - 1):.3e}"
    )
    return abs(loss / closed - 1) / LIMITS["loss"]


def check_ring(run, material, steps, cell_size):
    """Check 3, the ring around the line current, on a line; returns its
    rows (Newton's iterations among them), the share of its limit, its field
    map and the model's evaluations."""
    domain, cell_tags = iron_in_air(run.comm, RING_INNER, RING_OUTER, RING_AIR, cell_size)
    current = fem.Constant(domain, 0.0)
    x = ufl.SpatialCoordinate(domain)
    line_current = current / (2 * np.pi) * ufl.as_vector([-x[1], x[0]]) / (x[0] ** 2 + x[1] ** 2)
    exact = run.options.jacobian == "exact"
    ring = FieldSolve(run, material, exact, domain, cell_tags, RING_AIR, line_current, cell_size)
    ring.start(CELLS)
    xy = ring.xy[ring.iron]
    radii = np.hypot(*xy.T)
    e_r = xy / radii[:, None]
    e_theta = np.stack([-e_r[:, 1], e_r[:, 0]], axis=-1)
    point_model = material.model(CELLS, shape=radii.size)
    run.say(
        f"ring of {ring.count} iron points ({domain.topology.index_map(2).size_global} curved "
        f"cells in all)"
    )
    rows = {"current": CURRENT * np.sin(steps.angles), "deviation": [], "newton": []}
    largest_B, field_map = 0.0, None
    for step, I in enumerate(rows["current"], start=1):
        current.value = I
        count, h, B, _ = ring.advance()
        with run.solving():
            h_point = in_3d(np.stack([I / (2 * np.pi * radii), 0 * radii], axis=-1))
            B_point = material.evaluate(point_model, h_point)[0]
            material.accept(point_model, h_point)
        # the point model's x and y are e_theta and -e_r at each point
        apart = np.linalg.norm(B - B_point[:, :1] * e_theta + B_point[:, 1:2] * e_r, axis=1)
        largest_B = max(
            largest_B, run.comm.allreduce(np.linalg.norm(B, axis=1).max(initial=0.0), op=MPI.MAX)
        )
        rows["deviation"].append(run.comm.allreduce(apart.max(initial=0.0), op=MPI.MAX))
        rows["newton"].append(count)
        if step == steps.map_step:
            field_map = ring.field_map()
    deviation = max(rows["deviation"]) / largest_B
    run.say(
        f"ring: largest |B - B_point e_theta| {deviation:.3e} of the largest |B| "
        f"({largest_B:.4f} T); Newton {np.median(rows['newton']):g} (median), "
        f"{max(rows['newton'])} (largest) iterations per step"
    )
    return rows, deviation / LIMITS["ring"], field_map, ring.evaluations


def check_newton(run, iterations, evaluations):
    """Check 4, Newton's iterations per step, when its Jacobian is exact."""
    median = np.median(iterations)
    run.say(
        f"Newton with the {run.options.jacobian} Jacobian: {median:g} iterations per step "
        f"(median), {max(iterations)} (largest), over {len(iterations)} steps"
        + f"; {evaluations / len(iterations):.2f} evaluations of the model per step, "
        "line search included"
    )
    if run.options.jacobian == "exact":
        run.check("Newton: median iterations per step =", median, NEWTON_MEDIAN_LIMIT)


def main():
    run = Run("magnetostatics", __doc__, add_options)
    per_period, cylinder_cell, ring_cell = SIZES[run.size]
    steps = Steps(per_period)
    material = Hysteresis(run, steps.dt)
    cylinder_runs, shares, maps, iterations, evaluations = check_cylinder(
        run, material, steps, cylinder_cell
    )
    ring_rows, shares["ring"], maps["ring"], ring_evaluations = check_ring(
        run, material, steps, ring_cell
    )
    check_newton(run, iterations + ring_rows["newton"], evaluations + ring_evaluations)
    run.say(
        "share of its limit: " + ", ".join(f"{name} {share:.3f}" for name, share in shares.items())
    )
    if run.root:
        geometry = {"radius": RADIUS, "ring": (RING_INNER, RING_OUTER)}
        save_results(run, steps.times, steps.map_step, cylinder_runs, ring_rows, maps, geometry)
    run.finish("largest share of its limit over the three checks =", max(shares.values()), 1.0)


if __name__ == "__main__":
    main()
