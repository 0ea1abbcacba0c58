// The skin registers every style the screens name, each image a registered nine-patch frame
// over an interface image, and the font the locale names.
#include "ui/ui_skin.h"

#include <gtest/gtest.h>

#include "assets/locale.h"
#include "ui/ninepatch.h"
#include "ui/ui_draw.h"
#include "ui/ui_style.h"

namespace {

TEST(UiSkin, EveryStyleIsRegisteredWithFramesOverTheInterfaceImages) {
  ui_draw_startup();
  ui_skin_setup();
  const uint32_t ids[] = {3, 8, 9, 21, 22, 25, 26, 31, 32, 33, 34, 38};
  for (uint32_t id : ids) {
    UiStyle s;
    ASSERT_EQ(ui_style_get(id, &s), 1) << id;
    EXPECT_EQ(s.font, locale_asset_id(0x76D96E7Du)) << id;
    for (uint32_t image : {s.image, s.hovered_image, s.pressed_image, s.checked_image}) {
      if (!image) continue;
      EXPECT_TRUE(s.flags & UI_STYLE_NINEPATCH) << id;
      const NinePatch* frame = ninepatch_get(image);
      ASSERT_NE(frame, nullptr) << id;
      EXPECT_GE(frame->texture, UI_TEX_FRAME) << id;
      EXPECT_LE(frame->texture, UI_TEX_ARROW_DOWN) << id;
    }
  }
  UiStyle toggle, checked;
  ui_style_get(UI_SKIN_TOGGLE, &toggle);
  ui_style_get(UI_SKIN_TOGGLE_CHECKED, &checked);
  EXPECT_EQ(ninepatch_get(toggle.image)->texture, UI_TEX_TOGGLE_OFF);
  EXPECT_EQ(ninepatch_get(toggle.checked_image)->texture, UI_TEX_TOGGLE_ON);
  EXPECT_EQ(ninepatch_get(checked.image)->texture, UI_TEX_TOGGLE_ON);
  UiStyle field;
  ui_style_get(UI_SKIN_FIELD, &field);
  EXPECT_GT(field.caret_width, 0);
  ui_style_shutdown();
  ui_draw_shutdown();
}

}  // namespace
