#include "support/backend_testing.h"

#include <cstring>

#include "base/strings.h"

namespace {

RecordedOp g_log[RECORDING_LIMIT];
int g_count;
int g_answer = 1;
uint32_t g_format = PF_RGBA8888;
uint32_t g_width = 640, g_height = 480;

RecordedOp* record(int slot) {
  RecordedOp* op = &g_log[g_count % RECORDING_LIMIT];
  g_count++;
  memset(op, 0, sizeof *op);
  op->slot = slot;
  return op;
}

RecordedOp* record_ints(int slot, int32_t a = 0, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  RecordedOp* op = record(slot);
  op->args[0] = a;
  op->args[1] = b;
  op->args[2] = c;
  op->args[3] = d;
  return op;
}

int rec_init_device(void) { return record(0), g_answer; }
void rec_shutdown_device(void) { record(1); }
int rec_suspend(Window* window, int flag) {
  record_ints(2, flag)->window = window;
  return g_answer;
}
int rec_destroy(Window* window) {
  record(3)->window = window;
  return g_answer;
}
int rec_begin_scene(void) { return record(4), g_answer; }
int rec_end_scene(void) { return record(5), g_answer; }
int rec_present(void) { return record(6), g_answer; }
void rec_clear(float red, float green, float blue, uint32_t flags) {
  RecordedOp* op = record(7);
  op->colour[0] = red;
  op->colour[1] = green;
  op->colour[2] = blue;
  op->flags = flags;
}
int rec_draw(DrawRecord* r) {
  record(8)->record = *r;
  return g_answer;
}
uint32_t rec_choose_pixel_format(int texture_class) {
  record_ints(9, texture_class);
  return g_format;
}
int rec_can_pair_textures(int32_t a, int32_t b) { return record_ints(10, a, b), g_answer; }
int rec_transforms_vertices(void) { return record(11), g_answer; }
int rec_vsync_supported(void) { return record(12), g_answer; }
int rec_anisotropy_supported(void) { return record(13), g_answer; }
int rec_set_vsync(int on) { return record_ints(14, on), g_answer; }
void rec_set_viewport(int x, int y, int width, int height) { record_ints(15, x, y, width, height); }
void rec_resize(int width, int height) { record_ints(16, width, height); }
uint64_t rec_get_size(void) {
  record(17);
  return (uint64_t)g_height << 32 | g_width;
}
const char* rec_renderer_name(void) { return record(18), "Recording Device"; }
const char* rec_vendor_name(void) { return record(19), "Ostrevane"; }
const char* rec_version_name(void) { return record(20), "1.0"; }
int rec_screenshot(const char* path) {
  string_copy_utf8(record(21)->path, sizeof g_log[0].path, path);
  return g_answer;
}

}  // namespace

void null_backend_fill(RenderBackend* table) { *table = RenderBackend{}; }

namespace {
int quiet_present(void) { return 1; }
int install_quiet(Window*, RenderBackend* table) {
  null_backend_fill(table);
  table->present = quiet_present;
  return 1;
}
int any_pixel_format(Window*) { return 1; }
const RenderBackendInits kQuietInits = {any_pixel_format, install_quiet, install_quiet, nullptr, nullptr, nullptr};
}  // namespace

const RenderBackendInits* quiet_backend_inits(void) { return &kQuietInits; }

void recording_backend_fill(RenderBackend* table) {
  *table = RenderBackend{
      rec_init_device,
      rec_shutdown_device,
      rec_suspend,
      rec_destroy,
      rec_begin_scene,
      rec_end_scene,
      rec_present,
      rec_clear,
      rec_draw,
      rec_choose_pixel_format,
      rec_can_pair_textures,
      rec_transforms_vertices,
      rec_vsync_supported,
      rec_anisotropy_supported,
      rec_set_vsync,
      rec_set_viewport,
      rec_resize,
      rec_get_size,
      rec_renderer_name,
      rec_vendor_name,
      rec_version_name,
      rec_screenshot,
  };
  recording_backend_reset();
}

void recording_backend_reset(void) { g_count = 0; }

int recording_backend_count(void) { return g_count; }

const RecordedOp* recording_backend_op(int index) {
  if (index < 0 || index >= g_count || index < g_count - RECORDING_LIMIT) return nullptr;
  return &g_log[index % RECORDING_LIMIT];
}

void recording_backend_configure(int answer, uint32_t format, uint32_t width, uint32_t height) {
  g_answer = answer;
  g_format = format;
  g_width = width;
  g_height = height;
}

static int install_plain_recording(Window*, RenderBackend* table) {
  recording_backend_fill(table);
  return 1;
}

int recording_backend_install(int (*install)(Window*, RenderBackend*)) {
  static RenderBackendInits inits;
  if (!install) install = install_plain_recording;
  inits = RenderBackendInits{any_pixel_format, install, install, nullptr, nullptr, nullptr};
  render_set_backend_inits(&inits);
  return render_install(nullptr, 0);
}

void recording_backend_uninstall(void) {
  render_uninstall(nullptr);
  render_set_backend_inits(nullptr);
  recording_backend_configure(1, PF_RGBA8888, 640, 480);
}
