"""Current dump in an aluminium conductor, with Wembrel and Pellucer.

Nonlinear transient heat conduction with the resistivity rho(T) of
aluminium (Wembrel) and the slope dC/dT of its heat capacity (Pellucer),
both evaluated at the quadrature points.

A conductor of 20 mm by 5 mm cross-section starts at 77 K and carries a
uniform current density that decays as in a magnet's dump,

    J(t) = J0 exp(-t / tau).

Its temperature obeys

    C(T) dT/dt = div(k(T) grad T) + rho(T) J(t)^2

with
    rho(T)  from Wembrel, for the Joule heat and for
    k(T)    = L0 T / rho(T), Wiedemann-Franz, L0 = pi^2 k_B^2 / (3 e^2) = 2.44e-8 W Ohm/K^2;
    C(T)    = density c_p(T), c_p the specific-heat fit of NIST's Cryogenics
            Technologies Group, "Material Properties: 6061-T6 Aluminum (UNS
            A96061)": log10 c_p = sum_{k=0..8} a_k (log10 T)^k, J/(kg K), 4 K
            to 300 K, 5 % (its a_k from validation/reference.py, checked there);
    dC/dT   from Pellucer with m = density: the slope of the same fit.

Backward Euler from T_old to T at t_old + dt gives the residual, tested with v,

    F(T; v) = integral of [C(T) (T - T_old)/dt v + k(T) grad T . grad v
                           - rho(T) J(t)^2 v],

and Newton's exact Jacobian in the direction dT,

    integral of [(C(T) + dC/dT (T - T_old)) dT/dt v + k grad dT . grad v
                 + dk/dT dT grad T . grad v - drho/dT J^2 dT v].

The term dC/dT (T - T_old)/dt is Pellucer's purpose: without it (option
--no-capacity-slope) the Jacobian misses the change of C within the step
and Newton converges only linearly. dk/dT and drho/dT come from a forward
difference in the same Wembrel block as rho. Pellucer refuses temperatures
above 300 K, where the fit ends: a current that heats the conductor past
300 K stops the run with its message.

Check 1, adiabatic (every face insulated): no heat leaves, so each point
follows C dT/dt = rho J^2, and the temperature reached at t solves

    integral from 0 to t of J^2 dt' = integral from 77 K to T_ad of C/rho dT

(the adiabatic heating integral of quench protection; M. N. Wilson,
Superconducting Magnets, 1983, ch. 9). The left side is
J0^2 tau/2 (1 - exp(-2t/tau)); the right side is taken with the same C and
Wembrel by fine quadrature in T, and T_ad found as its root. The hot spot at
the end is T_ad within 0.5 % of the rise.

Check 2, the bottom face cooled (held at 77 K, the others insulated): the
Joule heat deposited equals the rise of the section's enthalpy (the integral
over it of C from 77 K to the final temperature) plus the heat conducted out
through the cooled face, within 1 %. That heat is the face's reaction, the
residual tested with w = 1 on the face's nodes and 0 elsewhere: the flux the
discrete equations carry, conserved exactly, where k dT/dn of the linear
elements would be only first-order accurate. Backward Euler stores
C(T) (T - T_old) in a step rather than the integral of C over the step, and
this check measures what that costs."""
import runpy
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import numpy as np
import ufl
from dolfinx import fem, mesh as dmesh
from mpi4py import MPI

import materials
from femkit.gathers import gather_dofs, global_sum
from femkit.newton import Newton
from femkit.quadrature import QuadraturePoints, gauss_rule
from femkit.run import Run
from current_dump_output import save_results

