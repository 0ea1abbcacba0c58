// Opens the client's window through the platform layer, installs one of the two OpenGL
// backends and draws scripted scenes through draw submission, writing each frame with the
// backend's own screenshot (the client's BMP writer). The "frame" scene is a small hand-built
// zone drawn and presented by the game's frame function, the "models" scene the demo meshes
// the same way; the "text" and "frames" scenes draw
// the interface's draw list with the demo fonts and interface images of the built archives
// (render_ui_scenes.h). tests/render_scenes_test.py compares the pictures with values it
// computes itself and the two backends with each other.
//
//   render_harness arrays|lists OUTDIR      every scene to OUTDIR/<backend>_<scene>.bmp
//   render_harness arrays|lists counts      state-shadow checks through the counting layer
//   render_harness arrays|lists hold OUTDIR draws the "flat" scene, writes it, prints "ready"
//                                          and keeps the frame on screen until stdin closes
//   render_harness arrays|lists ui          the interactive interface demo (render_ui_demo.h)
//                                          in a larger window, until the window is closed
// Exit code 0 on success; failures are printed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/cache.h"
#include "assets/mesh.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "base/thread.h"
#include "game/catalogue.h"
#include "game/game_world.h"
#include "game/model_bounds.h"
#include "platform/message_source.h"
#include "platform/window.h"
#include "platform/window_proc.h"
#include "render/draw.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_api.h"
#include "render/gl_shared/gl_device.h"
#include "render/gl_shared/gl_draw.h"
#include "render/gl_shared/gl_texture_source.h"
#include "render/gl_shared/gl_textures.h"
#include "render/render.h"
#include "render/texture_prep.h"
#include "render_ui_demo.h"
#include "render_ui_scenes.h"
#include "scene/environment.h"
#include "scene/frame.h"
#include "scene/model_draw.h"
#include "support/harness_window.h"

