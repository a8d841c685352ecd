"""The magnetostatic field solve of the magnetostatics examples: the scalar
potential on a mesh of iron and air, in the plane or in space, with a vector
hysteresis model at the iron's quadrature points, each point with its own
history."""
import numpy as np
import ufl
from dolfinx import fem

from femkit import MU0
from femkit.gathers import gather_rows, global_sum
from femkit.meshes import concentric_mesh
from femkit.newton import Newton
from femkit.quadrature import QuadraturePoints

IRON, AIR = 1, 2  # cell tags


def iron_in_air(comm, hole, iron_outer, outer, cell_size, dimension=2):
    """Iron from radius hole (0: a full disc or ball) to iron_outer, air from
    there to outer; cells of cell_size in the iron, growing outwards."""
    return concentric_mesh(
        comm,
        [(hole, None)] * (hole > 0) + [(iron_outer, IRON), (outer, AIR)],
        lambda r: cell_size * max(1.0, 1 + 2 * (r - iron_outer) / iron_outer),
        dimension,
    )


def in_3d(vectors):
    """(..., 2) -> (..., 3) with z = 0; (..., 3) as it is."""
    missing = 3 - vectors.shape[-1]
    return np.concatenate([vectors, np.zeros(vectors.shape[:-1] + (missing,))], axis=-1)


class FieldSolve:
    """phi on a mesh of iron and air (2-D or 3-D) for the source field
    `source` (UFL), with the history of material's model at the iron's
    quadrature points; Newton's Jacobian from dB/dh if exact, else from
    mu0 I. In the plane the model sees h_z = 0 and only the in-plane block
    of dB/dh enters; in space all six entries of the symmetric dB/dh do."""

    def __init__(self, run, material, exact, domain, cell_tags, outer, source, cell_size):
        self.run, self.material, self.exact = run, material, exact
        self.points = points = QuadraturePoints(domain, degree=2)
        V = fem.FunctionSpace(domain, ("Lagrange", 2))
        self.phi = fem.Function(V, name="phi")
        self.field = source - ufl.grad(self.phi)
        self.dimension = dimension = domain.geometry.dim
        axes = "xyz"[:dimension]
        self.B = [points.function(f"B_{i}") for i in axes]
        self.dB_dh = [[points.function(f"dB{i}_dh{j}") for j in axes] for i in axes]
        v, dphi = ufl.TestFunction(V), ufl.TrialFunction(V)
        residual = -ufl.inner(ufl.as_vector(self.B), ufl.grad(v)) * points.dx
        jacobian = (
            ufl.inner(ufl.dot(ufl.as_matrix(self.dB_dh), ufl.grad(dphi)), ufl.grad(v)) * points.dx
        )
        boundary = fem.locate_dofs_geometrical(
            V, lambda x: np.linalg.norm(x[:dimension], axis=0) > outer - 1e-3 * cell_size
        )
        iron_cells = np.isin(points.cells, cell_tags.indices[cell_tags.values == IRON])
        self.iron = np.broadcast_to(iron_cells[:, None], points.dofs.shape)
        self.xy = self.at_points(ufl.SpatialCoordinate(domain))  # m, every point
        self.area = points.areas()[self.iron]  # m^2 (3-D: m^3), the iron's points
        self.count = run.comm.allreduce(self.area.size)
        self.newton = Newton(
            residual,
            jacobian,
            self.phi,
            [fem.dirichletbc(0.0, boundary, V)],
            points,
            self.properties,
            max_iterations=50 if exact else 500,
            solver=run.solver,
        )
        self.cells = self.model = None
        self.evaluations = 0  # of the model, by Newton and its line search

    def at_points(self, expression):
        """A vector expression at every point: (cells, points, dimension)."""
        return self.points.values(expression).reshape(self.points.dofs.shape + (self.dimension,))

    def flux_density(self):
        """B as Newton's last evaluation left it, at every point: (cells,
        points, dimension)."""
        return np.stack([f.x.array[self.points.dofs] for f in self.B], axis=-1)

    def properties(self, phi):
        """B and dB/dh at every point: mu0 h and mu0 I in the air, the model
        at the accepted history in the iron."""
        h = self.at_points(self.field)
        B = MU0 * h
        d = self.dimension
        dB_dh = np.broadcast_to(MU0 * np.eye(d), h.shape + (d,)).copy()
        B_iron, dB_dh_iron = self.material.evaluate(self.model, in_3d(h[self.iron]))
        self.evaluations += 1
        B[self.iron] = B_iron[:, :d]
        if self.exact:
            dB_dh[self.iron] = dB_dh_iron[:, :d, :d]
        return [(f, B[..., i]) for i, f in enumerate(self.B)] + [
            (f, dB_dh[..., i, j]) for i, row in enumerate(self.dB_dh) for j, f in enumerate(row)
        ]

    def start(self, cells):
        """phi = 0 and the virgin state of `cells` at every point."""
        self.phi.x.array[:] = 0.0
        self.cells = cells
        self.model = self.material.model(cells, shape=self.area.size)

    def advance(self):
        """One time step: Newton from the last step's phi, then the history
        advanced at the converged field (Newton's last evaluation is at its
        last iterate). Returns Newton's iterations, the iron's h and B
        (points, dimension), and the energy the cells dissipated in the step
        (in 2-D per unit length, J/m; in 3-D J)."""
        run = self.run
        with run.solving():
            iterations = self.newton.solve()
            h = self.at_points(self.field)[self.iron]
            before = self.model.hrev.copy()
            self.material.accept(self.model, in_3d(h))
            after = self.model.hrev
        # each cell: mu0 w_k (h - H_k) . (H_k - H_k'), per unit volume
        per_point = MU0 * np.einsum(
            "k,pki,pki->p", self.cells["weight"], in_3d(h)[:, None, :] - after, after - before
        )
        return (
            iterations,
            h,
            self.flux_density()[self.iron],
            global_sum(run.comm, per_point @ self.area),
        )

    def field_map(self):
        """(x, y, B_x, B_y) at every point of every process, on process 0."""
        return gather_rows(
            self.run.comm, np.concatenate([self.xy, self.flux_density()], axis=-1).reshape(-1, 4)
        )
