#include "game/character_preview.h"

#include <gtest/gtest.h>

#include "base/random.h"
#include "game/catalogue.h"
#include "game/game_world.h"

namespace {

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    random_seed(1);
    game_world_shutdown();
    game_world_replace(catalogue_world_create(0, nullptr));
  }
  void TearDown() override {
    character_preview_shutdown();
    game_world_shutdown();
  }
  uint32_t shown() { return space_entity_count(world_space(game_world(), SPACE_PREVIEW)); }
};

TEST_F(PreviewTest, ShowReplaceUpdateAndRemove) {
  ASSERT_EQ(character_preview_show(12, 0), 1);
  const CharacterPreview* p = character_preview_state();
  uint32_t first = p->handle;
  ASSERT_EQ(first >> 24, SPACE_PREVIEW);
  const Transform* t = (const Transform*)entity_component(game_world(), COMPONENT_TRANSFORM, first);
  EXPECT_FLOAT_EQ(t->position.x, 55.0f);
  EXPECT_FLOAT_EQ(t->position.y, 11.025f);
  EXPECT_FLOAT_EQ(t->position.z, -75.0f);
  EXPECT_FLOAT_EQ(t->rotation.y, 180.0f);
  EXPECT_FLOAT_EQ(t->scale.x, 1.0f);
  // Same appearance: only the stored choice changes; the entity and its timers stay.
  float interval = p->blink_interval;
  ASSERT_EQ(character_preview_show(12, 3), 1);
  EXPECT_EQ(p->handle, first);
  EXPECT_EQ(p->choice, 3u);
  EXPECT_EQ(p->blink_interval, interval);
  // Another appearance replaces the entity.
  ASSERT_EQ(character_preview_show(13, 3), 1);
  EXPECT_EQ(p->appearance_id, 13);
  EXPECT_EQ(shown(), 1u);
  ASSERT_EQ(character_preview_show(0, 0), 1);
  EXPECT_EQ(p->handle, 0u);
  EXPECT_EQ(shown(), 0u);
}

TEST_F(PreviewTest, BlinksAndRequestsIdleAnimations) {
  character_preview_show(5, 0);
  const CharacterPreview* p = character_preview_state();
  ASSERT_GE(p->blink_interval, 1.5f);
  ASSERT_LE(p->blink_interval, 2.0f);
  ASSERT_GE(p->idle_threshold, 5.0f);
  ASSERT_LE(p->idle_threshold, 25.0f);
  // Over 60 s at 60 frames per second: every blink runs through steps 1..6 and ends at 0,
  // blinks come every 1.5..2.0 s plus the steps, and idle requests every 5..25 s.
  int blinks = 0, requests = 0, last_step = 0;
  for (int frame = 0; frame < 3600; frame++) {
    character_preview_tick(1.0f / 60.0f);
    if (p->blink_step == 1 && last_step == 0) blinks++;
    if (last_step != 0) {
      EXPECT_TRUE(p->blink_step == 0 ? last_step >= 5 : p->blink_step >= last_step);
    }
    last_step = p->blink_step;
    if (int32_t r = character_preview_take_idle()) {
      EXPECT_TRUE(r == 1 || r == 2);
      requests++;
    }
  }
  EXPECT_GE(blinks, 60 / 2.2);
  EXPECT_LE(blinks, 60 / 1.5 + 1);
  EXPECT_GE(requests, 2);
  EXPECT_LE(requests, 12);
}

TEST_F(PreviewTest, WorldReplacementDropsTheHandle) {
  character_preview_show(5, 0);
  game_world_replace(catalogue_world_create(1, nullptr));
  EXPECT_EQ(character_preview_state()->handle, 0u);
  ASSERT_EQ(character_preview_show(5, 0), 1);
  EXPECT_EQ(shown(), 1u);
}

}  // namespace
