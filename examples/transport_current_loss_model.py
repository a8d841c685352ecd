"""The conductors of examples/transport_current_loss.py in their air disc,
and the H-formulation's backward-Euler steps with Orvandel's E(J) at the
quadrature points."""
import math

import numpy as np
import ufl
from dolfinx import fem, mesh as dmesh

from femkit import MU0
from femkit.gathers import global_sum, gather_rows
from femkit.newton import Newton
from femkit.quadrature import QuadraturePoints

CONDUCTOR, AIR = 1, 2  # cell tags
EC = 1e-4  # V/m, the field at J = Jc
RHO = 2e-9  # Ohm m, the slope of |E| against |J| above Orvandel's threshold
# Ohm m: air as a conductor, so that one equation holds everywhere; 1e8
# times the wire's Ec/Jc (more for the strip), yet small enough that the air's
# curl-curl term stays within reach of its mass term for the linear solver.
# The full size reports the loss with it ten times larger.
AIR_RESISTIVITY = 1e-4
FREQUENCY = 50.0  # Hz


def _gmsh_mesh(comm, build):
    """The mesh that build(gmsh) makes on process 0 (physical groups CONDUCTOR
    and AIR), first order, shared out over comm, with its cell tags."""
    import gmsh  # here: only the meshes need it
    from dolfinx.io import gmshio

    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    if comm.rank == 0:
        build(gmsh)
        gmsh.model.mesh.generate(2)
    mesh, cell_tags, _ = gmshio.model_to_mesh(gmsh.model, comm, 0, gdim=2)
    gmsh.finalize()
    return mesh, cell_tags


class Wire:
    """A round wire of radius 1 mm, Jc = 1e8 A/m^2, in an air disc of twice
    its radius: its field is the line current's there, whatever the current
    density inside, so Ampere's boundary value is exact."""

    name = "wire"
    RADIUS = 1e-3  # m
    jc = 1e8  # A/m^2
    outer_radius = 2 * RADIUS  # m
    band = 0.1 * RADIUS  # m, |y| below it: the points of the profile across

    @staticmethod
    def norris(F):
        """Norris's loss per cycle of an elliptical (round) conductor, as a
        multiple of mu0 Ic^2 / pi."""
        return (1 - F) * np.log(1 - F) + (2 - F) * F / 2

    def mesh(self, comm, cells_across):
        """Cells of a radius / cells_across inside, growing to three times
        that at the air's rim."""
        a, h = self.RADIUS, self.RADIUS / cells_across

        def build(gmsh):
            occ = gmsh.model.occ
            wire, air = occ.addDisk(0, 0, 0, a, a), occ.addDisk(0, 0, 0, 2 * a, 2 * a)
            occ.fragment([(2, air)], [(2, wire)])
            occ.synchronize()
            for _, surface in gmsh.model.getEntities(2):
                inside = occ.getBoundingBox(2, surface)[3] < 1.5 * a
                gmsh.model.addPhysicalGroup(2, [surface], CONDUCTOR if inside else AIR)
            gmsh.model.mesh.setSizeCallback(
                lambda dim, tag, x, y, z: h * (1 + 2 * max(0.0, math.hypot(x, y) / a - 1))
            )

        return _gmsh_mesh(comm, build)


