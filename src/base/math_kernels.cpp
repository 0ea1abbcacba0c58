#include "base/math_kernels.h"

#include "base/cpu_features.h"

#if MATH_HAVE_SSE_KERNELS
#include <xmmintrin.h>
#define SSE_TARGET __attribute__((target("sse")))
#endif

void mat4_multiply_scalar(const Mat4* a, const Mat4* b, Mat4* out) {
  const float* x = a->m;
  const float* y = b->m;
  for (int i = 0; i < 4; i++) {
    const float* r = x + 4 * i;
    for (int j = 0; j < 4; j++)
      out->m[4 * i + j] = r[0] * y[j] + r[1] * y[4 + j] + r[2] * y[8 + j] + r[3] * y[12 + j];
  }
}

#if MATH_HAVE_SSE_KERNELS
SSE_TARGET void mat4_multiply_sse(const Mat4* a, const Mat4* b, Mat4* out) {
  const float* y = b->m;
  __m128 b0 = _mm_loadu_ps(y), b1 = _mm_loadu_ps(y + 4), b2 = _mm_loadu_ps(y + 8), b3 = _mm_loadu_ps(y + 12);
  for (int i = 0; i < 4; i++) {
    const float* r = a->m + 4 * i;
    __m128 row = _mm_mul_ps(_mm_set1_ps(r[0]), b0);
    row = _mm_add_ps(row, _mm_mul_ps(_mm_set1_ps(r[1]), b1));
    row = _mm_add_ps(row, _mm_mul_ps(_mm_set1_ps(r[2]), b2));
    row = _mm_add_ps(row, _mm_mul_ps(_mm_set1_ps(r[3]), b3));
    _mm_storeu_ps(out->m + 4 * i, row);
  }
}

#if MATH_HAVE_OUTLINE_SSE
SSE_TARGET Vec4 vec4_transform_sse(float x, float y, float z, float w, const Mat4* m) {
  const float* r = m->m;
  __m128 v = _mm_mul_ps(_mm_set1_ps(x), _mm_loadu_ps(r));
  v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(y), _mm_loadu_ps(r + 4)));
  v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(z), _mm_loadu_ps(r + 8)));
  v = _mm_add_ps(v, _mm_mul_ps(_mm_set1_ps(w), _mm_loadu_ps(r + 12)));
  Vec4 out;
  _mm_storeu_ps(&out.x, v);
  return out;
}
#endif
#endif

void mat4_multiply(const Mat4* a, const Mat4* b, Mat4* out) {
#if MATH_HAVE_SSE_KERNELS
  if (cpu_has_sse()) {
    mat4_multiply_sse(a, b, out);
    return;
  }
#endif
  mat4_multiply_scalar(a, b, out);
}