namespace {

const int W = 320, H = 240;
Window g_window;
int g_failures;

void check(bool ok, const char* what) {
  if (!ok) {
    printf("FAIL %s\n", what);
    g_failures++;
  }
}

// ---- Textures the harness stands in for the asset layer with.
enum : int32_t { TEX_QUADS = 1, TEX_NPOT = 2, TEX_MIPS = 3, TEX_FAILED = 99, TEX_NOT_LOADED = 50 };

Texture* make_texture(int32_t id, uint32_t width, uint32_t height, uint32_t format, uint32_t filter) {
  Texture* t = (Texture*)mem_calloc(1, sizeof(Texture));
  t->id = id;
  t->width = width;
  t->height = height;
  t->format = format;
  t->filter = filter;
  t->pixel_size = width * height * pixel_format_bytes(format);
  t->pixels = (uint8_t*)mem_calloc(1, t->pixel_size);
  return t;
}

Texture* g_quads;  // 2 x 2: bottom row red, green; top row blue, white
Texture* g_npot;   // 100 x 64, grey
Texture* g_mips;   // 8 x 8 with its chain

// Stand-in for the asset cache's event payload: its type and id.
struct AssetEventPayload {
  uint32_t type;
  int32_t id;
};
enum : uint32_t { HARNESS_ASSET_TEXTURE = 7 };
int texture_event(const void* payload, int32_t* id) {
  const AssetEventPayload* p = (const AssetEventPayload*)payload;
  if (p && p->type == HARNESS_ASSET_TEXTURE) {
    *id = p->id;
    return 1;
  }
  return ui_scenes_texture_event(payload, id);
}

int find_texture(int32_t id, Texture** out) {
  if (id >= UI_SCENE_TEXTURE_FIRST) return ui_scenes_find_texture(id, out);
  switch (id) {
    case TEX_QUADS:
      *out = g_quads;
      return 1;
    case TEX_NPOT:
      *out = g_npot;
      return 1;
    case TEX_MIPS:
      *out = g_mips;
      return 1;
    case TEX_FAILED:
      *out = nullptr;
      return 1;
    default:
      return 0;
  }
}

int request_texture(int32_t id, Texture** out) {
  if (id >= UI_SCENE_TEXTURE_FIRST) return ui_scenes_request_texture(id, out);
  return find_texture(id, out);
}

void make_textures(void) {
  g_quads = make_texture(TEX_QUADS, 2, 2, PF_RGB888, 0);
  const uint8_t quads[12] = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  memcpy(g_quads->pixels, quads, sizeof quads);
  g_npot = make_texture(TEX_NPOT, 100, 64, PF_RGB888, 0);
  memset(g_npot->pixels, 128, g_npot->pixel_size);
  g_mips = make_texture(TEX_MIPS, 8, 8, PF_RGBA8888, 1);
  memset(g_mips->pixels, 200, g_mips->pixel_size);
  g_mips->wrap = 1;  // clamping with linear filtering would blend in the black border
  texture_options_set(0, 1, 0, 0);
  texture_prepare(g_mips);
  GlTextureSource source = {request_texture, find_texture, texture_event};
  gl_set_texture_source(&source);
}

// ---- Drawing helpers: pixel rectangles (y down from the top) as screen-space quads.
float ndc_x(float px) { return px * 2.0f / W - 1.0f; }
float ndc_y(float py) { return 1.0f - py * 2.0f / H; }

RenderVertex vtx(float x, float y, float z, uint32_t colour, float u = 0, float v = 0) {
  RenderVertex r{};
  r.x = x;
  r.y = y;
  r.z = z;
  r.colour = colour;
  r.u = u;
  r.v = v;
  return r;
}

void submit(uint32_t flags) {
  draw_set_flags(flags);
  draw_flush(nullptr);
  draw_primitives(PRIM_TRIANGLES);
  draw_reset();
}

// Clockwise on screen unless reversed; texture coordinates 0..1 across, v up.
void rect(float x0, float y0, float x1, float y1, float z, uint32_t colour, uint32_t flags,
          bool reversed = false) {
  RenderVertex tl = vtx(ndc_x(x0), ndc_y(y0), z, colour, 0, 1),
               tr = vtx(ndc_x(x1), ndc_y(y0), z, colour, 1, 1);
  RenderVertex br = vtx(ndc_x(x1), ndc_y(y1), z, colour, 1, 0),
               bl = vtx(ndc_x(x0), ndc_y(y1), z, colour, 0, 0);
  draw_reset();
  if (reversed) {
    draw_add_triangle(&tl, &br, &tr);
    draw_add_triangle(&tl, &bl, &br);
  } else {
    draw_add_triangle(&tl, &tr, &br);
    draw_add_triangle(&tl, &br, &bl);
  }
  submit(flags | DRAW_SCREEN_SPACE);
}

uint32_t argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

void clear(float r, float g, float b) { render_clear(r, g, b, CLEAR_COLOUR | CLEAR_DEPTH); }

// ---- Scenes.
void scene_flat(void) {
  clear(0, 0, 0.25f);
  rect(0, 0, 160, 120, 0, argb(255, 255, 0, 0), 0);      // top left red
  rect(160, 120, 320, 240, 0, argb(255, 0, 255, 0), 0);  // bottom right green
  rect(20, 150, 60, 230, 0, argb(255, 255, 255, 0), 0);  // yellow bar, lower left
}

// Red at depth 0.5 over x 0..160; then green bars at NDC z -0.5, 0, 0.5 across the whole
// width, each drawn with the function under test.
void scene_depth(int32_t function) {
  clear(0, 0, 0);
  draw_set_depth_function(DEPTH_LESS);
  rect(0, 0, 160, 240, 0, argb(255, 255, 0, 0), DRAW_DEPTH_TEST);
  draw_set_depth_function(function);
  const float z[3] = {-0.5f, 0.0f, 0.5f};
  for (int i = 0; i < 3; i++)
    rect(0, 80.0f * i, 320, 80.0f * (i + 1), z[i], argb(255, 0, 255, 0), DRAW_DEPTH_TEST);
  draw_set_depth_function(DEPTH_LESS);
}

void scene_blend(int32_t mode) {
  clear(0.2f, 0.4f, 0.6f);
  draw_set_blend(mode);
  rect(40, 40, 280, 200, 0, argb(128, 200, 100, 50), DRAW_BLEND);
  draw_set_blend(BLEND_ALPHA);
}

void scene_alpha_test(void) {
  clear(0, 0, 0);
  rect(0, 0, 160, 240, 0, argb(127, 255, 255, 255), DRAW_ALPHA_TEST);
  rect(160, 0, 320, 240, 0, argb(128, 255, 255, 255), DRAW_ALPHA_TEST);
}

void scene_cull(void) {
  clear(0, 0, 0);
  rect(0, 0, 100, 240, 0, argb(255, 255, 0, 0), DRAW_CULL);          // front: drawn
  rect(110, 0, 210, 240, 0, argb(255, 0, 255, 0), DRAW_CULL, true);  // back: culled
  rect(220, 0, 320, 240, 0, argb(255, 0, 0, 255), 0, true);          // back, culling off: drawn
}

void scene_masks(void) {
  clear(0, 0, 0);
  // Left: depth written without colour, so the green behind it fails the depth test.
  rect(0, 0, 160, 240, -0.5f, argb(255, 255, 0, 0), DRAW_DEPTH_TEST | DRAW_NO_COLOUR_WRITE);
  // Right: colour written without depth, so the green behind it still passes.
  rect(160, 0, 320, 240, -0.5f, argb(255, 0, 0, 255), DRAW_DEPTH_TEST | DRAW_NO_DEPTH_WRITE);
  rect(0, 60, 320, 180, 0, argb(255, 0, 255, 0), DRAW_DEPTH_TEST);
}

// Fog needs world drawing (screen space has none): identity matrices put the eye at the
// origin, so a quad at z = -0.5 lies 0.5 from the eye.
void fog_quad(float x0, float x1, float start, float end) {
  draw_set_fog(start, end, 0, 0, 1);
  RenderVertex tl = vtx(ndc_x(x0), 1, -0.5f, argb(255, 255, 0, 0)),
               tr = vtx(ndc_x(x1), 1, -0.5f, argb(255, 255, 0, 0));
  RenderVertex br = vtx(ndc_x(x1), -1, -0.5f, argb(255, 255, 0, 0)),
               bl = vtx(ndc_x(x0), -1, -0.5f, argb(255, 255, 0, 0));
  draw_reset();
  draw_add_triangle(&tl, &tr, &br);
  draw_add_triangle(&tl, &br, &bl);
  submit(DRAW_FOG);
}

void scene_fog(void) {
  clear(0, 0, 0);
  draw_set_model(nullptr);
  draw_set_view(nullptr);
  draw_set_projection(nullptr);
  fog_quad(0, 160, 0, 1);    // halfway into the fog
  fog_quad(160, 320, 1, 1);  // end = start: no fog
}

void scene_npot(void) {
  clear(0, 0, 0);
  draw_set_texture(TEX_NPOT);
  rect(40, 40, 140, 104, 0, argb(255, 255, 255, 255), DRAW_TEXTURE);
  draw_set_texture(TEX_FAILED);
  rect(180, 40, 280, 104, 0, argb(255, 255, 255, 255), DRAW_TEXTURE);
  draw_set_texture(TEX_NOT_LOADED);  // not loaded yet: skipped
  rect(40, 140, 280, 200, 0, argb(255, 255, 255, 255), DRAW_TEXTURE);
}

void scene_texture(void) {
  clear(0, 0, 0);
  draw_set_texture(TEX_QUADS);
  rect(32, 32, 96, 96, 0, argb(255, 255, 255, 255), DRAW_TEXTURE);
  // Modulated by the vertex colour.
  rect(160, 32, 224, 96, 0, argb(255, 255, 128, 0), DRAW_TEXTURE);
  draw_set_texture(TEX_MIPS);
  rect(32, 128, 96, 192, 0, argb(255, 255, 255, 255), DRAW_TEXTURE);
}

void scene_scissor(void) {
  render_clear(0, 0, 0, CLEAR_COLOUR);
  const RenderBackend* table = render_active_table();
  table->set_viewport(40, 30, 100, 80);
  render_clear(1, 0, 0, CLEAR_COLOUR);
  table->set_viewport(0, 0, W, H);
}

// Strips and a fan with a colour per vertex, culling on. The upper strip faces the viewer,
// the lower one starts on its other side and is culled.
RenderVertex g_strip[2][8];
RenderVertex g_fan[6];
void make_strips(void) {
  for (int s = 0; s < 2; s++)
    for (int i = 0; i < 8; i++) {
      float x = 20.0f + 40.0f * (i / 2);
      float top = s == 0 ? 20.0f : 130.0f, bottom = top + 80.0f;
      bool upper = (i % 2 == 0) == (s == 0);
      g_strip[s][i] = vtx(ndc_x(x + (i % 2) * 10.0f), ndc_y(upper ? top : bottom), 0,
                          argb(255, 30 * i, 255 - 30 * i, 100 + 20 * s));
    }
  const float fan[6][2] = {{250, 120}, {250, 40}, {300, 80}, {300, 160}, {250, 200}, {200, 160}};
  for (int i = 0; i < 6; i++)
    g_fan[i] = vtx(ndc_x(fan[i][0]), ndc_y(fan[i][1]), 0, argb(255, 255, 40 * i, 0));
}

void scene_strips(void) {
  clear(0, 0, 0);
  for (int s = 0; s < 2; s++) {
    draw_reset();
    draw_add_strip(g_strip[s], 8);
    submit(DRAW_CULL | DRAW_SCREEN_SPACE);
  }
  draw_reset();
  draw_add_fan(g_fan, 6);
  submit(DRAW_CULL | DRAW_SCREEN_SPACE);
}

// The same geometry drawn straight through OpenGL's own strip and fan, culling back faces
// with the driver's default counter-clockwise front faces for the strips (OpenGL orders a
// strip's triangles the other way round) and clockwise ones for the fan.
void scene_strips_reference(void) {
  clear(0, 0, 0);
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
  glDisable(GL_FOG);
  glEnable(GL_CULL_FACE);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  RenderVertex copy[8];
  for (int s = 0; s < 3; s++) {
    int n = s < 2 ? 8 : 6;
    memcpy(copy, s < 2 ? g_strip[s] : g_fan, n * sizeof(RenderVertex));
    gl_convert_colours(copy, n);
    glVertexPointer(3, GL_FLOAT, sizeof(RenderVertex), &copy[0].x);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(RenderVertex), &copy[0].colour);
    glFrontFace(s < 2 ? GL_CCW : GL_CW);
    glDrawArrays(s < 2 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN, 0, n);
  }
  glFrontFace(GL_CW);
}

