#include "render/draw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/math_kernels.h"
#include "support/backend_testing.h"

namespace {

RenderVertex vertex(float id) {
  RenderVertex v{};
  v.x = id;
  v.y = id * 2;
  v.z = id * 3;
  v.colour = 0xFF000000u | (uint32_t)id;
  v.u = id;
  return v;
}

std::vector<RenderVertex> vertices(uint32_t n) {
  std::vector<RenderVertex> out;
  for (uint32_t i = 0; i < n; i++) out.push_back(vertex((float)i));
  return out;
}

// The ids (x) of the accumulated vertices.
std::vector<int> accumulated(void) {
  std::vector<int> ids;
  const DrawRecord* r = draw_record();
  for (uint32_t i = 0; i < r->vertex_count; i++) ids.push_back((int)r->source_vertices[i].x);
  return ids;
}

class Draw : public ::testing::Test {
 protected:
  void SetUp() override {
    RenderBackend table;
    recording_backend_fill(&table);
    ASSERT_TRUE(recording_backend_install(nullptr));
    recording_backend_configure(0, PF_RGBA8888, 640, 480);  // backend does not transform
    draw_startup();
    recording_backend_reset();
  }
  void TearDown() override {
    draw_shutdown();
    recording_backend_uninstall();
  }
};

TEST_F(Draw, StartupSizesAndDefaults) {
  const DrawRecord* r = draw_record();
  EXPECT_EQ(r->vertex_capacity, 256u);
  EXPECT_EQ(r->index_capacity, 256u);
  EXPECT_EQ((uintptr_t)r->source_vertices % 16, 0u);
  EXPECT_EQ((uintptr_t)r->output_vertices % 16, 0u);
  EXPECT_EQ((uintptr_t)r->index_buffer % 16, 0u);
  EXPECT_EQ(r->depth_function, DEPTH_LESS);
  EXPECT_EQ(r->blend, 0);
  EXPECT_EQ(r->flags, 0u);
  EXPECT_EQ(r->point_size, 1.0f);
  EXPECT_EQ(r->line_width, 1.0f);
  draw_shutdown();
  EXPECT_EQ(draw_record()->source_vertices, nullptr);
  EXPECT_EQ(draw_record()->vertex_capacity, 0u);
  // Appends before start-up do nothing.
  RenderVertex v = vertex(1);
  EXPECT_EQ(draw_add_triangle(&v, &v, &v), 0);
  draw_startup();
}

TEST_F(Draw, FansAndStripsExpandInTheirOrders) {
  struct Case {
    bool strip;
    uint32_t n;
    std::vector<int> ids;
  };
  const Case cases[] = {
      {false, 0, {}},
      {false, 1, {}},
      {false, 2, {}},
      {false, 3, {0, 1, 2}},
      {false, 5, {0, 1, 2, 0, 2, 3, 0, 3, 4}},
      {true, 0, {}},
      {true, 1, {}},
      {true, 2, {}},
      {true, 3, {0, 2, 1}},
      {true, 5, {0, 2, 1, 2, 3, 1, 2, 4, 3}},
  };
  std::vector<RenderVertex> v = vertices(5);
  for (const Case& c : cases) {
    draw_reset();
    int appended = c.strip ? draw_add_strip(v.data(), c.n) : draw_add_fan(v.data(), c.n);
    EXPECT_EQ(appended, c.n >= 3) << c.strip << " " << c.n;
    EXPECT_EQ(accumulated(), c.ids) << (c.strip ? "strip " : "fan ") << c.n;
  }
  draw_reset();
  EXPECT_EQ(draw_add_fan(nullptr, 5), 0);
  EXPECT_EQ(draw_add_strip(nullptr, 5), 0);
  EXPECT_EQ(draw_vertex_count(), 0u);
}

TEST_F(Draw, IndexedQuadsAreOffsetByEarlierVertices) {
  const uint16_t quad[] = {0, 1, 2, 3};
  std::vector<RenderVertex> v = vertices(4);
  ASSERT_TRUE(draw_add_indexed(quad, 4, v.data(), 4));
  ASSERT_TRUE(draw_add_indexed(quad, 4, v.data(), 4));
  const DrawRecord* r = draw_record();
  ASSERT_EQ(r->index_count, 8u);
  for (uint16_t i = 0; i < 8; i++) EXPECT_EQ(r->index_buffer[i], i);
  EXPECT_EQ(r->vertex_count, 8u);
  // An index outside its own vertices is refused whole.
  const uint16_t bad[] = {0, 4};
  EXPECT_EQ(draw_add_indexed(bad, 2, v.data(), 4), 0);
  EXPECT_EQ(r->index_count, 8u);
  EXPECT_EQ(r->vertex_count, 8u);
}

TEST_F(Draw, GrowthKeepsContentsAndNeverShrinks) {
  std::vector<RenderVertex> v = vertices(3);
  for (int i = 0; i < 85; i++) ASSERT_TRUE(draw_add_triangle(&v[0], &v[1], &v[2]));  // 255 vertices
  DrawRecord* r = draw_record();
  EXPECT_EQ(r->vertex_capacity, 256u);
  r->output_vertices[200] = vertex(77);
  RenderVertex last = vertex(9);
  ASSERT_TRUE(draw_add_triangle(&last, &last, &last));  // the 257th vertex
  EXPECT_EQ(r->vertex_capacity, 512u);
  EXPECT_EQ((uintptr_t)r->source_vertices % 16, 0u);
  EXPECT_EQ((uintptr_t)r->output_vertices % 16, 0u);
  EXPECT_EQ(r->output_vertices[200].x, 77.0f);
  for (uint32_t i = 0; i < 255; i++) ASSERT_EQ(r->source_vertices[i].x, (float)(i % 3));
  EXPECT_EQ(r->source_vertices[257].x, 9.0f);
  draw_reset();
  EXPECT_EQ(r->vertex_capacity, 512u);
  // Indices grow on their own capacity.
  std::vector<uint16_t> many(300, 0);
  ASSERT_TRUE(draw_add_indexed(many.data(), 300, v.data(), 1));
  EXPECT_EQ(r->index_capacity, 512u);
}

TEST_F(Draw, IndexedBatchesStopAt65536Vertices) {
  std::vector<RenderVertex> v = vertices(4096);
  std::vector<uint16_t> idx(4096);
  for (uint16_t i = 0; i < 4096; i++) idx[i] = i;
  for (int i = 0; i < 16; i++) ASSERT_TRUE(draw_add_indexed(idx.data(), 4096, v.data(), 4096));
  EXPECT_EQ(draw_vertex_count(), 65536u);
#ifdef NDEBUG
  EXPECT_EQ(draw_add_indexed(idx.data(), 1, v.data(), 1), 0);
  EXPECT_EQ(draw_add_triangle(&v[0], &v[1], &v[2]), 0);
  EXPECT_EQ(draw_vertex_count(), 65536u);
#else
  EXPECT_DEATH(draw_add_indexed(idx.data(), 1, v.data(), 1), "vertex limit");
#endif
  // Without indices the batch may grow past 16 bits.
  draw_reset();
  for (int i = 0; i < 16; i++) ASSERT_TRUE(draw_add_fan(v.data(), 4096));
  EXPECT_TRUE(draw_add_triangle(&v[0], &v[1], &v[2]));
}

void mark_vertex_stage(DrawRecord* r) { r->spare[0] = 123; }

TEST_F(Draw, FlushNeedsBothStagesAndDrawsNothing) {
  std::vector<RenderVertex> v = vertices(3);
  ASSERT_TRUE(draw_add_triangle(&v[0], &v[1], &v[2]));
  DrawRecord before = *draw_record();
  draw_set_vertex_stage(nullptr);
  draw_set_transform_stage(nullptr);
  draw_flush(&before);
  EXPECT_EQ(memcmp(&before, draw_record(), sizeof before), 0);
  draw_set_vertex_stage(mark_vertex_stage);
  draw_flush(&before);
  EXPECT_EQ(memcmp(&before, draw_record(), sizeof before), 0);
  // After a reset there is no source: nothing reaches the backend.
  draw_set_transform_stage(stage_none);
  draw_reset();
  draw_primitives(PRIM_TRIANGLES);
  uint16_t i3[] = {0, 1, 2};
  draw_indexed(i3, 3);
  EXPECT_EQ(recording_backend_count(), 0);
}

TEST_F(Draw, FlushThenDrawHandsTheRecordToTheBackend) {
  draw_set_vertex_stage(mark_vertex_stage);
  draw_set_transform_stage(stage_none);
  std::vector<RenderVertex> v = vertices(4);
  const uint16_t quad[] = {0, 1, 2, 0, 2, 3};
  ASSERT_TRUE(draw_add_indexed(quad, 6, v.data(), 4));
  draw_flush(nullptr);
  const DrawRecord* r = draw_record();
  EXPECT_EQ(r->spare[0], 123);
  EXPECT_EQ(r->vertices, r->source_vertices);
  EXPECT_EQ(r->count, 4u);
  EXPECT_EQ(r->index_total, 6u);
  draw_primitives(PRIM_LINES);
  ASSERT_EQ(recording_backend_count(), 1);
  const RecordedOp* op = recording_backend_op(0);
  EXPECT_EQ(op->slot, 8);
  EXPECT_EQ(op->record.primitive, PRIM_LINES);
  EXPECT_EQ(op->record.index_total, 6u);
  // draw_indexed sets and then clears its indices.
  uint16_t tri[] = {2, 1, 0};
  draw_indexed(tri, 3);
  op = recording_backend_op(recording_backend_count() - 1);
  EXPECT_EQ(op->record.indices, tri);
  EXPECT_EQ(op->record.index_total, 3u);
  EXPECT_EQ(op->record.primitive, PRIM_TRIANGLES);
  EXPECT_EQ(r->indices, nullptr);
  EXPECT_EQ(r->index_total, 0u);
}

TEST_F(Draw, TransformInPlaceWithIdentityGivesWOne) {
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_in_place);
  RenderVertex origin{};
  origin.w = 7;
  RenderVertex a = vertex(1), b = vertex(2);
  ASSERT_TRUE(draw_add_triangle(&origin, &a, &b));
  draw_flush(nullptr);
  const RenderVertex* v = draw_record()->vertices;
  EXPECT_EQ(v[0].x, 0.0f);
  EXPECT_EQ(v[0].y, 0.0f);
  EXPECT_EQ(v[0].z, 0.0f);
  EXPECT_EQ(v[0].w, 1.0f);
  EXPECT_EQ(v[2].x, 2.0f);
  EXPECT_EQ(v[2].z, 6.0f);
}

