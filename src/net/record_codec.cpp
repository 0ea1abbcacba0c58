#include "net/record_codec.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/strings.h"

static_assert(sizeof(NetList) == 16, "lists are a pointer and a count");

static Arena* s_string_arena;

static void* string_from_arena(size_t size) { return arena_alloc(s_string_arena, size); }

static uint32_t kind_size(const FieldDesc* f) {
  switch (f->kind) {
    case FIELD_U8:
      return 1;
    case FIELD_U16:
    case FIELD_I16:
      return 2;
    case FIELD_BOOL:
    case FIELD_U32:
    case FIELD_I32:
    case FIELD_F32:
    case FIELD_FIX24:
    case FIELD_ANGLE16:
      return 4;
    case FIELD_VEC3:
    case FIELD_POSITION:
      return 12;
    case FIELD_STR:
      return sizeof(char*);
    case FIELD_TEXT:
      return f->aux;
    case FIELD_LIST_I32:
    case FIELD_LIST_U32:
      return sizeof(NetList);
    default:
      return f->sub ? f->sub->size : 0;
  }
}

static uint32_t wire_min(const FieldDesc* f) {
  switch (f->kind) {
    case FIELD_BOOL:
    case FIELD_U8:
    case FIELD_STR:
    case FIELD_TEXT:
      return 1;
    case FIELD_U16:
    case FIELD_I16:
    case FIELD_ANGLE16:
      return 2;
    case FIELD_FIX24:
      return 3;
    case FIELD_U32:
    case FIELD_I32:
    case FIELD_F32:
    case FIELD_LIST_I32:
    case FIELD_LIST_U32:
      return 4;
    case FIELD_VEC3:
    case FIELD_POSITION:
      return 12;
    case FIELD_STRUCT:
      return f->sub ? record_min_bytes(f->sub) : 0;
    default:  // an optional part may be absent
      return 0;
  }
}

uint32_t record_min_bytes(const RecordDesc* desc) {
  uint64_t total = 0;
  for (uint32_t i = 0; i < desc->field_count; i++) {
    const FieldDesc* f = &desc->fields[i];
    total += (uint64_t)wire_min(f) * (f->repeat ? f->repeat : 1);
  }
  return total > UINT32_MAX ? UINT32_MAX : (uint32_t)total;
}

float fix24_to_float(uint8_t b0, uint8_t b1, uint8_t b2) {
  int32_t v = (int32_t)((uint32_t)b0 | (uint32_t)b1 << 8 | (uint32_t)b2 << 16);
  if (b2 & 0x80) v -= 1 << 24;
  return (float)v / 256.0f;
}

float angle16_to_degrees(uint16_t value) {
  // Exact in double; one rounding to float at the end.
  double degrees = (double)value * 360.0 / 65536.0;
  if (degrees > 180.0) degrees -= 360.0;
  return (float)degrees;
}

static double round_half_away(double v) { return v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5); }

int32_t float_to_fix24(float value) {
  if (std::isnan(value)) return 0;
  double v = round_half_away((double)value * 256.0);
  if (v < -8388608.0) return -8388608;
  if (v > 8388607.0) return 8388607;
  return (int32_t)v;
}

uint16_t degrees_to_angle16(float degrees) {
  if (!std::isfinite(degrees)) return 0;
  double v = round_half_away((double)degrees * 65536.0 / 360.0);
  // Keep the low 16 bits of the integer, as a two's complement cast would; the remainder
  // is taken in double so huge headings never overflow an integer conversion.
  double wrapped = std::fmod(v, 65536.0);
  if (wrapped < 0) wrapped += 65536.0;
  return (uint16_t)(uint32_t)wrapped;
}

static float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }

static int32_t decode_fields(const RecordDesc* desc, MsgBuf* view, uint8_t* record);

