#pragma once
// Array: a growable array of fixed-size elements in insertion order. Capacity 0 at creation
// becomes 8; a push onto a full array doubles the capacity and zero-fills the new part.
// Elements live at data + index x element size and move when the array grows. Not
// thread-safe; a null array makes every function return 0 and do nothing.
#include <cstdint>

// compare (element, key) -> negative, 0 or positive.
typedef int (*CompareFn)(const void* element, const void* key);
// Called with an element's address (or a value) when a container releases it.
typedef void (*ReleaseFn)(void* item);

struct Array {
  uint32_t element_size;
  uint32_t capacity;
  uint32_t count;
  uint8_t* data;
  CompareFn compare;
};

Array* array_create(uint32_t element_size, uint32_t capacity, CompareFn compare);
// Calls release (if any) with each element's address in index order, then frees.
void array_destroy(Array* array, ReleaseFn release);
// Copies the element's bytes in; returns the new count.
uint32_t array_push(Array* array, const void* element);
// Removes the first element equal to key (copying it to out first); 0 without a compare.
int array_remove_match(Array* array, const void* key, void* out);
int array_remove_at(Array* array, uint32_t index, void* out);
void array_clear(Array* array, ReleaseFn release);
// Unstable quicksort with the compare function, when there is one and count > 1.
void array_sort(Array* array);
// Address of element index, or null when index is not below count.
void* array_at(const Array* array, uint32_t index);

// Compares the first unsigned 32-bit word of each side.
int compare_u32(const void* element, const void* key);
// Compares the pointer stored in the element with the pointer stored at key.
int compare_pointer(const void* element, const void* key);

template <typename T>
T* array_item(const Array* array, uint32_t index) {
  return (T*)array_at(array, index);
}
