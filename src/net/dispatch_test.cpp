// Message dispatch against the local server's own opcode schemas (devserver/opcodes.py):
// every incoming opcode decodes the server's messages, their prefixes, mutations and random
// payloads exactly as the server's decoder predicts; every outgoing payload matches the
// server's encoder byte for byte. Then the edge cases and the input-safety cases.
#include "net/dispatch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/strings.h"
#include "net/payloads.h"
#include "net/session.h"

namespace {

struct Call {
  std::string effect;
  NetEvent event;
  std::string record;
};
std::vector<Call> g_calls;

template <typename T>
void record_call(const char* effect, const NetEvent* event, const T* record) {
  const NetOpcode* op = net_opcode((uint32_t)event->opcode);
  std::string text;
  if (op && op->record && std::string(effect) != "trade_close") {
    std::vector<char> out(1 << 16);
    record_format(op->record, record, out.data(), out.size());
    text = out.data();
  }
  g_calls.push_back({effect, *event, text});
}

#define RECORDER(name, Type) \
  void record_##name(const NetEvent* e, const Type* r) { record_call(#name, e, r); }
NET_EFFECTS(RECORDER)
#undef RECORDER

void install_recorders() {
  NetEffects* e = net_effects();
#define INSTALL(name, Type) e->name = record_##name;
  NET_EFFECTS(INSTALL)
#undef INSTALL
  g_calls.clear();
}

std::vector<uint8_t> from_hex(const std::string& hex) {
  std::vector<uint8_t> out;
  if (hex == "-") return out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back((uint8_t)std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

std::string to_hex(const uint8_t* data, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; i++) {
    s += digits[data[i] >> 4];
    s += digits[data[i] & 15];
  }
  return s.empty() ? "-" : s;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::string join(const std::vector<std::string>& w, size_t from, size_t to) {
  std::string s;
  for (size_t i = from; i < to; i++) s += (i > from ? " " : "") + w[i];
  return s;
}

// The cases from the local server's schema script; empty (and the test skipped) when no
// python3 is found outside CI.
std::vector<std::string> load_cases() {
  std::string cmd =
      std::string("cd '") + OSTREVANE_SOURCE_DIR + "' && /usr/bin/python3 -m devserver.opcode_cases";
  FILE* p = popen(cmd.c_str(), "r");
  std::vector<std::string> lines;
  if (!p) return lines;
  std::string line;
  char chunk[4096];
  while (fgets(chunk, sizeof chunk, p)) {
    line += chunk;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      lines.push_back(line);
      line.clear();
    }
  }
  int status = pclose(p);
  if (status != 0) lines.clear();
  return lines;
}

const std::vector<std::string>& cases() {
  static std::vector<std::string> lines = load_cases();
  return lines;
}

bool need_cases() {
  if (!cases().empty()) return true;
  const char* ci = getenv("CI");
  if (ci && std::string(ci) == "true") ADD_FAILURE() << "devserver.opcode_cases did not run";
  return false;
}

// Parses canonical tokens into a record (the inverse of record_format), for outgoing cases.
struct RecordParser {
  const std::vector<std::string>& tokens;
  size_t at;
  std::deque<std::string> strings;
  std::deque<std::vector<uint8_t>> arrays;

  const std::string& next() {
    static const std::string none;
    return at < tokens.size() ? tokens[at++] : none;
  }

  bool fields(const RecordDesc* desc, uint8_t* record) {
    for (uint32_t i = 0; i < desc->field_count; i++) {
      const FieldDesc* f = &desc->fields[i];
      uint32_t repeat = f->repeat ? f->repeat : 1;
      for (uint32_t r = 0; r < repeat; r++)
        if (!one(f, record + f->offset, r)) return false;
    }
    return true;
  }

  bool one(const FieldDesc* f, uint8_t* base, uint32_t r) {
    switch (f->kind) {
      case FIELD_U8:
        base[r] = (uint8_t)std::stoul(next());
        return true;
      case FIELD_U16:
      case FIELD_I16: {
        uint16_t v = (uint16_t)std::stol(next());
        memcpy(base + 2 * r, &v, 2);
        return true;
      }
      case FIELD_BOOL:
      case FIELD_U32:
      case FIELD_I32: {
        uint32_t v = (uint32_t)std::stoll(next());
        memcpy(base + 4 * r, &v, 4);
        return true;
      }
      case FIELD_F32:
      case FIELD_FIX24:
      case FIELD_ANGLE16: {
        float v = strtof(next().c_str(), nullptr);
        memcpy(base + 4 * r, &v, 4);
        return true;
      }
      case FIELD_VEC3:
      case FIELD_POSITION:
        for (int i = 0; i < 3; i++) {
          float v = strtof(next().c_str(), nullptr);
          memcpy(base + 12 * r + 4 * i, &v, 4);
        }
        return true;
      case FIELD_STR:
      case FIELD_TEXT: {
        const std::string& t = next();
        const char* s = nullptr;
        if (t != "~") {
          std::vector<uint8_t> b = from_hex(t.size() > 2 ? t.substr(2) : "-");
          strings.emplace_back(b.begin(), b.end());
          s = strings.back().c_str();
        }
        if (f->kind == FIELD_TEXT)
          string_copy_utf8((char*)base + f->aux * r, f->aux, s ? s : "");
        else
          memcpy(base + sizeof(char*) * r, &s, sizeof s);
        return true;
      }
      default:
        return false;  // outgoing payloads carry no lists
    }
  }
};

TEST(DispatchSchemas, IncomingSlotsMatchTheServer) {
  if (!need_cases()) GTEST_SKIP() << "no python3";
  std::vector<std::string> slots = words(cases()[0]);
  std::vector<std::string> quiet = words(cases()[1]);
  ASSERT_EQ(slots[0], "slots");
  ASSERT_EQ(quiet[0], "ignored");
  std::vector<int> present(256, 0), ignored(256, 0);
  for (size_t i = 2; i < slots.size(); i++) present[std::stoi(slots[i])] = 1;
  for (size_t i = 2; i < quiet.size(); i++) ignored[std::stoi(quiet[i])] = 1;
  for (int op = 0; op < 256; op++) {
    const NetOpcode* row = net_opcode((uint32_t)op);
    EXPECT_EQ(row != nullptr, present[op] == 1) << "opcode " << op;
    if (row) {
      EXPECT_EQ(row->effect == NET_EFFECT_NONE, ignored[op] == 1) << "opcode " << op;
    }
  }
  EXPECT_EQ(std::stoi(slots[1]), NET_HANDLER_SLOTS - 1);
}

// Every "in" line: decoded through net_decode (the record, key and form) and dispatched
// through the recording effects, from a heap copy of exactly the payload's size so that the
// sanitizer build catches any read past its end.
TEST(DispatchSchemas, EveryIncomingMessageDecodesAsTheServerPredicts) {
  if (!need_cases()) GTEST_SKIP() << "no python3";
  install_recorders();
  Arena* arena = arena_create(4096);
  std::vector<uint8_t> record_space(NET_RECORD_BYTES + 16);
  std::vector<char> text(1 << 16);
  size_t checked = 0;
  std::vector<int> seen(NET_HANDLER_SLOTS, 0);
  for (const std::string& line : cases()) {
    std::vector<std::string> w = words(line);
    if (w.size() < 4 || w[0] != "in") continue;
    int opcode = std::stoi(w[1]);
    std::vector<uint8_t> bytes = from_hex(w[2]);
    std::unique_ptr<uint8_t[]> exact(bytes.empty() ? nullptr : new uint8_t[bytes.size()]);
    if (!bytes.empty()) memcpy(exact.get(), bytes.data(), bytes.size());
    bool drop = w[3] == "drop";

    arena_reset(arena);
    NetEvent event;
    int32_t ok =
        net_decode((uint16_t)opcode, exact.get(), (uint32_t)bytes.size(), record_space.data(), arena, &event);
    ASSERT_EQ(ok, drop ? 0 : 1) << line;
    const NetOpcode* row = net_opcode((uint32_t)opcode);
    ASSERT_NE(row, nullptr) << line;
    std::string expected = drop ? "" : join(w, 5, w.size());
    if (!drop) {
      char key[16];
      snprintf(key, sizeof key, "%08x", event.key);
      EXPECT_EQ(key, w[3]) << line;
      EXPECT_EQ(std::to_string(event.form), w[4]) << line;
      std::string got;
      if (row->record) {
        record_format(row->record, record_space.data(), text.data(), text.size());
        got = text.data();
      }
      ASSERT_EQ(got, expected) << line;
    }

    g_calls.clear();
    net_dispatch_payload((uint16_t)opcode, exact.get(), (uint32_t)bytes.size());
    if (drop || row->effect == NET_EFFECT_NONE) {
      EXPECT_TRUE(g_calls.empty()) << line;
    } else {
      ASSERT_EQ(g_calls.size(), row->then != NET_EFFECT_NONE ? 2u : 1u) << line;
      EXPECT_EQ(g_calls[0].effect, net_effect_name(row->effect)) << line;
      EXPECT_EQ(g_calls[0].event.opcode, opcode);
      EXPECT_EQ(g_calls[0].record, expected) << line;
    }
    seen[opcode] = 1;
    checked++;
  }
  for (int op = 1; op < NET_HANDLER_SLOTS; op++)
    if (net_opcode((uint32_t)op)) {
      EXPECT_TRUE(seen[op]) << "no case for opcode " << op;
    }
  EXPECT_GT(checked, 1000u);
  arena_destroy(arena);
  net_effects_clear();
}

TEST(DispatchSchemas, EveryOutgoingPayloadMatchesTheServer) {
  if (!need_cases()) GTEST_SKIP() << "no python3";
  int counted = 0;
  for (const std::string& line : cases()) {
    std::vector<std::string> w = words(line);
    if (w.size() == 3 && w[0] == "outcount") {
      int session = std::stoi(w[1]);
      int present = 0;
      for (int op = 0; op < 256; op++) present += net_outgoing(session, op).present;
      EXPECT_EQ(present, std::stoi(w[2])) << "session " << session;
      continue;
    }
    if (w.size() < 5 || w[0] != "out") continue;
    int session = std::stoi(w[1]);
    int opcode = std::stoi(w[2]);
    OutgoingOpcode out = net_outgoing(session, opcode);
    ASSERT_TRUE(out.present) << line;
    size_t eq = 3;
    while (eq < w.size() && w[eq] != "=") eq++;
    ASSERT_LT(eq + 1, w.size()) << line;
    MsgBuf* buffer = msgbuf_create();
    if (out.record) {
      std::vector<std::string> toks(w.begin() + 3, w.begin() + (long)eq);
      RecordParser parser{toks, 0, {}, {}};
      std::vector<uint8_t> record(out.record->size + 16, 0);
      ASSERT_TRUE(parser.fields(out.record, record.data())) << line;
      ASSERT_EQ(parser.at, toks.size()) << line;
      // Through the PayloadWriter, as the session will call it.
      OutPayload payload = {out.record, record.data()};
      PayloadWriter writer = payload_writer(&payload);
      writer.write(buffer, writer.context);
    }
    EXPECT_EQ(to_hex(buffer->storage, buffer->length), w[eq + 1]) << line;
    msgbuf_free(buffer);
    counted++;
  }
  EXPECT_GT(counted, 100);
}

// --- the edge cases and input-safety cases, checked on their own values ---------------------

struct Recorded {
  Recorded() { install_recorders(); }
  ~Recorded() { net_effects_clear(); }
};

std::vector<uint8_t> le32(uint32_t v) {
  return {(uint8_t)v, (uint8_t)(v >> 8), (uint8_t)(v >> 16), (uint8_t)(v >> 24)};
}
void append(std::vector<uint8_t>* to, const std::vector<uint8_t>& bytes) {
  to->insert(to->end(), bytes.begin(), bytes.end());
}
std::vector<uint8_t> f32_bytes(float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  return le32(v);
}

MsgMove g_move;
int g_moves;
void capture_move(const NetEvent*, const MsgMove* m) {
  g_move = *m;
  g_moves++;
}

TEST(Dispatch, OpcodeZeroAndOutOfRangeAreDropped) {
  Recorded recorded;
  uint8_t payload[4] = {1, 2, 3, 4};
  for (uint32_t op : {0u, 213u, 255u, 65535u}) {
    net_dispatch_payload((uint16_t)op, payload, 4);
    EXPECT_EQ(net_opcode(op), nullptr);
  }
  net_dispatch(nullptr);
  EXPECT_TRUE(g_calls.empty());
}

TEST(Dispatch, CompactMovementFieldEncodings) {
  net_effects_clear();
  net_effects()->move = capture_move;
  g_moves = 0;
  std::vector<uint8_t> p = le32(42);
  append(&p, {3, 9, 0x00, 0x00, 0xFF, 0x80, 0x01, 0x00, 0xFF, 0xFF, 0x7F, 0x00, 0x80});
  NetMessage message = {0, MSG_MOVE, 0, p.data(), (int32_t)p.size()};
  net_dispatch(&message);
  ASSERT_EQ(g_moves, 1);
  EXPECT_EQ(g_move.id, 42u);
  EXPECT_EQ(g_move.motion_state, 3);
  EXPECT_EQ(g_move.direction, 9);
  EXPECT_EQ(g_move.position[0], -256.0f);
  EXPECT_EQ(g_move.position[1], 1.5f);
  EXPECT_EQ(g_move.position[2], 32767.99609375f);
  EXPECT_EQ(std::fabs(g_move.heading), 180.0f);
  // 0xC000 is -90 degrees; 0x4000 is 90.
  p[15] = 0x00;
  p[16] = 0xC0;
  net_dispatch_payload(MSG_MOVE_EXTRA, p.data(), (uint32_t)p.size());
  EXPECT_EQ(g_move.heading, -90.0f);
  net_effects_clear();
}

TEST(Dispatch, FieldEncodingsBothWays) {
  EXPECT_EQ(fix24_to_float(0, 0, 0xFF), -256.0f);
  EXPECT_EQ(fix24_to_float(0xFF, 0xFF, 0xFF), -1.0f / 256);
  EXPECT_EQ(float_to_fix24(0.5f / 256), 1);  // halves away from zero
  EXPECT_EQ(float_to_fix24(-0.5f / 256), -1);
  EXPECT_EQ(float_to_fix24(1e9f), 8388607);  // saturates
  EXPECT_EQ(float_to_fix24(-1e9f), -8388608);
  EXPECT_EQ(float_to_fix24(NAN), 0);
  EXPECT_EQ(degrees_to_angle16(-90.0f), 49152);
  EXPECT_EQ(degrees_to_angle16(INFINITY), 0);
  EXPECT_EQ(degrees_to_angle16(1e30f), degrees_to_angle16(1e30f));  // no overflow trap
  EXPECT_EQ(angle16_to_degrees(0x8000), 180.0f);
  EXPECT_EQ(angle16_to_degrees(0xFFFF), -360.0f / 65536);
}

TEST(Dispatch, ReloginNeedsATerminatorWithinItsFirst1024Bytes) {
  Recorded recorded;
  std::vector<uint8_t> text(1100, 'x');
  net_dispatch_payload(MSG_RELOGIN, text.data(), (uint32_t)text.size());
  text[1030] = 0;
  net_dispatch_payload(MSG_RELOGIN, text.data(), (uint32_t)text.size());
  EXPECT_TRUE(g_calls.empty());
  text[1023] = 0;
  net_dispatch_payload(MSG_RELOGIN, text.data(), (uint32_t)text.size());
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].effect, "relogin");
}