static int32_t decode_list(const FieldDesc* f, MsgBuf* view, NetList* list) {
  uint64_t n;
  if (f->kind == FIELD_LIST_I32) {
    int32_t raw = 0;
    get_i32(view, &raw);
    n = raw < 0 ? 0 : (uint64_t)raw;
  } else {
    uint32_t raw = 0;
    get_u32(view, &raw);
    n = raw;
  }
  const RecordDesc* entry = f->sub;
  uint32_t remaining = view->error ? 0 : view->length - view->cursor;
  uint32_t smallest = record_min_bytes(entry);
  if (smallest == 0) smallest = 1;
  if (n > remaining / smallest) n = remaining / smallest;
  list->items = nullptr;
  list->count = 0;
  if (n == 0) return 1;
  uint64_t keep = n;
  if (entry->keep > 0 && keep > (uint64_t)entry->keep) keep = (uint64_t)entry->keep;
  // One spare entry receives entries that are read but not kept.
  uint8_t* items = (uint8_t*)arena_alloc(s_string_arena, (size_t)((keep + 1) * (uint64_t)entry->size));
  uint8_t* spare = items + keep * entry->size;
  uint64_t stored = 0;
  for (uint64_t i = 0; i < n && !view->error; i++) {
    uint8_t* slot = stored < keep ? items + stored * entry->size : spare;
    memset(slot, 0, entry->size);
    if (!decode_fields(entry, view, slot)) return 0;
    if (slot != spare && (!entry->accept || entry->accept(slot))) stored++;
  }
  list->items = stored ? items : nullptr;
  list->count = (int32_t)stored;
  return 1;
}

static int32_t decode_one(const FieldDesc* f, MsgBuf* view, uint8_t* p, uint8_t* record) {
  switch (f->kind) {
    case FIELD_BOOL:
      get_bool(view, (int32_t*)p);
      return 1;
    case FIELD_U8:
      get_u8(view, p);
      return 1;
    case FIELD_U16:
      get_u16(view, (uint16_t*)p);
      return 1;
    case FIELD_I16:
      get_i16(view, (int16_t*)p);
      return 1;
    case FIELD_U32:
      get_u32(view, (uint32_t*)p);
      return 1;
    case FIELD_I32:
      get_i32(view, (int32_t*)p);
      return 1;
    case FIELD_F32: {
      float v = 0;
      get_f32(view, &v);
      *(float*)p = finite_or_zero(v);
      return 1;
    }
    case FIELD_VEC3:
    case FIELD_POSITION: {
      float v[3] = {0, 0, 0};
      get_vec3(view, &v[0], &v[1], &v[2]);
      for (int i = 0; i < 3; i++) {
        if (!std::isfinite(v[i])) {
          if (f->kind == FIELD_POSITION) return 0;
          v[i] = 0;
        }
      }
      memcpy(p, v, sizeof v);
      return 1;
    }
    case FIELD_FIX24: {
      uint8_t b[3] = {0, 0, 0};
      get_u8(view, &b[0]);
      get_u8(view, &b[1]);
      get_u8(view, &b[2]);
      *(float*)p = fix24_to_float(b[0], b[1], b[2]);
      return 1;
    }
    case FIELD_ANGLE16: {
      uint16_t v = 0;
      get_u16(view, &v);
      *(float*)p = angle16_to_degrees(v);
      return 1;
    }
    case FIELD_STR:
      get_str(view, (char**)p, string_from_arena);
      return 1;
    case FIELD_TEXT: {
      char* s = nullptr;
      if (get_str(view, &s, string_from_arena)) string_copy_utf8((char*)p, f->aux, s);
      return 1;
    }
    case FIELD_LIST_I32:
    case FIELD_LIST_U32:
      return decode_list(f, view, (NetList*)p);
    case FIELD_STRUCT:
      return decode_fields(f->sub, view, p);
    case FIELD_OPTIONAL: {
      uint32_t control;
      memcpy(&control, record + f->aux, sizeof control);
      return control ? decode_fields(f->sub, view, p) : 1;
    }
  }
  return 1;
}

static int32_t decode_fields(const RecordDesc* desc, MsgBuf* view, uint8_t* record) {
  for (uint32_t i = 0; i < desc->field_count; i++) {
    const FieldDesc* f = &desc->fields[i];
    uint32_t step = kind_size(f);
    uint32_t repeat = f->repeat ? f->repeat : 1;
    for (uint32_t r = 0; r < repeat; r++)
      if (!decode_one(f, view, record + f->offset + r * step, record)) return 0;
  }
  return 1;
}