// Meshes 1 and 2 of the frame scene: unit cubes in one colour each (green, blue).
const Mesh* frame_cubes(uint32_t mesh_id, int* ready, int* failed) {
  static Mesh cubes[2];
  static RenderVertex vertices[2][24];
  if (mesh_id < 1 || mesh_id > 2) return nullptr;
  Mesh* m = &cubes[mesh_id - 1];
  *m = *mesh_unit_cube();
  m->id = mesh_id;
  memcpy(vertices[mesh_id - 1], m->vertices, sizeof vertices[0]);
  for (RenderVertex& v : vertices[mesh_id - 1]) v.colour = mesh_id == 1 ? 0xFF40C040u : 0xFF4040C0u;
  m->vertices = vertices[mesh_id - 1];
  *ready = 1;
  *failed = 0;
  return m;
}

// A frame composed by the game's own frame function, which also presents: a zone at noon
// whose environment clears to its fog colour (fog from 20 to 60 whatever the clip-distance
// setting), a camera at the origin looking down -z, and two cubes 8 units wide (vertex
// colours green and blue, lit by the noon light without a sun) whose front faces stand 30
// and 45 units away.
void scene_frame(void) {
  frame_startup();
  model_draw_set_mesh_source(frame_cubes);
  EntityWorld* world = catalogue_world_create(3, nullptr);
  game_world_replace(world);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  camera_build(&c->camera, 0, 0, 0, 0, 0, 0, 60, 0.5f, 60, W, H);
  uint32_t environment = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  const float base[3] = {1.0f, 0.8f, 0.6f};
  env_record_init((ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, environment), base,
                  60, 60, 20, 60, ENV_FLAG_CLEARS_COLOUR, 0);
  const struct {
    uint32_t mesh;
    Vec3 centre;
  } boxes[] = {{1, {-6, 0, -34}}, {2, {8, 0, -49}}};
  for (const auto& b : boxes) {
    uint32_t h = catalogue_entity_create(world, SPACE_CREATURES, 0, 3);
    ((MeshRef*)entity_component(world, COMPONENT_MESH_REF, h))->mesh_id = b.mesh;
    Transform* t = (Transform*)entity_component(world, COMPONENT_TRANSFORM, h);
    t->position = b.centre;
    t->scale = {8, 8, 8};
  }
  model_bounds_update(world, 0);
  env_update();
  frame_render(&g_window);
  game_world_replace(nullptr);
  model_draw_set_mesh_source(nullptr);
  frame_shutdown();
}

