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
    k(T)    = L0 T / rho(T), the Wiedemann-Franz law, L0 = 2.44e-8 W Ohm/K^2
            (Sommerfeld's value, pi^2 k_B^2 / (3 e^2));
    C(T)    = density c_p(T), c_p the specific-heat fit of NIST's Cryogenics
            Technologies Group, "Material Properties: 6061-T6 Aluminum (UNS
            A96061)": log10 c_p = sum_{k=0..8} a_k (log10 T)^k, c_p in
            J/(kg K), 4 K to 300 K, stated error 5 % (the coefficients are
            read from validation/reference.py, where they are checked);
    dC/dT   from Pellucer with m = density: the slope of the same fit.

Backward Euler from T_old to T at t = t_old + dt gives the residual, tested
with v,

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
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
import ufl
from dolfinx import fem, mesh as dmesh
from mpi4py import MPI

import materials
from common import QuadraturePoints, Newton, Run, gather_dofs, gauss_rule, global_sum

sys.path.append(str(Path(__file__).resolve().parents[1]))  # the repository, for validation/
from validation.reference import AL6061_SPECIFIC_HEAT, log_polynomial_fit  # noqa: E402

WIDTH, HEIGHT = 0.020, 0.005  # m, the cross-section; the bottom face is y = 0
T_START = 77.0  # K, and the cooled face's temperature
DENSITY = 2700.0  # kg/m^3, aluminium
LORENZ = 2.44e-8  # W Ohm / K^2
J0 = 1.1e9  # A/m^2 at t = 0: the hot spot reaches about 250 K
TAU = 0.05  # s, the dump's time constant
END_TIME = 3 * TAU  # s: 99.75 % of the integral of J^2 lies before it
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
        help="time steps (default 200 at small size, 1600 at full); below "
        "about 15 a step is so long that its Joule heat grows faster "
        "with T than the heat it stores, and Newton heads the wrong way",
    )
    parser.add_argument(
        "--no-capacity-slope",
        action="store_true",
        help="leave Pellucer's term dC/dT (T - T_old)/dt out of the Jacobian",
    )


run = Run("current_dump", __doc__.splitlines()[0], add_options)
Wembrel, Pellucer = run.timed(materials.Wembrel), run.timed(materials.Pellucer)
CELLS_X = 40 if not run.full else 160
STEPS = run.options.steps or (200 if not run.full else 1600)
DT = END_TIME / STEPS  # s
current_density = run.options.J0


def heat_capacity(T):
    """C(T) in J/(m^3 K)."""
    return DENSITY * log_polynomial_fit(AL6061_SPECIFIC_HEAT, T)


def integral(f, high):
    """Integral of f from T_START to high (an array) by Gauss quadrature on
    PIECES equal parts; f is evaluated once, over all nodes."""
    nodes, weights = gauss_rule(T_START, high, PIECES)
    return (high - T_START) * np.tensordot(weights, f(nodes), axes=1)


def adiabatic_temperature(heating):
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


def heating_integral(t):
    """Integral of J^2 from 0 to t, A^2 s/m^4."""
    return current_density**2 * TAU / 2 * (1 - np.exp(-2 * t / TAU))