class Strip:
    """The coated conductor's superconducting layer: 4 mm by 1 um, Jc =
    2.8e10 A/m^2 (Ic = 112 A), in an air disc of 20 mm radius, five widths:
    there the strip's field differs from a line current's by (w/R)^2/48,
    1e-3 of it, and only in a quadrupole that barely reaches the strip."""

    name = "strip"
    WIDTH, THICKNESS = 4e-3, 1e-6  # m
    jc = 2.8e10  # A/m^2
    outer_radius = 5 * WIDTH  # m
    band = THICKNESS  # m: every point of the strip is on its profile
    # One layer of cells across the thickness: J hardly varies across 1 um,
    # and a short side of three points lets gmsh join them into a flat air
    # triangle once the cells along the width come near a micrometre.
    LAYERS = 1
    # gmsh's "Bump" progression along the width: cells 2.5 times shorter at
    # the edges, where the current fronts start and the field is singular,
    # than at the middle. The loss converges from above on meshes refined
    # harder at the edges (their middle cells too long), from below on
    # uniform ones; 240 cells across: +4.8 % with this grading, -8 %
    # uniform (at F = 0.6, n = 100).
    BUMP = 0.4

    @staticmethod
    def norris(F):
        """Norris's loss per cycle of a thin strip, as a multiple of mu0 Ic^2
        / pi."""
        return (1 - F) * np.log(1 - F) + (1 + F) * np.log(1 + F) - F**2

    def mesh(self, comm, cells_across):
        """A structured band of cells_across by LAYERS rectangles, each cut
        into two triangles, and air cells that grow from the strip's out to
        a fifth of a width at the rim."""
        w, t, R = self.WIDTH / 2, self.THICKNESS / 2, self.outer_radius

        def build(gmsh):
            geo = gmsh.model.geo
            corners = [geo.addPoint(x, y, 0) for x, y in ((-w, -t), (w, -t), (w, t), (-w, t))]
            sides = [geo.addLine(corners[k], corners[(k + 1) % 4]) for k in range(4)]
            edge = geo.addCurveLoop(sides)
            strip = geo.addPlaneSurface([edge])
            centre = geo.addPoint(0, 0, 0)
            rim = [
                geo.addPoint(R * math.cos(k * math.pi / 2), R * math.sin(k * math.pi / 2), 0, R / 5)
                for k in range(4)
            ]
            arcs = [geo.addCircleArc(rim[k], centre, rim[(k + 1) % 4]) for k in range(4)]
            air = geo.addPlaneSurface([geo.addCurveLoop(arcs), edge])
            for side in sides[0::2]:
                geo.mesh.setTransfiniteCurve(side, cells_across + 1, "Bump", self.BUMP)
            for side in sides[1::2]:
                geo.mesh.setTransfiniteCurve(side, self.LAYERS + 1)
            geo.mesh.setTransfiniteSurface(strip)
            geo.synchronize()
            gmsh.model.addPhysicalGroup(2, [strip], CONDUCTOR)
            gmsh.model.addPhysicalGroup(2, [air], AIR)

        return _gmsh_mesh(comm, build)


CONDUCTORS = {c.name: c for c in (Wire(), Strip())}


def rim_field_per_ampere(V):
    """H whose tangential values on the rim are those of one ampere
    enclosed, 1/(2 pi R) (Ampere's law; the values inside are never used):
    a rotation (-y, x) interpolated into V and scaled so that its
    circulation round the rim, which equals the integral of curl H over the
    disc in these elements, is exactly 1 A. The polygon of the rim is then
    no error in the current."""
    H = fem.Function(V)
    H.interpolate(lambda x: np.stack([-x[1], x[0]]))
    circulation = fem.assemble_scalar(fem.form(ufl.curl(H) * ufl.dx))
    H.x.array[:] /= V.mesh.comm.allreduce(circulation)
    return H


