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
import matplotlib.pyplot as plt
import matplotlib.tri
import numpy as np
import ufl
from dolfinx import fem
from mpi4py import MPI

import materials
from common import MU0, NotConverged, QuadraturePoints, Newton, Run, concentric_mesh, global_sum

run = Run(
    "magnetostatics",
    __doc__.splitlines()[0],
    add_options=lambda parser: (
        parser.add_argument(
            "--jacobian",
            choices=("exact", "mu0"),
            default="exact",
            help="Newton's Jacobian from dB/dh (default) or from mu0 I",
        )
    ),
)
evaluate = run.timed(materials.VectorHysteresis.evaluate)
accept = run.timed(materials.VectorHysteresis.accept)
EXACT = run.options.jacobian == "exact"

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
STEPS = 12 if not run.full else 64  # per period
DT = 1 / (FREQUENCY * STEPS)  # s
IRON, AIR = 1, 2  # cell tags

RADIUS = 0.010  # m, the cylinder's
CYLINDER_OUTER = 10 * RADIUS  # m, where phi = 0
N_EFF = (1 - RADIUS**2 / CYLINDER_OUTER**2) / 2
H_APPLIED = 2000.0  # A/m: |h| inside about 800 A/m
CYLINDER_CELL = RADIUS / (5 if not run.full else 15)  # m, in the iron

RING_INNER, RING_OUTER, RING_AIR = 0.010, 0.030, 0.050  # m: the iron, then air to phi = 0
CURRENT = 75.0  # A: |h_s| 1194 A/m to 398 A/m across the ring
RING_CELL = 0.005 if not run.full else 0.0015  # m, in the iron

LIMITS = {"cylinder": 0.005, "loss": 0.01, "ring": 0.005}  # checks 1 to 3, relative
NEWTON_MEDIAN_LIMIT = 6


def iron_in_air(hole, iron_outer, outer, cell_size):
    """Iron from radius hole (0: a full disc) to iron_outer, air from there
    to outer; cells of cell_size in the iron, growing outwards."""
    return concentric_mesh(
        run.comm,
        [(hole, None)] * (hole > 0) + [(iron_outer, IRON), (outer, AIR)],
        lambda r: cell_size * max(1.0, 1 + 2 * (r - iron_outer) / iron_outer),
    )


def in_3d(vectors):
    """(..., 2) -> (..., 3) with z = 0."""
    return np.concatenate([vectors, np.zeros(vectors.shape[:-1] + (1,))], axis=-1)


def gather_rows(array):
    """The rows of every process's array, on process 0 (None elsewhere)."""
    parts = run.comm.gather(array, root=0)
    return None if parts is None else np.concatenate(parts)


