"""Temperature maps over time, the figure two examples share."""
import numpy as np


def save_temperature_maps(run, name, maps, T_low, T_high, size, x_label="x (mm)"):
    """Temperature maps {t in s: (coordinates in m, values in K)} as
    gathers.gather_dofs gives them, one panel per time in a column under one
    colour scale from T_low to T_high: name.png, and name.csv with a column
    per time, in run's folder. size: the figure's width and its height per
    panel, in inches."""
    if not run.root:
        return
    import matplotlib.pyplot as plt  # here: the example has chosen the backend

    first = next(iter(maps.values()))
    run.write_csv(
        f"{name}.csv",
        {
            "x_m": first[0][:, 0],
            "y_m": first[0][:, 1],
            **{f"T_K_at_{t * 1e3:g}ms": m[1] for t, m in maps.items()},
        },
    )
    width, height = size
    figure, axes = plt.subplots(
        len(maps),
        1,
        figsize=(width, height * len(maps) + 0.7),
        sharex=True,
        constrained_layout=True,
    )
    levels = np.linspace(T_low, T_high, 25)
    for axis, (t, (xy, values)) in zip(axes, maps.items()):
        shown = axis.tricontourf(
            xy[:, 0] * 1e3, xy[:, 1] * 1e3, values, levels=levels, cmap="inferno"
        )
        axis.set_aspect("equal")
        axis.set_ylabel("y (mm)")
        axis.set_title(f"t = {t * 1e3:g} ms", fontsize=9, loc="left")
    axes[-1].set_xlabel(x_label)
    figure.colorbar(
        shown, ax=axes, label="T (K)", ticks=np.arange(10 * np.ceil(T_low / 10), T_high, 10)
    )
    run.save(figure, f"{name}.png")