GroupSnapshot g_group;
uint32_t g_group_ids[8];
void capture_group(const NetEvent*, const GroupSnapshot* g) {
  g_group = *g;
  for (int i = 0; i < g->members.count; i++) g_group_ids[i] = g->members.items[i].id;
}

TEST(Dispatch, GroupSnapshotKeepsSixMembersAndReadsTheSubject) {
  net_effects_clear();
  net_effects()->group_store = capture_group;
  auto member = [](uint32_t id, const char* name) {
    std::vector<uint8_t> m = le32(id);
    append(&m, {1, 0});
    m.insert(m.end(), name, name + strlen(name) + 1);
    for (int i = 0; i < 5; i++) append(&m, le32(7));
    for (int i = 0; i < 3; i++) append(&m, f32_bytes(1.0f));
    return m;
  };
  std::vector<uint8_t> p = le32(8);
  for (uint32_t i = 1; i <= 8; i++) append(&p, member(i, "member"));
  append(&p, member(99, "subject"));
  memset(&g_group, 0, sizeof g_group);
  net_dispatch_payload(MSG_GROUP_JOINED, p.data(), (uint32_t)p.size());
  ASSERT_EQ(g_group.members.count, 6);
  for (uint32_t i = 0; i < 6; i++) EXPECT_EQ(g_group_ids[i], i + 1);
  EXPECT_EQ(g_group.subject.id, 99u);
  EXPECT_STREQ(g_group.subject.name, "subject");
  net_effects_clear();
}

