"""The losses and the current profiles of examples/transport_current_loss.py:
CSV files and plots."""
import math

import matplotlib.pyplot as plt
import numpy as np

from transport_current_loss_model import CONDUCTORS

PROFILE_PANELS = 2  # the profiles' phases: rising, then falling current


def plot_losses(run, rows):
    """losses.csv, and the loss per cycle against F on log-log axes with
    Norris's curve, per conductor and n."""
    columns = ("conductor", "n", "fraction", "loss_J_per_m", "norris_J_per_m")
    run.write_csv("losses.csv", dict(zip(columns, zip(*rows))))
    figure, axis = plt.subplots(figsize=(6.5, 4.8), constrained_layout=True)
    fine = np.geomspace(0.1, 0.99, 200)
    for name in dict.fromkeys(r[0] for r in rows):
        mine = [r for r in rows if r[0] == name]
        norris = CONDUCTORS[name].norris
        per_unit = mine[0][4] / norris(mine[0][2])  # mu0 Ic^2 / pi, J/m
        axis.loglog(fine, per_unit * norris(fine), label=f"{name}: Norris")
        for n in dict.fromkeys(r[1] for r in mine):
            cases = [r for r in mine if r[1] == n]
            axis.loglog(
                [r[2] for r in cases],
                [r[3] for r in cases],
                "o",
                markersize=5,
                label=f"{name}: n = {n:g}",
            )
    axis.set_xlabel("F = I_m / Ic")
    axis.set_ylabel("loss per cycle and unit length (J/m)")
    axis.grid(alpha=0.3, which="both")
    axis.legend(fontsize=8)
    run.save(figure, "transport_current_loss.png")


def plot_profiles(run, conductor, profiles):
    """J_z / Jc across the conductor (its points within its band about
    y = 0) at the phases of the cycle cycle_loss recorded; the current
    rising from its trough in one panel, falling from its peak in the
    other. transport_current_loss_profiles.png and .csv."""
    figure, axes = plt.subplots(
        1, PROFILE_PANELS, figsize=(11, 4), sharey=True, constrained_layout=True
    )
    columns = {}
    for phase, rows in profiles:
        order = np.argsort(rows[:, 0])
        x, J = rows[order, 0] * 1e3, rows[order, 2] / conductor.jc
        degrees = round(math.degrees(phase)) % 360
        rising = (degrees + 90) % 360 < 180  # from the trough (270 degrees) to the peak
        axes[0 if rising else 1].plot(x, J, ".-", markersize=2, lw=0.8, label=f"{degrees}°")
        columns["x_m"], columns["y_m"] = rows[order, 0], rows[order, 1]
        columns[f"J_over_Jc_at_{degrees}deg"] = J
    for axis, title in zip(axes, ("current rising", "current falling")):
        axis.set_title(f"{conductor.name}: {title}", fontsize=10)
        axis.set_xlabel("x (mm)")
        axis.grid(alpha=0.3)
        axis.legend(title="phase of I(t)", fontsize=8)
    axes[0].set_ylabel("J_z / Jc")
    run.save(figure, "transport_current_loss_profiles.png")
    run.write_csv("transport_current_loss_profiles.csv", columns)
