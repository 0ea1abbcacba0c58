#include "base/queue.h"

#include "base/mem.h"

Queue* queue_create(void) {
  Queue* queue = (Queue*)mem_alloc(sizeof(Queue));
  queue->head = queue->tail = nullptr;
  queue->count = 0;
  queue->pool = pool_create(sizeof(QueueNode));
  return queue;
}

void queue_push(Queue* queue, void* item) {
  if (!queue || !item) return;
  QueueNode* node = (QueueNode*)pool_get(queue->pool);
  node->next = nullptr;
  node->item = item;
  if (queue->tail)
    queue->tail->next = node;
  else
    queue->head = node;
  queue->tail = node;
  queue->count++;
}

void* queue_pop(Queue* queue) {
  if (!queue || !queue->head) return nullptr;
  QueueNode* node = queue->head;
  queue->head = node->next;
  if (!queue->head) queue->tail = nullptr;
  queue->count--;
  void* item = node->item;
  pool_put(queue->pool, node);
  return item;
}

void queue_drain(Queue* queue, ReleaseFn release) {
  if (!queue) return;
  while (queue->head) {
    void* item = queue_pop(queue);
    if (release) release(item);
  }
}

void queue_destroy(Queue* queue, ReleaseFn release) {
  if (!queue) return;
  queue_drain(queue, release);
  pool_destroy(queue->pool);
  mem_free(queue);
}

uint32_t queue_count(const Queue* queue) { return queue ? queue->count : 0; }