int32_t record_decode(const RecordDesc* desc, MsgBuf* view, void* record, Arena* arena) {
  if (!desc || !view || !record || !arena) return 0;
  Arena* saved = s_string_arena;
  s_string_arena = arena;
  int32_t ok = decode_fields(desc, view, (uint8_t*)record);
  s_string_arena = saved;
  return ok;
}

static void encode_fields(const RecordDesc* desc, MsgBuf* buffer, const uint8_t* record);

static void encode_one(const FieldDesc* f, MsgBuf* buffer, const uint8_t* p) {
  switch (f->kind) {
    case FIELD_BOOL: {
      int32_t v;
      memcpy(&v, p, 4);
      put_bool(buffer, v != 0);
      break;
    }
    case FIELD_U8:
      put_u8(buffer, *p);
      break;
    case FIELD_U16:
    case FIELD_I16: {
      uint16_t v;
      memcpy(&v, p, 2);
      put_u16(buffer, v);
      break;
    }
    case FIELD_U32:
    case FIELD_I32:
    case FIELD_F32: {
      uint32_t v;
      memcpy(&v, p, 4);
      put_u32(buffer, v);
      break;
    }
    case FIELD_VEC3:
    case FIELD_POSITION:
      for (int i = 0; i < 3; i++) {
        uint32_t v;
        memcpy(&v, p + 4 * i, 4);
        put_u32(buffer, v);
      }
      break;
    case FIELD_FIX24: {
      float v;
      memcpy(&v, p, 4);
      uint32_t bits = (uint32_t)float_to_fix24(v);
      put_u8(buffer, (uint8_t)bits);
      put_u8(buffer, (uint8_t)(bits >> 8));
      put_u8(buffer, (uint8_t)(bits >> 16));
      break;
    }
    case FIELD_ANGLE16: {
      float v;
      memcpy(&v, p, 4);
      put_u16(buffer, degrees_to_angle16(v));
      break;
    }
    case FIELD_STR: {
      const char* s;
      memcpy(&s, p, sizeof s);
      put_str(buffer, s);
      break;
    }
    case FIELD_TEXT: {
      // Cut at a character boundary so that a full buffer never sends a partial character.
      char cut[1024];
      uint32_t size = f->aux < sizeof cut ? f->aux : (uint32_t)sizeof cut;
      string_copy_utf8(cut, size, (const char*)p);
      put_str(buffer, cut);
      break;
    }
    case FIELD_LIST_I32:
    case FIELD_LIST_U32: {
      NetList list;
      memcpy(&list, p, sizeof list);
      int32_t n = list.count > 0 && list.items ? list.count : 0;
      put_u32(buffer, (uint32_t)n);
      for (int32_t i = 0; i < n; i++)
        encode_fields(f->sub, buffer, (const uint8_t*)list.items + (size_t)i * f->sub->size);
      break;
    }
    case FIELD_STRUCT:
      encode_fields(f->sub, buffer, p);
      break;
    case FIELD_OPTIONAL:
      break;  // incoming only
  }
}

static void encode_fields(const RecordDesc* desc, MsgBuf* buffer, const uint8_t* record) {
  for (uint32_t i = 0; i < desc->field_count; i++) {
    const FieldDesc* f = &desc->fields[i];
    uint32_t step = kind_size(f);
    uint32_t repeat = f->repeat ? f->repeat : 1;
    for (uint32_t r = 0; r < repeat; r++) encode_one(f, buffer, record + f->offset + r * step);
  }
}

void record_encode(const RecordDesc* desc, MsgBuf* buffer, const void* record) {
  if (!desc || !buffer || !record) return;
  encode_fields(desc, buffer, (const uint8_t*)record);
}

// Appends to a bounded text, counting what would have been needed.
struct FormatOut {
  char* out;
  size_t size;
  size_t used;
};