REFERENCE_DATA = Path(__file__).resolve().parents[1] / "validation" / "reference.py"
SPECIFIC_HEAT_FIT = runpy.run_path(str(REFERENCE_DATA))["AL6061_SPECIFIC_HEAT"]  # a_0 ... a_8
WIDTH, HEIGHT = 0.020, 0.005  # m, the cross-section; the bottom face is y = 0
T_START = 77.0  # K, and the cooled face's temperature
DENSITY = 2700.0  # kg/m^3, aluminium
LORENZ = 2.44e-8  # W Ohm / K^2
J0 = 1.1e9  # A/m^2 at t = 0: the hot spot reaches about 250 K
TAU = 0.05  # s, the dump's time constant
END_TIME = 3 * TAU  # s: 99.75 % of the integral of J^2 lies before it
SIZES = {"small": (40, 200), "full": (160, 1600)}  # cells along the width, time steps
MAP_FRACTIONS = (0.1, 0.25, 0.5, 0.75)  # of END_TIME, the temperature maps of the cooled case
STEP_OF_T = 1e-6  # relative step of the finite difference for drho/dT
PIECES = 1000  # of the range of T, for the integrals of the checks


def add_options(parser):
    parser.add_argument(
        "--J0",
        type=float,
        default=J0,
        help=f"current density at t = 0 in A/m^2 (default {J0:g}; "
        "above about 1.19e9 the conductor passes 300 K)",
    )
    parser.add_argument(
        "--steps",
        type=int,
        help=f"time steps (default {SIZES['small'][1]} at small size, {SIZES['full'][1]} at "
        "full); below about 15 a step is so long that its Joule heat grows faster "
        "with T than the heat it stores, and Newton heads the wrong way",
    )
    parser.add_argument(
        "--no-capacity-slope",
        action="store_true",
        help="leave Pellucer's term dC/dT (T - T_old)/dt out of the Jacobian",
    )


def heat_capacity(T):
    """C(T) in J/(m^3 K): the density times 10^P(log10 T), P by Horner's rule."""
    L = np.log10(T)
    exponent = np.zeros_like(L)
    for a in reversed(SPECIFIC_HEAT_FIT):
        exponent = exponent * L + a
    return DENSITY * 10.0**exponent


def integral(f, high):
    """Integral of f from T_START to high (an array) by Gauss quadrature on
    PIECES equal parts; f is evaluated once, over all nodes."""
    nodes, weights = gauss_rule(T_START, high, PIECES)
    return (high - T_START) * np.tensordot(weights, f(nodes), axes=1)


def adiabatic_temperature(Wembrel, heating):
    """T_ad where the integral of C/rho from T_START reaches heating (the
    integral of J^2 over time, A^2 s/m^4; an array). The integral is concave
    in T_ad (C/rho falls as T rises), so Newton's method from T_START climbs
    to the root from below, never past it."""
    T_ad = np.full_like(heating, T_START)
    while True:
        miss = integral(lambda T: heat_capacity(T) / Wembrel(T), T_ad) - heating
        correction = miss / (heat_capacity(T_ad) / Wembrel(T_ad))
        T_ad -= correction
        if np.all(np.abs(correction) <= 1e-12 * T_ad):
            return T_ad


