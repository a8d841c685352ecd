"""Iron ring around a current: 2-D magnetostatics in the vector potential A_z,
with the reluctivity nu(|B|) = H(|B|)/|B| of the iron from its B(H) curve
(Tamsery), evaluated at the quadrature points.

The vector potential obeys

    -div(nu(|B|) grad A_z) = J_z,    B = curl(A_z e_z),    A_z = 0 far out.

A straight conductor of radius 10 mm carries the current I, at the centre of
an iron ring from 40 mm to 60 mm, in air out to 150 mm where A_z = 0. The
finite-element solution gives B at each quadrature point; the host needs H
there, so it inverts Tamsery's B(H) point by point: a vectorised Newton
iteration, safeguarded by bisection, over eval blocks. The slope dB/dH from a
forward difference of the same blocks gives Newton's Jacobian for A_z.

Check: Ampere's law fixes H = I/(2 pi r) in the ring whatever the curve, so
B along a radius through the iron must be Tamsery(I/(2 pi r)); within 1 %, at
a current that puts the iron at its knee and at one that drives it deep into
saturation (H above 1e5 A/m throughout the ring)."""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
import ufl
from dolfinx import fem, geometry

import materials
from femkit import MU0
from femkit.gathers import gather_dofs, global_sum
from femkit.meshes import concentric_mesh
from femkit.newton import Newton
from femkit.quadrature import QuadraturePoints
from femkit.run import Run

R_CONDUCTOR, R_INNER, R_OUTER, R_AIR = 0.010, 0.040, 0.060, 0.150  # m
CONDUCTOR, IRON, AIR = 1, 2, 3  # cell tags
CURRENTS = {"knee": 150.0, "saturation": 40e3}  # A: H about 500 A/m, above 1e5 A/m
# m, the cell size in the conductor and the ring; large: 1.2 million unknowns
SIZES = {"small": 0.0025, "full": 0.0008, "large": 0.00025}
SAMPLES = 60  # points along the radius through the ring
SAMPLE_ANGLE = 0.3  # rad, off the axes
INVERSION_RTOL = 1e-13  # |B(H) - B| against B, to end the inversion
STEP_OF_H = 1e-7  # relative step of the finite difference for dB/dH


def make_mesh(comm, cell_size):
    """The conductor, the air gap, the ring and the outer air; fine up to the
    ring's outer radius, coarser towards the outer air."""
    return concentric_mesh(
        comm,
        [(R_CONDUCTOR, CONDUCTOR), (R_INNER, AIR), (R_OUTER, IRON), (R_AIR, AIR)],
        lambda r: cell_size * max(1.0, 1 + (r - R_OUTER) / 0.01),
    )


def invert_curve(Tamsery, B, H):
    """H with Tamsery(H) = B at every point, and dB/dH there, starting from
    the guess H. Newton steps, each one eval block of H and H + h, kept
    inside a bracket [low, high] that every evaluation narrows; a step that
    would leave it bisects instead. Iron's curve lies above mu0 H, so H lies
    in [0, B/mu0]."""
    low, high = np.zeros_like(B), B / MU0
    H = np.clip(H, low, high)
    slope = np.empty_like(B)
    active = np.arange(B.size)
    while active.size:
        h = STEP_OF_H * np.maximum(H[active], 1.0)
        both = Tamsery(np.stack([H[active], H[active] + h]))
        miss = both[0] - B[active]
        slope[active] = (both[1] - both[0]) / h
        below = miss < 0
        low[active[below]] = H[active[below]]
        high[active[~below]] = H[active[~below]]
        done = np.abs(miss) <= INVERSION_RTOL * B[active]
        step = H[active] - miss / slope[active]
        outside = ~((step > low[active]) & (step < high[active]))
        step[outside] = (low[active] + high[active])[outside] / 2
        H[active[~done]] = step[~done]
        active = active[~done & (high[active] - low[active] > 4e-16 * high[active])]
    return H, slope


