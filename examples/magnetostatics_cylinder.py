"""The cylinder of the magnetostatics example in its applied field (and the
sphere of magnetostatics_sphere.py in its own): the field solve over it, and
the closed forms it is checked against."""
import numpy as np
from dolfinx import fem
from mpi4py import MPI

from femkit import MU0
from femkit.gathers import global_sum
from femkit.newton import NotConverged
from magnetostatics_field import FieldSolve, in_3d, iron_in_air

RADIUS = 0.010  # m, the cylinder's
CYLINDER_OUTER = 10 * RADIUS  # m, where phi = 0
N_EFF = (1 - RADIUS**2 / CYLINDER_OUTER**2) / 2
H_APPLIED = 2000.0  # A/m: |h| inside about 800 A/m


def cylinder_point_model(material, cells, fields, n_eff=N_EFF):
    """h inside the cylinder (or sphere: its n_eff) for the applied fields
    `fields` (steps, 2 or 3), and B there, of the fields' shape: g(h) =
    h - H_a + N_eff (B(h)/mu0 - h) = 0 at one point by Newton's method on h
    from the last step's h (a step that does not reduce |g| is halved), the
    history advanced after each step."""
    model = material.model(cells)

    def miss(h, H_a):
        B, dB_dh = material.evaluate(model, h)
        return h - H_a + n_eff * (B / MU0 - h), (1 - n_eff) * np.eye(3) + n_eff * dB_dh / MU0, B

    h, hs, Bs = np.zeros(3), [], []
    dimension = fields.shape[-1]
    for H_a in in_3d(fields):
        g, slope, B = miss(h, H_a)
        for _ in range(50):
            correction, s = np.linalg.solve(slope, g), 1.0
            while True:
                trial = h - s * correction
                g_trial, slope_trial, B_trial = miss(trial, H_a)
                if np.linalg.norm(g_trial) < np.linalg.norm(g) or s < 1e-6:
                    break
                s /= 2
            h, g, slope, B = trial, g_trial, slope_trial, B_trial
            if np.linalg.norm(s * correction) <= 1e-13 * H_APPLIED:
                break
        else:
            raise NotConverged(f"the point model did not converge at H_a = {H_a}")
        material.accept(model, h)
        hs.append(h[:dimension])
        Bs.append(B[:dimension])
    return np.array(hs), np.array(Bs)


def rotational_loss(cells, h, steps):
    """Loss per cycle and unit volume (J/m^3) of play cells without
    relaxation and coupling in a field of magnitude h turning in `steps`
    equal steps, in their discrete steady state (check 2 of magnetostatics.py;
    many steps give the continuous form)."""
    half = np.pi / steps
    chi, weight = np.array(cells["chi"]), np.array(cells["weight"])
    radius = -chi * np.sin(half) + np.sqrt(np.maximum(h**2 - (chi * np.cos(half)) ** 2, 0.0))
    return steps * MU0 * np.sum(weight * chi * 2 * np.maximum(radius, 0.0) * np.sin(half))


class Cylinder:
    """The cylinder in its applied field (checks 1 and 2), or in 3-D the
    sphere: the field solve, the iron's points more than two cells inside the
    surface, the point nearest the centre and the process that holds it, the
    iron's area (volume)."""

    def __init__(self, run, material, cell_size, dimension=2, radius=RADIUS, outer=CYLINDER_OUTER):
        domain, cell_tags = iron_in_air(run.comm, 0.0, radius, outer, cell_size, dimension)
        self.run, self.applied = run, fem.Constant(domain, np.zeros(dimension))
        self.field = field = FieldSolve(
            run,
            material,
            run.options.jacobian == "exact",
            domain,
            cell_tags,
            outer,
            self.applied,
            cell_size,
        )
        radii = np.linalg.norm(field.xy[field.iron], axis=-1)
        self.interior = radii < radius - 2 * cell_size
        self.centre = np.argmin(radii) if radii.size else -1
        self.holder = run.comm.allreduce((radii.min(initial=np.inf), run.comm.rank), op=MPI.MINLOC)[
            1
        ]
        self.iron_area = global_sum(run.comm, field.area.sum())
        self.cells_in_all = domain.topology.index_map(dimension).size_global

    def load(self, cells, fields, h_point, steps, mapped):
        """The cylinder's cells driven by the applied fields (steps, 2 or 3), each
        step against h_point; the rows of every step, and if mapped the field
        map at steps.map_step."""
        comm, field, centre = self.run.comm, self.field, self.centre
        field.start(cells)
        rows = {
            name: []
            for name in (
                "h_average",
                "h_centre",
                "B_centre",
                "deviation",
                "largest_deviation",
                "newton",
                "dissipated",
            )
        }
        field_map = None
        for step, H_a in enumerate(fields, start=1):
            self.applied.value[:] = H_a
            count, h, B, dissipated = field.advance()
            average = np.array([global_sum(comm, c @ field.area) for c in h.T]) / self.iron_area
            largest = np.abs(h[self.interior] - h_point[step - 1]).max(initial=0.0)
            rows["largest_deviation"].append(comm.allreduce(largest, op=MPI.MAX) / H_APPLIED)
            rows["deviation"].append(np.linalg.norm(average - h_point[step - 1]) / H_APPLIED)
            rows["h_average"].append(average)
            rows["h_centre"].append(comm.bcast(h[centre] if centre >= 0 else None, self.holder))
            rows["B_centre"].append(comm.bcast(B[centre] if centre >= 0 else None, self.holder))
            rows["newton"].append(count)
            rows["dissipated"].append(dissipated)
            if mapped and step == steps.map_step:
                field_map = field.field_map()
        return {name: np.array(values) for name, values in rows.items()}, field_map
