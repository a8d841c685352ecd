"""AC loss of a superconducting slab: the 1-D H-formulation with the
power-law E(J) of Quenrow, evaluated at the quadrature points.

A slab of half-thickness a = 0.1 mm (x from -a to a, infinite in y and z)
with critical current density Jc = 1e8 A/m^2 lies in a parallel field
H_y = H_m sin(wt) at 50 Hz. Faraday's and Ampere's laws give
mu0 dH/dt = dE/dx with J = dH/dx, J and E along z. By symmetry only
0 <= x <= a is meshed: H is the applied field at x = a and E = 0 at x = 0.
Each backward-Euler step is solved by Newton's method from the field
extrapolated from the last two steps, with dE/dJ from a forward difference
of two Quenrow evaluations in one block; a step that Newton cannot finish
is taken as two halves (the steep power law at high n asks for it now and
then).

A 1-D mesh of a few hundred cells is no work to share, so the MPI
processes share the cases instead: each solves its own (n, H_m) on its own
copy of the mesh, and process 0 gathers the losses.

Check: as the exponent n grows, the loss per cycle and unit volume tends to
the critical-state (Bean) loss, 2 mu0 H_m^3 / (3 H_p) for H_m <= H_p and
2 mu0 H_p H_m - 4 mu0 H_p^2 / 3 above, with H_p = Jc a; at the highest n it
is within 5 % of it at H_m = H_p/2 and at H_m = 2 H_p."""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import matplotlib.ticker
import numpy as np
import ufl
from dolfinx import fem, mesh as dmesh
from mpi4py import MPI

import materials
from common import MU0, NotConverged, QuadraturePoints, Newton, Run, gather_dofs

run = Run("ac_loss", __doc__.splitlines()[0])
Quenrow = run.timed(materials.Quenrow)

HALF_THICKNESS = 1e-4  # m
JC = 1e8  # A/m^2
EC = 1e-4  # V/m
RHO = 2e-9  # Ohm m, the normal-metal slope above the threshold
FREQUENCY = 50.0  # Hz
H_P = JC * HALF_THICKNESS  # A/m, the full-penetration field
Z = 2  # Quenrow's component index of z
EXPONENTS = (10, 20, 40, 100, 400)
CHECKED = (0.5, 2.0)  # H_m / H_p where the highest n is checked
AMPLITUDES = CHECKED if not run.full else (0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0)
CELLS, STEPS_PER_CYCLE = (50, 200) if not run.full else (400, 800)
PROFILE_PHASES = 8  # H(x) profiles over the cycle, at the highest n
STEP_OF_J = 1e-7  # relative step of the finite difference for dE/dJ
HALVINGS = 6  # of a time step that Newton cannot finish


def bean_loss(H_m):
    """Critical-state loss per cycle and unit volume of the slab, J/m^3."""
    return np.where(
        H_m <= H_P, 2 * MU0 * H_m**3 / (3 * H_P), 2 * MU0 * H_P * H_m - 4 * MU0 * H_P**2 / 3
    )


domain = dmesh.create_interval(MPI.COMM_SELF, CELLS, [0.0, HALF_THICKNESS])
V = fem.FunctionSpace(domain, ("Lagrange", 1))
points = QuadraturePoints(domain, degree=1)  # J is constant on each cell

H = fem.Function(V, name="H")
H_old = fem.Function(V)
E, dE_dJ = points.function("E"), points.function("dE_dJ")
applied = fem.Constant(domain, 0.0)
surface = fem.locate_dofs_geometrical(V, lambda x: np.isclose(x[0], HALF_THICKNESS))
bcs = [fem.dirichletbc(applied, surface, V)]
STEP = 1.0 / (FREQUENCY * STEPS_PER_CYCLE)  # s
dt = fem.Constant(domain, STEP)
v, dH = ufl.TestFunction(V), ufl.TrialFunction(V)
# the mass term at its own (exact) quadrature, E(J) at the points of `points`
residual = MU0 / dt * (H - H_old) * v * ufl.dx + E * v.dx(0) * points.dx
jacobian = MU0 / dt * dH * v * ufl.dx + dE_dJ * dH.dx(0) * v.dx(0) * points.dx
current_density = H.dx(0)
dissipation = fem.form(E * current_density * points.dx)
exponent = None  # the power-law exponent of the case under way
halved = 0  # time steps taken as two halves


def properties(H):
    """E and dE/dJ at every quadrature point: one Quenrow block of J and
    J + h."""
    J = points.values(current_density)
    h = STEP_OF_J * np.maximum(np.abs(J), JC * 1e-6)
    both = Quenrow(Z, 0.0, 0.0, np.stack([J, J + h]), RHO, JC, exponent, EC)
    return [(E, both[0]), (dE_dJ, (both[1] - both[0]) / h)]


newton = Newton(residual, jacobian, H, bcs, points, properties, max_iterations=25)


def advance(amplitude, t, step, halvings=0):
    """Backward Euler from H_old at time t to t + step at H_m = amplitude H_p,
    from the guess in H; returns the energy per unit area dissipated in the
    half slab."""
    dt.value = step
    applied.value = amplitude * H_P * np.sin(2 * np.pi * FREQUENCY * (t + step))
    try:
        newton.solve()
        return fem.assemble_scalar(dissipation) * step
    except NotConverged:
        if halvings == HALVINGS:
            raise
    global halved
    halved += 1
    H.x.array[:] = H_old.x.array
    dissipated = advance(amplitude, t, step / 2, halvings + 1)
    H_old.x.array[:] = H.x.array
    return dissipated + advance(amplitude, t + step / 2, step / 2, halvings + 1)


