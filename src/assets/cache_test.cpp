#include "assets/cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "assets/archive_writer.h"
#include "assets/sound.h"
#include "assets/assets.h"
#include "assets/texture.h"
#include "base/event_bus.h"
#include "base/mem.h"
#include "support/test_files.h"
#include "support/test_wait.h"

bool operator==(const AssetEvent& a, const AssetEvent& b) {
  return a.type == b.type && a.id == b.id && a.flag == b.flag;
}

namespace {

typedef std::vector<uint8_t> Bytes;

struct FakeObject {
  uint32_t id;  // written by the loader
  uint32_t type;
  uint32_t size;
  uint8_t first;
};

// A gate the fake decoder can be held on, so a test can act while a load is in flight.
struct Latch {
  std::mutex mutex;
  std::condition_variable changed;
  bool closed = false;
  int waiting = 0;
};

Latch g_latch;
std::atomic<int> g_decoded[ASSET_TYPE_COUNT];
std::atomic<int> g_destroyed;
std::vector<std::pair<uint32_t, AssetEvent>> g_events;

void* fake_decode(uint32_t type, const uint8_t* data, uint32_t size) {
  {
    std::unique_lock<std::mutex> guard(g_latch.mutex);
    g_latch.waiting++;
    g_latch.changed.notify_all();
    g_latch.changed.wait(guard, [] { return !g_latch.closed; });
    g_latch.waiting--;
  }
  g_decoded[type]++;
  if (data[0] == 'X') return nullptr;  // the decoder rejects this entry
  FakeObject* o = (FakeObject*)mem_alloc(sizeof(FakeObject));
  *o = {0xDEADBEEF, type, size, data[0]};
  return o;
}

template <uint32_t T>
void* decode_as(const uint8_t* data, uint32_t size) {
  return fake_decode(T, data, size);
}

void fake_destroy(void* object) {
  g_destroyed++;
  mem_free(object);
}

void record_event(uint32_t event, const void* data) {
  if (event == EVENT_ASSET_LOADED || event == EVENT_ASSET_RELEASED)
    g_events.push_back({event, *(const AssetEvent*)data});
}

void write_archive(const std::string& path, const std::vector<std::pair<uint32_t, Bytes>>& items) {
  std::vector<ArchiveSource> sources;
  for (auto& it : items) sources.push_back({it.first, it.second.data(), it.second.size()});
  size_t size = 0;
  uint8_t* image = archive_build(sources.data(), (uint32_t)sources.size(), 1, &size, nullptr, 0);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write((const char*)image, (std::streamsize)size);
  mem_free(image);
}

FakeObject g_fallback_texture;
FakeObject g_unit_cube;

class AssetCache : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = test_make_temp_dir("cache_test");
    // texture.dat: 1 'a', 2 'b', 3 rejected by the decoder; map.dat: 1 'm'. mesh.dat is
    // missing so its slot stays empty; the others are empty archives.
    write_archive(dir_ + "/texture.dat", {{1, {'a', 'a'}}, {2, {'b'}}, {3, {'X'}}});
    write_archive(dir_ + "/map.dat", {{1, {'m'}}});
    for (const char* name :
         {"bsp.dat", "light.dat", "anim.dat", "font.dat", "sound.dat", "music.dat", "morph.dat"})
      write_archive(dir_ + "/" + name, {});
  }

  static void TearDownTestSuite() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  void SetUp() override {
    event_bus_start();
    event_subscribe(record_event);
    g_events.clear();
    g_destroyed = 0;
    for (auto& d : g_decoded) d = 0;
    g_latch.closed = false;
    asset_set_decoder(ASSET_TEXTURE, {decode_as<ASSET_TEXTURE>, fake_destroy});
    asset_set_decoder(ASSET_IMAGE, {decode_as<ASSET_IMAGE>, fake_destroy});
    asset_set_decoder(ASSET_MESH, {decode_as<ASSET_MESH>, fake_destroy});
    asset_set_decoder(ASSET_MAP, {decode_as<ASSET_MAP>, fake_destroy});
    asset_set_placeholder(ASSET_TEXTURE, &g_fallback_texture);
    asset_set_placeholder(ASSET_MESH, &g_unit_cube);
    assets_startup(dir_.c_str());
  }

  void TearDown() override {
    open_latch();
    assets_shutdown();
    event_bus_stop();
    for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
    asset_set_placeholder(ASSET_TEXTURE, nullptr);
    asset_set_placeholder(ASSET_MESH, nullptr);
    asset_set_size_limit(ASSET_TEXTURE, ASSET_SIZE_LIMIT_DEFAULT);
  }

  static void close_latch() {
    std::lock_guard<std::mutex> guard(g_latch.mutex);
    g_latch.closed = true;
  }
  static void open_latch() {
    std::lock_guard<std::mutex> guard(g_latch.mutex);
    g_latch.closed = false;
    g_latch.changed.notify_all();
  }
  static bool decoder_waiting() {
    std::lock_guard<std::mutex> guard(g_latch.mutex);
    return g_latch.waiting > 0;
  }

  static AssetHandle load(uint32_t type, uint32_t id) {
    AssetHandle h;
    asset_request(&h, type, id);
    EXPECT_TRUE(test_wait_until([&] {
      asset_request(&h, type, id);
      return h.ready == 1;
    }));
    return h;
  }

  static std::vector<std::pair<uint32_t, AssetEvent>> dispatched() {
    event_dispatch();
    auto out = g_events;
    g_events.clear();
    return out;
  }

  static std::string dir_;
};