class FieldSolve:
    """phi on a mesh of iron and air for the source field `source` (UFL),
    with the model's history at the iron's quadrature points."""

    def __init__(self, domain, cell_tags, outer, source, cell_size):
        self.points = points = QuadraturePoints(domain, degree=2)
        V = fem.FunctionSpace(domain, ("Lagrange", 2))
        self.phi = fem.Function(V, name="phi")
        self.field = source - ufl.grad(self.phi)
        self.B = [points.function(f"B_{i}") for i in "xy"]
        self.dB_dh = [[points.function(f"dB{i}_dh{j}") for j in "xy"] for i in "xy"]
        v, dphi = ufl.TestFunction(V), ufl.TrialFunction(V)
        residual = -ufl.inner(ufl.as_vector(self.B), ufl.grad(v)) * points.dx
        jacobian = (
            ufl.inner(ufl.dot(ufl.as_matrix(self.dB_dh), ufl.grad(dphi)), ufl.grad(v)) * points.dx
        )
        boundary = fem.locate_dofs_geometrical(
            V, lambda x: np.hypot(x[0], x[1]) > outer - 1e-3 * cell_size
        )
        iron_cells = np.isin(points.cells, cell_tags.indices[cell_tags.values == IRON])
        self.iron = np.broadcast_to(iron_cells[:, None], points.dofs.shape)
        self.xy = self.at_points(ufl.SpatialCoordinate(domain))  # m, every point
        self.area = points.areas()[self.iron]  # m^2, the iron's points
        self.count = run.comm.allreduce(self.area.size)
        self.newton = Newton(
            residual,
            jacobian,
            self.phi,
            [fem.dirichletbc(0.0, boundary, V)],
            points,
            self.properties,
            max_iterations=50 if EXACT else 500,
        )
        self.cells = self.model = None
        self.evaluations = 0  # of the model, by Newton and its line search

    def at_points(self, expression):
        """A vector expression at every point: (cells, points, 2)."""
        return self.points.values(expression).reshape(self.points.dofs.shape + (2,))

    def flux_density(self):
        """B as Newton's last evaluation left it, at every point: (cells,
        points, 2)."""
        return np.stack([f.x.array[self.points.dofs] for f in self.B], axis=-1)

    def properties(self, phi):
        """B and dB/dh at every point: mu0 h and mu0 I in the air, the model
        at the accepted history in the iron."""
        h = self.at_points(self.field)
        B = MU0 * h
        dB_dh = np.broadcast_to(MU0 * np.eye(2), h.shape + (2,)).copy()
        B_iron, dB_dh_iron = evaluate(self.model, in_3d(h[self.iron]))
        self.evaluations += 1
        B[self.iron] = B_iron[:, :2]
        if EXACT:
            dB_dh[self.iron] = dB_dh_iron[:, :2, :2]
        return [(f, B[..., i]) for i, f in enumerate(self.B)] + [
            (f, dB_dh[..., i, j]) for i, row in enumerate(self.dB_dh) for j, f in enumerate(row)
        ]

    def start(self, cells):
        """phi = 0 and the virgin state of `cells` at every point."""
        self.phi.x.array[:] = 0.0
        self.cells = cells
        self.model = materials.VectorHysteresis(
            **cells, dt=DT, cell_fraction=CELL_FRACTION, shape=self.area.size
        )

    def advance(self):
        """One time step: Newton from the last step's phi, then the history
        advanced at the converged field (Newton's last evaluation is at its
        last iterate). Returns Newton's iterations, the iron's h and B
        (points, 2), and the energy per unit length the cells dissipated in
        the step (J/m)."""
        with run.solving():
            iterations = self.newton.solve()
            h = self.at_points(self.field)[self.iron]
            before = self.model.hrev.copy()
            accept(self.model, in_3d(h))
            after = self.model.hrev
        # each cell: mu0 w_k (h - H_k) . (H_k - H_k'), per unit volume
        per_point = MU0 * np.einsum(
            "k,pki,pki->p", self.cells["weight"], in_3d(h)[:, None, :] - after, after - before
        )
        return (
            iterations,
            h,
            self.flux_density()[self.iron],
            global_sum(run.comm, per_point @ self.area),
        )

    def field_map(self):
        """(x, y, B_x, B_y) at every point of every process, on process 0."""
        return gather_rows(np.concatenate([self.xy, self.flux_density()], axis=-1).reshape(-1, 4))


def cylinder_point_model(cells, fields):
    """h inside the cylinder for the applied fields `fields` (steps, 2), and
    B there: g(h) = h - H_a + N_eff (B(h)/mu0 - h) = 0 at one point by
    Newton's method on h from the last step's h (a step that does not reduce
    |g| is halved), the history advanced after each step."""
    model = materials.VectorHysteresis(**cells, dt=DT, cell_fraction=CELL_FRACTION)

    def miss(h, H_a):
        B, dB_dh = evaluate(model, h)
        return h - H_a + N_EFF * (B / MU0 - h), (1 - N_EFF) * np.eye(3) + N_EFF * dB_dh / MU0, B

    h, hs, Bs = np.zeros(3), [], []
    for H_a in in_3d(fields):
        g, slope, B = miss(h, H_a)
        for _ in range(50):
            correction, s = np.linalg.solve(slope, g), 1.0
            while True:
                trial = h - s * correction
                g_trial, slope_trial, B_trial = miss(trial, H_a)
                if np.linalg.norm(g_trial) < np.linalg.norm(g) or s < 1e-6:
                    break
                s /= 2
            h, g, slope, B = trial, g_trial, slope_trial, B_trial
            if np.linalg.norm(s * correction) <= 1e-13 * H_APPLIED:
                break
        else:
            raise NotConverged(f"the point model did not converge at H_a = {H_a}")
        accept(model, h)
        hs.append(h[:2])
        Bs.append(B[:2])
    return np.array(hs), np.array(Bs)


def rotational_loss(cells, h, steps):
    """Loss per cycle and unit volume (J/m^3) of play cells without
    relaxation and coupling in a field of magnitude h turning in `steps`
    equal steps, in their discrete steady state (check 2 of the docstring;
    many steps give the continuous form)."""
    half = np.pi / steps
    chi, weight = np.array(cells["chi"]), np.array(cells["weight"])
    radius = -chi * np.sin(half) + np.sqrt(np.maximum(h**2 - (chi * np.cos(half)) ** 2, 0.0))
    return steps * MU0 * np.sum(weight * chi * 2 * np.maximum(radius, 0.0) * np.sin(half))