def cycle_loss(amplitude, profiles=None):
    """Loss per cycle and unit volume at H_m = amplitude H_p, over the cycle
    after the first peak of the applied field (the slab's virgin state lies
    behind it); H(x) at PROFILE_PHASES phases of that cycle appended to
    profiles, if given."""
    H.x.array[:] = 0.0
    previous = H.x.array.copy()
    loss = 0.0
    first = STEPS_PER_CYCLE // 4
    for step in range(1, first + STEPS_PER_CYCLE + 1):
        H_old.x.array[:] = H.x.array
        H.x.array[:] = 2 * H_old.x.array - previous
        previous = H_old.x.array.copy()
        dissipated = advance(amplitude, (step - 1) * STEP, STEP)
        if step > first:
            loss += dissipated
            if profiles is not None and (step - first) % (STEPS_PER_CYCLE // PROFILE_PHASES) == 0:
                profiles.append((2 * np.pi * step / STEPS_PER_CYCLE, gather_dofs(H)))
    return loss / HALF_THICKNESS


cases = [(e, a) for e in EXPONENTS for a in AMPLITUDES]
top = EXPONENTS[-1]
losses, profiles = {}, {}
run.say(
    f"{run.size}: {CELLS} cells, {STEPS_PER_CYCLE} steps per cycle, H_p = {H_P:g} A/m, "
    f"{len(cases)} cases shared by {run.comm.size} process(es)"
)
with run.solving():
    for k, (exponent, amplitude) in enumerate(cases):
        if k % run.comm.size == run.comm.rank:
            if exponent == top and amplitude in CHECKED:
                profiles[amplitude] = []
            losses[exponent, amplitude] = cycle_loss(amplitude, profiles.get(amplitude))
        if amplitude == AMPLITUDES[-1]:  # all of this n done: gather them, say them
            losses = {
                case: loss for part in run.comm.allgather(losses) for case, loss in part.items()
            }
            run.say(
                f"n = {exponent:3d}: loss / Bean loss "
                + ", ".join(
                    f"{losses[exponent, a] / bean_loss(a * H_P):.4f} at H_m = {a:g} H_p"
                    for a in AMPLITUDES
                )
            )
profiles = {case: p for part in run.comm.gather(profiles) or [] for case, p in part.items()}
deviation = max(abs(losses[top, a] / bean_loss(a * H_P) - 1) for a in CHECKED)
run.say(f"time steps taken as two halves: {run.comm.allreduce(halved)}")

if run.root:
    ratios = np.array(AMPLITUDES)
    run.write_csv(
        "ac_loss.csv",
        {
            "H_m_over_H_p": ratios,
            "bean_J_per_m3": bean_loss(ratios * H_P),
            **{f"n{e}_J_per_m3": [losses[e, a] for a in AMPLITUDES] for e in EXPONENTS},
        },
    )
    figure, (axis, convergence) = plt.subplots(1, 2, figsize=(11, 4.5), constrained_layout=True)
    fine = np.geomspace(min(ratios) / 1.5, max(ratios) * 1.5, 200)
    axis.loglog(fine, bean_loss(fine * H_P), color="black", label="critical state (Bean)")
    for e in EXPONENTS:
        axis.loglog(ratios, [losses[e, a] for a in AMPLITUDES], "o", markersize=4, label=f"n = {e}")
    axis.set_xlabel("H_m / H_p")
    axis.set_ylabel("loss per cycle and unit volume (J/m³)")
    axis.set_xticks([0.25, 0.5, 1, 2, 3], ["0.25", "0.5", "1", "2", "3"])
    axis.xaxis.set_minor_formatter(matplotlib.ticker.NullFormatter())
    axis.grid(alpha=0.3, which="both")
    axis.legend()
    for a in CHECKED:
        convergence.semilogx(
            EXPONENTS,
            [losses[e, a] / bean_loss(a * H_P) for e in EXPONENTS],
            "o-",
            label=f"H_m = {a:g} H_p",
        )
    convergence.axhspan(0.95, 1.05, color="green", alpha=0.1, label="within 5 %")
    convergence.axhline(1.0, color="black", lw=0.8)
    convergence.set_xticks(EXPONENTS, [str(e) for e in EXPONENTS])
    convergence.set_xlabel("n")
    convergence.set_ylabel("loss / Bean loss")
    convergence.grid(alpha=0.3)
    convergence.legend()
    run.save(figure, "ac_loss.png")

    figure, axes = plt.subplots(1, len(CHECKED), figsize=(10, 4), constrained_layout=True)
    columns = {}
    for axis, amplitude in zip(axes, CHECKED):
        for phase, (x, values) in profiles[amplitude]:
            order = np.argsort(x[:, 0])
            degrees = np.degrees(phase) % 360
            axis.plot(x[order, 0] / HALF_THICKNESS, values[order] / H_P, label=f"{degrees:.0f}°")
            columns["x_over_a"] = x[order, 0] / HALF_THICKNESS
            columns[f"H_over_Hp_at_Hm_{amplitude:g}Hp_phase_{degrees:.0f}deg"] = values[order] / H_P
        axis.set_title(f"H_m = {amplitude:g} H_p, n = {top}", fontsize=10)
        axis.set_xlabel("x / a")
        axis.set_ylabel("H / H_p")
        axis.grid(alpha=0.3)
    axes[-1].legend(title="phase of the field", fontsize=8)
    run.save(figure, "ac_loss_profiles.png")
    run.write_csv("ac_loss_profiles.csv", columns)

run.finish(f"largest |loss / Bean loss - 1| at n = {top} =", deviation, 0.05)
