"""The current dump's CSV files and figures."""
import matplotlib.pyplot as plt

from femkit.plots import save_temperature_maps


def save_results(run, times, hot_spot, adiabatic, maps, title):
    """The hot spots against the adiabatic heating integral (CSV and plot),
    and the cooled case's temperature maps. title: the current density over
    time."""
    T_start = hot_spot["cooled"][0]
    run.write_csv(
        "current_dump_hot_spot.csv",
        {
            "t_s": times,
            "T_adiabatic_integral_K": adiabatic,
            "T_hot_spot_adiabatic_K": hot_spot["adiabatic"],
            "T_hot_spot_cooled_K": hot_spot["cooled"],
        },
    )
    save_temperature_maps(
        run,
        "current_dump_maps",
        maps,
        T_start,
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
    axis.set_title(title, fontsize=10)
    axis.legend()
    axis.grid(alpha=0.3)
    run.save(figure, "current_dump_hot_spot.png")
