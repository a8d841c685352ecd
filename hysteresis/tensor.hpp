// Vectors, symmetric and general 3x3 tensors, and the few operations the
// models need. Every product is rounded before it is added and sums of three
// terms run left to right, so each entry's rounding is fixed by the code
// below. Values are built, never modified in place.
#ifndef ORVANDEL_TENSOR_HPP
#define ORVANDEL_TENSOR_HPP

#include <cmath>

#include "orvandel.h"

namespace orvandel {

// mu0 = 4 pi 1e-7 as a double, H/m.
inline constexpr double mu0 = 1.2566370614359173e-06;

inline Vec3 vec3(double x, double y, double z) { return Vec3{x, y, z}; }
inline Vec3 vec3_add(Vec3 a, Vec3 b) { return vec3(a.x + b.x, a.y + b.y, a.z + b.z); }
inline Vec3 vec3_sub(Vec3 a, Vec3 b) { return vec3(a.x - b.x, a.y - b.y, a.z - b.z); }
inline Vec3 vec3_scale(double s, Vec3 a) { return vec3(a.x * s, a.y * s, a.z * s); }
inline double vec3_dot(Vec3 a, Vec3 b) { return (a.x * b.x + a.y * b.y) + a.z * b.z; }
inline double vec3_norm(Vec3 a) { return std::sqrt(vec3_dot(a, a)); }

inline Sym3 sym_new(double xx, double xy, double xz, double yy, double yz, double zz) {
  return Sym3{xx, xy, xz, yy, yz, zz};
}
inline Sym3 sym_zero() { return sym_new(0.0, 0.0, 0.0, 0.0, 0.0, 0.0); }
inline Sym3 sym_identity() { return sym_new(1.0, 0.0, 0.0, 1.0, 0.0, 1.0); }
inline Sym3 sym_sub(Sym3 a, Sym3 b) {
  return sym_new(a.xx - b.xx, a.xy - b.xy, a.xz - b.xz, a.yy - b.yy, a.yz - b.yz, a.zz - b.zz);
}
inline Sym3 sym_scale(double s, Sym3 a) {
  return sym_new(a.xx * s, a.xy * s, a.xz * s, a.yy * s, a.yz * s, a.zz * s);
}
// v v^T
inline Sym3 sym_square_dyadic(Vec3 v) {
  return sym_new(v.x * v.x, v.x * v.y, v.x * v.z, v.y * v.y, v.y * v.z, v.z * v.z);
}
// I - v v^T/|v|^2, the projector onto the plane normal to v, for the given
// |v|: the factor is formed as 1/(|v| |v|), not from a dot product.
inline Sym3 sym_normal_projector(Vec3 v, double length) {
  return sym_sub(sym_identity(), sym_scale(1.0 / (length * length), sym_square_dyadic(v)));
}

inline Ten3 ten_new(double xx, double xy, double xz, double yx, double yy, double yz, double zx,
                    double zy, double zz) {
  return Ten3{xx, xy, xz, yx, yy, yz, zx, zy, zz};
}
inline Ten3 ten_identity() { return ten_new(1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0); }
inline Ten3 ten_add(Ten3 a, Ten3 b) {
  return ten_new(a.xx + b.xx, a.xy + b.xy, a.xz + b.xz, a.yx + b.yx, a.yy + b.yy, a.yz + b.yz,
                 a.zx + b.zx, a.zy + b.zy, a.zz + b.zz);
}
inline Ten3 ten_scale(double s, Ten3 t) {
  return ten_new(t.xx * s, t.xy * s, t.xz * s, t.yx * s, t.yy * s, t.yz * s, t.zx * s, t.zy * s,
                 t.zz * s);
}
// The full tensor of s minus t.
inline Ten3 ten_sub_symm(Sym3 s, Ten3 t) {
  return ten_new(s.xx - t.xx, s.xy - t.xy, s.xz - t.xz, s.xy - t.yx, s.yy - t.yy, s.yz - t.yz,
                 s.xz - t.zx, s.yz - t.zy, s.zz - t.zz);
}
// a b^T: row i is a_i times b.
inline Ten3 ten_dyadic(Vec3 a, Vec3 b) {
  return ten_new(a.x * b.x, a.x * b.y, a.x * b.z, a.y * b.x, a.y * b.y, a.y * b.z, a.z * b.x,
                 a.z * b.y, a.z * b.z);
}
inline Ten3 ten_from_symmetric(Sym3 s) {
  return ten_new(s.xx, s.xy, s.xz, s.xy, s.yy, s.yz, s.xz, s.yz, s.zz);
}

// Row i of a symmetric tensor, which is also its column i.
inline Vec3 sym_row_x(Sym3 s) { return vec3(s.xx, s.xy, s.xz); }
inline Vec3 sym_row_y(Sym3 s) { return vec3(s.xy, s.yy, s.yz); }
inline Vec3 sym_row_z(Sym3 s) { return vec3(s.xz, s.yz, s.zz); }

// The matrix product a b, a on the left. Entry ij is row i of a dotted with
// column j of b, (a_i1 b_1j + a_i2 b_2j) + a_i3 b_3j. Not symmetric unless a
// and b commute, hence a general tensor.
inline Ten3 sym_product(Sym3 a, Sym3 b) {
  const Vec3 ax = sym_row_x(a), ay = sym_row_y(a), az = sym_row_z(a);
  const Vec3 bx = sym_row_x(b), by = sym_row_y(b), bz = sym_row_z(b);
  return ten_new(vec3_dot(ax, bx), vec3_dot(ax, by), vec3_dot(ax, bz), vec3_dot(ay, bx),
                 vec3_dot(ay, by), vec3_dot(ay, bz), vec3_dot(az, bx), vec3_dot(az, by),
                 vec3_dot(az, bz));
}

}  // namespace orvandel

#endif
