#include "scene/render_layers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/mem.h"

namespace {

// Each drawn item appends its payload's first word (a tag) and the layer it came from.
struct Drawn {
  uint32_t tag;
  int layer;
};
std::vector<Drawn> g_drawn;
int g_current_layer;

struct TagPayload {
  uint32_t tag;
  uint8_t rest[RENDER_PAYLOAD_BYTES - 4];
};

void record_tag(EntityWorld*, const void* payload) {
  uint32_t tag;
  memcpy(&tag, payload, 4);
  g_drawn.push_back({tag, g_current_layer});
}

void submit_tag(int32_t layer, uint32_t key, uint32_t tag) {
  TagPayload p = {};
  p.tag = tag;
  ASSERT_EQ(submit_render_item(layer, key, &p, record_tag), 1);
}

class RenderLayers : public ::testing::Test {
 protected:
  void SetUp() override {
    render_layers_startup();
    g_drawn.clear();
  }
  void TearDown() override { render_layers_shutdown(); }
  // Walks one layer at a time so each drawn item knows its layer.
  std::vector<Drawn> walk_all() {
    g_drawn.clear();
    for (int l = 0; l < RENDER_LAYER_COUNT; l++) {
      g_current_layer = l;
      render_layers_walk(nullptr, l, l);
    }
    return g_drawn;
  }
};

TEST_F(RenderLayers, WalkOrderByLayerThenKeyZeroThenKeysInSubmissionOrder) {
  // Tag = what the item is; rows in submission order.
  struct Row {
    int32_t layer;
    uint32_t key;
    uint32_t tag;
  } rows[] = {
      {3, 11, 1},         //
      {3, 0, 2},          // key 0 after another key: still drawn first
      {3, 11, 3},         // same key: after tag 1
      {9, 0, 4},          // clamped to 7
      {-1, 5, 5},         // clamped to 0
      {0, 0, 6},          //
      {3, 0, 7},          // key 0 again: after tag 2, before the keyed lists
      {INT32_MIN, 0, 8},  //
      {INT32_MAX, 0, 9},  //
  };
  for (const Row& r : rows) submit_tag(r.layer, r.key, r.tag);
  std::vector<Drawn> drawn = walk_all();
  // Layer 0: key 0 (6, 8) before key 5 (5); layer 3: key 0 (2, 7), then key 11 (1, 3);
  // layer 7: 4, 9.
  const Drawn want[] = {{6, 0}, {8, 0}, {5, 0}, {2, 3}, {7, 3}, {1, 3}, {3, 3}, {4, 7}, {9, 7}};
  ASSERT_EQ(drawn.size(), sizeof want / sizeof want[0]);
  for (size_t i = 0; i < drawn.size(); i++) {
    EXPECT_EQ(drawn[i].tag, want[i].tag) << "position " << i;
    EXPECT_EQ(drawn[i].layer, want[i].layer) << "position " << i;
  }
  EXPECT_EQ(render_layer_item_count(3), 4u);
  EXPECT_EQ(render_layer_item_count(7), 2u);
  EXPECT_EQ(render_layer_item_count(8), 0u);
}

// Among many keys some take the map's first slots; key 0 is drawn before all of them, and
// each key's items stay together in submission order.
TEST_F(RenderLayers, KeyZeroLeadsAndKeysStayGroupedAmongManyKeys) {
  for (uint32_t i = 0; i < 600; i++) submit_tag(2, i % 3 == 0 ? 0 : (i % 200 + 1) << 20, i);
  std::vector<Drawn> drawn = walk_all();
  ASSERT_EQ(drawn.size(), 600u);
  for (uint32_t i = 0; i < 200; i++) EXPECT_EQ(drawn[i].tag, 3 * i) << "key-0 item " << i;
  // Past the key-0 items, a key's items never reappear once another key started.
  std::vector<uint32_t> finished;
  uint32_t current = UINT32_MAX, last_tag = 0;
  for (size_t i = 200; i < drawn.size(); i++) {
    uint32_t key = drawn[i].tag % 200;
    if (key != current) {
      for (uint32_t done : finished) ASSERT_NE(done, key) << "key " << key << " split";
      if (current != UINT32_MAX) finished.push_back(current);
      current = key;
    } else {
      EXPECT_GT(drawn[i].tag, last_tag) << "submission order within key " << key;
    }
    last_tag = drawn[i].tag;
  }
}

TEST_F(RenderLayers, ItemsHoldTheirClampedLayerKeyAndACopyOfThePayload) {
  static RenderItem g_seen;
  struct Capture {
    static void fn(EntityWorld*, const void* payload) {
      // The payload sits inside its item.
      memcpy(&g_seen, (const uint8_t*)payload - offsetof(RenderItem, payload), sizeof g_seen);
    }
  };
  uint8_t source[RENDER_PAYLOAD_BYTES];
  for (uint32_t i = 0; i < sizeof source; i++) source[i] = (uint8_t)(i * 7 + 1);
  ASSERT_EQ(submit_render_item(12, 0xABCD, source, Capture::fn), 1);
  memset(source, 0, sizeof source);  // changing the source afterwards changes nothing
  render_layers_walk(nullptr, 0, 7);
  EXPECT_EQ(g_seen.layer, 7);
  EXPECT_EQ(g_seen.key, 0xABCD);
  for (uint32_t i = 0; i < RENDER_PAYLOAD_BYTES; i++) ASSERT_EQ(g_seen.payload[i], (uint8_t)(i * 7 + 1));
  render_layers_empty();

  // A null payload gives zeros even where an earlier item of the array left bytes.
  ASSERT_EQ(submit_render_item(-4, 0xABCD, nullptr, Capture::fn), 1);
  render_layers_walk(nullptr, 0, 7);
  EXPECT_EQ(g_seen.layer, 0);
  for (uint32_t i = 0; i < RENDER_PAYLOAD_BYTES; i++) ASSERT_EQ(g_seen.payload[i], 0) << i;
}

TEST_F(RenderLayers, ItemsWithoutFunctionAreSkippedAndEmptyingKeepsNothingDrawn) {
  submit_tag(2, 0, 1);
  ASSERT_EQ(submit_render_item(2, 0, nullptr, nullptr), 1);
  submit_tag(2, 9, 2);
  EXPECT_EQ(walk_all().size(), 2u);
  render_layers_empty();
  EXPECT_EQ(render_layer_item_count(2), 0u);
  EXPECT_TRUE(walk_all().empty());
}

// A draw function that submits while the layers are walked.
int g_resubmitted = -1;
void submit_during_walk(EntityWorld*, const void*) {
  TagPayload p = {};
  p.tag = 99;
  g_resubmitted = submit_render_item(5, 0, &p, record_tag);
}

TEST_F(RenderLayers, SubmissionDuringTheWalkIsRefused) {
  uint32_t refused_before = render_layers_refused();
  ASSERT_EQ(submit_render_item(1, 0, nullptr, submit_during_walk), 1);
  std::vector<Drawn> drawn = walk_all();
  EXPECT_EQ(g_resubmitted, 0);
  EXPECT_TRUE(drawn.empty()) << "the later layer 5 must not draw the refused item";
  EXPECT_EQ(render_layer_item_count(5), 0u);
#ifndef NDEBUG
  EXPECT_EQ(render_layers_refused(), refused_before + 1);
#else
  EXPECT_EQ(render_layers_refused(), refused_before);
#endif
  // After the walk submissions are accepted again.
  render_layers_empty();
  submit_tag(5, 0, 3);
  EXPECT_EQ(walk_all().size(), 1u);
}

TEST_F(RenderLayers, RefusedBeforeStartupAndAfterShutdown) {
  render_layers_shutdown();
  EXPECT_EQ(submit_render_item(1, 1, nullptr, record_tag), 0);
  render_layers_walk(nullptr, 0, 7);
  EXPECT_TRUE(g_drawn.empty());
  render_layers_startup();
}

// The same frame again, after emptying, reuses every array and key. Keys that differ only in
// their high bits (content ids) are among them.
TEST_F(RenderLayers, ASteadyFrameAllocatesNothing) {
  auto frame = [] {
    for (uint32_t i = 0; i < 300; i++) submit_tag((int32_t)(i % 8), (i % 40) << 24, i);
    for (uint32_t i = 0; i < 30; i++) submit_tag(1, 0, i);
  };
  frame();
  render_layers_walk(nullptr, 0, 7);
  render_layers_empty();
  uint64_t before = mem_allocation_count();
  frame();
  render_layers_walk(nullptr, 0, 7);
  render_layers_empty();
  EXPECT_EQ(mem_allocation_count(), before);
  // Forgetting the keys frees them; the next frame builds them again.
  render_layers_forget_keys();
  EXPECT_EQ(render_layer_item_count(1), 0u);
  frame();
  EXPECT_GT(mem_allocation_count(), before);
  EXPECT_EQ(render_layer_item_count(1), 30u + 38u);  // i % 8 == 1 for 38 of the 300
}

}  // namespace