times = DT * np.arange(1, PERIODS * STEPS + 1)  # s, the end of each step
angles = 2 * np.pi * FREQUENCY * times
MAP_STEP = STEPS + STEPS // 4  # the second period's peak (counted from 1)
alternating = H_APPLIED * np.stack([np.sin(angles), 0 * angles], axis=-1)
rotating = H_APPLIED * np.stack([np.cos(angles), np.sin(angles)], axis=-1)
LOADS = {
    "alternating": (CELLS, alternating),
    "rotating": (CELLS, rotating),
    "rotating, play only": (PLAY_ONLY, rotating),
}
iterations, shares, maps, cylinder_runs = [], {}, {}, {}

# 1 and 2: the cylinder
domain, cell_tags = iron_in_air(0.0, RADIUS, CYLINDER_OUTER, CYLINDER_CELL)
applied = fem.Constant(domain, np.zeros(2))
cylinder = FieldSolve(domain, cell_tags, CYLINDER_OUTER, applied, CYLINDER_CELL)
radii = np.hypot(*cylinder.xy[cylinder.iron].T)
interior = radii < RADIUS - 2 * CYLINDER_CELL
centre = np.argmin(radii) if radii.size else -1
holder = run.comm.allreduce((radii.min(initial=np.inf), run.comm.rank), op=MPI.MINLOC)[1]
iron_area = global_sum(run.comm, cylinder.area.sum())
run.say(
    f"{run.size}: cylinder of {cylinder.count} iron points "
    f"({domain.topology.index_map(2).size_global} curved cells in all), {STEPS} steps "
    f"per period, {run.options.jacobian} Jacobian, {run.comm.size} process(es)"
)
for load, (cells, fields) in LOADS.items():
    with run.solving():
        h_point, B_point = cylinder_point_model(cells, fields)
    cylinder.start(cells)
    rows = {
        name: []
        for name in (
            "h_average",
            "h_centre",
            "B_centre",
            "deviation",
            "largest_deviation",
            "newton",
            "dissipated",
        )
    }
    for step, H_a in enumerate(fields, start=1):
        applied.value[:] = H_a
        count, h, B, dissipated = cylinder.advance()
        average = np.array([global_sum(run.comm, c @ cylinder.area) for c in h.T]) / iron_area
        largest = np.abs(h[interior] - h_point[step - 1]).max(initial=0.0)
        rows["largest_deviation"].append(run.comm.allreduce(largest, op=MPI.MAX) / H_APPLIED)
        rows["deviation"].append(np.linalg.norm(average - h_point[step - 1]) / H_APPLIED)
        rows["h_average"].append(average)
        rows["h_centre"].append(run.comm.bcast(h[centre] if centre >= 0 else None, root=holder))
        rows["B_centre"].append(run.comm.bcast(B[centre] if centre >= 0 else None, root=holder))
        rows["newton"].append(count)
        rows["dissipated"].append(dissipated)
        if step == MAP_STEP and cells is CELLS:
            maps[f"cylinder, {load}"] = cylinder.field_map()
    iterations += rows["newton"]
    rows = {name: np.array(values) for name, values in rows.items()}
    cylinder_runs[load] = dict(rows, H_a=fields, h_point=h_point, B_point=B_point)
    worst = max(rows["deviation"].max(), rows["largest_deviation"].max())
    shares[f"cylinder, {load}"] = worst / LIMITS["cylinder"]
    loss = rows["dissipated"][STEPS:].sum()
    run.say(
        f"cylinder, {load}: |h| inside up to {np.linalg.norm(h_point, axis=1).max():.1f} "
        f"A/m; |h - h_point| / |H_a|: area average {rows['deviation'].max():.3e}, "
        f"largest inside {rows['largest_deviation'].max():.3e}; loss in the second "
        f"period {loss:.6e} J/m; Newton {np.median(rows['newton']):g} (median), "
        f"{rows['newton'].max()} (largest) iterations per step"
    )
    if cells is PLAY_ONLY:
        h_inside = np.linalg.norm(rows["h_average"][STEPS:], axis=1).mean()
        closed = np.pi * RADIUS**2 * rotational_loss(cells, h_inside, STEPS)
        continuous = np.pi * RADIUS**2 * rotational_loss(cells, h_inside, 10**9)
        shares["rotational loss"] = abs(loss / closed - 1) / LIMITS["loss"]
        run.say(
            f"rotational loss per cycle {loss:.6e} J/m against {closed:.6e} J/m, pi a^2 "
            f"times the closed form at |h| = {h_inside:.2f} A/m ({continuous:.6e} J/m "
            f"without the discrete steps): {abs(loss / closed - 1):.3e}"
        )