static void append(FormatOut* o, const char* text) {
  for (size_t i = 0; text[i]; i++, o->used++)
    if (o->used + 1 < o->size) o->out[o->used] = text[i];
  if (o->size) o->out[o->used + 1 < o->size ? o->used : o->size - 1] = 0;
}

static void emit(FormatOut* o, const char* text) {
  if (o->used > 0) append(o, " ");
  append(o, text);
}

static void emit_float(FormatOut* o, float v) {
  char t[32];
  snprintf(t, sizeof t, "%.9g", (double)v);
  emit(o, t);
}

static void emit_text(FormatOut* o, const char* s) {
  if (!s) {
    emit(o, "~");
    return;
  }
  static const char hex[] = "0123456789abcdef";
  emit(o, "s:");
  for (size_t i = 0; s[i]; i++) {
    char t[3] = {hex[(uint8_t)s[i] >> 4], hex[(uint8_t)s[i] & 15], 0};
    append(o, t);
  }
}

static void format_fields(const RecordDesc* desc, const uint8_t* record, FormatOut* o);

static void format_one(const FieldDesc* f, const uint8_t* p, FormatOut* o) {
  char t[32];
  switch (f->kind) {
    case FIELD_BOOL:
    case FIELD_I32: {
      int32_t v;
      memcpy(&v, p, 4);
      snprintf(t, sizeof t, "%d", v);
      emit(o, t);
      break;
    }
    case FIELD_U8:
      snprintf(t, sizeof t, "%u", (unsigned)*p);
      emit(o, t);
      break;
    case FIELD_U16: {
      uint16_t v;
      memcpy(&v, p, 2);
      snprintf(t, sizeof t, "%u", (unsigned)v);
      emit(o, t);
      break;
    }
    case FIELD_I16: {
      int16_t v;
      memcpy(&v, p, 2);
      snprintf(t, sizeof t, "%d", (int)v);
      emit(o, t);
      break;
    }
    case FIELD_U32: {
      uint32_t v;
      memcpy(&v, p, 4);
      snprintf(t, sizeof t, "%u", v);
      emit(o, t);
      break;
    }
    case FIELD_F32:
    case FIELD_FIX24:
    case FIELD_ANGLE16: {
      float v;
      memcpy(&v, p, 4);
      emit_float(o, v);
      break;
    }
    case FIELD_VEC3:
    case FIELD_POSITION:
      for (int i = 0; i < 3; i++) {
        float v;
        memcpy(&v, p + 4 * i, 4);
        emit_float(o, v);
      }
      break;
    case FIELD_STR: {
      const char* s;
      memcpy(&s, p, sizeof s);
      emit_text(o, s);
      break;
    }
    case FIELD_TEXT:
      emit_text(o, (const char*)p);
      break;
    case FIELD_LIST_I32:
    case FIELD_LIST_U32: {
      NetList list;
      memcpy(&list, p, sizeof list);
      int32_t n = list.items ? list.count : 0;
      snprintf(t, sizeof t, "[%d", n);
      emit(o, t);
      for (int32_t i = 0; i < n; i++)
        format_fields(f->sub, (const uint8_t*)list.items + (size_t)i * f->sub->size, o);
      emit(o, "]");
      break;
    }
    case FIELD_STRUCT:
    case FIELD_OPTIONAL:
      format_fields(f->sub, p, o);
      break;
  }
}

static void format_fields(const RecordDesc* desc, const uint8_t* record, FormatOut* o) {
  for (uint32_t i = 0; i < desc->field_count; i++) {
    const FieldDesc* f = &desc->fields[i];
    uint32_t step = kind_size(f);
    uint32_t repeat = f->repeat ? f->repeat : 1;
    for (uint32_t r = 0; r < repeat; r++) format_one(f, record + f->offset + r * step, o);
  }
}

size_t record_format(const RecordDesc* desc, const void* record, char* out, size_t size) {
  FormatOut o = {out, size, 0};
  if (out && size) out[0] = 0;
  if (!desc || !record) return 0;
  format_fields(desc, (const uint8_t*)record, &o);
  return o.used;
}
