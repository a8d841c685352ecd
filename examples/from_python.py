"""The libraries from Python: a property over a range, a failure caught, and
the vector hysteresis model over two periods. Writes from-python.png (or the
file given as the first argument)."""
import sys

import matplotlib
import numpy as np

import materials

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402  (after choosing the file backend)

# Thermal conductivity of copper, 4 K to 300 K, for three purities at once
# (RRR 30 lies below the reference fits' 50 to 500: a warning says so).
T = np.geomspace(4, 300, 200)
RRR = np.array([[30], [100], [300]])
k = materials.Daskelt(T, RRR=RRR)  # shape (3, 200), W/(m K)

# The aluminium fit refuses 350 K: the error says where, why and what was computed.
try:
    materials.Pellucer([10, 77, 350], m=2700)
except materials.EvalError as error:
    print(f"{error.message} at point {error.index}: {error.inputs}; computed {error.values}")

# The vector hysteresis model under an alternating field, with the package's
# example cells: print(materials.orvandel.EXAMPLE_CELLS) shows them.
model = materials.VectorHysteresis(**materials.orvandel.EXAMPLE_CELLS)
h = 1000 * np.sin(2 * np.pi * np.arange(1, 401) / 200)  # A/m: two periods of 10 s
B = []
for hx in h:
    flux, permeability = model.evaluate([hx, 0, 0])  # solve with them, then
    model.accept([hx, 0, 0])  # advance the history
    B.append(flux[0])

figure, (left, right) = plt.subplots(1, 2, figsize=(10, 4), constrained_layout=True)
for row, rrr in zip(k, RRR.ravel()):
    left.loglog(T, row, label=f"RRR {rrr}")
left.set(xlabel="T [K]", ylabel="k [W/(m K)]", title="Copper: materials.Daskelt")
left.legend()
right.plot(h, np.array(B) * 1e3)
right.set(xlabel="h [A/m]", ylabel="B [mT]", title="materials.VectorHysteresis, two periods")
figure.savefig(sys.argv[1] if len(sys.argv) > 1 else "from-python.png", dpi=100)
