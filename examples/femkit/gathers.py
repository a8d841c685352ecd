"""Sums and fields gathered over the MPI processes."""
import numpy as np
from mpi4py import MPI


def gather_dofs(function):
    """(coordinates (points, 2), values) of the owned degrees of freedom of a
    scalar function, from every process, on process 0 (None elsewhere)."""
    space = function.function_space
    owned = space.dofmap.index_map.size_local
    local = (space.tabulate_dof_coordinates()[:owned, :2], function.x.array[:owned].copy())
    parts = space.mesh.comm.gather(local, root=0)
    if parts is None:
        return None
    return np.concatenate([p[0] for p in parts]), np.concatenate([p[1] for p in parts])


def global_sum(comm, value):
    return comm.allreduce(float(value), op=MPI.SUM)


def gather_rows(comm, array):
    """The rows of every process's array, on process 0 (None elsewhere)."""
    parts = comm.gather(array, root=0)
    return None if parts is None else np.concatenate(parts)
