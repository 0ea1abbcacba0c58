#pragma once
// Clipboard paste: the clipboard's text is posted as text events, one UTF-8 byte each, at
// most CLIPBOARD_PASTE_LIMIT bytes of whole characters, without control characters.
enum { CLIPBOARD_PASTE_LIMIT = 4096 };

void clipboard_paste(void);
// The posting half of clipboard_paste, for any UTF-8 text (stops at invalid bytes).
void clipboard_post_text(const char* text);
