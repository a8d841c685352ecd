"""The quadrature the examples integrate with: a Gauss rule over an interval
of T, for the enthalpy as the integral of a heat capacity, and the
quadrature points of a mesh's cells, where the material properties are
evaluated."""
import basix
import numpy as np
import ufl
from dolfinx import fem

# Gauss-Legendre nodes and weights of three points on [0, 1]: exact for
# polynomials up to degree 5, such as the quartic pieces of a heat-capacity
# fit over T.
_LEGENDRE_NODES, _LEGENDRE_WEIGHTS = np.polynomial.legendre.leggauss(3)  # on [-1, 1]
GAUSS_NODES, GAUSS_WEIGHTS = (_LEGENDRE_NODES + 1) / 2, _LEGENDRE_WEIGHTS / 2


def gauss_rule(low, high, pieces):
    """The three-point Gauss rule on `pieces` equal parts of [low, high]
    (arrays of one shape, or numbers): its nodes, shape (3 pieces,) + the
    bounds' shape, and weights, such that the integral of f from low to
    high is (high - low) times np.tensordot(weights, f(nodes), axes=1)."""
    fractions = ((np.arange(pieces)[:, None] + GAUSS_NODES) / pieces).ravel()
    return low + np.multiply.outer(fractions, high - low), np.tile(GAUSS_WEIGHTS / pieces, pieces)


class QuadraturePoints:
    """The quadrature points of a mesh's owned cells, and functions that hold
    one value per point (a "Quadrature" element) for forms integrated with
    the measure `dx` at the same points.

    values(expression) evaluates a UFL expression at every point in one call,
    as an array (cells, points per cell); store(function, array) puts such an
    array into a quadrature function; areas() is the area (in 3-D the
    volume) each point stands for.

    Only the owned cells' points are ever written: a quadrature function
    enters nothing but cell integrals with its own rule, and those run over
    the owned cells, so the points of ghost cells are never read and need no
    update from their owners."""

    def __init__(self, mesh, degree):
        cell = mesh.ufl_cell()
        self.points, self.weights = basix.make_quadrature(
            basix.cell.string_to_type(cell.cellname()), degree
        )
        element = ufl.FiniteElement("Quadrature", cell, degree, quad_scheme="default")
        self.space = fem.FunctionSpace(mesh, element)
        self.dx = ufl.dx(
            domain=mesh, metadata={"quadrature_degree": degree, "quadrature_scheme": "default"}
        )
        owned = mesh.topology.index_map(mesh.topology.dim).size_local
        self.cells = np.arange(owned, dtype=np.int32)
        self.dofs = self.space.dofmap.list.array.reshape(-1, len(self.points))[:owned]
        # The owned cells' points usually come first, cell by cell: a block
        # of values then goes in by one contiguous copy.
        self._in_order = np.array_equal(self.dofs.ravel(), np.arange(self.dofs.size))
        self._expressions = {}

    def function(self, name):
        return fem.Function(self.space, name=name)

    def values(self, expression):
        compiled = self._expressions.get(expression)
        if compiled is None:
            compiled = self._expressions[expression] = fem.Expression(expression, self.points)
        return compiled.eval(self.cells)

    def store(self, function, values):
        if self._in_order:
            function.x.array[: self.dofs.size] = values.reshape(-1)
        else:
            function.x.array[self.dofs] = values

    def areas(self):
        """Each point's quadrature weight times |det J| of its cell's map
        (cells, points): sums over points are integrals with `dx`."""
        return self.values(abs(ufl.JacobianDeterminant(self.space.mesh))) * self.weights
