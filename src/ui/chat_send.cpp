#include "ui/chat_send.h"

#include "net/net.h"
#include "net/payloads.h"

static void send_world(uint16_t opcode, const void* record) {
  OutgoingOpcode out = net_outgoing(NET_SESSION_WORLD, opcode);
  if (!out.present) return;
  if (!out.record || !record) {
    net_world_send(opcode);
    return;
  }
  OutPayload payload = {out.record, record};
  PayloadWriter writer = payload_writer(&payload);
  net_world_send_with(opcode, &writer);
}

static ChatSendFn g_send = send_world;

void chat_set_send(ChatSendFn send) { g_send = send ? send : send_world; }
void chat_send(uint16_t opcode, const void* record) { g_send(opcode, record); }
