#pragma once
// Interface scenes of the render harness: text in the demo fonts and nine-patch frames in the
// interface images, loaded through the real asset cache from the built archives and drawn by
// the interface's draw list over the installed backend. The pictures' contents (positions,
// texts, colours, clips) are repeated in tests/render_scenes_test.py, which rebuilds them
// from FreeType and the source images.
#include <cstdint>

#include "assets/texture.h"

// Textures from this id up (font atlases, interface images) come from the asset cache.
enum : int32_t { UI_SCENE_TEXTURE_FIRST = 60000 };

// Starts the cache over the archives of assets_dir and waits until the fonts and textures
// the scenes use are loaded; 0 (with the missing piece printed) when one is not there.
int ui_scenes_start(const char* assets_dir);
// Stops the cache; its release events reach the backend while its context still lives.
void ui_scenes_stop(void);

// The asset cache's side of the harness's texture source.
int ui_scenes_request_texture(int32_t id, Texture** out);
int ui_scenes_find_texture(int32_t id, Texture** out);
int ui_scenes_texture_event(const void* payload, int32_t* id);

void ui_scene_text(void);
void ui_scene_frames(void);