// ---- The models scene: the demo meshes of the built mesh archive (through the asset cache
// the interface scenes start) in a hand-built world at noon with a sun, and a mesh whose
// entry is corrupt, drawn as the magenta cube.
constexpr uint32_t CORRUPT_MESH = 9999;
Mesh* g_corrupt_decoded;  // stays null: the truncated entry is refused

const Mesh* models_meshes(uint32_t mesh_id, int* ready, int* failed) {
  if (mesh_id == CORRUPT_MESH) {
    *ready = 1;
    *failed = g_corrupt_decoded == nullptr;
    return g_corrupt_decoded ? g_corrupt_decoded : mesh_unit_cube();
  }
  AssetHandle h;
  asset_request_wait(&h, ASSET_MESH, mesh_id);
  *ready = h.ready;
  *failed = h.failed;
  return (const Mesh*)h.object;
}

void scene_models(void) {
  frame_startup();
  model_draw_set_mesh_source(models_meshes);
  asset_set_placeholder(ASSET_MESH, (void*)mesh_unit_cube());
  // The crate's entry cut short by one byte.
  if (Archive* archive = archive_open(HARNESS_ASSETS_DIR "/mesh.dat")) {
    uint32_t size = 0;
    uint8_t* bytes = archive_read(archive, 102, &size);
    g_corrupt_decoded = bytes && size ? mesh_decode(bytes, size - 1) : nullptr;
    check(bytes && !g_corrupt_decoded, "a truncated mesh entry is refused");
    mem_free(bytes);
    archive_close(archive);
  }
  EntityWorld* world = catalogue_world_create(3, nullptr);
  game_world_replace(world);
  uint32_t camera = catalogue_entity_create(world, SPACE_CAMERA, 0, 0);
  CameraState* c = (CameraState*)entity_component(world, COMPONENT_CAMERA_STATE, camera);
  camera_build(&c->camera, 0, 1.2f, 9, -4, 0, 0, 60, 0.5f, 60, W, H);
  uint32_t environment = catalogue_entity_create(world, SPACE_ENVIRONMENT, 0, 0);
  const float base[3] = {1, 1, 1};
  env_record_init((ZoneEnvironment*)entity_component(world, COMPONENT_ZONE_ENVIRONMENT, environment), base,
                  60, 60, 20, 60, ENV_FLAG_SKY, 0);
  static const Mat4* bones = nullptr;
  static Mat4 bind[16];
  for (Mat4& m : bind) m = MAT4_IDENTITY;
  bones = bind;
  static const SkinnedPart humanoid[] = {{1, TEX_MIPS, 0, 0, 0}};
  static const SkinnedPart quadruped[] = {{2, TEX_MIPS, 0, 0, 0}};
  const struct {
    uint32_t space, mesh, word, flags;
    const SkinnedPart* parts;
    uint32_t bones;
    Vec3 position;
    float heading;
  } things[] = {
      {SPACE_CREATURES, 1, 0, 3, humanoid, 6, {-1.2f, 0, 2}, 20},
      {SPACE_CREATURES, 2, 0, 3, quadruped, 7, {1.6f, 0, 1.5f}, -60},
      {SPACE_PROPS, 100, 0, 0x04, nullptr, 0, {-4, 0, -6}, 0},
      {SPACE_PROPS, 101, 0, 0, nullptr, 0, {3.5f, 0, -2}, 30},
      {SPACE_PROPS, 102, 0, 0, nullptr, 0, {0.2f, 0, -1}, 25},
      {SPACE_PROPS, CORRUPT_MESH, 0, 0, nullptr, 0, {-3.2f, 0.5f, 0}, 45},
  };
  for (const auto& t : things) {
    uint32_t h = catalogue_entity_create(world, t.space, 0, t.flags);
    MeshRef* mesh = (MeshRef*)entity_component(world, COMPONENT_MESH_REF, h);
    mesh->mesh_id = t.mesh;
    mesh->word = t.word;
    Transform* transform = (Transform*)entity_component(world, COMPONENT_TRANSFORM, h);
    transform->position = t.position;
    transform->rotation = {0, t.heading, 0};
    transform->scale = {1, 1, 1};
    if (t.parts) {
      *(SkeletonPose*)entity_component(world, COMPONENT_SKELETON_POSE, h) = {bones, t.bones};
      *(SkinnedDraw*)entity_component(world, COMPONENT_SKINNED_DRAW, h) = {t.parts, 1};
    }
  }
  model_bounds_update(world, 0);
  env_update();
  // The environment does not clear colour (it has a sky, which is not drawn here).
  render_clear(0.3f, 0.4f, 0.5f, CLEAR_COLOUR | CLEAR_DEPTH);
  frame_render(&g_window);
  game_world_replace(nullptr);
  model_draw_set_mesh_source(nullptr);
  asset_set_placeholder(ASSET_MESH, nullptr);
  frame_shutdown();
}

