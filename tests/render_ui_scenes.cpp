#include "render_ui_scenes.h"

#include <cstdio>

#include "assets/assets.h"
#include "assets/cache.h"
#include "assets/font.h"
#include "base/event_bus.h"
#include "render/gl_shared/gl_texture_source.h"
#include "render/render.h"
#include "render/texture_prep.h"
#include "ui/ninepatch.h"
#include "ui/text_layout.h"
#include "ui/ui_draw.h"
#include "ui/ui_draw_list.h"
#include "ui/ui_frame.h"

namespace {

enum : uint32_t { FONT_INTERFACE = 1, FONT_SMALL = 2, FONT_TITLE = 3 };
enum : int32_t { TEX_FRAME = 60100, TEX_TILE = 60101 };
const uint32_t FONTS[] = {FONT_INTERFACE, FONT_SMALL, FONT_TITLE};
const int32_t TEXTURES[] = {60001, 60002, 60003, TEX_FRAME, TEX_TILE};

int32_t g_width, g_height;

// Scene geometry is given in picture pixels (x right, y down from the top-left corner), as a
// person reads the screenshot; UI space has its origin at the bottom-left.
int32_t ui_y(int32_t top, int32_t height) { return g_height - top - height; }

UiClip clip_of(int32_t left, int32_t top, int32_t width, int32_t height) {
  return UiClip{left, ui_y(top, height), width, height};
}

// A window that draws nothing of its own (its fill is transparent), holding widgets.
const UiStyle INVISIBLE = {};

UiWindow* window(const UiClip& clip) {
  UiWindow w = {};
  w.width = g_width;
  w.height = g_height;
  w.clip = clip;
  w.style = &INVISIBLE;
  w.visible = 1;
  return ui_frame_declare_window(&w);
}

void begin_frame(void) {
  render_clear(0.08f, 0.1f, 0.16f, CLEAR_COLOUR | CLEAR_DEPTH);
  uint64_t size = render_get_size();
  g_width = (int32_t)(size & 0xFFFFFFFF);
  g_height = (int32_t)(size >> 32);
  ui_draw_set_frame(g_width, g_height);
  ui_frame_reset();
}

// ---- Text.
struct TextBlock {
  uint32_t font;
  int32_t left, top;
  int mode;
  int32_t width;  // the wrapping width of mode 1
  const char* text;
  UiColour colour;
  int clipped;  // drawn in the clipped window
};

// Link markers: U+F0001 and U+F0002 open links 1 and 2, U+E000 closes. The title holds a
// lone lead byte, which layout steps over.
#define OPEN1 "\xF3\xB0\x80\x81"
#define OPEN2 "\xF3\xB0\x80\x82"
#define CLOSE "\xEE\x80\x80"
const TextBlock TEXTS[] = {
    {FONT_TITLE, 10, 8, TEXT_LAYOUT_NO_WRAP, 0, "Harbour\xC3 Notices", {1.0f, 0.8f, 0.2f, 1.0f}, 0},
    {FONT_INTERFACE,
     10,
     34,
     TEXT_LAYOUT_WRAP,
     140,
     "The quick brown fox jumps over the lazy dog beside the old harbour wall; caf\xC3\xA9 \xC3\xA0 la "
     "cr\xC3\xA8me for everyone.",
     {1.0f, 1.0f, 1.0f, 1.0f},
     0},
    {FONT_SMALL,
     170,
     34,
     TEXT_LAYOUT_WRAP,
     140,
     "Ask the " OPEN1 "harbour master" CLOSE " about " OPEN2 "the night ferry" CLOSE " or the gate.",
     {0.8f, 0.8f, 0.8f, 0.75f},
     0},
    {FONT_INTERFACE,
     170,
     150,
     TEXT_LAYOUT_NO_WRAP,
     0,
     "Clipped against its\nwindow, Ostrevane",
     {0.6f, 1.0f, 0.6f, 1.0f},
     1},
};
#undef OPEN1
#undef OPEN2
#undef CLOSE
// Cuts the last block through its glyphs on the left and through its first line at the top.
const int32_t TEXT_CLIP[4] = {180, 156, 120, 30};

UiColour link_colour(uint32_t, uint32_t link, UiColour base) {
  if (link == 1) return UiColour{0.3f, 0.9f, 1.0f, 1.0f};
  return UiColour{1.0f, 0.5f, 0.2f, base.a};
}
UiCallbacks link_callbacks(void) {
  UiCallbacks c = {};
  c.link_colour = link_colour;
  return c;
}
const UiCallbacks LINK_CALLBACKS = link_callbacks();

enum : uint32_t { RUN_CAPACITY = 256 };
uint32_t g_runs[sizeof TEXTS / sizeof TEXTS[0]][RUN_CAPACITY];
UiStyle g_text_styles[sizeof TEXTS / sizeof TEXTS[0]];

// ---- Frames: the bevelled frame stretched and tiled, the two-tone tile tiled, and the
// frame stretched again under a clip. Sizes keep the stretched middles at whole multiples of
// the texture's middle, so no pixel centre falls on a texel edge.
struct FrameBlock {
  int32_t texture, texture_size, border;
  int tiled;
  int32_t left, top, width, height;
  int clipped;
};
const FrameBlock FRAMES[] = {
    {TEX_FRAME, 32, 8, 0, 12, 12, 128, 80, 0},
    {TEX_FRAME, 32, 8, 1, 160, 12, 150, 100, 0},
    {TEX_TILE, 16, 4, 1, 12, 124, 130, 100, 0},
    {TEX_FRAME, 32, 8, 0, 160, 124, 144, 96, 1},
};
const int32_t FRAME_CLIP[4] = {166, 128, 120, 84};
UiStyle g_frame_style;

const Font* loaded_font(uint32_t id) {
  AssetHandle handle;
  asset_request(&handle, ASSET_FONT, id);
  return handle.ready ? (const Font*)handle.object : nullptr;
}

}  // namespace

