#include "render/render.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>

#include "platform/lib.h"
#include "platform/window.h"
#include "support/backend_testing.h"

namespace {

enum Installed { NONE, GL_ARRAYS, GL_LISTS, D3D9, DDRAW, GLIDE };
enum : int { LIB_GLIDE = 1, LIB_D3D9 = 2, LIB_DDRAW = 4, LIB_D3D9_WITHOUT_ENTRY = 8 };
enum : int { GL_FORMAT = 1, GL_ARRAYS_OK = 2, GL_LISTS_OK = 4, GL_ALL = 7 };

int g_gl;
Installed g_installed;
Lib* g_lib;
int g_destroyed;
uint32_t g_null_slots;

void entry_point(void) {}
const FakeLibSymbol GLIDE_SYMBOLS[] = {{"grGlideInit", (void*)entry_point}};
const FakeLibSymbol D3D9_SYMBOLS[] = {{"Direct3DCreate9", (void*)entry_point}};
const FakeLibSymbol DDRAW_SYMBOLS[] = {{"DirectDrawCreate", (void*)entry_point}};

int test_destroy(Window*) {
  // The front end must have dropped both tables before it hands over to destroy.
  RenderBackend empty{};
  EXPECT_EQ(memcmp(render_backend_table(), &empty, sizeof empty), 0);
  EXPECT_EQ(memcmp(render_active_table(), &empty, sizeof empty), 0);
  lib_close(g_lib);
  g_lib = nullptr;
  g_destroyed++;
  return 1;
}

void fill(RenderBackend* t, Installed which) {
  recording_backend_fill(t);
  t->destroy = test_destroy;
  void** slots = (void**)t;
  for (int i = 0; i < 22; i++)
    if (g_null_slots >> i & 1) slots[i] = nullptr;
  g_installed = which;
}

int init_gl_format(Window*) { return g_gl & GL_FORMAT; }
int init_gl_arrays(Window*, RenderBackend* t) {
  if (!(g_gl & GL_ARRAYS_OK)) return 0;
  fill(t, GL_ARRAYS);
  return 1;
}
int init_gl_lists(Window*, RenderBackend* t) {
  if (!(g_gl & GL_LISTS_OK)) return 0;
  fill(t, GL_LISTS);
  return 1;
}
// A library without its entry point is no backend.
int init_library(Lib* lib, RenderBackend* t, const char* symbol, Installed which) {
  if (!lib_symbol(lib, symbol)) return 0;
  fill(t, which);
  g_lib = lib;
  return 1;
}
int init_d3d9(Window*, Lib* lib, RenderBackend* t) { return init_library(lib, t, "Direct3DCreate9", D3D9); }
int init_ddraw(Window*, Lib* lib, RenderBackend* t) {
  return init_library(lib, t, "DirectDrawCreate", DDRAW);
}
int init_glide(Window*, Lib* lib, RenderBackend* t) { return init_library(lib, t, "grGlideInit", GLIDE); }

const RenderBackendInits TEST_INITS = {init_gl_format, init_gl_arrays, init_gl_lists,
                                       init_d3d9,      init_ddraw,     init_glide};

void register_libraries(int libs) {
  lib_clear_fakes();
  if (libs & LIB_GLIDE) lib_register_fake("Glide3x.dll", GLIDE_SYMBOLS, 1);
  if (libs & LIB_D3D9) lib_register_fake("d3d9.dll", D3D9_SYMBOLS, 1);
  if (libs & LIB_D3D9_WITHOUT_ENTRY) lib_register_fake("d3d9.dll", nullptr, 0);
  if (libs & LIB_DDRAW) lib_register_fake("ddraw.dll", DDRAW_SYMBOLS, 1);
}

class RenderFrontEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    render_set_backend_inits(&TEST_INITS);
    g_gl = GL_ALL;
    g_installed = NONE;
    g_destroyed = 0;
    g_null_slots = 0;
    recording_backend_configure(1, PF_RGBA8888, 640, 480);
    window = Window{};
    window.display_mode = DISPLAY_WINDOWED;
  }
  void TearDown() override {
    render_uninstall(&window);
    render_set_backend_inits(nullptr);
    lib_clear_fakes();
  }
  Window window;
};