std::string AssetCache::dir_;

typedef std::pair<uint32_t, AssetEvent> Ev;
Ev loaded(uint32_t type, uint32_t id) { return {EVENT_ASSET_LOADED, {type, id, 1}}; }
Ev released(uint32_t type, uint32_t id) { return {EVENT_ASSET_RELEASED, {type, id, 0}}; }

}  // namespace

TEST_F(AssetCache, PairLoadsOnceAndAnnouncesIt) {
  AssetHandle h;
  for (int i = 0; i < 5; i++) asset_request(&h, ASSET_TEXTURE, 1);
  h = load(ASSET_TEXTURE, 1);
  ASSERT_NE(h.object, nullptr);
  FakeObject* o = (FakeObject*)h.object;
  EXPECT_EQ(o->id, 1u) << "the loader writes the id into the object";
  EXPECT_EQ(o->size, 2u);
  EXPECT_EQ(h.progress, 1.0f);
  EXPECT_EQ(h.failed, 0);
  EXPECT_EQ(g_decoded[ASSET_TEXTURE], 1);
  EXPECT_EQ(dispatched(), (std::vector<Ev>{loaded(ASSET_TEXTURE, 1)}));
  // The map decoder fills its id itself.
  h = load(ASSET_MAP, 1);
  EXPECT_EQ(((FakeObject*)h.object)->id, 0xDEADBEEFu);
}

TEST_F(AssetCache, InvalidRequestsCompleteAtOnce) {
  struct Case {
    uint32_t type, id;
  } cases[] = {{ASSET_TEXTURE, 0}, {ASSET_TYPE_COUNT, 1}, {0xFFFFFFFFu, 1}};
  for (const Case& c : cases) {
    AssetHandle h;
    asset_request(&h, c.type, c.id);
    EXPECT_EQ(h.ready, 1);
    EXPECT_EQ(h.failed, 1);
    EXPECT_EQ(h.object, nullptr);
    EXPECT_EQ(asset_pending(), 0u);
  }
  EXPECT_EQ(asset_release(ASSET_TYPE_COUNT, 1), 0);
  EXPECT_TRUE(dispatched().empty());
}

TEST_F(AssetCache, FailuresAnswerThePlaceholderOrNull) {
  struct Case {
    const char* what;
    uint32_t type, id;
    void* object;
  } cases[] = {
      {"unknown texture id", ASSET_TEXTURE, 99, &g_fallback_texture},
      {"decoder rejects a texture", ASSET_TEXTURE, 3, &g_fallback_texture},
      {"mesh archive missing", ASSET_MESH, 1, &g_unit_cube},
      {"unknown map id", ASSET_MAP, 2, nullptr},
      {"type without a decoder", ASSET_SOUND, 1, nullptr},
  };
  for (const Case& c : cases) {
    AssetHandle h = load(c.type, c.id);
    EXPECT_EQ(h.failed, 1) << c.what;
    EXPECT_EQ(h.object, c.object) << c.what;
    // A completed load is announced even without an object.
    EXPECT_EQ(dispatched(), (std::vector<Ev>{loaded(c.type, c.id)})) << c.what;
  }
}

