#include "assets/lzss.h"

#include <cstring>

#include "base/mem.h"

// ---------------------------------------------------------------------------------------
// Decoder
//
// The window is never kept: the byte at window position p is the output byte written at
// the most recent output index congruent to p - LZSS_START, so a match is a copy from the
// output at distance d = (LZSS_START + pos - p) mod 2048 (0 meaning 2048). When that source
// index is negative the slot still holds its initial fill.

namespace {

struct BitInput {
  uint64_t bits;  // valid bits at the top; below them zeros or the true following bits
  int count;      // number of valid bits
  const uint8_t* p;
  const uint8_t* end;
  LzssReadFn read;  // null for memory input
  void* context;
  uint64_t remaining;  // bytes still to pull from the source
  int error;
  uint8_t* buffer;  // LZSS_INPUT_CHUNK bytes, stream input only
};

inline uint64_t load_be64(const uint8_t* p) {
  uint64_t v;
  memcpy(&v, p, 8);
  return __builtin_bswap64(v);
}

bool input_fetch(BitInput* in) {
  if (!in->read || in->remaining == 0) return false;
  size_t want = in->remaining < LZSS_INPUT_CHUNK ? (size_t)in->remaining : LZSS_INPUT_CHUNK;
  size_t got = in->read(in->context, in->buffer, want);
  if (got != want) {
    in->error = 1;
    in->remaining = 0;
    if (got > want) got = 0;
  } else {
    in->remaining -= want;
  }
  in->p = in->buffer;
  in->end = in->buffer + got;
  return got > 0;
}

// Tops the bit buffer up to at least 57 bits, or to whatever the input still holds.
inline void input_refill_slow(BitInput* in) {
  while (in->count <= 56) {
    if (in->p == in->end && !input_fetch(in)) return;
    in->bits |= (uint64_t)*in->p++ << (56 - in->count);
    in->count += 8;
  }
}

// Needs 8 readable bytes at p; leaves 56..63 valid bits.
inline void input_refill_fast(BitInput* in) {
  in->bits |= load_be64(in->p) >> in->count;
  in->p += (63 - in->count) >> 3;
  in->count |= 56;
}

inline uint8_t initial_fill(uint32_t window_position) {
  return (window_position & (LZSS_WINDOW - 1)) < LZSS_START ? 0x20 : 0;
}

// Copies one match whose bytes all fit (checked by the caller); may write up to 24 bytes.
inline void copy_match_fast(uint8_t* out, size_t pos, uint32_t p, uint32_t length) {
  uint32_t d = ((uint32_t)pos + LZSS_START - p) & (LZSS_WINDOW - 1);
  if (d == 0) d = LZSS_WINDOW;
  uint8_t* dst = out + pos;
  if (pos >= d) {
    const uint8_t* src = dst - d;
    if (d >= 8) {
      memcpy(dst, src, 8);
      if (length > 8) memcpy(dst + 8, src + 8, 8);
      if (length > 16) memcpy(dst + 16, src + 16, 8);
    } else {
      for (uint32_t k = 0; k < length; k++) dst[k] = src[k];
    }
    return;
  }
  for (uint32_t k = 0; k < length; k++) {
    size_t s = pos + k;
    dst[k] = s >= d ? out[s - d] : initial_fill(p + k);
  }
}

int decode(BitInput* in, uint8_t* out, size_t capacity, size_t* produced) {
  size_t pos = 0;
  int ok = 1;
  for (;;) {
    // Fast path: three tokens (at most 48 bits, 51 bytes, 58 bytes written) per refill.
    if (in->end - in->p >= 8 && capacity - pos >= 64) {
      input_refill_fast(in);
      for (int t = 0; t < 3; t++) {
        if (in->bits >> 63) {
          out[pos++] = (uint8_t)(in->bits >> 55);
          in->bits <<= 9;
          in->count -= 9;
        } else {
          uint32_t p = (uint32_t)(in->bits >> 52) & 0x7FF;
          uint32_t length = ((uint32_t)(in->bits >> 48) & 0xF) + LZSS_MIN_MATCH;
          in->bits <<= 16;
          in->count -= 16;
          copy_match_fast(out, pos, p, length);
          pos += length;
        }
      }
      continue;
    }
    input_refill_slow(in);
    if (in->count < 1) break;
    if (in->bits >> 63) {
      if (in->count < 9) break;
      if (pos >= capacity) {
        ok = 0;
        break;
      }
      out[pos++] = (uint8_t)(in->bits >> 55);
      in->bits <<= 9;
      in->count -= 9;
    } else {
      if (in->count < 16) break;
      uint32_t p = (uint32_t)(in->bits >> 52) & 0x7FF;
      uint32_t length = ((uint32_t)(in->bits >> 48) & 0xF) + LZSS_MIN_MATCH;
      in->bits <<= 16;
      in->count -= 16;
      uint32_t d = ((uint32_t)pos + LZSS_START - p) & (LZSS_WINDOW - 1);
      if (d == 0) d = LZSS_WINDOW;
      for (uint32_t k = 0; k < length; k++) {
        if (pos >= capacity) {
          ok = 0;
          break;
        }
        out[pos] = pos >= d ? out[pos - d] : initial_fill(p + k);
        pos++;
      }
      if (!ok) break;
    }
  }
  if (in->error) ok = 0;
  if (produced) *produced = pos;
  return ok;
}

}  // namespace

