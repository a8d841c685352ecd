"""Vector hysteresis in 3-D: a sphere of Orvandel's vector model in a field
rotating in a tilted plane, the magnetic scalar potential solved on
second-order tetrahedra, checked against the point model.

The field solve of magnetostatics.py in space:

    h = H_a(t) - grad phi,    div B(h) = 0,    phi = 0 on the sphere r = R,

around an iron sphere of radius a = 10 mm, R = 3a, on second-order Lagrange
elements over curved (second-order) tetrahedra. B and the symmetric dB/dh
come from the model at the quadrature points of the iron, each point with
its own history (the four cells of magnetostatics.py).

The applied field, of magnitude H_a = 2 kA/m at 50 Hz, turns in the plane
normal to (1, 2, 3): a plane that contains no coordinate axis, so that h
has three components nonzero at almost every step and all six entries of
dB/dh enter Newton's Jacobian, the out-of-plane ones (xz, yz) included.

Check: for any local, homogeneous law the field inside the sphere is
uniform, h = H_a - N_eff M with M = B(h)/mu0 - h and N_eff = (1 - a^3/R^3)/3,
the image of the grounded outer sphere included. That equation, solved at
one point with the same model, steps and history, gives h_point; the
volume average of h over the iron and its largest deviation at the points
more than two cells inside the surface stay within 0.5 % of H_a at every
step of two periods.

Sizes: small (12 steps per period, cells of a/3 in the iron), full (32,
a/8) and large (4, a/20: half a million unknowns, for many processes; not
a test)."""
import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

from femkit.run import Run
from magnetostatics import CELLS, LIMITS, Hysteresis, Steps, add_options, check_newton
from magnetostatics_cylinder import H_APPLIED, Cylinder, cylinder_point_model

RADIUS = 0.010  # m, the sphere's
OUTER = 3 * RADIUS  # m, where phi = 0
N_EFF = (1 - RADIUS**3 / OUTER**3) / 3
NORMAL = np.array([1.0, 2.0, 3.0]) / np.sqrt(14.0)  # of the plane the field turns in
# steps per period, cell size in the iron (m)
SIZES = {"small": (12, RADIUS / 3), "full": (32, RADIUS / 8), "large": (4, RADIUS / 20)}


def rotating_field(angles):
    """H_a at each angle (steps, 3), A/m: turning in the plane normal to
    NORMAL, from the direction NORMAL x e_z."""
    first = np.cross(NORMAL, [0.0, 0.0, 1.0])
    first /= np.linalg.norm(first)
    second = np.cross(NORMAL, first)
    return H_APPLIED * (np.cos(angles)[:, None] * first + np.sin(angles)[:, None] * second)


def save_results(run, steps, rows):
    """The rows of every step (CSV) and h against t, the solve's average
    against the point model (PNG)."""
    if not run.root:
        return
    columns = {"step": np.arange(1, len(steps.times) + 1), "t_s": steps.times}
    for name in ("H_a", "h_point", "h_average", "B_point"):
        unit = "T" if name.startswith("B") else "A_per_m"
        columns.update({f"{name}_{axis}_{unit}": rows[name][:, i] for i, axis in enumerate("xyz")})
    columns.update(
        deviation_of_average=rows["deviation"],
        largest_deviation_inside=rows["largest_deviation"],
        newton_iterations=rows["newton"],
    )
    run.write_csv("magnetostatics_sphere.csv", columns)
    figure, axis = plt.subplots(figsize=(7, 4), constrained_layout=True)
    for i, (axis_name, colour) in enumerate(zip("xyz", ("C0", "C1", "C2"))):
        axis.plot(steps.times * 1e3, rows["h_point"][:, i], color=colour, label=f"h_{axis_name}")
        axis.plot(steps.times * 1e3, rows["h_average"][:, i], "o", color=colour, markersize=3)
    axis.set_xlabel("t (ms)")
    axis.set_ylabel("h inside the sphere (A/m)")
    axis.set_title("point model (lines), average of the field solve (dots)")
    axis.legend()
    axis.grid(alpha=0.3)
    run.save(figure, "magnetostatics_sphere.png")


def main():
    run = Run("magnetostatics_sphere", __doc__, add_options, sizes=tuple(SIZES))
    per_period, cell_size = SIZES[run.size]
    steps = Steps(per_period)
    material = Hysteresis(run, steps.dt)
    sphere = Cylinder(run, material, cell_size, dimension=3, radius=RADIUS, outer=OUTER)
    unknowns = sphere.field.phi.function_space.dofmap.index_map.size_global
    run.say(
        f"{run.size}: sphere of {sphere.field.count} iron points ({sphere.cells_in_all} "
        f"curved tetrahedra in all, {unknowns} unknowns), {per_period} steps per period, "
        f"{run.options.jacobian} Jacobian, {run.processes}"
    )
    fields = rotating_field(steps.angles)
    with run.solving():
        h_point, B_point = cylinder_point_model(material, CELLS, fields, N_EFF)
    rows, _ = sphere.load(CELLS, fields, h_point, steps, mapped=False)
    rows.update(H_a=fields, h_point=h_point, B_point=B_point)
    run.say(
        f"|h| inside {np.linalg.norm(h_point, axis=1).min():.1f} to "
        f"{np.linalg.norm(h_point, axis=1).max():.1f} A/m; |h - h_point| / |H_a|: volume "
        f"average {rows['deviation'].max():.3e}, largest inside "
        f"{rows['largest_deviation'].max():.3e}"
    )
    check_newton(run, list(rows["newton"]), sphere.field.evaluations)
    save_results(run, steps, rows)
    worst = max(rows["deviation"].max(), rows["largest_deviation"].max())
    run.finish("largest |h - h_point| / |H_a| over the steps =", worst, LIMITS["cylinder"])


if __name__ == "__main__":
    main()