# 3: the ring around a line current
domain, cell_tags = iron_in_air(RING_INNER, RING_OUTER, RING_AIR, RING_CELL)
current = fem.Constant(domain, 0.0)
x = ufl.SpatialCoordinate(domain)
line_current = current / (2 * np.pi) * ufl.as_vector([-x[1], x[0]]) / (x[0] ** 2 + x[1] ** 2)
ring = FieldSolve(domain, cell_tags, RING_AIR, line_current, RING_CELL)
ring.start(CELLS)
xy = ring.xy[ring.iron]
radii = np.hypot(*xy.T)
e_r = xy / radii[:, None]
e_theta = np.stack([-e_r[:, 1], e_r[:, 0]], axis=-1)
point_model = materials.VectorHysteresis(
    **CELLS, dt=DT, cell_fraction=CELL_FRACTION, shape=radii.size
)
run.say(
    f"ring of {ring.count} iron points ({domain.topology.index_map(2).size_global} curved "
    f"cells in all)"
)
ring_rows = {"current": CURRENT * np.sin(angles), "deviation": [], "newton": []}
largest_B = 0.0
for step, I in enumerate(ring_rows["current"], start=1):
    current.value = I
    count, h, B, _ = ring.advance()
    with run.solving():
        h_point = in_3d(np.stack([I / (2 * np.pi * radii), 0 * radii], axis=-1))
        B_point = evaluate(point_model, h_point)[0]
        accept(point_model, h_point)
    # the point model's x and y are e_theta and -e_r at each point
    apart = np.linalg.norm(B - B_point[:, :1] * e_theta + B_point[:, 1:2] * e_r, axis=1)
    largest_B = max(
        largest_B, run.comm.allreduce(np.linalg.norm(B, axis=1).max(initial=0.0), op=MPI.MAX)
    )
    ring_rows["deviation"].append(run.comm.allreduce(apart.max(initial=0.0), op=MPI.MAX))
    ring_rows["newton"].append(count)
    if step == MAP_STEP:
        maps["ring"] = ring.field_map()
iterations += ring_rows["newton"]
ring_deviation = max(ring_rows["deviation"]) / largest_B
shares["ring"] = ring_deviation / LIMITS["ring"]
run.say(
    f"ring: largest |B - B_point e_theta| {ring_deviation:.3e} of the largest |B| "
    f"({largest_B:.4f} T); Newton {np.median(ring_rows['newton']):g} (median), "
    f"{max(ring_rows['newton'])} (largest) iterations per step"
)

# 4: Newton
median = np.median(iterations)
evaluations = (cylinder.evaluations + ring.evaluations) / len(iterations)
run.say(
    f"Newton with the {run.options.jacobian} Jacobian: {median:g} iterations per step "
    f"(median), {max(iterations)} (largest), over {len(iterations)} steps"
    + f"; {evaluations:.2f} evaluations of the model per step, line search included"
)
if EXACT:
    run.check("Newton: median iterations per step =", median, NEWTON_MEDIAN_LIMIT)
run.say("share of its limit: " + ", ".join(f"{name} {share:.3f}" for name, share in shares.items()))