TEST(Dispatch, StatusEffectSlotTwelveInTheFirstHalfIsIgnored) {
  Recorded recorded;
  std::vector<uint8_t> p = le32(5);
  p.push_back(12);
  append(&p, le32(3));
  append(&p, f32_bytes(1.0f));
  p.push_back(1);
  net_dispatch_payload(MSG_STATUS_EFFECT_SET, p.data(), (uint32_t)p.size());
  EXPECT_TRUE(g_calls.empty());
  p[13] = 0;  // second half: slot 12 is accepted
  net_dispatch_payload(MSG_STATUS_EFFECT_SET, p.data(), (uint32_t)p.size());
  EXPECT_EQ(g_calls.size(), 1u);
}

TEST(Dispatch, HugeListCountNeitherLoopsNorAllocates) {
  // MSG_OBJECT_LISTED (id, flag, count, ids) in 20 bytes with a count of 0x7FFFFFFF.
  std::vector<uint8_t> p = le32(3);
  p.push_back(1);
  append(&p, le32(0x7FFFFFFF));
  p.resize(20, 0);
  Arena* arena = arena_create(4096);
  size_t before = arena_reserved(arena);
  alignas(16) uint8_t record[NET_RECORD_BYTES];
  NetEvent event;
  ASSERT_EQ(net_decode(MSG_OBJECT_LISTED, p.data(), (uint32_t)p.size(), record, arena, &event), 1);
  const MsgObjectListed* listed = (const MsgObjectListed*)record;
  EXPECT_EQ(listed->ids.count, 2);  // 11 bytes left hold two ids
  EXPECT_EQ(arena_reserved(arena), before);
  // Negative counts read as empty lists.
  p = le32(3);
  p.push_back(0);
  append(&p, le32(0x80000000u));
  ASSERT_EQ(net_decode(MSG_OBJECT_LISTED, p.data(), (uint32_t)p.size(), record, arena, &event), 1);
  EXPECT_EQ(listed->ids.count, 0);
  arena_destroy(arena);
}

