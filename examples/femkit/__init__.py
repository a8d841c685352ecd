"""The parts the finite-element examples share, one job per module:

- run: the run, its command line, clocks, output files, checks and closing
  line;
- plots: temperature maps;
- quadrature: the Gauss rule over T and the quadrature points of a mesh;
- meshes: concentric regions by gmsh;
- newton: Newton's method with its line search, and the linear solver;
- gathers: sums and fields gathered over the MPI processes.

Each MPI process runs the whole example on its part of the mesh (the slab:
on its share of the cases) and loads its own copy of each library; only
process 0 prints and writes files."""
import logging
import math
import warnings

import dolfinx  # noqa: F401 (sets up the logging handler quieted below)

import materials

# DOLFINx compiles forms on first use (cached after); the build log of each
# compilation reaches the root logger's handler at level INFO. Keep it quiet.
for _handler in logging.getLogger().handlers:
    _handler.setLevel(logging.WARNING)

# Solvers evaluate the laws where their fits mean nothing physically: Newton's
# trial iterates (the quench's first, from 4.2 K where copper holds almost no
# heat, reach 1400 K) and the brackets of the iron ring's inversion of B(H)
# (from H = B/mu0, up to 1e8 A/m). Each example judges its converged result by
# its checks against closed forms, so the package's warning for points outside
# a fit's meaningful range stays off here.
warnings.simplefilter("ignore", materials.OutsideMeaningfulRange)

MU0 = 4e-7 * math.pi  # H/m, the magnetic constant
