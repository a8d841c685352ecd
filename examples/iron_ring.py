"""Iron ring around a current: 2-D magnetostatics in the vector potential A_z,
with the reluctivity nu(|B|) = H(|B|)/|B| of the iron from its B(H) curve
(Tamsery), evaluated at the quadrature points.

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
from common import MU0, QuadraturePoints, Newton, Run, concentric_mesh, gather_dofs, global_sum

run = Run("iron_ring", __doc__.splitlines()[0])
Tamsery = run.timed(materials.Tamsery)

R_CONDUCTOR, R_INNER, R_OUTER, R_AIR = 0.010, 0.040, 0.060, 0.150  # m
CONDUCTOR, IRON, AIR = 1, 2, 3  # cell tags
CURRENTS = {"knee": 150.0, "saturation": 40e3}  # A: H about 500 A/m, above 1e5 A/m
CELL_SIZE = 0.0025 if not run.full else 0.0008  # m, in the conductor and the ring
SAMPLES = 60  # points along the radius through the ring
SAMPLE_ANGLE = 0.3  # rad, off the axes
INVERSION_RTOL = 1e-13  # |B(H) - B| against B, to end the inversion
STEP_OF_H = 1e-7  # relative step of the finite difference for dB/dH


def make_mesh():
    """The conductor, the air gap, the ring and the outer air; fine up to the
    ring's outer radius, coarser towards the outer air."""
    return concentric_mesh(
        run.comm,
        [(R_CONDUCTOR, CONDUCTOR), (R_INNER, AIR), (R_OUTER, IRON), (R_AIR, AIR)],
        lambda r: CELL_SIZE * max(1.0, 1 + (r - R_OUTER) / 0.01),
    )


def invert_curve(B, H):
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


domain, cell_tags = make_mesh()
V = fem.FunctionSpace(domain, ("Lagrange", 2))
points = QuadraturePoints(domain, degree=2)
dx = points.dx
iron = np.isin(points.cells, cell_tags.indices[cell_tags.values == IRON])
iron_points = np.broadcast_to(iron[:, None], points.dofs.shape)

A = fem.Function(V, name="A_z")
nu, dnu = points.function("nu"), points.function("dnu_dB_over_B")
source_space = fem.FunctionSpace(domain, ("DG", 0))
current_density = fem.Function(source_space)
conductor_dofs = source_space.dofmap.list.array[cell_tags.indices[cell_tags.values == CONDUCTOR]]
v, dA = ufl.TestFunction(V), ufl.TrialFunction(V)
residual = (nu * ufl.inner(ufl.grad(A), ufl.grad(v)) - current_density * v) * dx
jacobian = (
    nu * ufl.inner(ufl.grad(dA), ufl.grad(v))
    + dnu * ufl.inner(ufl.grad(A), ufl.grad(dA)) * ufl.inner(ufl.grad(A), ufl.grad(v))
) * dx
boundary = fem.locate_dofs_geometrical(V, lambda x: np.hypot(x[0], x[1]) > R_AIR - 1e-3 * CELL_SIZE)
bcs = [fem.dirichletbc(0.0, boundary, V)]
flux_density = ufl.sqrt(ufl.inner(ufl.grad(A), ufl.grad(A)))
H_iron = np.zeros(np.count_nonzero(iron_points))  # warm start of the inversion


def properties(A):
    """nu and d(nu)/dB / B at every quadrature point: 1/mu0 outside the iron,
    from the inverted curve inside."""
    global H_iron
    B = points.values(flux_density)
    nu_all = np.full(B.shape, 1 / MU0)
    dnu_all = np.zeros(B.shape)
    B_iron = np.maximum(B[iron_points], 1e-12)  # T; |B| = 0 takes the initial slope
    H_iron, slope = invert_curve(B_iron, H_iron)
    nu_all[iron_points] = H_iron / B_iron
    dnu_all[iron_points] = (1 / slope - nu_all[iron_points]) / B_iron**2
    return [(nu, nu_all), (dnu, dnu_all)]


newton = Newton(residual, jacobian, A, bcs, points, properties)
run.say(
    f"{run.size}: {run.comm.allreduce(len(points.cells))} curved cells, "
    f"{V.dofmap.index_map.size_global} unknowns, {run.comm.size} process(es)"
)
angle = np.array([np.cos(SAMPLE_ANGLE), np.sin(SAMPLE_ANGLE), 0.0])
radii = R_INNER + (R_OUTER - R_INNER) * (0.01 + 0.98 * np.arange(SAMPLES) / (SAMPLES - 1))
samples = radii[:, None] * angle
gradient_space = fem.VectorFunctionSpace(domain, ("DG", 2))  # grad A, to evaluate at points
gradient = fem.Function(gradient_space)
gradient_of_A = fem.Expression(ufl.grad(A), gradient_space.element.interpolation_points())
magnitude_space = fem.FunctionSpace(domain, ("DG", 0))
magnitude = fem.Function(magnitude_space, name="B")
magnitude_of_B = fem.Expression(flux_density, magnitude_space.element.interpolation_points())

# the owned cell of each sample on this process
tree = geometry.BoundingBoxTree(domain, 2)
colliding = geometry.compute_colliding_cells(
    domain, geometry.compute_collisions(tree, samples), samples
)
owned_cells = domain.topology.index_map(2).size_local
sample_cells = np.array(
    [next((c for c in colliding.links(i) if c < owned_cells), -1) for i in range(SAMPLES)],
    dtype=np.int32,
)
mine = sample_cells >= 0

worst, profiles, maps = 0.0, {}, {}
for case, current in CURRENTS.items():
    current_density.x.array[:] = 0.0
    current_density.x.array[conductor_dofs] = current / (np.pi * R_CONDUCTOR**2)
    # the meshed conductor's area is not quite pi r^2: scale J to carry exactly I
    carried = global_sum(run.comm, fem.assemble_scalar(fem.form(current_density * dx)))
    current_density.x.array[:] *= current / carried
    with run.solving():
        iterations = newton.solve()
        gradient.interpolate(gradient_of_A)
        values = gradient.eval(samples[mine], sample_cells[mine])
        B_local = np.full(SAMPLES, -np.inf)
        B_local[mine] = np.hypot(values[:, 0], values[:, 1])
        B_fe = np.max(run.comm.allgather(B_local), axis=0)
        H_ampere = current / (2 * np.pi * radii)
        B_ampere = Tamsery(H_ampere)
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

if run.root:
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
    figure, axes = plt.subplots(1, 2, figsize=(10, 4.6), constrained_layout=True)
    for axis, (case, (xy, values)) in zip(axes, maps.items()):
        shown = axis.tricontourf(xy[:, 0] * 1e3, xy[:, 1] * 1e3, values, levels=30, cmap="viridis")
        for r in (R_CONDUCTOR, R_INNER, R_OUTER):
            axis.add_patch(plt.Circle((0, 0), r * 1e3, fill=False, color="white", lw=1.2))
        axis.plot(radii * 1e3 * angle[0], radii * 1e3 * angle[1], color="red", lw=1)
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

run.finish(
    "largest |B - Tamsery(I/(2 pi r))| / Tamsery(I/(2 pi r)) along the radius =", worst, 0.01
)
