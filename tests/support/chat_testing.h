#pragma once
// Shared by the chat tests (header-only): the demo locale with chosen texts replaced,
// a recorder of what the chat sends (payload bytes as the world session would write them),
// the main log's lines, and typing a whole buffer (markers included) then submitting it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "assets/locale.h"
#include "base/utf8.h"
#include "net/msgbuf.h"
#include "net/payloads.h"
#include "ui/chat.h"
#include "ui/chat_input.h"
#include "ui/chat_log.h"
#include "ui/chat_send.h"
#include "ui/chat_world.h"

// The fixed-key texts of content/locale/english.tsv (escapes \t \n \\ undone).
inline std::map<uint32_t, std::string> chat_demo_texts() {
  std::map<uint32_t, std::string> texts;
  std::ifstream in(std::string(OSTREVANE_SOURCE_DIR) + "/content/locale/english.tsv");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("0x", 0) != 0) continue;
    size_t tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
    if (tab == std::string::npos || tab2 == std::string::npos) continue;
    if (line.compare(tab + 1, tab2 - tab - 1, "text") != 0) continue;
    std::string raw = line.substr(tab2 + 1), value;
    for (size_t i = 0; i < raw.size(); i++) {
      if (raw[i] == '\\' && i + 1 < raw.size()) {
        char c = raw[++i];
        value += c == 't' ? '\t' : c == 'n' ? '\n' : c;
      } else {
        value += raw[i];
      }
    }
    texts[(uint32_t)std::stoul(line.substr(2, tab - 2), nullptr, 16)] = value;
  }
  return texts;
}

// Loads the texts as the locale table (sorted by key, as the map keeps them).
inline void chat_load_texts(const std::map<uint32_t, std::string>& texts) {
  std::vector<uint8_t> blob;
  auto put = [&](uint32_t v) {
    for (int i = 0; i < 4; i++) blob.push_back((uint8_t)(v >> (8 * i)));
  };
  put(LOCALE_VERSION);
  put(0);
  put((uint32_t)texts.size());
  uint32_t index = 0;
  std::string strings;
  for (const auto& [key, text] : texts) {
    put(key);
    put(LOCALE_TEXT);
    put(index++);
    strings += text;
    strings += '\0';
  }
  blob.insert(blob.end(), strings.begin(), strings.end());
  ASSERT_EQ(locale_load_blob(blob.data(), blob.size(), 1), 1);
  chat_commands_load();
}

struct ChatSent {
  uint16_t opcode;
  std::vector<uint8_t> payload;
};
inline std::vector<ChatSent>& chat_sent() {
  static std::vector<ChatSent> sent;
  return sent;
}
inline void chat_record_send(uint16_t opcode, const void* record) {
  ChatSent s = {opcode, {}};
  OutgoingOpcode out = net_outgoing(NET_SESSION_WORLD, opcode);
  EXPECT_TRUE(out.present) << "the client never sends opcode " << opcode;
  if (out.record && record) {
    MsgBuf* buffer = msgbuf_create();
    payload_write(buffer, out.record, record);
    s.payload.assign(buffer->storage, buffer->storage + buffer->length);
    msgbuf_free(buffer);
  }
  chat_sent().push_back(s);
}

// Wire bytes built by hand: little-endian words and zero-terminated strings.
struct Wire {
  std::vector<uint8_t> bytes;
  Wire& u32(uint32_t v) {
    for (int i = 0; i < 4; i++) bytes.push_back((uint8_t)(v >> (8 * i)));
    return *this;
  }
  Wire& u8(uint8_t v) {
    bytes.push_back(v);
    return *this;
  }
  Wire& str(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
    return *this;
  }
};

// UTF-8 of one code point (markers in test strings).
inline std::string chat_cp(uint32_t code_point) {
  uint8_t bytes[4];
  int n = utf8_encode(code_point, bytes);
  return std::string((const char*)bytes, (size_t)n);
}

// Puts the whole text into the input (no typing filter) and submits it.
inline void chat_submit_text(const std::string& text) {
  chat_input_open();
  const char* cursor = text.c_str();
  while (*cursor) text_append_codepoint(chat_input()->buffer, utf8_decode_lenient(&cursor));
  chat_submit();
}

struct ChatShown {
  int32_t style;
  std::string text;
  bool operator==(const ChatShown& o) const { return style == o.style && text == o.text; }
};
inline std::ostream& operator<<(std::ostream& os, const ChatShown& s) {
  return os << "{" << s.style << ", \"" << s.text << "\"}";
}
// The main log, oldest first.
inline std::vector<ChatShown> chat_main_lines() {
  std::vector<ChatShown> lines;
  const ChatLog* log = chat_log(CHAT_LOG_MAIN);
  for (int32_t age = log->count - 1; age >= 0; age--) {
    const ChatLine* line = chat_log_line(log, age);
    lines.push_back({line->style, line->text});
  }
  return lines;
}

// Demo locale, recorder installed, everything else reset.
class ChatTest : public testing::Test {
 protected:
  std::map<uint32_t, std::string> texts = chat_demo_texts();
  void SetUp() override {
    chat_load_texts(texts);
    chat_startup();
    chat_world_reset();
    chat_sent().clear();
    chat_set_send(chat_record_send);
  }
  void TearDown() override {
    chat_set_send(nullptr);
    chat_world_reset();
    chat_shutdown();
    locale_unload();
  }
  std::string text(uint32_t key) { return texts[key]; }
  // The text of the key with the first {name} and the first {text} replaced.
  std::string with(uint32_t key, const std::string& name, const std::string& value) {
    std::string t = texts[key], out;
    size_t n = t.find("{name}"), v = t.find("{text}");
    for (size_t i = 0; i < t.size();) {
      if (i == n) {
        out += name;
        i += 6;
      } else if (i == v) {
        out += value;
        i += 6;
      } else {
        out += t[i++];
      }
    }
    return out;
  }
};
