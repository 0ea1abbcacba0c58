#pragma once
// Closest points on triangles and segments, and triangle normals: the per-triangle geometry of
// the collision queries. Pure computation on caller-owned memory.
#include "base/math.h"

// The point of triangle a b c nearest to p (vertex, edge and face regions), with its
// barycentric weights (w[0] a + w[1] b + w[2] c) when weights is not null. A degenerate
// triangle still gives a point of its corners' hull.
Vec3 closest_point_on_triangle(Vec3 a, Vec3 b, Vec3 c, Vec3 p, float weights[3]);
// a + t (b - a) with t = ((p - a) . (b - a)) / |b - a|^2 clamped to 0..1; a when a == b.
Vec3 closest_point_on_segment(Vec3 a, Vec3 b, Vec3 p);
// (b - a) x (c - a) normalised; zero when its length is 0.0001 or less.
Vec3 triangle_normal(Vec3 a, Vec3 b, Vec3 c);
