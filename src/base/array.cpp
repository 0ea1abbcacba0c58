#include "base/array.h"

#include <cstdlib>
#include <cstring>

#include "base/fatal.h"
#include "base/mem.h"

Array* array_create(uint32_t element_size, uint32_t capacity, CompareFn compare) {
  if (capacity == 0) capacity = 8;
  if (element_size == 0) element_size = 1;
  Array* array = (Array*)mem_alloc(sizeof(Array));
  array->element_size = element_size;
  array->capacity = capacity;
  array->count = 0;
  array->data = (uint8_t*)mem_calloc(capacity, element_size);
  array->compare = compare;
  return array;
}

void array_destroy(Array* array, ReleaseFn release) {
  if (!array) return;
  array_clear(array, release);
  mem_free(array->data);
  mem_free(array);
}

uint32_t array_push(Array* array, const void* element) {
  if (!array) return 0;
  if (array->count == array->capacity) {
    size_t old_bytes = (size_t)array->capacity * array->element_size;
    size_t new_capacity = (size_t)array->capacity * 2;
    if (new_capacity > UINT32_MAX) fatal_exit("Out of memory - the application will now close.");
    array->data = (uint8_t*)mem_realloc(array->data, new_capacity * array->element_size);
    memset(array->data + old_bytes, 0, new_capacity * array->element_size - old_bytes);
    array->capacity = (uint32_t)new_capacity;
  }
  uint8_t* slot = array->data + (size_t)array->count * array->element_size;
  if (element) memcpy(slot, element, array->element_size);
  return ++array->count;
}

int array_remove_at(Array* array, uint32_t index, void* out) {
  if (!array || index >= array->count) return 0;
  size_t size = array->element_size;
  uint8_t* slot = array->data + index * size;
  if (out) memcpy(out, slot, size);
  memmove(slot, slot + size, (size_t)(array->count - index - 1) * size);
  array->count--;
  return 1;
}

int array_remove_match(Array* array, const void* key, void* out) {
  if (!array || !array->compare) return 0;
  for (uint32_t i = 0; i < array->count; i++) {
    if (array->compare(array->data + (size_t)i * array->element_size, key) == 0)
      return array_remove_at(array, i, out);
  }
  return 0;
}

void array_clear(Array* array, ReleaseFn release) {
  if (!array) return;
  if (release) {
    for (uint32_t i = 0; i < array->count; i++) release(array->data + (size_t)i * array->element_size);
  }
  array->count = 0;
}

void array_sort(Array* array) {
  if (!array || !array->compare || array->count <= 1) return;
  qsort(array->data, array->count, array->element_size, array->compare);
}

void* array_at(const Array* array, uint32_t index) {
  if (!array || index >= array->count) return nullptr;
  return array->data + (size_t)index * array->element_size;
}

int compare_u32(const void* element, const void* key) {
  uint32_t a, b;
  memcpy(&a, element, 4);
  memcpy(&b, key, 4);
  return a < b ? -1 : (a > b ? 1 : 0);
}

int compare_pointer(const void* element, const void* key) {
  uintptr_t a, b;
  memcpy(&a, element, sizeof a);
  memcpy(&b, key, sizeof b);
  return a < b ? -1 : (a > b ? 1 : 0);
}