TEST_F(Draw, TransformStagesAgainstMathLibrary) {
  Mat4 model = MAT4_IDENTITY, view = MAT4_IDENTITY, projection = MAT4_IDENTITY;
  mat4_rotate_y(30, &model);
  mat4_translate(1, 2, 3, &model);
  mat4_rotate_x(-20, &view);
  mat4_translate(0, 0, -10, &view);
  projection.m[11] = -1;
  projection.m[14] = -0.5f;
  projection.m[15] = 0;
  draw_set_model(&model);
  draw_set_view(&view);
  draw_set_projection(&projection);
  Mat4 mv, m;
  mat4_multiply(&model, &view, &mv);
  mat4_multiply(&mv, &projection, &m);

  std::vector<RenderVertex> v = vertices(7);
  DrawMesh mesh{42, v.data(), 7};
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_to_output);
  draw_prepared_mesh(&mesh, nullptr);
  const DrawRecord* r = draw_record();
  EXPECT_EQ(r->source_id, 42);
  ASSERT_EQ(r->vertices, r->output_vertices);
  ASSERT_EQ(r->count, 7u);
  for (uint32_t i = 0; i < 7; i++) {
    Vec4 want = vec4_transform_scalar(v[i].x, v[i].y, v[i].z, 1, &m);
    EXPECT_EQ(r->vertices[i].x, want.x);
    EXPECT_EQ(r->vertices[i].y, want.y);
    EXPECT_EQ(r->vertices[i].z, want.z);
    EXPECT_EQ(r->vertices[i].w, want.w);
    EXPECT_EQ(v[i].x, (float)i);  // the mesh itself is untouched
  }
  // The kernels agree bit for bit.
  std::vector<RenderVertex> a = vertices(33), b = a;
  draw_transform_scalar(a.data(), a.data(), 33, &m);
