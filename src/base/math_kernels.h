#pragma once
// The variants behind the dispatched math routines, for the dispatchers, for later batch
// code that picks a variant once per batch, and for tests that compare variants. The SSE
// variants exist only on x86 (MATH_HAVE_SSE_KERNELS) and must only be called when
// cpu_has_sse() is set. Every variant computes out row i as
// a[i][0]*b.row0 + a[i][1]*b.row1 + a[i][2]*b.row2 + a[i][3]*b.row3, in that order.
#include "base/math.h"

// vec4_transform_scalar and vec4_transform_sse are declared in math.h.
void mat4_multiply_scalar(const Mat4* a, const Mat4* b, Mat4* out);

#if defined(__i386__) || defined(__x86_64__)
#define MATH_HAVE_SSE_KERNELS 1
void mat4_multiply_sse(const Mat4* a, const Mat4* b, Mat4* out);
#endif
