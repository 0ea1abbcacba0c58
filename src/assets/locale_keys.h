#pragma once
// The fixed locale keys that code refers to by name (texts are looked up with locale_string).
// Keys that are only rows of a table (the notice texts of the incoming opcodes, the
// action-failure reasons, the group chat lines) stay in their tables. The demo locale
// (content/locale) must hold a text for every key here that the client shows.
#include <cstdint>

// Default of the Network HOST setting.
constexpr uint32_t LOCALE_KEY_HOST_DEFAULT = 0x17E5451Du;

// Login credentials: prefix + account + separator + password + zero byte.
constexpr uint32_t LOCALE_KEY_CREDENTIAL_PREFIX = 0x038D8B88u;
constexpr uint32_t LOCALE_KEY_CREDENTIAL_SEPARATOR = 0x13F47486u;

// The OK button of every dialog line.
constexpr uint32_t LOCALE_KEY_OK = 0x32E41D02u;

// Login screen line per session status (status in the name; rejections by the frame type
// that carries them, since what each means is the server's).
constexpr uint32_t LOCALE_KEY_STATUS_CONNECTING = 0x7E88FB79u;  // also before the first poll
constexpr uint32_t LOCALE_KEY_STATUS_CONNECTED = 0x78CADE7Au;
constexpr uint32_t LOCALE_KEY_STATUS_ENCRYPTED = 0x08B773BAu;
constexpr uint32_t LOCALE_KEY_STATUS_ACCEPTED = 0x42B35CB0u;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_9 = 0x7E5746BCu;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_10 = 0x26D8F470u;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_11 = 0x60618602u;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_12 = 0x39D51FFDu;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_13 = 0x06844911u;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_14 = 0x36FFB867u;
constexpr uint32_t LOCALE_KEY_STATUS_REJECTED_16 = 0x7E4D4748u;
constexpr uint32_t LOCALE_KEY_STATUS_TIMED_OUT = 0x28B5D574u;
constexpr uint32_t LOCALE_KEY_STATUS_FAILED = 0x15A046BDu;  // -1 and any other negative

// Character screen texts shown with OK, one per notice message of the world server.
constexpr uint32_t LOCALE_KEY_CHAR_NOTICE_A = 0x2BC4A61Au;
constexpr uint32_t LOCALE_KEY_CHAR_NOTICE_B = 0x7DA0269Du;
constexpr uint32_t LOCALE_KEY_CHAR_NOTICE_C = 0x24C23E89u;
constexpr uint32_t LOCALE_KEY_CHAR_NOTICE_D = 0x30290395u;
constexpr uint32_t LOCALE_KEY_CHAR_NOTICE_E = 0x46EC95A6u;
constexpr uint32_t LOCALE_KEY_CHAR_NOTICE_F = 0x452A5B49u;
// Shown while the character list is on its way (also after a character was created).
constexpr uint32_t LOCALE_KEY_CHARACTERS_WAIT = 0x6777E88Du;
// The world server's verdict line reuses two of the status lines.
constexpr uint32_t LOCALE_KEY_WORLD_RESULT_OK = LOCALE_KEY_STATUS_REJECTED_11;
constexpr uint32_t LOCALE_KEY_WORLD_RESULT_FAILED = LOCALE_KEY_STATUS_REJECTED_10;

// Chat and notices.
constexpr uint32_t LOCALE_KEY_NAME_TOKEN = 0x43D8E527u;     // replaced by a name in named chat lines
constexpr uint32_t LOCALE_KEY_ITEM_RECEIVED = 0x0B1C0135u;  // followed by the item's glyph and name
constexpr uint32_t LOCALE_KEY_ABILITY_RESET = 0x6263E76Cu;  // also resets the ability display's state
constexpr uint32_t LOCALE_KEY_ACTION_FAILED = 0x12E9C60Au;  // a failure reason without its own text

// Fonts (asset ids of font.dat): the interface and chat, and speech bubbles and tooltips.
constexpr uint32_t LOCALE_KEY_FONT_INTERFACE = 0x76D96E7Du;
constexpr uint32_t LOCALE_KEY_FONT_SMALL = 0x1F289A15u;