if run.root:
    vectors = {
        "H_a": "A_per_m",
        "h_point": "A_per_m",
        "B_point": "T",
        "h_centre": "A_per_m",
        "B_centre": "T",
        "h_average": "A_per_m",
    }
    scalars = {
        "deviation": "deviation_of_average",
        "largest_deviation": "largest_deviation_inside",
        "newton": "newton_iterations",
        "dissipated": "dissipated_J_per_m",
    }
    parts = [
        {
            "load": [load] * len(times),
            "step": np.arange(1, len(times) + 1),
            "t_s": times,
            **{
                f"{name}_{xy}_{unit}": rows[name][:, i]
                for name, unit in vectors.items()
                for i, xy in enumerate("xy")
            },
            **{header: rows[name] for name, header in scalars.items()},
        }
        for load, rows in cylinder_runs.items()
    ]
    columns = {header: np.concatenate([part[header] for part in parts]) for header in parts[0]}
    run.write_csv("magnetostatics_cylinder.csv", columns)
    run.write_csv(
        "magnetostatics_ring.csv",
        {
            "step": range(1, len(times) + 1),
            "t_s": times,
            "current_A": ring_rows["current"],
            "largest_deviation_T": ring_rows["deviation"],
            "newton_iterations": ring_rows["newton"],
        },
    )
    run.write_csv(
        "magnetostatics_map.csv",
        {
            "case": [case for case, rows in maps.items() for _ in rows],
            **{
                header: np.concatenate([rows[:, i] for rows in maps.values()])
                for i, header in enumerate(("x_m", "y_m", "B_x_T", "B_y_T"))
            },
        },
    )

    # |B| with its field lines at the second period's peak
    figure, axes = plt.subplots(1, len(maps), figsize=(5 * len(maps), 4.6), constrained_layout=True)
    for axis, (case, rows) in zip(axes, maps.items()):
        ring_case = case == "ring"
        reach = 1.3 * RING_OUTER if ring_case else 2.5 * RADIUS
        shown = rows[(np.abs(rows[:, 0]) < 1.2 * reach) & (np.abs(rows[:, 1]) < 1.2 * reach)]
        mesh = matplotlib.tri.Triangulation(shown[:, 0] * 1e3, shown[:, 1] * 1e3)
        if ring_case:  # no triangles across the hole
            middle = shown[:, :2][mesh.triangles].mean(axis=1)
            mesh.set_mask(np.hypot(*middle.T) < RING_INNER)
        magnitude = np.hypot(shown[:, 2], shown[:, 3]) * 1e3  # mT
        filled = axis.tricontourf(mesh, magnitude, levels=30, cmap="viridis")
        grid = np.linspace(-reach, reach, 120) * 1e3
        gx, gy = np.meshgrid(grid, grid)
        bx = matplotlib.tri.LinearTriInterpolator(mesh, shown[:, 2])(gx, gy)
        by = matplotlib.tri.LinearTriInterpolator(mesh, shown[:, 3])(gx, gy)
        axis.streamplot(gx, gy, bx, by, color="white", linewidth=0.6, density=0.8, arrowsize=0.6)
        for r in (RING_INNER, RING_OUTER) if ring_case else (RADIUS,):
            axis.add_patch(plt.Circle((0, 0), r * 1e3, fill=False, color="red", lw=1))
        axis.set_xlim(-reach * 1e3, reach * 1e3)
        axis.set_ylim(-reach * 1e3, reach * 1e3)
        axis.set_aspect("equal")
        axis.set_title(f"{case}, t = {times[MAP_STEP - 1] * 1e3:g} ms", fontsize=10)
        axis.set_xlabel("x (mm)")
        figure.colorbar(filled, ax=axis, label="|B| (mT)", shrink=0.85)
    axes[0].set_ylabel("y (mm)")
    run.save(figure, "magnetostatics_map.png")

    # B against h at the centre, and B_x against B_y, for both loads
    figure, axes = plt.subplots(1, 3, figsize=(14, 4.4), constrained_layout=True)
    panels = (
        (axes[0], "alternating", "h_x (A/m)", "B_x (mT)", ("h", 0), ("B", 0)),
        (axes[1], "rotating", "h_x (A/m)", "B_x (mT)", ("h", 0), ("B", 0)),
        (axes[2], "rotating", "B_x (mT)", "B_y (mT)", ("B", 0), ("B", 1)),
    )
    unit = {"h": 1.0, "B": 1e3}
    for axis, load, xlabel, ylabel, (u, i), (w, j) in panels:
        rows = cylinder_runs[load]
        axis.plot(
            rows[f"{u}_point"][:, i] * unit[u],
            rows[f"{w}_point"][:, j] * unit[w],
            color="black",
            lw=1,
            label="point model, h = H_a - N_eff M",
        )
        axis.plot(
            rows[f"{u}_centre"][:, i] * unit[u],
            rows[f"{w}_centre"][:, j] * unit[w],
            "o",
            markersize=3,
            label="finite elements, at the centre",
        )
        axis.set_title(f"cylinder, {load} load", fontsize=10)
        axis.set_xlabel(xlabel)
        axis.set_ylabel(ylabel)
        axis.grid(alpha=0.3)
        axis.legend(fontsize=8)
    axes[2].set_aspect("equal", adjustable="datalim")
    run.save(figure, "magnetostatics_loops.png")

run.finish("largest share of its limit over the three checks =", max(shares.values()), 1.0)