class IronRing:
    """A_z on the mesh of cell_size, with the reluctivity of the iron from
    Tamsery at the quadrature points; set_current(I) puts the current I on
    the conductor."""

    def __init__(self, comm, Tamsery, cell_size, solver):
        self.comm, self.Tamsery = comm, Tamsery
        self.domain, cell_tags = domain, cell_tags = make_mesh(comm, cell_size)
        self.V = V = fem.FunctionSpace(domain, ("Lagrange", 2))
        self.points = points = QuadraturePoints(domain, degree=2)
        iron = np.isin(points.cells, cell_tags.indices[cell_tags.values == IRON])
        self.iron_points = np.broadcast_to(iron[:, None], points.dofs.shape)
        self.A = A = fem.Function(V, name="A_z")
        self.nu, self.dnu = nu, dnu = points.function("nu"), points.function("dnu_dB_over_B")
        source_space = fem.FunctionSpace(domain, ("DG", 0))
        self.current_density = current_density = fem.Function(source_space)
        self.conductor_dofs = source_space.dofmap.list.array[
            cell_tags.indices[cell_tags.values == CONDUCTOR]
        ]
        v, dA = ufl.TestFunction(V), ufl.TrialFunction(V)
        residual = (nu * ufl.inner(ufl.grad(A), ufl.grad(v)) - current_density * v) * points.dx
        jacobian = (
            nu * ufl.inner(ufl.grad(dA), ufl.grad(v))
            + dnu * ufl.inner(ufl.grad(A), ufl.grad(dA)) * ufl.inner(ufl.grad(A), ufl.grad(v))
        ) * points.dx
        boundary = fem.locate_dofs_geometrical(
            V, lambda x: np.hypot(x[0], x[1]) > R_AIR - 1e-3 * cell_size
        )
        bcs = [fem.dirichletbc(0.0, boundary, V)]
        self.flux_density = ufl.sqrt(ufl.inner(ufl.grad(A), ufl.grad(A)))
        self.H_iron = np.zeros(np.count_nonzero(self.iron_points))  # warm start of the inversion
        self.newton = Newton(residual, jacobian, A, bcs, points, self.properties, solver=solver)

    def properties(self, A):
        """nu and d(nu)/dB / B at every quadrature point: 1/mu0 outside the
        iron, from the inverted curve inside."""
        B = self.points.values(self.flux_density)
        nu_all = np.full(B.shape, 1 / MU0)
        dnu_all = np.zeros(B.shape)
        iron = self.iron_points
        B_iron = np.maximum(B[iron], 1e-12)  # T; |B| = 0 takes the initial slope
        self.H_iron, slope = invert_curve(self.Tamsery, B_iron, self.H_iron)
        nu_all[iron] = self.H_iron / B_iron
        dnu_all[iron] = (1 / slope - nu_all[iron]) / B_iron**2
        return [(self.nu, nu_all), (self.dnu, dnu_all)]

    def set_current(self, current):
        """J uniform over the conductor, scaled to carry exactly `current`
        (A): the meshed conductor's area is not quite pi r^2."""
        J = self.current_density
        J.x.array[:] = 0.0
        J.x.array[self.conductor_dofs] = current / (np.pi * R_CONDUCTOR**2)
        carried = global_sum(self.comm, fem.assemble_scalar(fem.form(J * self.points.dx)))
        J.x.array[:] *= current / carried


class Radius:
    """|B| at SAMPLES points along a radius through the ring."""

    def __init__(self, ring):
        domain, self.comm = ring.domain, ring.comm
        self.angle = np.array([np.cos(SAMPLE_ANGLE), np.sin(SAMPLE_ANGLE), 0.0])
        self.radii = R_INNER + (R_OUTER - R_INNER) * (
            0.01 + 0.98 * np.arange(SAMPLES) / (SAMPLES - 1)
        )
        self.samples = self.radii[:, None] * self.angle
        space = fem.VectorFunctionSpace(domain, ("DG", 2))  # grad A, to evaluate at points
        self.gradient = fem.Function(space)
        self.gradient_of_A = fem.Expression(ufl.grad(ring.A), space.element.interpolation_points())
        # the owned cell of each sample on this process
        tree = geometry.BoundingBoxTree(domain, 2)
        colliding = geometry.compute_colliding_cells(
            domain, geometry.compute_collisions(tree, self.samples), self.samples
        )
        owned_cells = domain.topology.index_map(2).size_local
        self.cells = np.array(
            [next((c for c in colliding.links(i) if c < owned_cells), -1) for i in range(SAMPLES)],
            dtype=np.int32,
        )
        self.mine = self.cells >= 0

    def flux_density(self):
        """|B| at every sample, on every process."""
        self.gradient.interpolate(self.gradient_of_A)
        values = self.gradient.eval(self.samples[self.mine], self.cells[self.mine])
        B_local = np.full(SAMPLES, -np.inf)
        B_local[self.mine] = np.hypot(values[:, 0], values[:, 1])
        return np.max(self.comm.allgather(B_local), axis=0)


