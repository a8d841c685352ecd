"""The magnetostatics example's CSV files and figures."""
import matplotlib.pyplot as plt
import matplotlib.tri
import numpy as np


def save_results(run, times, map_step, cylinder_runs, ring_rows, maps, geometry):
    """Every file: the rows of each step, the field maps, the loops.
    geometry: {"radius": the cylinder's, "ring": (inner, outer) radii}, m."""
    write_csvs(run, times, cylinder_runs, ring_rows, maps)
    plot_maps(run, maps, times[map_step - 1], geometry)
    plot_loops(run, cylinder_runs)


def write_csvs(run, times, cylinder_runs, ring_rows, maps):
    """The cylinder's and the ring's rows of each step, and the field maps."""
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


def plot_maps(run, maps, t, geometry):
    """|B| with its field lines at the time t of the maps (the second period's
    peak)."""
    radius, (ring_inner, ring_outer) = geometry["radius"], geometry["ring"]
    figure, axes = plt.subplots(1, len(maps), figsize=(5 * len(maps), 4.6), constrained_layout=True)
    for axis, (case, rows) in zip(axes, maps.items()):
        ring_case = case == "ring"
        reach = 1.3 * ring_outer if ring_case else 2.5 * radius
        shown = rows[(np.abs(rows[:, 0]) < 1.2 * reach) & (np.abs(rows[:, 1]) < 1.2 * reach)]
        mesh = matplotlib.tri.Triangulation(shown[:, 0] * 1e3, shown[:, 1] * 1e3)
        if ring_case:  # no triangles across the hole
            middle = shown[:, :2][mesh.triangles].mean(axis=1)
            mesh.set_mask(np.hypot(*middle.T) < ring_inner)
        magnitude = np.hypot(shown[:, 2], shown[:, 3]) * 1e3  # mT
        filled = axis.tricontourf(mesh, magnitude, levels=30, cmap="viridis")
        grid = np.linspace(-reach, reach, 120) * 1e3
        gx, gy = np.meshgrid(grid, grid)
        bx = matplotlib.tri.LinearTriInterpolator(mesh, shown[:, 2])(gx, gy)
        by = matplotlib.tri.LinearTriInterpolator(mesh, shown[:, 3])(gx, gy)
        axis.streamplot(gx, gy, bx, by, color="white", linewidth=0.6, density=0.8, arrowsize=0.6)
        for r in (ring_inner, ring_outer) if ring_case else (radius,):
            axis.add_patch(plt.Circle((0, 0), r * 1e3, fill=False, color="red", lw=1))
        axis.set_xlim(-reach * 1e3, reach * 1e3)
        axis.set_ylim(-reach * 1e3, reach * 1e3)
        axis.set_aspect("equal")
        axis.set_title(f"{case}, t = {t * 1e3:g} ms", fontsize=10)
        axis.set_xlabel("x (mm)")
        figure.colorbar(filled, ax=axis, label="|B| (mT)", shrink=0.85)
    axes[0].set_ylabel("y (mm)")
    run.save(figure, "magnetostatics_map.png")


def plot_loops(run, cylinder_runs):
    """B against h at the centre, and B_x against B_y, for both loads."""
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
