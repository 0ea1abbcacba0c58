#include "render/gl_shared/gl_textures.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "assets/archive_writer.h"
#include "assets/assets.h"
#include "assets/cache.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "platform/window.h"
#include "render/gl_arrays/gl_arrays.h"
#include "render/gl_legacy/gl_lists.h"
#include "render/gl_shared/gl_texture_source.h"
#include "render/texture_prep.h"
#include "support/gl_fake_test_support.h"
#include "support/test_files.h"
#include "support/test_wait.h"

namespace {

struct Backend {
  const char* name;
  int (*init)(Window* window, RenderBackend* table);
};
const Backend BACKENDS[] = {{"arrays", gl_arrays_init}, {"lists", gl_lists_init}};

// One GL backend on the fake driver.
struct FakeDevice {
  Window window{};
  RenderBackend table{};
  bool open = false;

  bool start(const Backend& backend) {
    gl_fake_install();
    window.handle = &window;
    open = backend.init(&window, &table) && table.init_device();
    return open;
  }
  void stop(void) {
    if (open) {
      table.shutdown_device();
      table.destroy(&window);
    }
    open = false;
    gl_fake_remove();
  }
  int draw(int32_t texture) {
    RenderVertex vertices[3] = {};
    DrawRecord r{};
    r.vertices = vertices;
    r.count = 3;
    r.colours_converted = 1;
    r.primitive = PRIM_TRIANGLES;
    r.flags = DRAW_TEXTURE | DRAW_SCREEN_SPACE;
    r.texture = texture;
    return table.draw(&r);
  }
};

// ---- What a draw shows for each kind of texture record.

uint8_t g_bytes[100 * 64 * 3];
Texture record(uint32_t width, uint32_t height, uint32_t format, uint8_t* pixels, uint32_t pixel_size) {
  Texture t{};
  t.id = 1;
  t.width = width;
  t.height = height;
  t.format = format;
  t.pixels = pixels;
  t.pixel_size = pixel_size;
  return t;
}
Texture g_own = record(4, 4, PF_RGB888, g_bytes, 48);
Texture g_no_pixels = record(4, 4, PF_RGB888, nullptr, 0);
Texture g_sixteen_bit = record(4, 4, PF_RGB565, g_bytes, 32);
Texture g_bgra = record(4, 4, PF_BGRA8888, g_bytes, 64);
Texture g_image_type_0 = record(4, 4, PF_NONE, nullptr, 0);
Texture g_npot = record(100, 64, PF_RGB888, g_bytes, sizeof g_bytes);
Texture g_short = record(4, 4, PF_RGB888, g_bytes, 47);

enum : int32_t { NOT_LOADED = 50 };

// Answers like the cache does: id 0 and failed loads settle with null or the placeholder.
int look_up(int32_t id, Texture** out) {
  Texture* records[] = {nullptr,         &g_own,  &g_no_pixels, &g_sixteen_bit,     &g_bgra,
                        &g_image_type_0, nullptr, &g_npot,      texture_fallback(), &g_short};
  if (id < 0 || id >= (int32_t)(sizeof records / sizeof records[0])) return 0;
  *out = records[id];
  return 1;
}
int no_events(const void*, int32_t*) { return 0; }

TEST(GlTextures, DrawShowsMagentaOnlyForFailedOrUnholdableTextures) {
  enum Shows { UNTEXTURED, OWN, MAGENTA, SKIPPED };
  struct Case {
    const char* what;
    int32_t id;
    Shows shows;
  } cases[] = {
      {"no texture named (id 0)", 0, UNTEXTURED},
      {"a loaded texture", 1, OWN},
      {"a record without pixels", 2, UNTEXTURED},
      {"16-bit pixels, which GL is not given", 3, UNTEXTURED},
      {"BGRA pixels, which GL is not given", 4, UNTEXTURED},
      {"an image without pixels (format 0)", 5, UNTEXTURED},
      {"a failed load (no record)", 6, MAGENTA},
      {"not a power of two", 7, MAGENTA},
      {"a failed load (the cache's placeholder)", 8, MAGENTA},
      {"fewer pixel bytes than the size needs", 9, MAGENTA},
      {"not loaded yet", NOT_LOADED, SKIPPED},
  };
  const GlTextureSource source = {look_up, look_up, no_events};
  // The fallback is built once per run in the format of whichever backend asked first; one
  // GL cannot hold would itself be drawn untextured.
  GLenum format;
  GLint alignment;
  const bool magenta_shown = gl_texture_formats(texture_fallback(), &format, &alignment);
  for (const Backend& backend : BACKENDS) {
    SCOPED_TRACE(backend.name);
    event_bus_start();
    gl_set_texture_source(&source);
    FakeDevice device;
    ASSERT_TRUE(device.start(backend));
    // Twice: the second draw takes the decision the first one left in the map.
    for (int round = 0; round < 2; round++)
      for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t before = g_gl_fake.draws.size();
        EXPECT_EQ(device.draw(c.id), c.shows == SKIPPED ? 0 : 1);
        if (c.shows == SKIPPED) {
          EXPECT_EQ(g_gl_fake.draws.size(), before);
          continue;
        }
        ASSERT_EQ(g_gl_fake.draws.size(), before + 1);
        const GlFakeDraw& d = g_gl_fake.draws.back();
        const bool textured = c.shows == OWN || (c.shows == MAGENTA && magenta_shown);
        EXPECT_EQ(d.texturing, textured);
        const void* want = c.shows == OWN ? g_bytes : textured ? texture_fallback()->pixels : nullptr;
        EXPECT_EQ(d.pixels, want);
      }
    device.stop();
    gl_set_texture_source(nullptr);
    event_bus_stop();
  }
}