struct Scene {
  const char* name;
  void (*draw)(void);
  bool presents = false;  // the scene presents its own frame
};

void depth0(void) { scene_depth(0); }
void depth1(void) { scene_depth(1); }
void depth2(void) { scene_depth(2); }
void depth3(void) { scene_depth(3); }
void depth4(void) { scene_depth(4); }
void depth5(void) { scene_depth(5); }
void depth6(void) { scene_depth(6); }
void depth7(void) { scene_depth(7); }
void blend0(void) { scene_blend(0); }
void blend1(void) { scene_blend(1); }
void blend2(void) { scene_blend(2); }

// The reference scene goes last: it changes state behind the shadow.
const Scene SCENES[] = {
    {"flat", scene_flat},
    {"depth0", depth0},
    {"depth1", depth1},
    {"depth2", depth2},
    {"depth3", depth3},
    {"depth4", depth4},
    {"depth5", depth5},
    {"depth6", depth6},
    {"depth7", depth7},
    {"blend0", blend0},
    {"blend1", blend1},
    {"blend2", blend2},
    {"alpha_test", scene_alpha_test},
    {"cull", scene_cull},
    {"masks", scene_masks},
    {"fog", scene_fog},
    {"npot", scene_npot},
    {"texture", scene_texture},
    {"scissor", scene_scissor},
    {"strips", scene_strips},
    {"text", ui_scene_text},
    {"frames", ui_scene_frames},
    {"frame", scene_frame, true},
    {"models", scene_models, true},
    {"strips_reference", scene_strips_reference},
};