struct SelectionCase {
  const char* why;
  int kind, libs, gl;
  int probe;
  Installed installed;
};

const SelectionCase SELECTION[] = {
    {"OpenGL with vertex arrays first", 0, 0, GL_ALL, 1, GL_ARRAYS},
    {"an unknown kind means OpenGL", 5, LIB_GLIDE | LIB_D3D9, GL_ALL, 1, GL_ARRAYS},
    {"a negative kind means OpenGL", -1, 0, GL_ALL, 1, GL_ARRAYS},
    {"display lists when vertex arrays fail", 0, 0, GL_FORMAT | GL_LISTS_OK, 1, GL_LISTS},
    {"no OpenGL backend at all", 0, 0, GL_FORMAT, 1, NONE},
    {"pixel format refused", 0, 0, GL_ARRAYS_OK | GL_LISTS_OK, 1, NONE},
    {"Glide without its library", 1, LIB_D3D9 | LIB_DDRAW, GL_ALL, 0, NONE},
    {"Glide with its library", 1, LIB_GLIDE, GL_ALL, 1, GLIDE},
    {"Direct3D without either library", 2, LIB_GLIDE, GL_ALL, 0, NONE},
    {"DirectDraw when only ddraw loads", 2, LIB_DDRAW, GL_ALL, 1, DDRAW},
    {"Direct3D 9 when only d3d9 loads", 2, LIB_D3D9, GL_ALL, 1, D3D9},
    {"Direct3D 9 preferred over DirectDraw", 2, LIB_D3D9 | LIB_DDRAW, GL_ALL, 1, D3D9},
    {"DirectDraw when Direct3D 9 fails to start", 2, LIB_D3D9_WITHOUT_ENTRY | LIB_DDRAW, GL_ALL, 1, DDRAW},
    {"Direct3D 9 failing with no fallback library", 2, LIB_D3D9_WITHOUT_ENTRY, GL_ALL, 1, NONE},
};

TEST_F(RenderFrontEnd, BackendSelectionFollowsKindAndAvailableLibraries) {
  for (const SelectionCase& c : SELECTION) {
    SCOPED_TRACE(c.why);
    register_libraries(c.libs);
    g_gl = c.gl;
    g_installed = NONE;
    int open_before = lib_open_count();
    EXPECT_EQ(render_probe(c.kind), c.probe);
    EXPECT_EQ(lib_open_count(), open_before) << "the probe frees what it loads";
    EXPECT_EQ(render_install(&window, c.kind), c.installed != NONE);
    EXPECT_EQ(g_installed, c.installed);
    bool library_backend = c.installed == D3D9 || c.installed == DDRAW || c.installed == GLIDE;
    EXPECT_EQ(lib_open_count(), open_before + (library_backend ? 1 : 0))
        << "a failed backend's library is freed";
    g_destroyed = 0;
    render_uninstall(&window);
    EXPECT_EQ(g_destroyed, c.installed != NONE ? 1 : 0);
    EXPECT_EQ(lib_open_count(), open_before);
  }
}

TEST_F(RenderFrontEnd, BuiltInBackendsOnThisSystem) {
  render_set_backend_inits(nullptr);
  lib_clear_fakes();
  EXPECT_EQ(render_probe(0), 1);
  EXPECT_EQ(render_probe(1), 0) << "no Glide3x.dll here";
  EXPECT_EQ(render_probe(2), 0) << "no d3d9.dll or ddraw.dll here";
  EXPECT_EQ(render_install(&window, 1), 0);
  EXPECT_EQ(render_install(&window, 2), 0);
  register_libraries(LIB_D3D9 | LIB_DDRAW);
  int open_before = lib_open_count();
  EXPECT_EQ(render_probe(2), 1);
  EXPECT_EQ(render_install(&window, 2), 0) << "those backends are not built on this platform";
  EXPECT_EQ(lib_open_count(), open_before);
  // The OpenGL backends need a real window to make their context on (the display tests
  // install them on one); without one installation fails and leaves nothing behind.
  window.handle = nullptr;
  EXPECT_EQ(render_install(&window, 0), 0);
  RenderBackend empty{};
  EXPECT_EQ(memcmp(render_backend_table(), &empty, sizeof empty), 0);
}

