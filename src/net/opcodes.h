#pragma once
// The protocol's vocabulary: the opcodes of the game messages the servers send (one handler
// table for both sessions), the opcodes the client sends on the login session and on the world
// session, and the status codes a session reports. Numbers only; the payload shapes live in
// messages.h (incoming) and payloads.h (outgoing).
//
// Incoming opcodes that only show a fixed text or are read and ignored are rows of their
// tables (notice_keys.cpp, opcodes_lists.cpp) and have no name here. Outgoing opcodes are
// named where their sender is known; the others are rows of the payload table (payloads.cpp).
#include <cstdint>

// Server to client, on either session.
enum NetIncoming : uint16_t {
  // Login and world selection.
  MSG_WORLD_LIST_ADD = 1,
  MSG_WORLD_LIST_SET = 2,
  MSG_CHARACTER_SUMMARY = 3,
  MSG_CHAR_NOTICE_A = 4,
  MSG_CHAR_NOTICE_B = 5,
  MSG_CHAR_NOTICE_C = 6,
  MSG_ENTER_WORLD_OK = 7,
  MSG_CHAR_NOTICE_D = 8,
  MSG_RELOGIN = 9,
  MSG_WORLD_TICKET = 10,
  MSG_WORLD_RESULT = 11,
  MSG_CHAR_RESET = 12,
  MSG_CHAR_NOTICE_E = 13,
  MSG_CHAR_NOTICE_F = 15,
  MSG_BACK_TO_CHARACTERS = 49,

  // Zone and spawning.
  MSG_ZONE_ENTER = 14,
  MSG_ZONE_CHANGE = 16,
  MSG_SPAWN_LOCAL_PLAYER = 17,
  MSG_SPAWN_PLAYER = 18,
  MSG_SPAWN_OBJECT = 26,
  MSG_REMOVE = 33,
  MSG_SPAWN_CREATURE = 36,

  // Entity updates.
  MSG_MOVE = 19,
  MSG_MOVE_EXTRA = 20,
  MSG_PLAYER_FLAG_A = 21,
  MSG_PLAYER_VALUE = 22,
  MSG_PLAYER_VALUE_B = 23,
  MSG_LOCAL_FLAG = 24,
  MSG_LOCAL_PAIR = 25,
  MSG_OBJECT_ATTRS = 27,
  MSG_OBJECT_NAMES = 28,
  MSG_OBJECT_FLAGS = 29,
  MSG_OBJECT_PLACE = 30,
  MSG_OBJECT_TELEPORT = 31,
  MSG_OBJECT_ATTR_A = 32,
  MSG_OBJECT_EFFECT = 34,
  MSG_OBJECT_LISTED = 35,
  MSG_CREATURE_MOTION = 37,
  MSG_CREATURE_HEALTH = 38,
  MSG_CREATURE_SPEEDS = 39,
  MSG_CREATURE_VALUE_A = 40,
  MSG_STATUS_EFFECT_SET = 41,
  MSG_STATUS_EFFECT_CLEAR = 42,
  MSG_CREATURE_VALUE_B = 43,
  MSG_CREATURE_VALUE_C = 44,
  MSG_CREATURE_EFFECT_START = 45,
  MSG_CREATURE_EFFECT_B = 46,
  MSG_CREATURE_EFFECT_STOP = 47,
  MSG_CREATURE_EFFECT_END = 48,
  MSG_COMBAT_EVENT = 133,

  // Inventory, abilities and character data.
  MSG_BAG_CLEAR = 51,
  MSG_BAG_SET = 52,
  MSG_STORE_CLEAR = 53,
  MSG_STORE_SET = 54,
  MSG_WORN_CLEAR = 55,
  MSG_WORN_SET = 56,
  MSG_KEYED_VALUE = 74,
  MSG_COUNTER_PAIR = 75,
  MSG_SKILL = 76,
  MSG_ABILITY_ADD = 77,
  MSG_ABILITY_VALUE = 78,
  MSG_ABILITY_VALUE_CLEAR = 79,
  MSG_GLOBAL_VALUE = 80,
  MSG_GLOBAL_VALUE_CLEAR = 81,
  MSG_CHARACTER_SHEET = 82,
  MSG_DEF_ABILITY = 145,
  MSG_DEF_ITEM = 146,
  MSG_DEF_FACTION = 147,
  MSG_ITEM_RECEIVED = 165,
  MSG_WORLD_CLOCK = 166,
  MSG_TRADE_REQUEST = 168,
  MSG_TRADE_CLOSE = 169,
  MSG_TRADE_ITEM = 172,
  MSG_TRADE_VALUE = 173,
  MSG_TRADE_FLAG = 174,
  MSG_PROGRESS = 189,
  MSG_ABILITY_STATE = 190,
  MSG_ABILITY_PAIR = 193,
  MSG_LOG_PAIR = 199,
  MSG_LOG_FLAG = 200,

