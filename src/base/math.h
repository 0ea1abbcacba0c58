#pragma once
// Single-precision 3D math shared by the renderer, world rendering, collision queries, the
// spatial index and the camera. The world is y-up. Matrices are sixteen floats read as four
// rows; vectors are row vectors multiplied on the left (v' = v x M), so A x B applies A
// first and the translation sits in m[12..14]. This memory layout goes to every backend
// unchanged.
#include <cstdint>

struct Vec3 {
  float x, y, z;
};
struct Vec4 {
  float x, y, z, w;
};
struct Mat4 {
  float m[16];
};
struct Quat {
  float x, y, z, w;
};

// Always kept consistent: size = |max - min|, half = size / 2, centre = min + (max - min) / 2.
struct Bounds {
  Vec3 min, max, half, centre, size;
};
static_assert(sizeof(Bounds) == 15 * sizeof(float));

// Origin, unit direction and the reciprocal of each direction component (1/0 = infinity).
struct Ray {
  Vec3 origin, direction, inverse;
};

// A point p is inside when a*px + b*py + c*pz + d > 0.
struct Plane {
  float a, b, c, d;
};

// Fills every field of a box from its corners.
static inline Bounds bounds_make(Vec3 min, Vec3 max) {
  Bounds b;
  b.min = min;
  b.max = max;
  float sx = max.x - min.x, sy = max.y - min.y, sz = max.z - min.z;
  b.size = {sx < 0 ? -sx : sx, sy < 0 ? -sy : sy, sz < 0 ? -sz : sz};
  b.half = {b.size.x / 2, b.size.y / 2, b.size.z / 2};
  b.centre = {min.x + sx / 2, min.y + sy / 2, min.z + sz / 2};
  return b;
}