TEST_F(RenderFrontEnd, ResolutionCheckOnlyForGlide) {
  struct Case {
    int kind, width, height, ok;
  } cases[] = {{1, 640, 480, 1}, {1, 2048, 2048, 1}, {1, 856, 480, 1}, {1, 641, 480, 0},
               {1, 480, 640, 0}, {0, 641, 480, 1},   {2, 1, 1, 1},     {7, 123, 45, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(render_check_resolution(c.kind, c.width, c.height, 16, 60), c.ok)
        << c.kind << " " << c.width << "x" << c.height;
}

TEST_F(RenderFrontEnd, DefaultsWithoutABackend) {
  EXPECT_EQ(render_get_size(), (uint64_t)1 << 32 | 1);
  for (int k = 0; k <= 8; k++)
    EXPECT_EQ(render_choose_pixel_format(k), k <= 2 ? PF_RGBA8888 : PF_RGB888) << k;
  EXPECT_EQ(render_choose_pixel_format(-1), (uint32_t)PF_RGB888);
  EXPECT_EQ(render_screenshot("never-written.bmp"), 0);
  EXPECT_EQ(render_can_pair_textures(1, 2), 0);
  EXPECT_EQ(render_transforms_vertices(), 0);
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 5; i++) render_present(&window);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5)) << "present sleeps 1 ms";
}

int count_slot(int slot, int from) {
  int n = 0;
  for (int i = from; i < recording_backend_count(); i++) n += recording_backend_op(i)->slot == slot;
  return n;
}

TEST_F(RenderFrontEnd, SuspendRoutesDrawingToTheNullTable) {
  ASSERT_EQ(render_install(&window, 0), 1);
  recording_backend_configure(1, PF_BGR565, 800, 600);
  recording_backend_reset();
  render_suspend(&window, 1);
  ASSERT_EQ(recording_backend_count(), 1);
  EXPECT_EQ(recording_backend_op(0)->slot, 2);
  EXPECT_EQ(recording_backend_op(0)->args[0], 1);
  EXPECT_EQ(recording_backend_op(0)->window, &window);
  EXPECT_TRUE(render_suspended());

  DrawRecord record{};
  auto start = std::chrono::steady_clock::now();
  render_begin_scene();
  render_clear(1, 0, 0, CLEAR_COLOUR | CLEAR_DEPTH);
  render_draw(&record);
  render_end_scene();
  for (int i = 0; i < 3; i++) render_present(&window);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3));
  EXPECT_EQ(render_get_size(), (uint64_t)1 << 32 | 1);
  EXPECT_EQ(recording_backend_count(), 1) << "nothing drawn while suspended";

  EXPECT_EQ(render_choose_pixel_format(3), (uint32_t)PF_BGR565) << "formats still come from the backend";
  render_shutdown_device();
  EXPECT_EQ(count_slot(9, 0), 1);
  EXPECT_EQ(count_slot(1, 0), 1);

  render_suspend(&window, 0);
  EXPECT_FALSE(render_suspended());
  int mark = recording_backend_count();
  EXPECT_EQ(recording_backend_op(mark - 1)->slot, 2);
  EXPECT_EQ(recording_backend_op(mark - 1)->args[0], 0);
  render_draw(&record);
  render_present(&window);
  EXPECT_EQ(count_slot(8, mark), 1);
  EXPECT_EQ(count_slot(6, mark), 1);
  EXPECT_EQ(render_get_size(), (uint64_t)600 << 32 | 800);
}

