// Message dispatch over arbitrary input: the first byte selects the opcode (0-255, so the
// 213 slots and the dropped range are both reached), the rest is the payload. Every effect
// is a stub that walks the record it receives (strings to their end, lists to their count),
// so a record pointing outside what the decoder produced shows up under the sanitizers.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net/dispatch.h"

uint32_t g_fuzz_sink;  // keeps the walks from being optimised away

#define FUZZ_CHECK(cond)  \
  do {                    \
    if (!(cond)) abort(); \
  } while (0)

static void walk(const RecordDesc* desc, const uint8_t* record);

static void walk_field(const FieldDesc* f, const uint8_t* p) {
  switch (f->kind) {
    case FIELD_STR: {
      const char* s;
      memcpy(&s, p, sizeof s);
      if (s) g_fuzz_sink += (uint32_t)strlen(s);
      break;
    }
    case FIELD_TEXT:
      FUZZ_CHECK(memchr(p, 0, f->aux) != nullptr);
      g_fuzz_sink += (uint32_t)strlen((const char*)p);
      break;
    case FIELD_LIST_I32:
    case FIELD_LIST_U32: {
      NetList list;
      memcpy(&list, p, sizeof list);
      FUZZ_CHECK(list.count >= 0);
      FUZZ_CHECK(f->sub->keep == 0 || list.count <= f->sub->keep);
      for (int32_t i = 0; i < list.count; i++)
        walk(f->sub, (const uint8_t*)list.items + (size_t)i * f->sub->size);
      break;
    }
    case FIELD_STRUCT:
    case FIELD_OPTIONAL:
      walk(f->sub, p);
      break;
    case FIELD_F32:
    case FIELD_FIX24:
    case FIELD_ANGLE16: {
      float v;
      memcpy(&v, p, 4);
      FUZZ_CHECK(v == v && v - v == 0.0f);  // finite
      break;
    }
    default:
      g_fuzz_sink += p[0];
  }
}

static void walk(const RecordDesc* desc, const uint8_t* record) {
  for (uint32_t i = 0; i < desc->field_count; i++)
    walk_field(&desc->fields[i], record + desc->fields[i].offset);
}

template <typename T>
static void stub(const NetEvent* event, const T* record) {
  const NetOpcode* op = net_opcode((uint32_t)event->opcode);
  FUZZ_CHECK(op != nullptr);
  if (op->record) walk(op->record, (const uint8_t*)record);
}

static void install(void) {
  NetEffects* e = net_effects();
#define STUB(name, Type) e->name = stub<Type>;
  NET_EFFECTS(STUB)
#undef STUB
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int installed = (install(), 1);
  (void)installed;
  if (size < 1 || size > 70000) return 0;
  // An exact-size copy, so that any read past the payload is caught.
  size_t length = size - 1;
  uint8_t* payload = length ? new uint8_t[length] : nullptr;
  if (length) memcpy(payload, data + 1, length);
  net_dispatch_payload(data[0], payload, (uint32_t)length);
  delete[] payload;
  return 0;
}
