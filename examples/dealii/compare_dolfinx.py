"""Engine against engine: the cylinder of the deal.II example solved by the
DOLFINx one (examples/magnetostatics.py), its two loads only, at a cell size
chosen to give about as many unknowns. For each load it says the wall time,
the deviation from the point model and B at the end of each period next to
the point model's, the figures the deal.II example says on its lines.

    python examples/dealii/compare_dolfinx.py --cells-per-radius 7.6   # 2 800 unknowns

The deal.II example's small size has 2 849 unknowns. The DOLFINx example
takes B at the quadrature point nearest the centre, the deal.II one the
iron's average: inside, both are the uniform field of the closed form."""
import sys
import time
from pathlib import Path

import numpy as np

sys.path.insert(0, str(Path(__file__).resolve().parent.parent))
import magnetostatics as example  # noqa: E402
import magnetostatics_cylinder as cylinder_case  # noqa: E402
from femkit.run import Run  # noqa: E402


def add_options(parser):
    example.add_options(parser)  # --jacobian
    parser.add_argument(
        "--cells-per-radius",
        type=float,
        default=7.6,
        help="the cylinder's radius over the cell size in its iron (default 7.6)",
    )
    parser.add_argument("--steps", type=int, default=12, help="steps per period (default 12)")


def main():
    run = Run("compare_dolfinx", __doc__, add_options)
    steps = example.Steps(run.options.steps)
    material = example.Hysteresis(run, steps.dt)
    start = time.perf_counter()
    cylinder = cylinder_case.Cylinder(
        run, material, cylinder_case.RADIUS / run.options.cells_per_radius
    )
    unknowns = cylinder.field.phi.function_space.dofmap.index_map.size_global
    run.say(f"{unknowns} unknowns, {run.processes}, set up in {time.perf_counter() - start:.2f} s")
    angles = steps.angles
    loads = {
        "alternating": np.stack([np.sin(angles), 0 * angles], axis=-1),
        "rotating": np.stack([np.cos(angles), np.sin(angles)], axis=-1),
    }
    ends = [steps.per_period * period - 1 for period in range(1, example.PERIODS + 1)]
    for name, direction in loads.items():
        load_start = time.perf_counter()
        fields = example.H_APPLIED * direction
        h_point, B_point = cylinder_case.cylinder_point_model(material, example.CELLS, fields)
        rows, _ = cylinder.load(example.CELLS, fields, h_point, steps, mapped=False)
        pairs = "; ".join(
            f"({B[0]:.5f}, {B[1]:.5f}) mT against ({P[0]:.5f}, {P[1]:.5f}) mT"
            for B, P in zip(1e3 * rows["B_centre"][ends], 1e3 * B_point[ends])
        )
        run.say(
            f"{name}: {time.perf_counter() - load_start:.2f} s; |h - h_point| / |H_a|: area "
            f"average {rows['deviation'].max():.3e}, largest inside "
            f"{rows['largest_deviation'].max():.3e}; B at the centre at the end of each period "
            f"against the point model's: {pairs}"
        )
    run.say(f"{time.perf_counter() - start:.2f} s in all")


if __name__ == "__main__":
    main()
