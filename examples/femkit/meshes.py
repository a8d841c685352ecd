"""Meshes of concentric regions, the geometry of the examples on circles."""
import numpy as np


def concentric_mesh(comm, regions, size):
    """A mesh of concentric regions about the origin, made by gmsh on process
    0 and shared out over comm. regions: (outer radius in m, cell tag) from
    the centre out, each region reaching from the radius before (the first a
    disc); a tag None leaves its region out of the mesh (a hole). size(r):
    the cell size at radius r, m. The cells are curved, second order, so that
    the circles are exact to second order. Returns the mesh and its cell
    tags."""
    import gmsh  # here: only the examples on circles need it
    from dolfinx.io import gmshio

    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    if comm.rank == 0:
        occ = gmsh.model.occ
        disks = [occ.addDisk(0, 0, 0, r, r) for r, _ in regions]
        occ.fragment([(2, disks[-1])], [(2, d) for d in disks[:-1]])
        occ.synchronize()
        tagged = {tag: [] for tag in sorted({tag for _, tag in regions if tag is not None})}
        for _, surface in gmsh.model.getEntities(2):
            reach = occ.getBoundingBox(2, surface)[3]  # the outer radius of the disc or ring
            tag = next(tag for r, tag in regions if np.isclose(reach, r))
            if tag is not None:
                tagged[tag].append(surface)
        for tag, surfaces in tagged.items():
            gmsh.model.addPhysicalGroup(2, surfaces, tag)
        gmsh.model.mesh.setSizeCallback(lambda dim, tag, x, y, z: size(np.hypot(x, y)))
        gmsh.model.mesh.generate(2)
        gmsh.model.mesh.setOrder(2)
    mesh, cell_tags, _ = gmshio.model_to_mesh(gmsh.model, comm, 0, gdim=2)
    gmsh.finalize()
    return mesh, cell_tags
