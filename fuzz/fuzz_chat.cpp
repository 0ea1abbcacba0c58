// The chat's untrusted entries: a typed or replayed buffer of arbitrary code points (link
// markers, controls, unencodable values included) submitted as it stands; an incoming chat
// message of any type with arbitrary sender and text bytes; arbitrary text added to a log.
// The first byte chooses the entry. Submitting sends at most one message of bounded size
// (the buffer's UTF-8 with its header); the logs keep at most 128 lines of at most 256 bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/msgbuf.h"
#include "net/payloads.h"
#include "platform/quit.h"
#include "support/chat_fixture.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_send.h"

static int g_sends;

static void count_send(uint16_t opcode, const void* record) {
  g_sends++;
  OutgoingOpcode out = net_outgoing(NET_SESSION_WORLD, opcode);
  if (!out.present) abort();
  if (!out.record || !record) return;
  MsgBuf* buffer = msgbuf_create();
  payload_write(buffer, out.record, record);
  // Two strings of at most 1024 bytes of UTF-8 plus their terminators and a header word.
  if (buffer->length > 2 * 1025 + 16) abort();
  msgbuf_free(buffer);
}

static uint32_t code_point_of(uint8_t b) {
  if (b < 0xF0) return b;
  if (b < 0xF8) return 0xF0001u + (b - 0xF0u);
  if (b < 0xFC) return 0xE000;
  const uint32_t tail[4] = {'/', ' ', 0x10FFFF, 0x20AC};
  return tail[b - 0xFC];
}

static void check_logs(void) {
  for (int32_t id = 0; id < CHAT_LOG_COUNT; id++) {
    const ChatLog* log = chat_log(id);
    if (log->count < 0 || log->count > CHAT_LOG_LINES) abort();
    for (int32_t age = 0; age < log->count; age++)
      if (strnlen(chat_log_line(log, age)->text, CHAT_LINE_BYTES + 1) > CHAT_LINE_BYTES) abort();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    chat_fixture_load_locale();
    chat_startup();
    chat_set_send(count_send);
    quit_set_hook([](int) {});
    return true;
  }();
  (void)ready;
  if (size < 1) return 0;
  const uint8_t* rest = data + 1;
  size_t length = size - 1;
  g_sends = 0;
  switch (data[0] % 3) {
    case 0: {
      chat_input_open();
      for (size_t i = 0; i < length && i < 1024; i++)
        text_append_codepoint(chat_input()->buffer, code_point_of(rest[i]));
      chat_submit();
      if (g_sends > 1 || chat_input()->open) abort();
      break;
    }
    case 1: {
      // type, sender id, sender bytes up to a zero, text bytes.
      if (length < 5) return 0;
      int32_t type = (int8_t)rest[0];
      uint32_t sender_id;
      memcpy(&sender_id, rest + 1, 4);
      std::vector<char> bytes(rest + 5, rest + length);
      bytes.push_back(0);
      const char* sender = bytes.data();
      const char* text = sender + strlen(sender) + (strlen(sender) < bytes.size() - 1 ? 1 : 0);
      chat_message_received(sender_id, sender, type, text);
      if (g_sends != 0) abort();
      break;
    }
    default: {
      std::vector<char> bytes(rest, rest + length);
      bytes.push_back(0);
      chat_add_text(length ? rest[0] % 3 : 0, bytes.data(), length > 1 ? (int8_t)rest[1] % 10 : 0);
      break;
    }
  }
  check_logs();
  return 0;
}