domain = dmesh.create_rectangle(run.comm, [[0, 0], [WIDTH, HEIGHT]], [CELLS_X, CELLS_X // 4])
V = fem.FunctionSpace(domain, ("Lagrange", 1))
points = QuadraturePoints(domain, degree=2)
dx = points.dx

T, T_old = fem.Function(V, name="T"), fem.Function(V)
C, dC_dT, rho, drho_dT, k, dk_dT = (
    points.function(n) for n in ("C", "dC_dT", "rho", "drho_dT", "k", "dk_dT")
)
J_squared = fem.Constant(domain, 0.0)
dt = fem.Constant(domain, DT)
v, dT = ufl.TestFunction(V), ufl.TrialFunction(V)


def heat_equation(v):
    """The residual F(T; v)."""
    return (
        C * (T - T_old) / dt * v + k * ufl.inner(ufl.grad(T), ufl.grad(v)) - rho * J_squared * v
    ) * dx


capacity = C if run.options.no_capacity_slope else C + dC_dT * (T - T_old)
jacobian = (
    capacity / dt * dT * v
    + k * ufl.inner(ufl.grad(dT), ufl.grad(v))
    + dk_dT * dT * ufl.inner(ufl.grad(T), ufl.grad(v))
    - drho_dT * J_squared * dT * v
) * dx


def properties(T):
    """C and dC/dT, rho and drho/dT, k and dk/dT at every quadrature point:
    one Pellucer and one Wembrel block (T and T + h). Pellucer is evaluated
    even when its term is left out: its range is the fit's."""
    T_q = points.values(T)
    h = STEP_OF_T * T_q
    rho_both = Wembrel(np.stack([T_q, T_q + h]))
    k_both = LORENZ * np.stack([T_q, T_q + h]) / rho_both
    return [
        (C, heat_capacity(T_q)),
        (dC_dT, Pellucer(T_q, DENSITY)),
        (rho, rho_both[0]),
        (drho_dT, (rho_both[1] - rho_both[0]) / h),
        (k, k_both[0]),
        (dk_dT, (k_both[1] - k_both[0]) / h),
    ]


bottom = fem.locate_dofs_geometrical(V, lambda x: np.isclose(x[1], 0.0))
face = fem.Function(V)  # 1 on the cooled face's nodes: tests the residual for its reaction
face.x.array[bottom] = 1.0
joule_heat = fem.form(rho * J_squared * dx)
face_reaction = fem.form(heat_equation(face))
enthalpy = points.function("enthalpy")
total_enthalpy = fem.form(enthalpy * dx)
times = DT * np.arange(STEPS + 1)


def dump(case, newton, maps=None):
    """The dump from T_START, each step solved by newton; says the Newton
    iterations per step and returns the hot spot at each time and the Joule
    heat deposited, the enthalpy rise and the heat conducted out, in J per
    metre of length. The temperature at the steps nearest MAP_FRACTIONS of
    END_TIME is added to maps, if given."""
    map_steps = {round(f * STEPS) for f in MAP_FRACTIONS}
    T.x.array[:] = T_START
    hot_spot, iterations, deposited, conducted = [T_START], 0, 0.0, 0.0
    for step in range(1, STEPS + 1):
        T_old.x.array[:] = T.x.array
        J_squared.value = (current_density * np.exp(-times[step] / TAU)) ** 2
        with run.stopping_on_refusal(f"in the step to t = {times[step] * 1e3:g} ms, {case}"):
            iterations += newton.solve()
        deposited += DT * global_sum(run.comm, fem.assemble_scalar(joule_heat))
        conducted -= DT * global_sum(run.comm, fem.assemble_scalar(face_reaction))
        hot_spot.append(run.comm.allreduce(T.x.array.max(), op=MPI.MAX))
        if maps is not None and step in map_steps:
            maps[times[step]] = gather_dofs(T)
    points.store(enthalpy, integral(heat_capacity, points.values(T)))
    stored = global_sum(run.comm, fem.assemble_scalar(total_enthalpy))
    run.say(
        f"{case}: hot spot {hot_spot[-1]:.4f} K at {END_TIME * 1e3:g} ms, highest "
        f"{max(hot_spot):.4f} K; {iterations / STEPS:.2f} Newton iterations per step; "
        f"Joule heat {deposited:.6g} J/m, enthalpy rise {stored:.6g} J/m, conducted out "
        f"{conducted:.6g} J/m (per metre of length)"
    )
    return hot_spot, deposited, stored, conducted


run.say(
    f"{run.size}: {CELLS_X} x {CELLS_X // 4} cells, {STEPS} steps of {DT * 1e3:g} ms, "
    f"J0 = {current_density:g} A/m^2, tau = {TAU * 1e3:g} ms, "
    f"{'without' if run.options.no_capacity_slope else 'with'} dC/dT in the Jacobian, "
    f"{run.comm.size} process(es)"
)
insulated = Newton(heat_equation(v), jacobian, T, [], points, properties)
cooled = Newton(
    heat_equation(v), jacobian, T, [fem.dirichletbc(T_START, bottom, V)], points, properties
)
maps = {}
with run.solving():
    hot_spot = {"adiabatic": dump("adiabatic", insulated)[0]}
    hot_spot["cooled"], deposited, stored, conducted = dump("cooled", cooled, maps)
    adiabatic = adiabatic_temperature(heating_integral(times))

rise = adiabatic[-1] - T_START
run.check(
    f"adiabatic: T_ad {adiabatic[-1]:.4f} K from the heating integral; "
    f"|hot spot - T_ad| / (T_ad - {T_START:g} K) =",
    abs(hot_spot["adiabatic"][-1] - adiabatic[-1]) / rise,
    0.005,
)
imbalance = abs(deposited - stored - conducted) / deposited

if run.root:
    run.write_csv(
        "current_dump_hot_spot.csv",
        {
            "t_s": times,
            "T_adiabatic_integral_K": adiabatic,
            "T_hot_spot_adiabatic_K": hot_spot["adiabatic"],
            "T_hot_spot_cooled_K": hot_spot["cooled"],
        },
    )
    run.save_temperature_maps(
        "current_dump_maps",
        maps,
        T_START,
        max(hot_spot["cooled"]),
        size=(6, 1.4),
        x_label="x (mm); the face y = 0 is held at 77 K",
    )
    figure, axis = plt.subplots(figsize=(6, 4), constrained_layout=True)
    axis.plot(
        times * 1e3, adiabatic, color="black", lw=3, alpha=0.3, label="adiabatic heating integral"
    )
    axis.plot(times * 1e3, hot_spot["adiabatic"], label="hot spot, adiabatic")
    axis.plot(times * 1e3, hot_spot["cooled"], label="hot spot, bottom face at 77 K")
    axis.set_xlabel("t (ms)")
    axis.set_ylabel("T (K)")
    axis.set_title(f"J = {current_density:g} A/m² · exp(−t / {TAU * 1e3:g} ms)", fontsize=10)
    axis.legend()
    axis.grid(alpha=0.3)
    run.save(figure, "current_dump_hot_spot.png")

run.finish("cooled: |Joule heat - enthalpy rise - conducted out| / Joule heat =", imbalance, 0.01)