// ---- Asset events and the resume against the real asset cache.

void* decode_texture(const uint8_t*, uint32_t) {
  Texture* t = (Texture*)mem_calloc(1, sizeof(Texture));
  t->width = t->height = 2;
  t->format = PF_RGB888;
  t->pixel_size = 12;
  t->pixels = (uint8_t*)mem_calloc(1, t->pixel_size);
  return t;
}
void destroy_texture(void* object) {
  Texture* t = (Texture*)object;
  mem_free(t->pixels);
  mem_free(t);
}

class GlTextureEvents : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = test_make_temp_dir("gl_texture_events");
    const uint8_t entry[] = {'t'};
    ArchiveSource source = {TEXTURE, entry, sizeof entry};
    size_t size = 0;
    uint8_t* image = archive_build(&source, 1, 1, &size, nullptr, 0);
    test_write_file(dir_ + "/texture.dat", std::string((const char*)image, size));
    mem_free(image);
  }
  static void TearDownTestSuite() {
    remove((dir_ + "/texture.dat").c_str());
    rmdir(dir_.c_str());
  }

  void SetUp() override {
    event_bus_start();
    asset_set_decoder(ASSET_TEXTURE, {decode_texture, destroy_texture});
    asset_set_placeholder(ASSET_TEXTURE, texture_fallback());
    assets_startup(dir_.c_str());
    gl_set_texture_source(gl_asset_texture_source());
  }
  void TearDown() override {
    device_.stop();
    assets_shutdown();
    gl_set_texture_source(nullptr);
    asset_set_decoder(ASSET_TEXTURE, {});
    asset_set_placeholder(ASSET_TEXTURE, nullptr);
    event_bus_stop();
  }

  static int cached(void) {
    AssetHandle h;
    return asset_find(&h, ASSET_TEXTURE, TEXTURE);
  }

  enum : uint32_t { TEXTURE = 1 };
  static std::string dir_;
  FakeDevice device_;
};
std::string GlTextureEvents::dir_;

enum Step { INIT, LOAD, RELEASE, PURGE, DISPATCH, POST_LOADED, SUSPEND, RESUME, DRAW, END };

TEST_F(GlTextureEvents, EventsAfterARemovalLeaveNothingResidentOrPending) {
  struct Case {
    const char* what;
    Step steps[8];
    uint32_t resident;  // afterwards, also in the cache and as a GL name
  } cases[] = {
      {"loaded (control)", {INIT, LOAD, DISPATCH, END}, 1},
      {"loaded, then released, one dispatch", {INIT, LOAD, RELEASE, DISPATCH, END}, 0},
      {"drawn, then released", {INIT, LOAD, DRAW, RELEASE, DISPATCH, END}, 0},
      {"released, then a late loaded event", {LOAD, DISPATCH, INIT, RELEASE, POST_LOADED, DISPATCH, END}, 0},
      {"purged between the load and the dispatch", {INIT, LOAD, PURGE, DISPATCH, END}, 0},
      {"released while suspended, then resumed",
       {INIT, LOAD, DISPATCH, SUSPEND, RELEASE, RESUME, DISPATCH, END},
       0},
      {"resumed with the texture still loaded (control)", {INIT, LOAD, DISPATCH, SUSPEND, RESUME, END}, 1},
  };
  for (const Backend& backend : BACKENDS)
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(backend.name) + ": " + c.what);
      for (const Step* step = c.steps; *step != END; step++) {
        AssetHandle h;
        const AssetEvent loaded = {ASSET_TEXTURE, TEXTURE, 1};
        switch (*step) {
          case INIT:
            ASSERT_TRUE(device_.start(backend));
            break;
          case LOAD:
            ASSERT_TRUE(test_wait_until([&] {
              asset_request(&h, ASSET_TEXTURE, TEXTURE);
              return h.ready == 1;
            }));
            break;
          case RELEASE:
            ASSERT_EQ(asset_release(ASSET_TEXTURE, TEXTURE), 1);
            break;
          case PURGE:
            asset_purge_begin();
            asset_purge_end();
            break;
          case DISPATCH:
            event_dispatch();
            break;
          case POST_LOADED:
            event_post_copy(EVENT_ASSET_LOADED, &loaded, sizeof loaded);
            break;
          case SUSPEND:
          case RESUME:
            ASSERT_EQ(device_.table.suspend(&device_.window, *step == SUSPEND), 1);
            break;
          case DRAW:
            ASSERT_EQ(device_.draw(TEXTURE), 1);
            break;
          case END:
            break;
        }
      }
      EXPECT_EQ(asset_pending(), 0u) << "no load queued again";
      // A load queued anyway would land now and be announced.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      event_dispatch();
      EXPECT_EQ((uint32_t)cached(), c.resident);
      EXPECT_EQ(gl_textures_resident_count(), c.resident);
      EXPECT_EQ(gl_textures_mapped_count(), c.resident);
      EXPECT_EQ(g_gl_fake.textures.size() + g_gl_fake.lists.size(), (size_t)c.resident) << "GL names alive";
      device_.stop();
      asset_release(ASSET_TEXTURE, TEXTURE);
      event_dispatch();
    }
}

}  // namespace
