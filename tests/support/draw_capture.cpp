#include "support/draw_capture.h"

#include "render/draw.h"
#include "support/backend_testing.h"

namespace {

std::vector<CapturedDraw> g_draws;

int capture_draw(DrawRecord* r) {
  CapturedDraw d{r->flags, r->blend, r->depth_function, r->texture, r->primitive, {}};
  if (r->indices && r->index_total)
    for (uint32_t i = 0; i < r->index_total; i++) d.triangles.push_back(r->vertices[r->indices[i]]);
  else
    for (uint32_t i = 0; i < r->count; i++) d.triangles.push_back(r->vertices[i]);
  g_draws.push_back(d);
  return 1;
}

int pixel_format_ok(Window*) { return 1; }
int install_capture(Window*, RenderBackend* table) {
  recording_backend_fill(table);
  table->draw = capture_draw;
  return 1;
}

const RenderBackendInits CAPTURE_INITS = {pixel_format_ok, install_capture, install_capture,
                                          nullptr,         nullptr,         nullptr};

}  // namespace

void draw_capture_install(void) {
  render_set_backend_inits(&CAPTURE_INITS);
  render_install(nullptr, 0);
  recording_backend_configure(1, PF_RGBA8888, 640, 480);
  draw_startup();
  g_draws.clear();
}

void draw_capture_uninstall(void) {
  draw_shutdown();
  render_uninstall(nullptr);
  render_set_backend_inits(nullptr);
  g_draws.clear();
}

const std::vector<CapturedDraw>& draw_capture_draws(void) { return g_draws; }
void draw_capture_clear(void) { g_draws.clear(); }
