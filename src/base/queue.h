#pragma once
// Queue: first-in-first-out queue of non-null pointers, with its nodes from a NodePool so a
// queue in steady use makes no heap calls. Not thread-safe.
#include <cstdint>

#include "base/arena.h"
#include "base/array.h"

struct QueueNode {
  QueueNode* next;
  void* item;
};

struct Queue {
  QueueNode* head;
  QueueNode* tail;
  uint32_t count;
  NodePool* pool;
};

Queue* queue_create(void);
// A null item is ignored.
void queue_push(Queue* queue, void* item);
// Oldest item, or null when empty.
void* queue_pop(Queue* queue);
// Pops everything, passing each item to release (if any).
void queue_drain(Queue* queue, ReleaseFn release);
void queue_destroy(Queue* queue, ReleaseFn release);
uint32_t queue_count(const Queue* queue);
