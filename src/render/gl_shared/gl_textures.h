#pragma once
// The textures of the OpenGL backends: the map from texture id to GL name (texture object or
// display list), the resident set of ids the asset cache holds loaded, the choice of what to
// upload, the texture parameters and levels, and the asset events' effect.
//
// What a draw naming a texture gets:
//   - id 0, a record without pixels, or a pixel format GL is not given (only 24-bit RGB and
//     32-bit RGBA are uploaded): drawn untextured;
//   - a failed load (no record, or the cache's placeholder), a size that is zero, not a power
//     of two or above GL_MAX_TEXTURE_SIZE, or fewer pixel bytes than the size needs: the
//     magenta fallback texture, so the fault is seen;
//   - not loaded yet, suspended, or the store failed: the draw is skipped.
// The map keeps name 0 for an id drawn untextured, so the decision is made once per load.
//
// Asset events and the resume look the cache up without queueing (the source's find). A
// released event always drops the id; a loaded event, and the resume, keep an id resident only
// while the cache holds it loaded. So events arriving after a release or purge, in either
// order, leave nothing resident and queue nothing. While suspended the map is empty and
// nothing is uploaded; the resident set is still kept.
// Main thread only.
#include <cstdint>

#include "assets/texture.h"
#include "render/gl_shared/gl_api.h"

// Creates the map and the resident set and subscribes to asset events (init_device).
void gl_textures_start(void);
// Unsubscribes, deletes every name and frees both (shutdown_device).
void gl_textures_stop(void);
// Deletes every name and empties the map, keeping the resident set (suspend).
void gl_textures_drop_names(void);
// Uploads every resident id the cache still holds; drops the others (resume).
void gl_textures_resume(void);

// For a draw: 0 skip the draw; 1 settled, with *name the name to bind or 0 for untextured.
int gl_texture_for_draw(int32_t id, uint32_t* name);
// The draw path's look-up and upload; the name, 0 when there is none (yet).
uint32_t gl_texture_upload(int32_t id);

// What to upload for a settled texture: itself, the fallback, or null for untextured.
const Texture* gl_texture_usable(const Texture* texture);
// GL format and unpack alignment of an uploadable pixel format; 0 for the others.
int gl_texture_formats(const Texture* texture, GLenum* format, GLint* alignment);
// Parameters and every usable level, to the bound texture (or into the list being compiled).
void gl_texture_specify(const Texture* texture, GLint internal_format, GLenum format, GLint alignment,
                        int anisotropy);

// The asset events' effect (also what the event handler calls).
void gl_texture_loaded(int32_t id);
void gl_texture_released(int32_t id);

// Ids in the resident set and in the map (names and untextured decisions), for tests.
uint32_t gl_textures_resident_count(void);
uint32_t gl_textures_mapped_count(void);