TEST(Dispatch, NonFinitePositionsDropSpawnsAndOtherFloatsReadAsZero) {
  Recorded recorded;
  // An object spawn with a NaN x.
  std::vector<uint8_t> p = le32(1);
  append(&p, le32(0));
  append(&p, f32_bytes(NAN));
  append(&p, f32_bytes(1.0f));
  append(&p, f32_bytes(2.0f));
  p.resize(p.size() + 64, 0);
  net_dispatch_payload(MSG_SPAWN_OBJECT, p.data(), (uint32_t)p.size());
  net_dispatch_payload(MSG_SPAWN_OBJECT, nullptr, 0);  // an empty spawn is zeros at the origin: accepted
  ASSERT_EQ(g_calls.size(), 1u);
  g_calls.clear();
  std::vector<uint8_t> speeds = le32(4);
  append(&speeds, f32_bytes(INFINITY));
  append(&speeds, f32_bytes(2.0f));
  append(&speeds, f32_bytes(NAN));
  net_dispatch_payload(MSG_CREATURE_SPEEDS, speeds.data(), (uint32_t)speeds.size());
  ASSERT_EQ(g_calls.size(), 1u);
  EXPECT_EQ(g_calls[0].record, "4 0 2 0");
}

TEST(Dispatch, ItemSlotIndicesAreRangeChecked) {
  Recorded recorded;
  struct Case {
    uint16_t opcode;
    int32_t index;
    bool accepted;
  } table[] = {{MSG_BAG_CLEAR, 0, true},      {MSG_BAG_CLEAR, 29, true},   {MSG_BAG_CLEAR, 30, false},
               {MSG_BAG_CLEAR, -1, false},    {MSG_BAG_SET, 30, false},    {MSG_STORE_CLEAR, 159, true},
               {MSG_STORE_CLEAR, 160, false}, {MSG_STORE_SET, 160, false}, {MSG_WORN_CLEAR, 9, true},
               {MSG_WORN_SET, 10, false}};
  for (const Case& c : table) {
    g_calls.clear();
    std::vector<uint8_t> p = le32((uint32_t)c.index);
    append(&p, le32(1));
    append(&p, le32(2));
    net_dispatch_payload(c.opcode, p.data(), (uint32_t)p.size());
    EXPECT_EQ(g_calls.size(), c.accepted ? 1u : 0u) << c.opcode << " " << c.index;
  }
}