#if defined(__i386__) || defined(__x86_64__)
  draw_transform_sse(b.data(), b.data(), 33, &m);
  EXPECT_EQ(memcmp(a.data(), b.data(), 33 * sizeof(RenderVertex)), 0);
#endif
}

TEST_F(Draw, ScreenSpaceRecordsPassTheTransformsUnchanged) {
  Mat4 scale = MAT4_IDENTITY;
  mat4_scale(5, 5, 5, &scale);
  draw_set_model(&scale);
  draw_set_flags(DRAW_SCREEN_SPACE);
  draw_set_vertex_stage(stage_none);
  for (DrawStageFn stage : {transform_in_place, transform_to_output}) {
    draw_reset();
    draw_set_transform_stage(stage);
    RenderVertex a = vertex(0.5f);
    a.w = 3;
    ASSERT_TRUE(draw_add_triangle(&a, &a, &a));
    draw_flush(nullptr);
    const RenderVertex* out = draw_record()->vertices;
    EXPECT_EQ(out[0].x, 0.5f);
    EXPECT_EQ(out[0].y, 1.0f);
    EXPECT_EQ(out[0].z, 1.5f);
    EXPECT_EQ(out[0].w, 1.0f);
  }
  // A backend that transforms gets positions and w as they were.
  recording_backend_configure(1, PF_RGBA8888, 640, 480);
  draw_set_flags(0);
  draw_reset();
  draw_set_transform_stage(transform_in_place);
  RenderVertex a = vertex(1);
  a.w = 3;
  ASSERT_TRUE(draw_add_triangle(&a, &a, &a));
  draw_flush(nullptr);
  EXPECT_EQ(draw_record()->vertices[0].x, 1.0f);
  EXPECT_EQ(draw_record()->vertices[0].w, 3.0f);
}

TEST_F(Draw, SettersAndNullMatrices) {
  Mat4 m = MAT4_IDENTITY;
  m.m[12] = 4;
  draw_set_model(&m);
  draw_set_model(nullptr);
  EXPECT_EQ(memcmp(&draw_record()->model, &MAT4_IDENTITY, sizeof m), 0);
  draw_set_textures(3, 4);
  draw_set_texture(5);
  EXPECT_EQ(draw_record()->texture, 5);
  EXPECT_EQ(draw_record()->texture2, 0);
  draw_set_fog(1, 2, 0.1f, 0.2f, 0.3f);
  EXPECT_EQ(draw_record()->fog_end, 2.0f);
  EXPECT_EQ(draw_record()->fog_colour[2], 0.3f);
  // State survives a reset.
  draw_set_flags(DRAW_BLEND);
  draw_reset();
  EXPECT_EQ(draw_get_flags(), (uint32_t)DRAW_BLEND);
}

}  // namespace
