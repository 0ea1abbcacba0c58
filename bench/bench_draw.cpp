// Draw submission and the GL backends' CPU work, each beside a reference measured in the same
// run: appends against a plain copy of the same bytes, the transform kernel against a GLM
// loop, colour conversion against a plain copy, and the state-shadow check of a draw with
// unchanged state (counted GL calls: none) against a draw through the null backend.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <glm/glm.hpp>
#include <vector>

#include "platform/gl_context.h"
#include "platform/window.h"
#include "render/draw.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_api.h"
#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_draw.h"

namespace {

RenderVertex vertex(float i) {
  RenderVertex v{};
  v.x = i;
  v.y = i * 0.5f;
  v.z = -i;
  v.colour = 0xFF804020u;
  return v;
}

struct Started {
  Started() { draw_startup(); }
  ~Started() { draw_shutdown(); }
};

void BM_AppendTriangles(benchmark::State& state) {
  Started s;
  RenderVertex a = vertex(1), b = vertex(2), c = vertex(3);
  for (auto _ : state) {
    draw_reset();
    for (int i = 0; i < 1000; i++) draw_add_triangle(&a, &b, &c);
    benchmark::DoNotOptimize(draw_record()->source_vertices);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  state.counters["ns_per_triangle"] = benchmark::Counter(
      state.iterations() * 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AppendTriangles);

void BM_AppendStrip(benchmark::State& state) {
  Started s;
  std::vector<RenderVertex> v;
  for (int i = 0; i < 1002; i++) v.push_back(vertex((float)i));
  for (auto _ : state) {
    draw_reset();
    draw_add_strip(v.data(), 1002);
    benchmark::DoNotOptimize(draw_record()->source_vertices);
  }
  state.SetItemsProcessed(state.iterations() * 1000);
  state.counters["ns_per_triangle"] = benchmark::Counter(
      state.iterations() * 1000.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AppendStrip);

// Reference: copying the same 96 bytes per triangle into a preallocated array.
void BM_ReferenceCopyTriangles(benchmark::State& state) {
  std::vector<RenderVertex> out(3000);
  RenderVertex t[3] = {vertex(1), vertex(2), vertex(3)};
  for (auto _ : state) {
    for (int i = 0; i < 1000; i++) memcpy(&out[3 * i], t, sizeof t);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_ReferenceCopyTriangles);

const int TRANSFORM_COUNT = 65536;

Mat4 some_matrix(void) {
  Mat4 m = MAT4_IDENTITY;
  mat4_rotate_y(30, &m);
  mat4_translate(1, 2, 3, &m);
  m.m[11] = -1;
  return m;
}

void BM_TransformKernel(benchmark::State& state) {
  std::vector<RenderVertex> in(TRANSFORM_COUNT), out(TRANSFORM_COUNT);
  for (int i = 0; i < TRANSFORM_COUNT; i++) in[i] = vertex((float)i);
  Mat4 m = some_matrix();
  for (auto _ : state) {
    draw_transform(in.data(), out.data(), TRANSFORM_COUNT, &m);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * TRANSFORM_COUNT);
}
BENCHMARK(BM_TransformKernel);

// Reference: the same row-vector transform written with GLM (v x M is M^T v in its terms).
void BM_ReferenceGlmTransform(benchmark::State& state) {
  std::vector<glm::vec4> in(TRANSFORM_COUNT), out(TRANSFORM_COUNT);
  for (int i = 0; i < TRANSFORM_COUNT; i++) in[i] = glm::vec4((float)i, i * 0.5f, -(float)i, 1);
  Mat4 m = some_matrix();
  glm::mat4 g;
  memcpy(&g, m.m, sizeof g);
  for (auto _ : state) {
    for (int i = 0; i < TRANSFORM_COUNT; i++) out[i] = g * in[i];
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * TRANSFORM_COUNT);
}
BENCHMARK(BM_ReferenceGlmTransform);

void BM_ColourConversion(benchmark::State& state) {
  std::vector<RenderVertex> v(4096, vertex(1));
  for (auto _ : state) {
    gl_convert_colours(v.data(), 4096);
    benchmark::DoNotOptimize(v.data());
  }
  state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_ColourConversion);

// Reference: a plain copy of the same colour words.
void BM_ReferenceColourCopy(benchmark::State& state) {
  std::vector<RenderVertex> v(4096, vertex(1));
  std::vector<uint32_t> out(4096);
  for (auto _ : state) {
    for (int i = 0; i < 4096; i++) out[i] = v[i].colour;
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(BM_ReferenceColourCopy);

}  // namespace

// ---- The draw slot against a driver that does nothing: what a draw costs the client itself.
namespace {

template <class T>
T zero(void) {
  return T();
}
template <>
void zero<void>(void) {}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define NOOP_GL(ret, name, params, args, state) \
  ret noop_##name params { return zero<ret>(); }
GL_API_FUNCTIONS(NOOP_GL)
#undef NOOP_GL
#pragma GCC diagnostic pop

const GLubyte* noop_strings(GLenum) { return (const GLubyte*)"2.1 benchmark"; }
int g_fake_context;
void* fake_create(Window*) { return &g_fake_context; }
int fake_make_current(Window*, void*) { return 1; }
void fake_destroy(void*) {}
int fake_swap(Window*) { return 1; }
int fake_interval(int) { return 1; }
int fake_supported(void) { return 1; }
void* fake_proc(const char*) { return nullptr; }
int fake_depth(void) { return 24; }

void draw_slot_bench(benchmark::State& state, int (*init)(Window*, RenderBackend*), bool count_calls) {
  GlApi saved = g_gl;
  g_gl = GlApi{
#define NOOP_ENTRY(ret, name, params, args, state) noop_##name,
      GL_API_FUNCTIONS(NOOP_ENTRY)
#undef NOOP_ENTRY
  };
  g_gl.GetString = noop_strings;
  const GlContextSystem fake = {fake_create,   fake_make_current, fake_destroy, fake_swap,
                                fake_interval, fake_supported,    fake_proc,    fake_depth};
  gl_context_set_system(&fake);
  Window window{};
  window.handle = &window;
  RenderBackend table{};
  if (!init(&window, &table)) {
    state.SkipWithError("backend refused the fake context");
    return;
  }
  table.init_device();
  Started s;
  RenderVertex a = vertex(0), b = vertex(1), c = vertex(2);
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(stage_none);
  draw_add_triangle(&a, &b, &c);
  draw_set_flags(DRAW_DEPTH_TEST | DRAW_BLEND | DRAW_CULL | DRAW_FOG);
  draw_set_fog(0, 10, 0, 0, 0);
  draw_flush(nullptr);
  DrawRecord* r = draw_record();
  for (auto _ : state) benchmark::DoNotOptimize(table.draw(r));
  state.SetItemsProcessed(state.iterations());
  (void)count_calls;
  table.shutdown_device();
  table.destroy(&window);
  gl_context_set_system(nullptr);
  g_gl = saved;
}

void BM_StateShadowDrawArrays(benchmark::State& state) { draw_slot_bench(state, gl_arrays_init, false); }
BENCHMARK(BM_StateShadowDrawArrays);
void BM_StateShadowDrawLists(benchmark::State& state) { draw_slot_bench(state, gl_lists_init, false); }
BENCHMARK(BM_StateShadowDrawLists);

// Reference: the same record through the front end's dispatcher to the null backend.
void BM_ReferenceNullBackendDraw(benchmark::State& state) {
  Started s;
  RenderVertex a = vertex(0), b = vertex(1), c = vertex(2);
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(stage_none);
  draw_add_triangle(&a, &b, &c);
  draw_flush(nullptr);
  for (auto _ : state) draw_primitives(PRIM_TRIANGLES);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReferenceNullBackendDraw);

}  // namespace

// ---- A frame of 10,000 small draws through each backend on the real driver (Mesa under
// Xvfb with make bench run there; skipped without a display). Wall time here is dominated by
// llvmpipe rasterising and the swap, not by the client: compare CPU time with the no-op
// driver figures above.
namespace {

int no_arrays(Window*, RenderBackend*) { return 0; }

void mesa_frame(benchmark::State& state, bool arrays) {
  if (!getenv("DISPLAY")) {
    state.SkipWithError("no display");
    return;
  }
  static Window window;
  static bool opened = false;
  if (!opened) {
    if (!window_create(&window, 320, 240, 0, 0, DISPLAY_WINDOWED, -1, 0, "Draw Benchmark") ||
        !window_set_display_mode(&window)) {
      state.SkipWithError("no window");
      return;
    }
    window_place_and_show(&window);
    opened = true;
  }
  gl_api_use_counting();
  RenderBackendInits inits = {
      gl_pixel_format, arrays ? gl_arrays_init : no_arrays, gl_lists_init, nullptr, nullptr, nullptr};
  render_set_backend_inits(&inits);
  if (!render_install(&window, 0)) {
    state.SkipWithError("no GL backend");
    return;
  }
  render_init_device();
  Started s;
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_in_place);
  const int DRAWS = 10000;
  uint64_t calls = 0, frames = 0;
  for (auto _ : state) {
    gl_api_reset_counts();
    render_clear(0, 0, 0, CLEAR_COLOUR | CLEAR_DEPTH);
    for (int i = 0; i < DRAWS; i++) {
      float x = (float)(i % 100) / 50.0f - 1.0f, y = (float)(i / 100) / 50.0f - 1.0f;
      RenderVertex a = vertex(0), b = vertex(0), c = vertex(0);
      a.x = x, a.y = y, b.x = x + 0.015f, b.y = y, c.x = x, c.y = y - 0.015f;
      a.z = b.z = c.z = 0;
      draw_reset();
      draw_add_triangle(&a, &b, &c);
      draw_set_flags(DRAW_SCREEN_SPACE | DRAW_DEPTH_TEST | (i % 2 ? (uint32_t)DRAW_BLEND : 0u));
      draw_flush(nullptr);
      draw_primitives(PRIM_TRIANGLES);
    }
    render_present(&window);
    calls += gl_api_total();
    frames++;
  }
  state.counters["gl_calls_per_frame"] = frames ? (double)calls / (double)frames : 0;
  state.counters["draws_per_frame"] = DRAWS;
  render_shutdown_device();
  render_uninstall(&window);
  render_set_backend_inits(nullptr);
  gl_api_use_driver();
}

void BM_MesaFrame10kDrawsArrays(benchmark::State& state) { mesa_frame(state, true); }
BENCHMARK(BM_MesaFrame10kDrawsArrays)->Unit(benchmark::kMillisecond);
void BM_MesaFrame10kDrawsLists(benchmark::State& state) { mesa_frame(state, false); }
BENCHMARK(BM_MesaFrame10kDrawsLists)->Unit(benchmark::kMillisecond);

}  // namespace