int g_shot_reports, g_shot_written;
void screenshot_done(const char*, int written) {
  g_shot_reports++;
  g_shot_written = written;
}

// A scene that presents itself is drawn after the request, in place of the present.
int shoot(const char* folder, const char* backend, const char* scene, void (*presenting)(void) = nullptr) {
  std::string path = std::string(folder) + "/" + backend + "_" + scene + ".bmp";
  g_shot_reports = g_shot_written = 0;
  int requested = render_screenshot(path.c_str());
  if (presenting)
    presenting();
  else
    render_present(&g_window);
  int ok = requested && g_shot_reports == 1 && g_shot_written == 1;
  if (!ok) printf("FAIL screenshot %s\n", path.c_str());
  return ok;
}

void pump(void) { window_pump_messages(&g_window, nullptr); }

// ---- State-shadow checks through the counting layer.
void set_up_counted_record(uint32_t flags, int32_t texture) {
  draw_set_texture(texture);
  draw_set_blend(BLEND_ADDITIVE);
  draw_set_depth_function(DEPTH_LESS_EQUAL);
  draw_set_fog(0, 10, 0.5f, 0.5f, 0.5f);
  RenderVertex a = vtx(0, 0, 0, 0xFFFFFFFF), b = vtx(0.5f, 0, 0, 0xFFFFFFFF),
               c = vtx(0, -0.5f, 0, 0xFFFFFFFF);
  draw_reset();
  draw_add_triangle(&a, &b, &c);
  draw_set_flags(flags);
  draw_flush(nullptr);
}