class Conductor:
    """The cross-section on cells_x by cells_x / 4 cells, its temperature T
    over `steps` backward-Euler steps of the dump of J0, and the material
    route: the properties of aluminium from Wembrel and Pellucer (with run's
    clock) at the quadrature points; the Jacobian with Pellucer's term
    unless capacity_slope is False."""

    def __init__(self, run, cells_x, steps, J0, capacity_slope):
        self.Wembrel, self.Pellucer = run.timed(materials.Wembrel), run.timed(materials.Pellucer)
        self.J0, self.steps, self.step = J0, steps, END_TIME / steps  # A/m^2, s
        self.solver = dict(solver=run.solver, symmetric=False)  # dk/dT, drho/dT: not symmetric
        self.times = self.step * np.arange(steps + 1)
        size = [cells_x, cells_x // 4]
        domain = dmesh.create_rectangle(run.comm, [[0, 0], [WIDTH, HEIGHT]], size)
        self.V = V = fem.FunctionSpace(domain, ("Lagrange", 1))
        self.points = points = QuadraturePoints(domain, degree=2)
        self.T, self.T_old = T, T_old = fem.Function(V, name="T"), fem.Function(V)
        self.C, self.dC_dT, self.rho, self.drho_dT, self.k, self.dk_dT = (
            points.function(n) for n in ("C", "dC_dT", "rho", "drho_dT", "k", "dk_dT")
        )
        self.J_squared = fem.Constant(domain, 0.0)
        self.dt = dt = fem.Constant(domain, self.step)
        v, dT = ufl.TestFunction(V), ufl.TrialFunction(V)
        capacity = self.C + self.dC_dT * (T - T_old) if capacity_slope else self.C
        self.residual = self.heat_equation(v)
        self.jacobian = (
            capacity / dt * dT * v
            + self.k * ufl.inner(ufl.grad(dT), ufl.grad(v))
            + self.dk_dT * dT * ufl.inner(ufl.grad(T), ufl.grad(v))
            - self.drho_dT * self.J_squared * dT * v
        ) * points.dx
        self.bottom = fem.locate_dofs_geometrical(V, lambda x: np.isclose(x[1], 0.0))
        face = fem.Function(V)  # 1 on the cooled face's nodes: tests the residual for its reaction
        face.x.array[self.bottom] = 1.0
        self.joule_heat = fem.form(self.rho * self.J_squared * points.dx)
        self.face_reaction = fem.form(self.heat_equation(face))
        self.enthalpy = points.function("enthalpy")
        self.total_enthalpy = fem.form(self.enthalpy * points.dx)

    def heat_equation(self, v):
        """The residual F(T; v)."""
        T, dt = self.T, self.dt
        return (
            self.C * (T - self.T_old) / dt * v
            + self.k * ufl.inner(ufl.grad(T), ufl.grad(v))
            - self.rho * self.J_squared * v
        ) * self.points.dx

    def properties(self, T):
        """C and dC/dT, rho and drho/dT, k and dk/dT at every quadrature point:
        one Pellucer and one Wembrel block (T and T + h). Pellucer is evaluated
        even when its term is left out: its range is the fit's."""
        T_q = self.points.values(T)
        h = STEP_OF_T * T_q
        rho_both = self.Wembrel(np.stack([T_q, T_q + h]))
        k_both = LORENZ * np.stack([T_q, T_q + h]) / rho_both
        return [
            (self.C, heat_capacity(T_q)),
            (self.dC_dT, self.Pellucer(T_q, DENSITY)),
            (self.rho, rho_both[0]),
            (self.drho_dT, (rho_both[1] - rho_both[0]) / h),
            (self.k, k_both[0]),
            (self.dk_dT, (k_both[1] - k_both[0]) / h),
        ]

    def newton(self, cooled):
        """Newton for a step, the bottom face held at T_START if cooled."""
        bcs = [fem.dirichletbc(T_START, self.bottom, self.V)] if cooled else []
        return Newton(
            self.residual, self.jacobian, self.T, bcs, self.points, self.properties, **self.solver
        )


def dump(run, conductor, case, newton, maps=None):
    """The dump from T_START, each step solved by newton; says the Newton
    iterations per step and returns the hot spot at each time and the Joule
    heat deposited, the enthalpy rise and the heat conducted out, in J per
    metre of length. The temperature at the steps nearest MAP_FRACTIONS of
    END_TIME is added to maps, if given."""
    c, steps, times = conductor, conductor.steps, conductor.times
    map_steps = {round(f * steps) for f in MAP_FRACTIONS}
    c.T.x.array[:] = T_START
    hot_spot, iterations, deposited, conducted = [T_START], 0, 0.0, 0.0
    for step in range(1, steps + 1):
        c.T_old.x.array[:] = c.T.x.array
        c.J_squared.value = (c.J0 * np.exp(-times[step] / TAU)) ** 2
        with run.stopping_on_refusal(f"in the step to t = {times[step] * 1e3:g} ms, {case}"):
            iterations += newton.solve()
        deposited += c.step * global_sum(run.comm, fem.assemble_scalar(c.joule_heat))
        conducted -= c.step * global_sum(run.comm, fem.assemble_scalar(c.face_reaction))
        hot_spot.append(run.comm.allreduce(c.T.x.array.max(), op=MPI.MAX))
        if maps is not None and step in map_steps:
            maps[times[step]] = gather_dofs(c.T)
    c.points.store(c.enthalpy, integral(heat_capacity, c.points.values(c.T)))
    stored = global_sum(run.comm, fem.assemble_scalar(c.total_enthalpy))
    run.say(
        f"{case}: hot spot {hot_spot[-1]:.4f} K at {END_TIME * 1e3:g} ms, highest "
        f"{max(hot_spot):.4f} K; {iterations / steps:.2f} Newton iterations per step; "
        f"Joule heat {deposited:.6g} J/m, enthalpy rise {stored:.6g} J/m, conducted out "
        f"{conducted:.6g} J/m (per metre of length)"
    )
    return hot_spot, deposited, stored, conducted


def solve(run, conductor):
    """Both dumps and the adiabatic heating integral: the hot spots {case:
    K at each time}, the cooled case's Joule heat, enthalpy rise and heat
    conducted out (J/m), T_ad at each time and the cooled case's maps."""
    insulated, cooled = conductor.newton(cooled=False), conductor.newton(cooled=True)
    hot_spot, maps = {"adiabatic": dump(run, conductor, "adiabatic", insulated)[0]}, {}
    hot_spot["cooled"], *balance = dump(run, conductor, "cooled", cooled, maps)
    # the integral of J^2 from 0 to each time, A^2 s/m^4
    heating = conductor.J0**2 * TAU / 2 * (1 - np.exp(-2 * conductor.times / TAU))
    adiabatic = adiabatic_temperature(conductor.Wembrel, heating)
    return hot_spot, balance, adiabatic, maps


def checks(run, hot_spot, balance, adiabatic):
    """Check 1, the adiabatic hot spot against the heating integral; check
    2, the cooled case's energy balance, the closing line."""
    rise = adiabatic[-1] - T_START
    run.check(
        f"adiabatic: T_ad {adiabatic[-1]:.4f} K from the heating integral; "
        f"|hot spot - T_ad| / (T_ad - {T_START:g} K) =",
        abs(hot_spot["adiabatic"][-1] - adiabatic[-1]) / rise,
        0.005,
    )
    deposited, stored, conducted = balance
    imbalance = abs(deposited - stored - conducted) / deposited
    run.finish(
        "cooled: |Joule heat - enthalpy rise - conducted out| / Joule heat =", imbalance, 0.01
    )


def main():
    run = Run("current_dump", __doc__, add_options)
    cells_x, steps = SIZES[run.size]
    options = run.options
    conductor = Conductor(
        run, cells_x, options.steps or steps, options.J0, not options.no_capacity_slope
    )
    run.say(
        f"{run.size}: {cells_x} x {cells_x // 4} cells, {conductor.steps} steps of "
        f"{conductor.step * 1e3:g} ms, J0 = {options.J0:g} A/m^2, tau = {TAU * 1e3:g} ms, "
        f"{'without' if options.no_capacity_slope else 'with'} dC/dT in the Jacobian, "
        f"{run.processes}"
    )
    with run.solving():
        hot_spot, balance, adiabatic, maps = solve(run, conductor)
    if run.root:
        title = f"J = {conductor.J0:g} A/m² · exp(−t / {TAU * 1e3:g} ms)"
        save_results(run, conductor.times, hot_spot, adiabatic, maps, title)
    checks(run, hot_spot, balance, adiabatic)


if __name__ == "__main__":
    main()
