"""Meshes of concentric regions, the geometry of the examples on circles and
spheres."""
import numpy as np


def concentric_mesh(comm, regions, size, dimension=2):
    """A mesh of concentric regions about the origin, made by gmsh on process
    0 and shared out over comm: discs and rings, or in 3-D balls and shells.
    regions: (outer radius in m, cell tag) from the centre out, each region
    reaching from the radius before (the first a disc or ball); a tag None
    leaves its region out of the mesh (a hole). size(r): the cell size at
    radius r, m. The cells are curved, second order, so that the circles and
    spheres are exact to second order. Returns the mesh and its cell tags."""
    import gmsh  # here: only the examples on circles need it
    from dolfinx.io import gmshio

    gmsh.initialize()
    gmsh.option.setNumber("General.Terminal", 0)
    if comm.rank == 0:
        occ = gmsh.model.occ
        if dimension == 2:
            balls = [occ.addDisk(0, 0, 0, r, r) for r, _ in regions]
        else:
            balls = [occ.addSphere(0, 0, 0, r) for r, _ in regions]
        occ.fragment([(dimension, balls[-1])], [(dimension, b) for b in balls[:-1]])
        occ.synchronize()
        tagged = {tag: [] for tag in sorted({tag for _, tag in regions if tag is not None})}
        for _, region in gmsh.model.getEntities(dimension):
            # the outer radius of the disc, ring, ball or shell (gmsh's box may
            # exceed a sphere's by a relative 1e-7)
            reach = occ.getBoundingBox(dimension, region)[3]
            tag = next(tag for r, tag in regions if np.isclose(reach, r, rtol=1e-5))
            if tag is not None:
                tagged[tag].append(region)
        for tag, members in tagged.items():
            gmsh.model.addPhysicalGroup(dimension, members, tag)
        # hypot(hypot(x, y), 0) is hypot(x, y) to the bit: the same meshes in the plane
        gmsh.model.mesh.setSizeCallback(lambda dim, tag, x, y, z: size(np.hypot(np.hypot(x, y), z)))
        gmsh.model.mesh.generate(dimension)
        gmsh.model.mesh.setOrder(2)
    mesh, cell_tags, _ = gmshio.model_to_mesh(gmsh.model, comm, 0, gdim=dimension)
    gmsh.finalize()
    return mesh, cell_tags
