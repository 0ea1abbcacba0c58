#pragma once
// Network module: owns the login and world sessions, polls both once per frame, hands each
// game message to the dispatch (or holds it while the zone loader builds a zone) and closes a
// session as soon as its status turns negative, keeping that status readable afterwards.
//
// Holding: while `holding` is set, a message is held unless the filter (if any) answers 0 for
// its opcode; with no filter everything is held. Held messages are copies in the held arena,
// kept in arrival order, delivered at the start of the next frame that is not holding.
//
// Credentials for the login server: the locale's prefix text, the account, the locale's
// separator text, the password, one zero byte; at most 1024 bytes. Account and password
// accept only code points 0x20-0xFF, since the wire keeps one byte per character. A locale
// without a separator text gets a line feed, which no account name can contain.
// net sits above assets and includes assets/locale.h; settings, below assets, uses an installed lookup.
//
// Failures: sends on a session that is not open do nothing; opening an open session does
// nothing. Main thread only.
#include <cstdint>

#include "net/opcodes.h"
#include "net/session.h"

#define NET_CREDENTIAL_SEPARATOR_DEFAULT "\n"

enum { NET_HELD_ARENA_BYTES = 1024, NET_CREDENTIALS_MAX = SESSION_CREDENTIALS_BYTES };

// Non-zero when a message with this opcode is to be held while holding.
typedef int32_t (*NetHoldFilter)(uint16_t opcode);

void net_init(void);
void net_frame(void);
void net_shutdown(void);

void net_login_open(const char* host, uint16_t port, const uint8_t* credentials, uint32_t length);
void net_login_close(void);
int32_t net_login_is_open(void);
int32_t net_login_status(void);
void net_login_send(uint16_t opcode);
void net_login_send_with(uint16_t opcode, const PayloadWriter* writer);

void net_world_open(const char* host, uint16_t port, const uint8_t* credentials, uint32_t length);
void net_world_close(void);
int32_t net_world_is_open(void);
int32_t net_world_status(void);
void net_world_send(uint16_t opcode);
void net_world_send_with(uint16_t opcode, const PayloadWriter* writer);

void net_close_all(void);

void net_set_hold(int32_t holding, NetHoldFilter filter);
// When not holding: drops every held message without dispatching it.
void net_discard_held(void);
// Removes every held message with this opcode; the others keep their order.
void net_drop_held(uint16_t opcode);
uint32_t net_held_count(void);
void net_deliver(const NetMessage* message);

// Builds the login credentials into out (capacity bytes, at most 1024 used). Returns the
// length (zero byte included), or -1 when the account or password holds a code point outside
// 0x20-0xFF or is not valid UTF-8, or the whole does not fit (nothing truncated silently).
// The prefix and separator come from the locale.
int32_t net_build_credentials(const char* account, const char* password, uint8_t* out, uint32_t capacity);
// As above with the prefix and separator given.
int32_t net_build_credentials_with(const char* prefix, const char* separator, const char* account,
                                   const char* password, uint8_t* out, uint32_t capacity);
// 1 when every code point of the text is within 0x20-0xFF (a field filter for the screens).
int32_t net_credential_text_ok(const char* text);

// The localized key of the login screen's line for a session status (SessionStatus,
// opcodes.h); any other negative status gets the failed line, any other positive one the
// connecting line.
uint32_t net_status_key(int32_t status);
// 1 when the status is shown as an error (with the OK button): every negative status.
int32_t net_status_is_error(int32_t status);