class TransportCurrent:
    """The conductor and its air disc at one resolution: H on first-order
    Nedelec elements, J_z = curl H, and the net current I(t) imposed by H's
    tangential values on the rim. law(jc, n, J_z) gives E_z and dE_z/dJ_z
    at the conductor's quadrature points; air is a conductor of constant
    resistivity. cycle_loss runs the backward-Euler steps of a cycle.

    solver: Newton's linear solver (femkit's names); the default is LU,
    MUMPS shared over the processes: the curl-curl operator's kernel, the
    gradients, defeats a nodal multigrid, and at these sizes (a few
    thousand to a few ten thousand edges) the factorisation is cheap."""

    def __init__(
        self, comm, conductor, cells_across, steps_per_cycle, law, air=AIR_RESISTIVITY, solver="lu"
    ):
        self.conductor, self.law, self.air, self.solver = conductor, law, air, solver
        self.steps_per_cycle, self.step = steps_per_cycle, 1 / (FREQUENCY * steps_per_cycle)
        self.domain, self.cell_tags = domain, cell_tags = conductor.mesh(comm, cells_across)
        V = fem.FunctionSpace(domain, ("N1curl", 1))
        self.unknowns = V.dofmap.index_map.size_global
        # curl H is constant on each (straight) cell: one point per cell
        self.points = points = QuadraturePoints(domain, degree=1)
        inside = np.zeros(len(points.cells), dtype=bool)
        tagged = cell_tags.find(CONDUCTOR)
        inside[tagged[tagged < len(inside)]] = True
        self.inside = np.repeat(inside[:, np.newaxis], len(points.points), axis=1)
        self.areas = points.areas()[self.inside]
        self.ic = conductor.jc * global_sum(comm, self.areas.sum())  # A, the conductor as meshed
        xy = points.values(ufl.SpatialCoordinate(domain)).reshape(self.inside.shape + (2,))
        self.xy = xy[self.inside]
        self.H, self.H_old = H, H_old = fem.Function(V, name="H"), fem.Function(V)
        self.E, self.dE_dJ = E, dE_dJ = points.function("E"), points.function("dE_dJ")
        dt = fem.Constant(domain, self.step)
        v, dH = ufl.TestFunction(V), ufl.TrialFunction(V)
        self.current_density = ufl.curl(H)
        # Faraday's law mu0 dH/dt + curl E = 0 against v, curl E moved onto
        # v (v's tangential values vanish on the rim); the mass term at its
        # own exact quadrature, E at the points of `points`.
        residual = MU0 / dt * ufl.inner(H - H_old, v) * ufl.dx + E * ufl.curl(v) * points.dx
        jacobian = (
            MU0 / dt * ufl.inner(dH, v) * ufl.dx + dE_dJ * ufl.curl(dH) * ufl.curl(v) * points.dx
        )
        domain.topology.create_connectivity(1, 2)
        rim = fem.locate_dofs_topological(V, 1, dmesh.exterior_facet_indices(domain.topology))
        self.per_ampere, self.applied = rim_field_per_ampere(V), fem.Function(V)
        bcs = [fem.dirichletbc(self.applied, rim)]
        self.newton = Newton(residual, jacobian, H, bcs, points, self.properties, solver=solver)
        self.jc, self.exponent = conductor.jc, None  # of the case under way
        self.J = self.E_z = None  # at the conductor's points, at the last evaluation

    def properties(self, H):
        """E_z and dE_z/dJ_z at every point: Orvandel's law in the
        conductor, in one call over its points, the air's resistivity
        outside."""
        J = self.points.values(self.current_density)
        self.J = J[self.inside]
        self.E_z, slope = self.law(self.jc, self.exponent, self.J)
        E, dE_dJ = self.air * J, np.full_like(J, self.air)
        E[self.inside], dE_dJ[self.inside] = self.E_z, slope
        return [(self.E, E), (self.dE_dJ, dE_dJ)]

    def dissipation(self):
        """The power dissipated in the conductor at the last evaluation, W/m."""
        return global_sum(self.domain.comm, self.areas @ (self.E_z * self.J))

    def cycle_loss(self, exponent, fraction, profiles=None, phases=10):
        """Loss per cycle and unit length, J/m, at n = exponent and I_m =
        fraction Ic: the energy dissipated in the conductor over the cycle
        after the first peak of the current (the virgin state lies behind
        it). Returns it with Newton's iterations of every step; appends
        (phase, rows of x, y, J_z) of the points within the conductor's band
        at `phases` phases of that cycle to profiles, if given (rows on
        process 0 only)."""
        H, H_old, steps = self.H, self.H_old, self.steps_per_cycle
        self.exponent = exponent
        H.x.array[:] = 0.0
        previous = H.x.array.copy()
        loss, iterations, first = 0.0, [], steps // 4
        band = np.abs(self.xy[:, 1]) < self.conductor.band
        for step in range(1, first + steps + 1):
            H_old.x.array[:] = H.x.array
            H.x.array[:] = 2 * H_old.x.array - previous  # extrapolated from the last two steps
            previous = H_old.x.array.copy()
            current = fraction * self.ic * math.sin(2 * math.pi * step / steps)
            self.applied.x.array[:] = current * self.per_ampere.x.array
            iterations.append(self.newton.solve())
            if step > first:
                loss += self.dissipation()
                if profiles is not None and (step - first) % (steps // phases) == 0:
                    rows = np.column_stack([self.xy[band], self.J[band]])
                    profiles.append(
                        (2 * math.pi * step / steps, gather_rows(self.domain.comm, rows))
                    )
        return loss * self.step, iterations