TEST_F(RenderFrontEnd, DrawPassesTheRecordUnchanged) {
  ASSERT_EQ(render_install(&window, 0), 1);
  recording_backend_reset();
  DrawRecord record;
  memset(&record, 0, sizeof record);
  RenderVertex vertices[3] = {{1, 2, 3, 1, 0xFF102030u, 0, 0.5f, 0.25f}};
  record.vertices = vertices;
  record.count = 3;
  record.primitive = PRIM_LINES;
  record.blend = BLEND_ADDITIVE;
  record.depth_function = DEPTH_LESS_EQUAL;
  record.flags = DRAW_TEXTURE | DRAW_BLEND | DRAW_FOG;
  record.point_size = 1;
  record.line_width = 2.5f;
  record.fog_end = 100;
  record.texture = 77;
  record.model.m[12] = 5;
  render_draw(&record);
  ASSERT_EQ(recording_backend_count(), 1);
  EXPECT_EQ(memcmp(&recording_backend_op(0)->record, &record, sizeof record), 0);
}

TEST_F(RenderFrontEnd, ResizeIsSkippedForEmptySizesAndFullScreen) {
  ASSERT_EQ(render_install(&window, 0), 1);
  recording_backend_reset();
  render_resize(0, 480);
  render_resize(640, 0);
  EXPECT_EQ(recording_backend_count(), 0);
  render_resize(1024, 700);
  ASSERT_EQ(recording_backend_count(), 1);
  EXPECT_EQ(recording_backend_op(0)->args[0], 1024);
  EXPECT_EQ(recording_backend_op(0)->args[1], 700);
  window.display_mode = DISPLAY_FULL_SCREEN;
  render_resize(800, 600);
  EXPECT_EQ(recording_backend_count(), 1);
}

// Every dispatcher, for any subset of empty slots: a filled slot is called exactly once, an
// empty one answers its default and nothing crashes.
TEST_F(RenderFrontEnd, DispatchersAreSafeWithAnySubsetOfNullSlots) {
  std::mt19937 random(2024);
  DrawRecord record{};
  for (int round = 0; round < 200; round++) {
    g_null_slots = round == 0 ? 0x3FFFFF : round == 1 ? 0 : random() & 0x3FFFFF;
    SCOPED_TRACE(g_null_slots);
    ASSERT_EQ(render_install(&window, 0), 1);
    recording_backend_configure(7, PF_ABGR4444, 320, 200);
    recording_backend_reset();
    auto filled = [](int slot) { return !(g_null_slots >> slot & 1); };
    int expected = 0;
    auto check = [&](int slot) {
      expected += filled(slot);
      EXPECT_EQ(recording_backend_count(), expected) << "slot " << slot;
    };
    render_init_device();
    check(0);
    render_begin_scene();
    check(4);
    render_end_scene();
    check(5);
    render_clear(0.5f, 0.25f, 0, CLEAR_COLOUR);
    check(7);
    render_draw(&record);
    check(8);
    render_present(&window);
    check(6);
    EXPECT_EQ(render_choose_pixel_format(1), filled(9) ? (uint32_t)PF_ABGR4444 : (uint32_t)PF_RGBA8888);
    check(9);
    EXPECT_EQ(render_can_pair_textures(3, 4), filled(10) ? 7 : 0);
    check(10);
    EXPECT_EQ(render_transforms_vertices(), filled(11) ? 7 : 0);
    check(11);
    EXPECT_EQ(render_vsync_supported(), filled(12) ? 7 : 0);
    check(12);
    EXPECT_EQ(render_anisotropy_supported(), filled(13) ? 7 : 0);
    check(13);
    render_set_vsync(1);
    check(14);
    render_resize(300, 200);
    check(16);
    EXPECT_EQ(render_get_size(), filled(17) ? (uint64_t)200 << 32 | 320 : (uint64_t)1 << 32 | 1);
    check(17);
    EXPECT_EQ(render_screenshot("recorded-only.bmp"), filled(21) ? 7 : 0);
    check(21);
    render_suspend(&window, 1);
    check(2);
    render_suspend(&window, 0);
    check(2);
    render_shutdown_device();
    check(1);
    g_destroyed = 0;
    render_uninstall(&window);
    EXPECT_EQ(g_destroyed, filled(3) ? 1 : 0);
    EXPECT_EQ(recording_backend_count(), expected) << "uninstall calls only destroy";
  }
}

}  // namespace