int ui_scenes_start(const char* assets_dir) {
  static const TextureHooks hooks = {render_choose_pixel_format, texture_prepare};
  texture_set_hooks(&hooks);
  assets_startup(assets_dir);
  ui_draw_startup();
  int ok = 1;
  for (uint32_t id : FONTS) {
    AssetHandle handle;
    asset_request_wait(&handle, ASSET_FONT, id);
    if (!handle.object) {
      printf("FAIL font %u not in %s\n", id, assets_dir);
      ok = 0;
    }
  }
  for (int32_t id : TEXTURES) {
    AssetHandle handle;
    asset_request_wait(&handle, ASSET_TEXTURE, (uint32_t)id);
    if (!handle.object || handle.failed) {
      printf("FAIL texture %d not in %s\n", id, assets_dir);
      ok = 0;
    }
  }
  event_dispatch();  // the backend uploads what was loaded
  return ok;
}

void ui_scenes_stop(void) {
  ui_draw_shutdown();
  assets_shutdown();
  event_dispatch();
}

int ui_scenes_request_texture(int32_t id, Texture** out) {
  return gl_asset_texture_source()->request(id, out);
}
int ui_scenes_find_texture(int32_t id, Texture** out) { return gl_asset_texture_source()->find(id, out); }
int ui_scenes_texture_event(const void* payload, int32_t* id) {
  return gl_asset_texture_source()->texture_event(payload, id);
}

void ui_scene_text(void) {
  begin_frame();
  UiWindow* open = window(UiClip{});
  UiWindow* clipped = window(clip_of(TEXT_CLIP[0], TEXT_CLIP[1], TEXT_CLIP[2], TEXT_CLIP[3]));
  for (size_t i = 0; i < sizeof TEXTS / sizeof TEXTS[0]; i++) {
    const TextBlock& t = TEXTS[i];
    const Font* font = loaded_font(t.font);
    int32_t width = t.width, height = 0;
    uint32_t count = 0;
    if (text_layout(font, t.mode, &width, &height, t.text, g_runs[i], RUN_CAPACITY, &count) !=
        TEXT_LAYOUT_OK) {
      printf("FAIL layout of text %zu\n", i);
      continue;
    }
    g_text_styles[i] = UiStyle{};
    g_text_styles[i].font = t.font;
    g_text_styles[i].text_colour = t.colour;
    UiWidget w = {};
    w.x = t.left;
    w.y = ui_y(t.top, height);
    w.width = width;
    w.height = height;
    w.text = g_runs[i];
    w.text_count = count;
    w.style = &g_text_styles[i];
    w.callbacks = &LINK_CALLBACKS;
    ui_frame_declare_widget(t.clipped ? clipped : open, &w);
  }
  ui_draw_list(nullptr);
}

void ui_scene_frames(void) {
  begin_frame();
  UiWindow* open = window(UiClip{});
  UiWindow* clipped = window(clip_of(FRAME_CLIP[0], FRAME_CLIP[1], FRAME_CLIP[2], FRAME_CLIP[3]));
  g_frame_style = UiStyle{};
  g_frame_style.flags = UI_STYLE_NINEPATCH;
  for (const FrameBlock& f : FRAMES) {
    NinePatchDesc desc = {};
    desc.texture = f.texture;
    desc.texture_width = desc.texture_height = f.texture_size;
    desc.bottom = desc.top = desc.left = desc.right = f.border;
    uint32_t handle = ninepatch_register(&desc);
    ninepatch_set_uv(handle, &desc);
    if (f.tiled) ninepatch_set_tiling(handle);
    UiWidget w = {};
    w.x = f.left;
    w.y = ui_y(f.top, f.height);
    w.width = f.width;
    w.height = f.height;
    w.image = handle;
    w.style = &g_frame_style;
    ui_frame_declare_widget(f.clipped ? clipped : open, &w);
  }
  ui_draw_list(nullptr);
}