TEST_F(AssetCache, EntriesOverTheirTypesSizeLimitFailUnread) {
  // Texture 1 holds two bytes, texture 2 one.
  ASSERT_EQ(asset_set_size_limit(ASSET_TEXTURE, 1), 1);
  AssetHandle over = load(ASSET_TEXTURE, 1);
  EXPECT_EQ(over.failed, 1);
  EXPECT_EQ(over.object, &g_fallback_texture);
  EXPECT_EQ(g_decoded[ASSET_TEXTURE], 0) << "refused before the decoder";
  AssetHandle at = load(ASSET_TEXTURE, 2);
  EXPECT_EQ(at.failed, 0);
  EXPECT_EQ(g_decoded[ASSET_TEXTURE], 1);
  // The limit is per type: images read the same archive under their own.
  EXPECT_EQ(load(ASSET_IMAGE, 1).failed, 0);
  EXPECT_EQ(asset_set_size_limit(ASSET_TYPE_COUNT, 1), 0);
  EXPECT_EQ(asset_size_limit(ASSET_TYPE_COUNT), 0u);
}

TEST_F(AssetCache, ImagesAreCachedApartFromTextures) {
  AssetHandle t = load(ASSET_TEXTURE, 2);
  AssetHandle i = load(ASSET_IMAGE, 2);
  ASSERT_NE(t.object, nullptr);
  ASSERT_NE(i.object, nullptr);
  EXPECT_NE(t.object, i.object);
  EXPECT_EQ(((FakeObject*)i.object)->first, 'b');
  EXPECT_EQ(((FakeObject*)i.object)->type, (uint32_t)ASSET_IMAGE);
}

