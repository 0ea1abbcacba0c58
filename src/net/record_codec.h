#pragma once
// Record codec: reads a game message's fields into a plain C record, and writes a record's
// fields into a message, following a field table (RecordDesc) that gives each field's wire
// form and its place in the record. Every incoming and outgoing opcode is one such table.
//
// Reading applies the one input-safety policy of the client's message boundary:
// - a list count is read as given, a negative one becomes 0, and it is clamped to what the
//   remaining bytes can hold (remaining ÷ smallest possible entry); the loop also stops when
//   the buffer's error flag is set, so no count drives a loop or allocation past the payload;
//   entries beyond a list's `keep` limit are still read (fields after the list follow them)
//   but not stored; an entry its table's `accept` refuses is dropped;
// - a non-finite float reads as 0, except a FIELD_POSITION component, which rejects the
//   whole message (record_decode answers 0);
// - FIELD_TEXT is copied into its fixed buffer cut at a UTF-8 character boundary;
// - missing trailing fields read as zeros (strings as null, lists as empty), never past the
//   payload's end.
// Strings and list arrays come from the arena given to record_decode; they live until it is
// reset. The record must be zeroed by the caller. Main thread only (the string allocator is a
// module-wide pointer while a decode runs).
#include <cstddef>
#include <cstdint>

#include "base/arena.h"
#include "net/msgbuf.h"

enum FieldKind : uint8_t {
  FIELD_BOOL,      // 1 byte -> int32 0/1
  FIELD_U8,        // -> uint8
  FIELD_U16,       // -> uint16
  FIELD_I16,       // -> int16
  FIELD_U32,       // -> uint32
  FIELD_I32,       // -> int32
  FIELD_F32,       // -> float; non-finite reads as 0
  FIELD_VEC3,      // 12 bytes -> float[3]; non-finite components read as 0
  FIELD_POSITION,  // 12 bytes -> float[3]; a non-finite component rejects the message
  FIELD_FIX24,     // 3 bytes, signed 24-bit with 8 fraction bits -> float
  FIELD_ANGLE16,   // uint16 × 360 / 65536 degrees brought into -180..180 -> float
  FIELD_STR,       // zero-terminated -> const char* (arena; null when absent)
  FIELD_TEXT,      // zero-terminated -> char[aux], cut at a UTF-8 boundary
  FIELD_LIST_I32,  // int32 count, entries -> NetList {items, count}
  FIELD_LIST_U32,  // uint32 count, entries -> NetList
  FIELD_STRUCT,    // embedded sub-record (sub)
  FIELD_OPTIONAL,  // embedded sub-record read only when the uint32 at offset `aux` is not 0
};

struct RecordDesc;

struct FieldDesc {
  uint8_t kind;
  uint16_t repeat;        // consecutive values of this kind (arrays); 0 counts as 1
  uint32_t offset;        // in the record
  uint32_t aux;           // FIELD_TEXT: buffer size; FIELD_OPTIONAL: offset of the controlling count
  const RecordDesc* sub;  // list entry / struct table
  const char* name;
};

struct RecordDesc {
  const char* name;
  uint32_t size;  // sizeof the record (or list entry)
  const FieldDesc* fields;
  uint32_t field_count;
  int32_t keep;  // as a list entry: at most this many entries are stored (0: no limit)
  // As a list entry: 0 drops the entry just read (out-of-range index), 1 keeps it.
  int32_t (*accept)(const void* entry);
};

// Layout of every list in a record: the entries then their number.
struct NetList {
  void* items;
  int32_t count;
};

// 1 when read (possibly with trailing zeros), 0 when the message must be ignored.
int32_t record_decode(const RecordDesc* desc, MsgBuf* view, void* record, Arena* arena);
// Writes the record's fields in table order (lists with their count as int32/uint32).
void record_encode(const RecordDesc* desc, MsgBuf* buffer, const void* record);
// Smallest number of bytes one record of this table can occupy on the wire.
uint32_t record_min_bytes(const RecordDesc* desc);

// Canonical text of a record, in table order, separated by single spaces: integers in
// decimal, floats as %.9g, strings as "s:" + hex bytes ("~" when absent), lists as
// "[count" entries "]". Used by logs and by the cross-checks against the local server.
// Writes at most size - 1 bytes and terminates; returns the length it needed.
size_t record_format(const RecordDesc* desc, const void* record, char* out, size_t size);

// The field encodings on their own.
float fix24_to_float(uint8_t b0, uint8_t b1, uint8_t b2);
float angle16_to_degrees(uint16_t value);
// round(value × 256), halves away from zero, clamped to the 24-bit range; NaN gives 0.
int32_t float_to_fix24(float value);
// round(degrees × 65536 / 360) kept to 16 bits; non-finite gives 0.
uint16_t degrees_to_angle16(float degrees);

// Helpers for the field tables.
#define NET_FIELD(Record, member, kind) \
  { kind, 1, (uint32_t)offsetof(Record, member), 0, nullptr, #member }
#define NET_ARRAY(Record, member, kind, n) \
  { kind, n, (uint32_t)offsetof(Record, member), 0, nullptr, #member }
#define NET_TEXT(Record, member)                                                                        \
  {                                                                                                     \
    FIELD_TEXT, 1, (uint32_t)offsetof(Record, member), (uint32_t)sizeof(((Record*)0)->member), nullptr, \
        #member                                                                                         \
  }
#define NET_LIST(Record, member, kind, entry) \
  { kind, 1, (uint32_t)offsetof(Record, member), 0, &entry, #member }
#define NET_STRUCT(Record, member, entry) \
  { FIELD_STRUCT, 1, (uint32_t)offsetof(Record, member), 0, &entry, #member }
#define NET_OPTIONAL(Record, member, entry, control)                                                    \
  {                                                                                                     \
    FIELD_OPTIONAL, 1, (uint32_t)offsetof(Record, member), (uint32_t)offsetof(Record, control), &entry, \
        #member                                                                                         \
  }
#define NET_RECORD(name, Record, fields) \
  { name, (uint32_t)sizeof(Record), fields, (uint32_t)(sizeof(fields) / sizeof(fields[0])), 0, nullptr }
#define NET_ENTRY(name, Record, fields, keep, accept) \
  { name, (uint32_t)sizeof(Record), fields, (uint32_t)(sizeof(fields) / sizeof(fields[0])), keep, accept }
