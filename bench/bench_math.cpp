// Math hot paths beside GLM doing the same work in the same run: the 4 x 4 product (target:
// within 1.5x of GLM), vector x matrix, frustum classification per box (target: 10 ns) and
// the camera build (target: 1 us). Each loop runs over arrays of inputs so nothing folds away.
#include <benchmark/benchmark.h>

#include <glm/glm.hpp>
#include <glm/gtc/matrix_transform.hpp>
#include <random>
#include <vector>

#include "base/camera.h"
#include "base/cpu_features.h"
#include "base/math.h"

namespace {

const int COUNT = 256;

struct Inputs {
  std::vector<Mat4> a, b, out;
  std::vector<glm::mat4> ga, gb, gout;
  std::vector<Vec4> v;
  Inputs() : a(COUNT), b(COUNT), out(COUNT), ga(COUNT), gb(COUNT), gout(COUNT), v(COUNT) {
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> d(-2, 2);
    for (int i = 0; i < COUNT; i++) {
      for (int k = 0; k < 16; k++) a[i].m[k] = d(rng), b[i].m[k] = d(rng);
      for (int k = 0; k < 16; k++) ga[i][k / 4][k % 4] = a[i].m[k], gb[i][k / 4][k % 4] = b[i].m[k];
      v[i] = {d(rng), d(rng), d(rng), 1};
    }
  }
};

Inputs& inputs() {
  static Inputs in;
  return in;
}

void multiply_loop(benchmark::State& state) {
  Inputs& in = inputs();
  for (auto _ : state) {
    for (int i = 0; i < COUNT; i++) mat4_multiply(&in.a[i], &in.b[i], &in.out[i]);
    benchmark::DoNotOptimize(in.out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * COUNT);
}

void BM_Mat4Multiply(benchmark::State& state) {
  cpu_features_force_no_cpuid(0);
  state.SetLabel(cpu_has_sse() ? "sse" : "scalar");
  multiply_loop(state);
}
BENCHMARK(BM_Mat4Multiply);

void BM_Mat4MultiplyNoCpuid(benchmark::State& state) {
  cpu_features_force_no_cpuid(1);
  state.SetLabel("scalar");
  multiply_loop(state);
  cpu_features_force_no_cpuid(0);
}
BENCHMARK(BM_Mat4MultiplyNoCpuid);

// GLM's B * A is our A x B.
void BM_GlmMat4Multiply(benchmark::State& state) {
  Inputs& in = inputs();
  for (auto _ : state) {
    for (int i = 0; i < COUNT; i++) in.gout[i] = in.gb[i] * in.ga[i];
    benchmark::DoNotOptimize(in.gout.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * COUNT);
}
BENCHMARK(BM_GlmMat4Multiply);

void BM_Vec4Transform(benchmark::State& state) {
  Inputs& in = inputs();
  cpu_features_force_no_cpuid(0);
  std::vector<Vec4> out(COUNT);
  for (auto _ : state) {
    const Mat4* m = &in.a[0];
    for (int i = 0; i < COUNT; i++) out[i] = vec4_transform(in.v[i].x, in.v[i].y, in.v[i].z, in.v[i].w, m);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * COUNT);
}
BENCHMARK(BM_Vec4Transform);

void BM_GlmVec4Transform(benchmark::State& state) {
  Inputs& in = inputs();
  std::vector<glm::vec4> out(COUNT);
  for (auto _ : state) {
    const glm::mat4& m = in.ga[0];
    for (int i = 0; i < COUNT; i++) out[i] = m * glm::vec4(in.v[i].x, in.v[i].y, in.v[i].z, in.v[i].w);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * COUNT);
}
BENCHMARK(BM_GlmVec4Transform);

// Boxes scattered around a camera so that all three answers occur.
struct Scene {
  Camera camera;
  std::vector<Bounds> boxes;
  std::vector<glm::vec4> glm_planes;
  Scene() : boxes(4096) {
    camera_build(&camera, 10, 2, -5, 15, 40, 0, 60, 1, 500, 1280, 720);
    std::mt19937 rng(2);
    std::uniform_real_distribution<float> d(-300, 300), s(0.5f, 20);
    for (Bounds& b : boxes) {
      Vec3 c = {d(rng), d(rng) / 4, d(rng)};
      float h = s(rng);
      b = bounds_make({c.x - h, c.y - h, c.z - h}, {c.x + h, c.y + h, c.z + h});
    }
    for (const Plane& p : camera.planes) glm_planes.push_back({p.a, p.b, p.c, p.d});
  }
};

Scene& scene() {
  static Scene s;
  return s;
}

void BM_FrustumClassify(benchmark::State& state) {
  Scene& sc = scene();
  int sum = 0;
  for (auto _ : state) {
    for (const Bounds& b : sc.boxes) sum += frustum_classify(&sc.camera, &b);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)sc.boxes.size());
}
BENCHMARK(BM_FrustumClassify);

// The same centre / half-extent test written with GLM vectors, as a reference point.
void BM_GlmFrustumClassify(benchmark::State& state) {
  Scene& sc = scene();
  int sum = 0;
  for (auto _ : state) {
    for (const Bounds& b : sc.boxes) {
      glm::vec3 c(b.centre.x, b.centre.y, b.centre.z), h(b.half.x, b.half.y, b.half.z);
      int k = 2;
      for (const glm::vec4& p : sc.glm_planes) {
        float s = glm::dot(glm::vec3(p), c) + p.w, r = glm::dot(glm::abs(glm::vec3(p)), h);
        if (r + s <= 0) {
          k = 0;
          break;
        }
        if (s < r) k = 1;
      }
      sum += k;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * (int64_t)sc.boxes.size());
}
BENCHMARK(BM_GlmFrustumClassify);

void BM_CameraBuild(benchmark::State& state) {
  Camera camera;
  float angle = 0;
  for (auto _ : state) {
    angle += 0.25f;
    camera_build(&camera, 10, 2, -5, 15, angle, 0, 60, 1, 500, 1280, 720);
    benchmark::DoNotOptimize(&camera);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_CameraBuild);

// GLM building the same matrices and corners: perspective, view, product, inverse, corners.
void BM_GlmCameraEquivalent(benchmark::State& state) {
  float angle = 0;
  glm::vec3 corners[8];
  for (auto _ : state) {
    angle += 0.25f;
    glm::mat4 p = glm::perspective(glm::radians(60.0f), 1280.0f / 720.0f, 1.0f, 500.0f);
    glm::mat4 v = glm::rotate(glm::mat4(1), glm::radians(15.0f), {1, 0, 0}) *
                  glm::rotate(glm::mat4(1), glm::radians(-angle), {0, 1, 0}) *
                  glm::rotate(glm::mat4(1), 0.0f, {0, 0, 1}) * glm::translate(glm::mat4(1), {-10, -2, 5});
    glm::mat4 vp = p * v;
    glm::mat4 inv = glm::inverse(vp);
    for (int i = 0; i < 8; i++) {
      glm::vec4 c = inv * glm::vec4(i & 4 ? 1 : -1, i & 2 ? 1 : -1, i & 1 ? 1 : -1, 1);
      corners[i] = glm::vec3(c) / c.w;
    }
    benchmark::DoNotOptimize(corners);
    benchmark::DoNotOptimize(vp);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_GlmCameraEquivalent);

}  // namespace