TEST(Dispatch, FailureReasonsSelectTheirKeys) {
  struct Case {
    int32_t reason;
    uint32_t key;
  } table[] = {{109, 0x39FB656C},
               {129, 0x5BEB1C11},
               {134, 0x20381CA5},
               {135, 0x38F95081},
               {136, 0x7C127FF0},
               {137, 0x39232DE4},
               {139, 0x32899452},
               {143, 0x01855E5C},
               {144, 0x7859E6F8},
               {163, 0x64A67537},
               {164, 0x306E49BB},
               {0, LOCALE_KEY_ACTION_FAILED},
               {-5, LOCALE_KEY_ACTION_FAILED},
               {138, LOCALE_KEY_ACTION_FAILED}};
  Recorded recorded;
  for (const Case& c : table) {
    EXPECT_EQ(net_failure_key(c.reason), c.key);
    // A reason is an opcode: its text is the one that opcode shows on its own.
    const NetOpcode* notice = net_opcode((uint32_t)c.reason);
    if (c.key != LOCALE_KEY_ACTION_FAILED && notice) {
      EXPECT_EQ(notice->key, c.key) << c.reason;
    }
    g_calls.clear();
    std::vector<uint8_t> p = le32(7);
    append(&p, le32((uint32_t)c.reason));
    net_dispatch_payload(MSG_ACTION_FAILED, p.data(), (uint32_t)p.size());
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].event.key, c.key);
  }
}