TEST_F(AssetCache, FindNeverQueues) {
  AssetHandle h;
  EXPECT_EQ(asset_find(&h, ASSET_TEXTURE, 1), 0);
  EXPECT_EQ(h.ready, 0);
  EXPECT_EQ(asset_pending(), 0u);
  load(ASSET_TEXTURE, 1);
  EXPECT_EQ(asset_find(&h, ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(((FakeObject*)h.object)->first, 'a');
  EXPECT_EQ(asset_find(&h, ASSET_TEXTURE, 0), 0);
  EXPECT_EQ(h.failed, 1);
}

TEST_F(AssetCache, ReleaseDestroysAndAnnounces) {
  load(ASSET_TEXTURE, 1);
  dispatched();
  EXPECT_EQ(asset_release(ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_EQ(asset_release(ASSET_TEXTURE, 1), 0);
  EXPECT_EQ(dispatched(), (std::vector<Ev>{released(ASSET_TEXTURE, 1)}));
  // Requested again, it is read again.
  load(ASSET_TEXTURE, 1);
  EXPECT_EQ(g_decoded[ASSET_TEXTURE], 2);
}

TEST_F(AssetCache, PinnedEntriesSurviveReleaseUntilEveryPinIsGone) {
  EXPECT_EQ(asset_pin(ASSET_TEXTURE, 1), 0) << "nothing to pin yet";
  load(ASSET_TEXTURE, 1);
  EXPECT_EQ(asset_pin(ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(asset_pin(ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(asset_release(ASSET_TEXTURE, 1), 0);
  EXPECT_EQ(asset_unpin(ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(asset_release(ASSET_TEXTURE, 1), 0);
  EXPECT_EQ(g_destroyed, 0);
  EXPECT_EQ(asset_unpin(ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(asset_unpin(ASSET_TEXTURE, 1), 0) << "the count never goes below 0";
  EXPECT_EQ(asset_release(ASSET_TEXTURE, 1), 1);
  EXPECT_EQ(g_destroyed, 1);
}

TEST_F(AssetCache, ReleaseDuringLoadDropsTheResult) {
  close_latch();
  AssetHandle h;
  asset_request(&h, ASSET_TEXTURE, 1);
  ASSERT_TRUE(test_wait_until(decoder_waiting));
  EXPECT_EQ(asset_release(ASSET_TEXTURE, 1), 1);
  open_latch();
  ASSERT_TRUE(test_wait_until([] { return asset_pending() == 0; }));
  EXPECT_EQ(g_decoded[ASSET_TEXTURE], 1);
  EXPECT_EQ(g_destroyed, 1) << "the loader destroys the orphaned object";
  EXPECT_TRUE(dispatched().empty()) << "neither loaded nor released";
  EXPECT_EQ(asset_find(&h, ASSET_TEXTURE, 1), 0);
}

TEST_F(AssetCache, PurgeWaitsForTheLoaderAndEmptiesEverything) {
  load(ASSET_IMAGE, 1);
  dispatched();
  close_latch();
  AssetHandle h;
  asset_request(&h, ASSET_TEXTURE, 1);  // held in the decoder
  asset_request(&h, ASSET_TEXTURE, 2);  // queued behind it
  ASSERT_TRUE(test_wait_until(decoder_waiting));

  std::atomic<bool> purged{false};
  std::atomic<int> pending_inside{-1};
  std::thread purger([&] {
    asset_purge_begin();
    purged = true;
    pending_inside = (int)asset_pending();
    asset_purge_end();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(purged) << "the purge waits while the loader is busy";
  open_latch();
  purger.join();
  EXPECT_EQ(pending_inside, 0);
  EXPECT_EQ(g_decoded[ASSET_TEXTURE], 1) << "the queued request was dropped";
  EXPECT_EQ(g_destroyed, 2);
  EXPECT_EQ(asset_find(&h, ASSET_IMAGE, 1), 0);
  EXPECT_EQ(asset_find(&h, ASSET_TEXTURE, 1), 0);
  auto events = dispatched();
  // The in-flight load completes before the purge takes the cache, so it is announced and
  // then released; the earlier image is released too.
  EXPECT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0], loaded(ASSET_TEXTURE, 1));
  EXPECT_NE(std::find(events.begin(), events.end(), released(ASSET_TEXTURE, 1)), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), released(ASSET_IMAGE, 1)), events.end());
  // The cache works normally afterwards.
  EXPECT_EQ(((FakeObject*)load(ASSET_TEXTURE, 2).object)->first, 'b');
}

TEST_F(AssetCache, ShutdownReleasesLoadedEntries) {
  load(ASSET_TEXTURE, 1);
  load(ASSET_MAP, 1);
  load(ASSET_TEXTURE, 99);  // loaded without an object: still announced as released
  dispatched();
  close_latch();
  AssetHandle h;
  asset_request(&h, ASSET_TEXTURE, 2);  // in flight at shut-down: the run completes it
  ASSERT_TRUE(test_wait_until(decoder_waiting));
  std::thread opener([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    open_latch();
  });
  assets_shutdown();
  opener.join();
  auto events = dispatched();
  ASSERT_EQ(events.size(), 5u);
  EXPECT_EQ(events[0], loaded(ASSET_TEXTURE, 2));
  for (const Ev& e : {released(ASSET_TEXTURE, 1), released(ASSET_MAP, 1), released(ASSET_TEXTURE, 99),
                      released(ASSET_TEXTURE, 2)})
    EXPECT_NE(std::find(events.begin(), events.end(), e), events.end());
  EXPECT_EQ(g_destroyed, 3) << "every object, none twice (99 has none)";
  // Stopped: requests fail at once.
  asset_request(&h, ASSET_TEXTURE, 1);
  EXPECT_EQ(h.ready, 1);
  EXPECT_EQ(h.failed, 1);
}

TEST(AssetLoader, BuiltInDecodersReadRealImages) {
  // A 2 x 2 true-colour TGA, bottom-left origin, 32-bit BGRA.
  Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 8};
  const uint8_t pixels[16] = {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255};
  tga.insert(tga.end(), pixels, pixels + 16);
  TestTempDir temp("builtin_test");
  const std::string& dir = temp.path;
  write_archive(dir + "/texture.dat", {{5, tga}});
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
  event_bus_start();
  assets_startup(dir.c_str());
  EXPECT_EQ(asset_decoder(ASSET_IMAGE).decode, image_decode_asset);
  EXPECT_EQ(asset_decoder(ASSET_TEXTURE).decode, texture_decode_asset);
  // The largest valid map and BSP files, and the default for the kinds still without one.
  EXPECT_EQ(asset_size_limit(ASSET_MAP), 9191528u);
  EXPECT_EQ(asset_size_limit(ASSET_BSP), 136708126u);
  EXPECT_EQ(asset_size_limit(ASSET_SOUND), (uint64_t)SOUND_FILE_MAX);
  EXPECT_EQ(asset_decoder(ASSET_SOUND).decode, sound_decode_asset);
  EXPECT_EQ(asset_size_limit(ASSET_MUSIC), 64u << 20);
  AssetHandle h;
  asset_request_wait(&h, ASSET_IMAGE, 5);
  ASSERT_EQ(h.failed, 0);
  const Image* image = (const Image*)h.object;
  EXPECT_EQ(image->id, 5);
  EXPECT_EQ(image->width, 2u);
  EXPECT_EQ(image->height, 2u);
  EXPECT_EQ(0, memcmp(image->pixels, pixels, 16));
  assets_shutdown();
  event_bus_stop();
  for (uint32_t t = 0; t < ASSET_TYPE_COUNT; t++) asset_set_decoder(t, {});
}
