"""Published reference data for the material fits, grouped by source, each
with its unit and range. These are the numbers the validation report
compares the libraries with; nothing here comes from the libraries.

Each fit comes with its values at a few temperatures, to four digits, so
that a slip in copying a coefficient shows up as a failed check rather than
as a moved curve in the report."""
import math

# ---- Copper, thermal conductivity: fits by RRR.
#   log10 k = (a + c T^0.5 + e T + g T^1.5 + i T^2) / (1 + b T^0.5 + d T + f T^1.5 + h T^2)
# k in W/(m K), T in K, 4 K to 300 K. Each row: the fit's stated error
# against its data, then its coefficients.
COPPER_CONDUCTIVITY_SOURCE = (
    'NIST Cryogenics Technologies Group, "Material Properties: '
    'OFHC Copper (UNS C10100/C10200)", thermal conductivity'
)
COPPER_CONDUCTIVITY_RANGE_K = (4.0, 300.0)
# RRR: (stated error, (a, b, c, d, e, f, g, h, i))
COPPER_CONDUCTIVITY = {
    50: (
        0.02,
        (1.8743, -0.41538, -0.6018, 0.13294, 0.26426, -0.0219, -0.051276, 0.0014871, 0.003723),
    ),
    100: (
        0.01,
        (2.2154, -0.47461, -0.88068, 0.13871, 0.29505, -0.02043, -0.04831, 0.001281, 0.003207),
    ),
    150: (
        0.02,
        (2.3797, -0.4918, -0.98615, 0.13942, 0.30475, -0.019713, -0.046897, 0.0011969, 0.0029988),
    ),
    300: (0.01, (1.357, 0.3981, 2.669, -0.1346, -0.6683, 0.01342, 0.05773, 0.0002147, 0.0)),
    500: (
        0.02,
        (2.8075, -0.54074, -1.2777, 0.15362, 0.36444, -0.02105, -0.051727, 0.0012226, 0.0030964),
    ),
}
# Values of the RRR 100 fit: (T in K, k in W/(m K)).
COPPER_CONDUCTIVITY_CHECKS_RRR100 = (
    (4, 642.3),
    (10, 1540),
    (20, 2423),
    (40, 1485),
    (77, 547.2),
    (100, 461.5),
    (300, 396.3),
)


# ---- Copper and 6061-T6 aluminium, specific heat, both of the form
#   log10 c_p = sum_k a_k (log10 T)^k,   c_p in J/(kg K), T in K, 4 K to 300 K.
COPPER_SPECIFIC_HEAT_SOURCE = (
    'NIST Cryogenics Technologies Group, "Material Properties: '
    'OFHC Copper (UNS C10100/C10200)", specific heat'
)
COPPER_SPECIFIC_HEAT_RANGE_K = (4.0, 300.0)
COPPER_SPECIFIC_HEAT = (
    -1.91844,
    -0.15973,
    8.61013,
    -18.996,
    21.9661,
    -12.7328,
    3.54322,
    -0.3797,
    0.0,
)
# The stated fit error, by range: (from T in K, error).
COPPER_SPECIFIC_HEAT_ERROR = ((4.0, 0.10), (15.0, 0.05))
COPPER_SPECIFIC_HEAT_CHECKS = ((4.2, 0.1093), (20, 7.506), (77, 195.9), (300, 389.4))

AL6061_SPECIFIC_HEAT_SOURCE = (
    'NIST Cryogenics Technologies Group, "Material Properties: '
    '6061-T6 Aluminum (UNS A96061)", specific heat'
)
AL6061_SPECIFIC_HEAT_RANGE_K = (4.0, 300.0)
AL6061_SPECIFIC_HEAT = (
    46.6467,
    -314.292,
    866.662,
    -1298.3,
    1162.27,
    -637.795,
    210.351,
    -38.3094,
    2.96344,
)
AL6061_SPECIFIC_HEAT_ERROR = 0.05
AL6061_SPECIFIC_HEAT_CHECKS = ((4, 0.2920), (300, 953.9))


# ---- Copper, density at room temperature: turns the specific heat per
# kilogram into a heat capacity per volume.
COPPER_DENSITY_SOURCE = (
    'CRC Handbook of Chemistry and Physics, "Physical Constants of Inorganic Compounds"'
)
COPPER_DENSITY = 8960.0  # kg/m^3

# ---- Aluminium, electrical resistivity of the high-purity metal (Desai et
# al.: "Electrical Resistivity of Aluminum and Manganese"); stated
# uncertainty about 2-5 %. Below about 40 K the values depend on purity
# (residual resistivity). The values from 400 K up are indicative: they were
# not checked again against the table.
ALUMINIUM_RESISTIVITY_SOURCE = (
    'CRC Handbook of Chemistry and Physics, "Electrical Resistivity '
    'of Pure Metals", after P. D. Desai, H. M. James, C. Y. Ho, '
    "J. Phys. Chem. Ref. Data 13 (1984) 1131"
)
ALUMINIUM_RESISTIVITY_UNIT = 1e-8  # ohm m: the table is in 10^-8 ohm m
#                       T in K, rho in 10^-8 ohm m
ALUMINIUM_RESISTIVITY = (
    (40, 0.0181),
    (60, 0.0959),
    (80, 0.245),
    (100, 0.442),
    (150, 1.006),
    (200, 1.587),
    (273, 2.417),
    (293, 2.650),
    (300, 2.733),
    (400, 3.87),
    (500, 4.99),
    (600, 6.13),
    (700, 7.35),
    (800, 8.70),
    (900, 10.18),
)
ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K = 400.0
ALUMINIUM_RESISTIVITY_PURITY_BELOW_K = 40.0
ALUMINIUM_MELTING_POINT_SOURCE = "the freezing point of aluminium, a fixed point of ITS-90"
ALUMINIUM_MELTING_POINT_K = 933.473

# ---- Iron, saturation: the room-temperature saturation magnetisation
# M_s = 1714 emu/cm^3 = 1.714 MA/m gives the saturation polarization
# J_s = mu0 M_s = 2.15 T. Far above the knee, B - mu0 H of iron or
# low-carbon steel approaches it from below.
IRON_SATURATION_SOURCE = (
    'B. D. Cullity, C. D. Graham, "Introduction to Magnetic Materials", ' "2nd ed., 2009, table 4.2"
)
MU0 = 4e-7 * math.pi  # H/m, the magnetic constant
IRON_SATURATION_MAGNETISATION = 1.714e6  # A/m, room temperature
IRON_SATURATION_POLARIZATION = MU0 * IRON_SATURATION_MAGNETISATION  # T
