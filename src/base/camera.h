#pragma once
// The camera record that the view set-up fills once per frame and that culling and drawing
// read: a perspective projection looking down -z with depth mapped to -1..1, the world to
// camera view, their product, the six frustum planes in world space (normalised, normals
// pointing inwards, order right, left, bottom, top, near, far), the eight frustum corners,
// their bounds and the view's axes. Pure computation on the caller's record; a height below
// 1 counts as 1, a near plane not above 0 (or not finite) counts as 0.1 and a far distance not
// beyond near is moved just beyond it, so the record never holds a division by zero of the
// caller's making.
#include "base/math.h"

struct Camera {
  Mat4 projection;
  Mat4 view;             // world -> camera
  Mat4 view_projection;  // view x projection
  Plane planes[6];
  // Clip-space corners (x, y, z from -1 to 1, z fastest, then y, then x) in world space.
  Vec3 corners[8];
  Bounds frustum_bounds;
  // Columns 2, 1 and 0 of the view matrix, normalised; (0, 0, 0) when a column is <= 0.0001.
  Vec3 axis_z;
  Vec3 axis_y;
  Vec3 axis_x;
};

// Position (x, y, z); the view turns by angle_z about z, then -angle_y about y, then angle_x
// about x, all in degrees; fov_degrees is the full vertical field of view.
void camera_build(Camera* camera, float x, float y, float z, float angle_x, float angle_y, float angle_z,
                  float fov_degrees, float near, float far, float width, float height);

// 0 when the box lies wholly outside one plane, else 1.
int frustum_touches(const Camera* camera, const Bounds* bounds);
// 0 outside, 2 completely inside every plane, 1 crossing.
int frustum_classify(const Camera* camera, const Bounds* bounds);
