"""AC loss of a superconducting slab: the 1-D H-formulation with the
power-law E(J) of Quenrow, evaluated at the quadrature points.

A slab of half-thickness a = 0.1 mm (x from -a to a, infinite in y and z)
with critical current density Jc = 1e8 A/m^2 lies in a parallel field
H_y = H_m sin(wt) at 50 Hz. Faraday's and Ampere's laws give, with J and E
along z,

    mu0 dH/dt = dE/dx,    J = dH/dx,    E = E(J) of Quenrow.

By symmetry only 0 <= x <= a is meshed: H is the applied field at x = a and
E = 0 at x = 0.
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
from femkit import MU0
from femkit.gathers import gather_dofs
from femkit.newton import Newton, NotConverged
from femkit.quadrature import QuadraturePoints
from femkit.run import Run

HALF_THICKNESS = 1e-4  # m
JC = 1e8  # A/m^2
EC = 1e-4  # V/m
RHO = 2e-9  # Ohm m, the normal-metal slope above the threshold
FREQUENCY = 50.0  # Hz
H_P = JC * HALF_THICKNESS  # A/m, the full-penetration field
Z = 2  # Quenrow's component index of z
EXPONENTS = (10, 20, 40, 100, 400)
CHECKED = (0.5, 2.0)  # H_m / H_p where the highest n is checked
# amplitudes H_m / H_p, cells, time steps per cycle
SIZES = {
    "small": (CHECKED, 50, 200),
    "full": ((0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0), 400, 800),
}
PROFILE_PHASES = 8  # H(x) profiles over the cycle, at the highest n
STEP_OF_J = 1e-7  # relative step of the finite difference for dE/dJ
HALVINGS = 6  # of a time step that Newton cannot finish


def bean_loss(H_m):
    """Critical-state loss per cycle and unit volume of the slab, J/m^3."""
    return np.where(
        H_m <= H_P, 2 * MU0 * H_m**3 / (3 * H_P), 2 * MU0 * H_P * H_m - 4 * MU0 * H_P**2 / 3
    )


class Slab:
    """The half slab on `cells` cells, with H from the backward-Euler steps
    of one cycle in `steps_per_cycle`; Quenrow gives E(J) at the quadrature
    points for the exponent of the case under way."""

    def __init__(self, Quenrow, cells, steps_per_cycle, solver):
        self.Quenrow, self.steps_per_cycle = Quenrow, steps_per_cycle
        self.exponent = None  # the power-law exponent of the case under way
        self.halved = 0  # time steps taken as two halves
        domain = dmesh.create_interval(MPI.COMM_SELF, cells, [0.0, HALF_THICKNESS])
        V = fem.FunctionSpace(domain, ("Lagrange", 1))
        self.points = points = QuadraturePoints(domain, degree=1)  # J is constant on each cell
        self.H, self.H_old = H, H_old = fem.Function(V, name="H"), fem.Function(V)
        self.E, self.dE_dJ = E, dE_dJ = points.function("E"), points.function("dE_dJ")
        self.applied = fem.Constant(domain, 0.0)
        surface = fem.locate_dofs_geometrical(V, lambda x: np.isclose(x[0], HALF_THICKNESS))
        self.step = 1.0 / (FREQUENCY * steps_per_cycle)  # s
        self.dt = dt = fem.Constant(domain, self.step)
        v, dH = ufl.TestFunction(V), ufl.TrialFunction(V)
        # the mass term at its own (exact) quadrature, E(J) at the points of `points`
        residual = MU0 / dt * (H - H_old) * v * ufl.dx + E * v.dx(0) * points.dx
        jacobian = MU0 / dt * dH * v * ufl.dx + dE_dJ * dH.dx(0) * v.dx(0) * points.dx
        self.current_density = H.dx(0)
        self.dissipation = fem.form(E * self.current_density * points.dx)
        bcs = [fem.dirichletbc(self.applied, surface, V)]
        self.newton = Newton(
            residual, jacobian, H, bcs, points, self.properties, max_iterations=25, solver=solver
        )

    def properties(self, H):
        """E and dE/dJ at every quadrature point: one Quenrow block of J and
        J + h."""
        J = self.points.values(self.current_density)
        h = STEP_OF_J * np.maximum(np.abs(J), JC * 1e-6)
        both = self.Quenrow(Z, 0.0, 0.0, np.stack([J, J + h]), RHO, JC, self.exponent, EC)
        return [(self.E, both[0]), (self.dE_dJ, (both[1] - both[0]) / h)]

    def advance(self, amplitude, t, step, halvings=0):
        """Backward Euler from H_old at time t to t + step at H_m = amplitude
        H_p, from the guess in H; returns the energy per unit area dissipated
        in the half slab."""
        self.dt.value = step
        self.applied.value = amplitude * H_P * np.sin(2 * np.pi * FREQUENCY * (t + step))
        try:
            self.newton.solve()
            return fem.assemble_scalar(self.dissipation) * step
        except NotConverged:
            if halvings == HALVINGS:
                raise
        self.halved += 1
        self.H.x.array[:] = self.H_old.x.array
        dissipated = self.advance(amplitude, t, step / 2, halvings + 1)
        self.H_old.x.array[:] = self.H.x.array
        return dissipated + self.advance(amplitude, t + step / 2, step / 2, halvings + 1)

    def cycle_loss(self, exponent, amplitude, profiles=None):
        """Loss per cycle and unit volume at n = exponent and H_m = amplitude
        H_p, over the cycle after the first peak of the applied field (the
        slab's virgin state lies behind it); H(x) at PROFILE_PHASES phases of
        that cycle appended to profiles, if given."""
        H, H_old, steps = self.H, self.H_old, self.steps_per_cycle
        self.exponent = exponent
        H.x.array[:] = 0.0
        previous = H.x.array.copy()
        loss = 0.0
        first = steps // 4
        for step in range(1, first + steps + 1):
            H_old.x.array[:] = H.x.array
            H.x.array[:] = 2 * H_old.x.array - previous
            previous = H_old.x.array.copy()
            dissipated = self.advance(amplitude, (step - 1) * self.step, self.step)
            if step > first:
                loss += dissipated
                if profiles is not None and (step - first) % (steps // PROFILE_PHASES) == 0:
                    profiles.append((2 * np.pi * step / steps, gather_dofs(H)))
        return loss / HALF_THICKNESS


def solve(run, slab, amplitudes):
    """Every case (n, H_m), shared out over the processes, with a line per n;
    returns the losses {(n, H_m / H_p): J/m^3} and, on process 0, the
    profiles {H_m / H_p: [(phase, H(x))]} of the checked cases at the
    highest n."""
    cases = [(e, a) for e in EXPONENTS for a in amplitudes]
    run.say(
        f"{run.size}: {len(slab.points.cells)} cells, {slab.steps_per_cycle} steps per cycle, "
        f"H_p = {H_P:g} A/m, {len(cases)} cases shared by {run.processes}"
    )
    losses, profiles = {}, {}
    for k, (exponent, amplitude) in enumerate(cases):
        if k % run.comm.size == run.comm.rank:
            if exponent == EXPONENTS[-1] and amplitude in CHECKED:
                profiles[amplitude] = []
            losses[exponent, amplitude] = slab.cycle_loss(
                exponent, amplitude, profiles.get(amplitude)
            )
        if amplitude == amplitudes[-1]:  # all of this n done: gather them, say them
            losses = {
                case: loss for part in run.comm.allgather(losses) for case, loss in part.items()
            }
            run.say(
                f"n = {exponent:3d}: loss / Bean loss "
                + ", ".join(
                    f"{losses[exponent, a] / bean_loss(a * H_P):.4f} at H_m = {a:g} H_p"
                    for a in amplitudes
                )
            )
    profiles = {case: p for part in run.comm.gather(profiles) or [] for case, p in part.items()}
    return losses, profiles


def plot_losses(run, amplitudes, losses):
    """The loss against H_m for every n, and its approach to Bean's loss
    with n at the checked amplitudes."""
    ratios = np.array(amplitudes)
    run.write_csv(
        "ac_loss.csv",
        {
            "H_m_over_H_p": ratios,
            "bean_J_per_m3": bean_loss(ratios * H_P),
            **{f"n{e}_J_per_m3": [losses[e, a] for a in amplitudes] for e in EXPONENTS},
        },
    )
    figure, (axis, convergence) = plt.subplots(1, 2, figsize=(11, 4.5), constrained_layout=True)
    fine = np.geomspace(min(ratios) / 1.5, max(ratios) * 1.5, 200)
    axis.loglog(fine, bean_loss(fine * H_P), color="black", label="critical state (Bean)")
    for e in EXPONENTS:
        axis.loglog(ratios, [losses[e, a] for a in amplitudes], "o", markersize=4, label=f"n = {e}")
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


def plot_profiles(run, profiles):
    """H(x) over the cycle at the checked amplitudes and the highest n."""
    figure, axes = plt.subplots(1, len(CHECKED), figsize=(10, 4), constrained_layout=True)
    columns = {}
    for axis, amplitude in zip(axes, CHECKED):
        for phase, (x, values) in profiles[amplitude]:
            order = np.argsort(x[:, 0])
            degrees = np.degrees(phase) % 360
            axis.plot(x[order, 0] / HALF_THICKNESS, values[order] / H_P, label=f"{degrees:.0f}°")
            columns["x_over_a"] = x[order, 0] / HALF_THICKNESS
            columns[f"H_over_Hp_at_Hm_{amplitude:g}Hp_phase_{degrees:.0f}deg"] = values[order] / H_P
        axis.set_title(f"H_m = {amplitude:g} H_p, n = {EXPONENTS[-1]}", fontsize=10)
        axis.set_xlabel("x / a")
        axis.set_ylabel("H / H_p")
        axis.grid(alpha=0.3)
    axes[-1].legend(title="phase of the field", fontsize=8)
    run.save(figure, "ac_loss_profiles.png")
    run.write_csv("ac_loss_profiles.csv", columns)


def check(run, slab, losses):
    """The approach to Bean's loss at the highest n, the closing line."""
    run.say(f"time steps taken as two halves: {run.comm.allreduce(slab.halved)}")
    top = EXPONENTS[-1]
    deviation = max(abs(losses[top, a] / bean_loss(a * H_P) - 1) for a in CHECKED)
    run.finish(f"largest |loss / Bean loss - 1| at n = {top} =", deviation, 0.05)


def main():
    run = Run("ac_loss", __doc__, solver="lu")  # each slab whole on one process
    amplitudes, cells, steps_per_cycle = SIZES[run.size]
    slab = Slab(run.timed(materials.Quenrow), cells, steps_per_cycle, run.solver)
    with run.solving():
        losses, profiles = solve(run, slab, amplitudes)
    if run.root:
        plot_losses(run, amplitudes, losses)
        plot_profiles(run, profiles)
    check(run, slab, losses)


if __name__ == "__main__":
    main()
