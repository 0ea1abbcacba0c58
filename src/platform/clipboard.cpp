#include "platform/clipboard.h"

#include <SDL2/SDL.h>

#include "base/event_bus.h"
#include "base/utf8.h"

void clipboard_paste(void) {
  if (!SDL_WasInit(SDL_INIT_VIDEO) || !SDL_HasClipboardText()) return;
  char* text = SDL_GetClipboardText();
  if (!text) return;
  clipboard_post_text(text);
  SDL_free(text);
}

void clipboard_post_text(const char* text) {
  // At most 4096 bytes, whole characters only; NUL and other control bytes are dropped so a
  // paste can neither end the text early nor inject line breaks or escapes.
  size_t posted = 0;
  const char* p = text;
  uint32_t c;
  while ((c = utf8_decode(&p)) != 0) {
    if (c < 0x20 || c == 0x7F) continue;
    uint8_t bytes[4];
    int n = utf8_encode(c, bytes);
    if (posted + (size_t)n > CLIPBOARD_PASTE_LIMIT) break;
    for (int i = 0; i < n; i++) event_post_copy(EVENT_TEXT, &bytes[i], 1);
    posted += (size_t)n;
  }
}