int lzss_decode(const uint8_t* input, size_t input_size, uint8_t* output, size_t capacity, size_t* produced) {
  if (produced) *produced = 0;
  if ((!input && input_size) || (!output && capacity)) return 0;
  BitInput in = {};
  in.p = input;
  in.end = input + input_size;
  return decode(&in, output, capacity, produced);
}

int lzss_decode_stream(LzssReadFn read, void* context, uint64_t input_size, uint8_t* output, size_t capacity,
                       size_t* produced) {
  if (produced) *produced = 0;
  if (!read || (!output && capacity)) return 0;
  uint8_t buffer[LZSS_INPUT_CHUNK];
  BitInput in = {};
  in.read = read;
  in.context = context;
  in.remaining = input_size;
  in.buffer = buffer;
  in.p = in.end = buffer;
  return decode(&in, output, capacity, produced);
}

// ---------------------------------------------------------------------------------------
// Encoder
//
// Works over a history made of the window's initial contents in write order (17 zeros from
// positions 2031..2047, then 2031 spaces from positions 0..2030) followed by the input, so a
// source index k in that history is window position (k - 17) mod 2048. Matches of 2 bytes
// already pay (16 bits against 18 for two literals), so the chains are keyed on 2 bytes.

namespace {

enum : uint32_t {
  CHAIN_DEPTH = 256,
  HASH_SIZE = 65536,
  NO_POSITION = 0xFFFFFFFFu,
};

struct BitOutput {
  uint8_t* data;
  size_t size;
  uint32_t acc;
  int count;
};

inline void put_bits(BitOutput* o, uint32_t value, int n) {
  o->acc = (o->acc << n) | value;
  o->count += n;
  while (o->count >= 8) {
    o->count -= 8;
    o->data[o->size++] = (uint8_t)(o->acc >> o->count);
  }
}

}  // namespace

uint8_t* lzss_encode(const uint8_t* input, size_t size, size_t* out_size) {
  const size_t prefix = LZSS_WINDOW;
  size_t total = prefix + size;
  uint8_t* history = (uint8_t*)mem_alloc(total);
  memset(history, 0, 17);
  memset(history + 17, 0x20, prefix - 17);
  if (size) memcpy(history + prefix, input, size);

  uint32_t* head = (uint32_t*)mem_alloc(HASH_SIZE * sizeof(uint32_t));
  uint32_t* prev = (uint32_t*)mem_alloc(LZSS_WINDOW * sizeof(uint32_t));
  for (uint32_t i = 0; i < HASH_SIZE; i++) head[i] = NO_POSITION;
  for (uint32_t i = 0; i < LZSS_WINDOW; i++) prev[i] = NO_POSITION;

  BitOutput o = {};
  o.data = (uint8_t*)mem_alloc(size + size / 8 + 2);

  // Positions below `inserted` are in the chains; a position is inserted once its two-byte
  // key is known (it may reach one byte into the input, which is fine: the key only guides
  // the search, every candidate is compared in full).
  size_t inserted = 0;
  auto insert_up_to = [&](size_t limit) {
    for (; inserted < limit && inserted + 1 < total; inserted++) {
      uint32_t key = (uint32_t)history[inserted] << 8 | history[inserted + 1];
      prev[inserted & (LZSS_WINDOW - 1)] = head[key];
      head[key] = (uint32_t)inserted;
    }
  };

  size_t i = prefix;
  while (i < total) {
    insert_up_to(i);
    size_t best_length = 0, best_source = 0;
    size_t limit = total - i < LZSS_MAX_MATCH ? total - i : LZSS_MAX_MATCH;
    if (limit >= LZSS_MIN_MATCH) {
      uint32_t key = (uint32_t)history[i] << 8 | history[i + 1];
      uint32_t candidate = head[key];
      for (uint32_t depth = 0; candidate != NO_POSITION && depth < CHAIN_DEPTH; depth++) {
        if (i - candidate > LZSS_WINDOW) break;
        size_t length = 0;
        while (length < limit && history[candidate + length] == history[i + length]) length++;
        if (length > best_length) {
          best_length = length;
          best_source = candidate;
          if (length == limit) break;
        }
        uint32_t next = prev[candidate & (LZSS_WINDOW - 1)];
        if (next == NO_POSITION || next >= candidate) break;  // slot reused by a newer one
        candidate = next;
      }
    }
    if (best_length >= LZSS_MIN_MATCH) {
      uint32_t p = (uint32_t)(best_source - 17) & (LZSS_WINDOW - 1);
      put_bits(&o, 0, 1);
      put_bits(&o, p, 11);
      put_bits(&o, (uint32_t)(best_length - LZSS_MIN_MATCH), 4);
      i += best_length;
    } else {
      put_bits(&o, 1, 1);
      put_bits(&o, history[i], 8);
      i++;
    }
  }
  if (o.count > 0) o.data[o.size++] = (uint8_t)(o.acc << (8 - o.count));

  mem_free(prev);
  mem_free(head);
  mem_free(history);
  *out_size = o.size;
  return o.data;
}
