#include "base/strings.h"

#include <cstring>

#include "base/mem.h"

uint32_t string_hash_fnv(const char* string) {
  uint32_t hash = 0x811C9DC5u;
  for (const unsigned char* p = (const unsigned char*)string; *p; p++) {
    hash ^= *p;
    hash *= 16777619u;
  }
  return hash;
}

int string_compare(const char* a, const char* b) {
  const unsigned char* x = (const unsigned char*)a;
  const unsigned char* y = (const unsigned char*)b;
  while (*x && *x == *y) {
    x++;
    y++;
  }
  return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

static unsigned char fold_ascii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

int string_icase_equal(const char* a, const char* b) {
  const unsigned char* x = (const unsigned char*)a;
  const unsigned char* y = (const unsigned char*)b;
  while (*x && fold_ascii(*x) == fold_ascii(*y)) {
    x++;
    y++;
  }
  return fold_ascii(*x) != fold_ascii(*y);
}

char* string_duplicate(const char* string, void* (*allocate)(size_t size)) {
  if (!string) return nullptr;
  size_t length = strlen(string) + 1;
  char* copy = (char*)(allocate ? allocate(length) : mem_alloc(length));
  memcpy(copy, string, length);
  return copy;
}

size_t string_copy_utf8(char* destination, size_t size, const char* source) {
  if (!destination || size == 0) return 0;
  size_t n = 0;
  if (source) {
    while (source[n] && n < size - 1) n++;
    // A cut inside a character (the next byte is a continuation byte) moves back to the
    // character's first byte, so the partial character is left out.
    if (source[n])
      while (n > 0 && ((unsigned char)source[n] & 0xC0) == 0x80) n--;
    memcpy(destination, source, n);
  }
  destination[n] = 0;
  return n;
}