TEST(Dispatch, TradeNoticesCloseTheTradeWindowAfterwards) {
  Recorded recorded;
  net_dispatch_payload(MSG_TRADE_ENDED_A, nullptr, 0);
  ASSERT_EQ(g_calls.size(), 2u);
  EXPECT_EQ(g_calls[0].effect, "notice");
  EXPECT_EQ(g_calls[0].event.form, NOTICE_ANNOUNCE_PLAIN);
  EXPECT_EQ(g_calls[0].event.key, 0x7AA4EBFAu);
  EXPECT_EQ(g_calls[1].effect, "trade_close");
}

TEST(Dispatch, ZoneNumbersNeverOverflow) {
  EXPECT_EQ(net_zone_number(0), 2);
  EXPECT_EQ(net_zone_number(-5), 1);
  EXPECT_EQ(net_zone_number(INT32_MIN), 1);
  EXPECT_EQ(net_zone_number(INT32_MAX), INT32_MAX);
  EXPECT_EQ(net_zone_reply(2), 1);
  EXPECT_EQ(net_zone_reply(3), 1);
  EXPECT_EQ(net_zone_reply(10), 8);
}

TEST(Dispatch, CreateCharacterNameIsCutAtACharacterBoundary) {
  OutCreateCharacter c;
  std::string name;
  for (int i = 0; i < 40; i++) name += "\xC3\xA9";  // 80 bytes of two-byte characters
  const uint8_t pairs[8] = {1, 2, 3, 4, 200, 100, 0, 0};
  out_create_character_fill(&c, name.c_str(), pairs, 1, 2);
  EXPECT_EQ(strlen(c.name), 64u);
  MsgBuf* b = msgbuf_create();
  payload_create_character(b, &c);
  ASSERT_EQ(b->length, 64u + 1 + 4 + 2 + 4);
  EXPECT_EQ(b->storage[65], 3);
  EXPECT_EQ(b->storage[67], 44);  // 200 + 100 wraps
  EXPECT_EQ(b->storage[71], 1);   // the constant 1
  msgbuf_free(b);
}

}  // namespace