  // Lists, windows and chat.
  MSG_CHAT = 50,
  MSG_GROUP_INVITE = 83,
  MSG_GROUP_NOTICE = 84,
  MSG_GROUP_FORMED = 85,
  MSG_GROUP_LEFT = 86,
  MSG_GROUP_DISBANDED = 87,
  MSG_GROUP_JOINED = 88,
  MSG_GROUP_MEMBER_A = 89,
  MSG_GROUP_MEMBER_B = 90,
  MSG_GROUP_MEMBER_C = 91,
  MSG_GROUP_ENDED = 92,
  MSG_GROUP_UPDATE = 93,
  MSG_GROUP_NOTICE_A = 94,
  MSG_GROUP_NOTICE_B = 95,
  MSG_GROUP_NOTICE_C = 96,
  MSG_LIST6_OPEN = 110,
  MSG_LIST6_CLOSE = 111,
  MSG_LIST6_ADD = 112,
  MSG_LIST6_UPDATE = 113,
  MSG_LIST6_REMOVE = 114,
  MSG_WINDOW8_OPEN = 119,
  MSG_WINDOW8_CLOSE = 120,
  MSG_LIST4_OPEN = 121,
  MSG_LIST4_CLOSE = 122,
  MSG_LIST4_REMOVE = 123,
  MSG_LIST_OPEN = 185,
  MSG_LIST_CLOSE = 186,

  // Rows of the notice table that do more than show their text.
  MSG_TRADE_ENDED_A = 170,  // then closes the trade window
  MSG_TRADE_ENDED_B = 171,  // then closes the trade window
  MSG_UI_ACTION_A = 192,
  MSG_UI_ACTION_B = 196,
  MSG_UI_ACTION_C = 198,
  MSG_ACTION_FAILED = 211,  // int32 ability, int32 reason (an opcode number)
};

// Client to login server.
enum NetLoginOutgoing : uint16_t {
  OUT_LOGIN_ASK_WORLDS = 1,        // once, when the login session first reports accepted
  OUT_LOGIN_ASK_WORLDS_AGAIN = 2,  // the world-selection screen refreshes the list
  OUT_LOGIN_PICK_WORLD = 3,        // str world name; answered by MSG_WORLD_TICKET
};

// Client to world server.
enum NetWorldOutgoing : uint16_t {
  OUT_WORLD_ASK_CHARACTERS = 1,  // answered by MSG_CHARACTER_SUMMARY
  OUT_WORLD_CREATE_CHARACTER = 2,
  OUT_WORLD_DELETE_CHARACTER = 3,  // int32 character id
  OUT_WORLD_RETURN_TO_LOGIN = 4,   // answered by MSG_RELOGIN
  OUT_WORLD_ENTER = 5,             // int32 character id
  OUT_WORLD_ZONE_LOADED = 6,       // int32 net_zone_reply(zone number)
  OUT_WORLD_LEAVE = 7,
  OUT_WORLD_CHAT = 9,  // int32 channel, str text
  OUT_WORLD_MOVE_REPORT = 10,
  OUT_WORLD_JUMP_REPORT = 11,
  OUT_WORLD_ITEM_MOVE = 12,
  OUT_WORLD_ITEM_MOVE_FIVE = 13,
  OUT_WORLD_ITEM_DROP = 14,
  OUT_WORLD_STORE_CLOSED = 16,
  OUT_WORLD_LIST_CLOSED = 20,
  OUT_WORLD_ATTACK = 33,       // uint32 entity id
  OUT_WORLD_STOP_ATTACK = 34,  // sent when the target is cleared while attacking
  OUT_WORLD_USE_ABILITY = 35,
  OUT_WORLD_STAND_UP = 50,     // moving while seated
  OUT_WORLD_ASK_ABILITY = 59,  // int32 id; answered by MSG_DEF_ABILITY
  OUT_WORLD_ASK_ITEM = 60,     // int32 id; answered by MSG_DEF_ITEM
  OUT_WORLD_ASK_FACTION = 61,  // int32 id; answered by MSG_DEF_FACTION
  OUT_WORLD_TARGET = 62,       // uint32 target id, 0 when cleared
  OUT_WORLD_TRADE_REFUSED = 72,
  OUT_WORLD_BAR_SET = 78,    // int32 slot, int32 ability
  OUT_WORLD_BAR_CLEAR = 79,  // int32 slot
};

// What session_status answers (and what net keeps per session; 0 until the first poll).
// Rejections are named by the frame type that carries them; what each means is the server's.
enum SessionStatus : int32_t {
  SESSION_STATUS_OPENED = 0,
  SESSION_STATUS_CONNECTING = 1,
  SESSION_STATUS_CONNECTED = 2,  // handshake not finished
  SESSION_STATUS_ENCRYPTED = 3,  // credentials not yet accepted
  SESSION_STATUS_ACCEPTED = 4,
  SESSION_STATUS_FAILED = -1,  // no session, connection or transport failure, goodbye, overflow
  SESSION_STATUS_REJECTED_9 = -2,
  SESSION_STATUS_REJECTED_10 = -3,
  SESSION_STATUS_REJECTED_11 = -4,
  SESSION_STATUS_REJECTED_12 = -5,
  SESSION_STATUS_REJECTED_13 = -6,
  SESSION_STATUS_REJECTED_14 = -7,
  SESSION_STATUS_REJECTED_16 = -8,
  SESSION_STATUS_TIMED_OUT = -9,  // no keep-alive, or no connection, for 30 seconds
};