void counts(bool arrays) {
  const uint32_t FLAGS = DRAW_TEXTURE | DRAW_DEPTH_TEST | DRAW_BLEND | DRAW_FOG | DRAW_CULL;
  set_up_counted_record(FLAGS, TEX_QUADS);
  gl_api_reset_counts();
  draw_primitives(PRIM_TRIANGLES);  // first draw: uploads the texture and sets everything
  check(gl_api_count(GL_FN_TexImage2D) == 1, "one level uploaded for a texture without mips");
  uint64_t first_state = gl_api_state_calls();
  gl_api_reset_counts();
  draw_primitives(PRIM_TRIANGLES);
  printf("state calls: first draw %llu, second identical draw %llu, all calls of the second %llu\n",
         (unsigned long long)first_state, (unsigned long long)gl_api_state_calls(),
         (unsigned long long)gl_api_total());
  check(gl_api_state_calls() == 0, "a second identical draw issues no state calls");
  if (arrays) check(gl_api_total() == 1 && gl_api_count(GL_FN_DrawArrays) == 1, "only glDrawArrays");
  if (!arrays) check(gl_api_count(GL_FN_Begin) == 1 && gl_api_count(GL_FN_Vertex3fv) == 3, "immediate mode");

  // After a suspend and resume every item goes out again, values unchanged.
  render_suspend(&g_window, 1);
  render_suspend(&g_window, 0);
  gl_api_reset_counts();
  draw_primitives(PRIM_TRIANGLES);
  uint64_t toggles = gl_api_count(GL_FN_Enable) + gl_api_count(GL_FN_Disable);
  printf("after resume: %llu state calls, %llu enables and disables\n",
         (unsigned long long)gl_api_state_calls(), (unsigned long long)toggles);
  check(toggles == 6, "texturing, depth, alpha, cull, blend and fog re-issued");
  check(gl_api_count(GL_FN_DepthFunc) == 1 && gl_api_count(GL_FN_BlendFunc) == 1, "functions re-issued");
  check(gl_api_count(GL_FN_DepthMask) == 1 && gl_api_count(GL_FN_ColorMask) == 1, "masks re-issued");
  check(gl_api_count(GL_FN_Fogi) == 1 && gl_api_count(GL_FN_Fogf) == 2 && gl_api_count(GL_FN_Fogfv) == 1,
        "fog re-issued");
  check(gl_api_count(GL_FN_LoadMatrixf) == 2, "matrices re-issued");
  if (arrays) {
    check(gl_api_count(GL_FN_BindTexture) == 1, "texture re-bound");
    check(gl_api_count(GL_FN_VertexPointer) + gl_api_count(GL_FN_TexCoordPointer) +
                  gl_api_count(GL_FN_ColorPointer) ==
              3,
          "pointers re-issued");
  } else {
    check(gl_api_count(GL_FN_CallList) == 1, "the texture's list called again after resume");
  }
  // The resident texture was re-uploaded at resume; a texture loaded while suspended is not.
  render_suspend(&g_window, 1);
  gl_api_reset_counts();
  gl_texture_loaded(TEX_MIPS);
  check(gl_api_count(GL_FN_TexImage2D) == 0, "nothing uploaded while suspended");
  render_suspend(&g_window, 0);
  uint64_t levels = 0;
  for (const Texture* t = g_mips; t; t = t->next) levels++;
  printf("mip levels %llu, glTexImage2D at resume %llu\n", (unsigned long long)levels,
         (unsigned long long)gl_api_count(GL_FN_TexImage2D));
  check(levels == 4 && gl_api_count(GL_FN_TexImage2D) == levels, "one glTexImage2D per level at resume");
  // Releasing drops the name; the next draw naming it uploads again.
  gl_texture_released(TEX_MIPS);
  check(gl_api_count(arrays ? GL_FN_DeleteTextures : GL_FN_DeleteLists) == 1, "released texture deleted");

  // Asset events reach the backend through the bus: loaded uploads, released deletes, other
  // asset types are ignored.
  gl_api_reset_counts();
  AssetEventPayload loaded = {HARNESS_ASSET_TEXTURE, TEX_MIPS},
                    other = {HARNESS_ASSET_TEXTURE + 1, TEX_QUADS};
  event_post_copy(EVENT_ASSET_LOADED, &loaded, sizeof loaded);
  event_post_copy(EVENT_ASSET_RELEASED, &other, sizeof other);
  event_dispatch();
  check(gl_api_count(GL_FN_TexImage2D) == levels, "a loaded event uploads every level");
  check(gl_api_count(arrays ? GL_FN_DeleteTextures : GL_FN_DeleteLists) == 0, "other asset types ignored");
  event_post_copy(EVENT_ASSET_RELEASED, &loaded, sizeof loaded);
  event_dispatch();
  check(gl_api_count(arrays ? GL_FN_DeleteTextures : GL_FN_DeleteLists) == 1, "a released event deletes");

  // Primitive 3 draws nothing; a screen-space draw turns fog off.
  gl_api_reset_counts();
  draw_primitives(3);
  check(gl_api_count(GL_FN_DrawArrays) + gl_api_count(GL_FN_Begin) == 0, "primitive 3 draws nothing");
  set_up_counted_record(DRAW_FOG, 0);
  draw_set_fog(5, 5, 0, 0, 0);
  gl_api_reset_counts();
  draw_primitives(PRIM_TRIANGLES);
  check(gl_api_count(GL_FN_Disable) >= 1 && gl_api_count(GL_FN_Fogi) == 0, "fog end = start: fog off");

  // Filters and levels as the driver holds them: trilinear filtering is off here, and a
  // chain cut short above 1 x 1 declares its last level so the texture stays complete.
  if (arrays) {
    GLint min_filter = 0, max_level = 0;
    glBindTexture(GL_TEXTURE_2D, gl_texture_upload(TEX_MIPS));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min_filter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &max_level);
    check(min_filter == GL_LINEAR_MIPMAP_NEAREST, "bilinear mip filter without trilinear filtering");
    check(max_level == 3, "full chain: levels 0..3");
    gl_texture_released(TEX_MIPS);
    Texture* level = g_mips;
    while (level->width > 2) level = level->next;
    Texture* rest = level->next;
    level->next = nullptr;
    glBindTexture(GL_TEXTURE_2D, gl_texture_upload(TEX_MIPS));
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, &max_level);
    check(max_level == 2, "a chain ending at 2 x 2 ends at level 2");
    level->next = rest;
    gl_texture_released(TEX_MIPS);
    render_suspend(&g_window, 1);  // the binds above went behind the shadow
    render_suspend(&g_window, 0);
  }

  // Texture changes in the display-list backend call each list once.
  if (!arrays) {
    set_up_counted_record(DRAW_TEXTURE, TEX_NPOT);
    gl_api_reset_counts();
    draw_primitives(PRIM_TRIANGLES);
    set_up_counted_record(DRAW_TEXTURE, TEX_QUADS);
    draw_primitives(PRIM_TRIANGLES);
    draw_primitives(PRIM_TRIANGLES);
    check(gl_api_count(GL_FN_CallList) == 2, "two draws with one texture call its list once");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: render_harness arrays|lists OUTDIR|counts|hold OUTDIR|ui\n");
    return 2;
  }
  const char* backend = argv[1];
  bool arrays = strcmp(backend, "arrays") == 0;
  if (!arrays && strcmp(backend, "lists") != 0) return 2;
  bool counting = strcmp(argv[2], "counts") == 0;
  bool hold = strcmp(argv[2], "hold") == 0;
  bool ui_demo = strcmp(argv[2], "ui") == 0;
  int width = ui_demo ? 480 : W, height = ui_demo ? 360 : H;
  if (hold && argc < 4) return 2;
  const char* folder = hold ? argv[3] : argv[2];
  if (counting) gl_api_use_counting();
  event_bus_start();

  if (!harness_window_open(&g_window, width, height, "Render Harness", arrays)) return 1;
  render_init_device();
  render_set_screenshot_listener(screenshot_done);
  render_resize(width, height);
  draw_startup();
  draw_set_vertex_stage(stage_none);
  draw_set_transform_stage(transform_in_place);
  make_textures();
  make_strips();
  printf("backend %s: %s, %s, %s\n", backend, render_active_table()->renderer_name(),
         render_active_table()->version_name(),
         render_active_table()->anisotropy_supported ? "arrays" : "lists");
  uint64_t size = render_get_size();
  check((size & 0xFFFFFFFF) == (uint64_t)width && size >> 32 == (uint64_t)height, "viewport is the window");

  if (ui_demo) {
    if (ui_demo_run(&g_window, HARNESS_ASSETS_DIR) != 0) g_failures++;
  } else if (counting) {
    counts(arrays);
  } else if (hold) {
    scene_flat();
    shoot(folder, backend, "hold");
    scene_flat();
    render_present(&g_window);
    printf("ready\n");
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin)) pump();
  } else {
    if (!ui_scenes_start(HARNESS_ASSETS_DIR)) g_failures++;
    for (const Scene& s : SCENES) {
      pump();
      if (!s.presents) s.draw();
      if (!shoot(folder, backend, s.name, s.presents ? s.draw : nullptr)) g_failures++;
    }
    ui_scenes_stop();
  }
  draw_shutdown();
  render_shutdown_device();
  render_uninstall(&g_window);
  window_destroy(&g_window);
  event_bus_stop();
  printf("%s\n", g_failures ? "FAILED" : "OK");
  return g_failures ? 1 : 0;
}