def solve(run, ring, radius):
    """Each of CURRENTS in turn, with a line for each; returns the largest
    deviation from Ampere's law along the radius, and per case the profile
    (H and B from Ampere's law, B of the finite elements) and the map of |B|
    on process 0."""
    magnitude_space = fem.FunctionSpace(ring.domain, ("DG", 0))
    magnitude = fem.Function(magnitude_space, name="B")
    magnitude_of_B = fem.Expression(
        ring.flux_density, magnitude_space.element.interpolation_points()
    )
    worst, profiles, maps = 0.0, {}, {}
    for case, current in CURRENTS.items():
        ring.set_current(current)
        with run.solving():
            iterations = ring.newton.solve()
            B_fe = radius.flux_density()
            H_ampere = current / (2 * np.pi * radius.radii)
            B_ampere = ring.Tamsery(H_ampere)
        deviation = np.max(np.abs(B_fe - B_ampere) / B_ampere)
        worst = max(worst, deviation)
        profiles[case] = (H_ampere, B_fe, B_ampere)
        magnitude.interpolate(magnitude_of_B)
        maps[case] = gather_dofs(magnitude)
        run.say(
            f"I = {current:g} A ({case}): {iterations} Newton iterations, H in the ring "
            f"{H_ampere.min():.4g} to {H_ampere.max():.4g} A/m, B {B_ampere.min():.4f} to "
            f"{B_ampere.max():.4f} T, largest deviation {deviation * 100:.3f} %"
        )
    return worst, profiles, maps


def plot_profiles(run, radii, profiles):
    """B along the radius against Tamsery(I / 2 pi r), for each current."""
    columns = {"r_m": radii}
    for case, (H_ampere, B_fe, B_ampere) in profiles.items():
        columns.update(
            {f"H_A_per_m_{case}": H_ampere, f"B_fe_T_{case}": B_fe, f"B_ampere_T_{case}": B_ampere}
        )
    run.write_csv("iron_ring_profile.csv", columns)
    figure, axes = plt.subplots(1, 2, figsize=(10, 4), constrained_layout=True)
    for axis, (case, (H_ampere, B_fe, B_ampere)) in zip(axes, profiles.items()):
        axis.plot(radii * 1e3, B_ampere, color="black", label="Tamsery(I / 2 pi r)")
        axis.plot(radii * 1e3, B_fe, "o", markersize=3, label="finite elements")
        axis.set_title(f"I = {CURRENTS[case]:g} A ({case})", fontsize=10)
        axis.set_xlabel("r (mm)")
        axis.set_ylabel("|B| (T)")
        axis.grid(alpha=0.3)
        axis.legend()
    run.save(figure, "iron_ring_profile.png")


def plot_maps(run, radius, maps):
    """|B| over the section for each current, the sampled radius in red."""
    figure, axes = plt.subplots(1, 2, figsize=(10, 4.6), constrained_layout=True)
    for axis, (case, (xy, values)) in zip(axes, maps.items()):
        shown = axis.tricontourf(xy[:, 0] * 1e3, xy[:, 1] * 1e3, values, levels=30, cmap="viridis")
        for r in (R_CONDUCTOR, R_INNER, R_OUTER):
            axis.add_patch(plt.Circle((0, 0), r * 1e3, fill=False, color="white", lw=1.2))
        line = radius.radii * 1e3
        axis.plot(line * radius.angle[0], line * radius.angle[1], color="red", lw=1)
        axis.set_xlim(-80, 80)
        axis.set_ylim(-80, 80)
        axis.set_aspect("equal")
        axis.set_title(f"|B| at I = {CURRENTS[case]:g} A", fontsize=10)
        axis.set_xlabel("x (mm)")
        figure.colorbar(shown, ax=axis, label="|B| (T)")
    axes[0].set_ylabel("y (mm)")
    run.save(figure, "iron_ring_map.png")
    run.write_csv(
        "iron_ring_map.csv",
        {
            "x_m": maps["knee"][0][:, 0],
            "y_m": maps["knee"][0][:, 1],
            **{f"B_T_{case}": values for case, (_, values) in maps.items()},
        },
    )


def check(run, worst):
    """Ampere's law through the iron, the closing line."""
    run.finish(
        "largest |B - Tamsery(I/(2 pi r))| / Tamsery(I/(2 pi r)) along the radius =", worst, 0.01
    )


def main():
    run = Run("iron_ring", __doc__, sizes=tuple(SIZES))
    ring = IronRing(run.comm, run.timed(materials.Tamsery), SIZES[run.size], run.solver)
    run.say(
        f"{run.size}: {run.comm.allreduce(len(ring.points.cells))} curved cells, "
        f"{ring.V.dofmap.index_map.size_global} unknowns, {run.processes}"
    )
    radius = Radius(ring)
    worst, profiles, maps = solve(run, ring, radius)
    if run.root:
        plot_profiles(run, radius.radii, profiles)
        plot_maps(run, radius, maps)
    check(run, worst)


if __name__ == "__main__":
    main()
