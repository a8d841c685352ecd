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

# DOLFINx compiles forms on first use (cached after); the build log of each
# compilation reaches the root logger's handler at level INFO. Keep it quiet.
for _handler in logging.getLogger().handlers:
    _handler.setLevel(logging.WARNING)

MU0 = 4e-7 * math.pi  # H/m, the magnetic constant
