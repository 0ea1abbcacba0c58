#pragma once
// Where the chat's game messages go: the world session by default, with the payload shape
// the outgoing table gives the opcode (net_outgoing). Tests install a recorder instead; a
// null function puts the world session back.
#include <cstdint>

// record: the opcode's payload record (OutText, OutIntText...), null for no payload.
typedef void (*ChatSendFn)(uint16_t opcode, const void* record);

void chat_set_send(ChatSendFn send);
void chat_send(uint16_t opcode, const void* record);
