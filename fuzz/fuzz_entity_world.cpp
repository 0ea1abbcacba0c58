// Operation sequences on the entity world against a plain map: creations, destructions,
// late registrations, look-ups of arbitrary handles and types. Any disagreement aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "world/entity_world.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size, at;
  uint32_t byte() { return at < size ? data[at++] : 0; }
  uint32_t word() { return byte() | byte() << 8 | byte() << 16 | byte() << 24; }
  bool done() const { return at >= size; }
};

#define CHECK(cond)       \
  do {                    \
    if (!(cond)) abort(); \
  } while (0)

const uint32_t kSpaceNumbers[3] = {0, 9, 255};
const uint32_t kSizes[4] = {1, 4, 24, 100};

struct Model {
  std::unordered_map<uint32_t, uint32_t> live;  // handle -> stamp
  std::vector<uint32_t> handles;
  std::vector<uint32_t> free_stack;
  std::vector<uint32_t> types;
  uint32_t next = 1;
};

int g_released;
void release(void*) { g_released++; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size, 0};
  EntityWorld* world = world_create(1);
  Model model[3];
  for (int s = 0; s < 3; s++) world_create_space(world, kSpaceNumbers[s], in.byte() % 8);
  g_released = 0;
  int expected_releases = 0;
  for (int step = 0; step < 4000 && !in.done(); step++) {
    uint32_t op = in.byte();
    int s = (op >> 4) % 3;
    uint32_t number = kSpaceNumbers[s];
    EntitySpace* space = world_space(world, number);
    Model& m = model[s];
    switch (op & 7) {
      case 0:
      case 1: {
        uint32_t expected = m.free_stack.empty() ? m.next : m.free_stack.back();
        uint32_t handle = entity_create(world, number);
        CHECK(handle == (number << 24 | expected));
        if (m.free_stack.empty())
          m.next++;
        else
          m.free_stack.pop_back();
        uint32_t stamp = in.word();
        for (uint32_t t : m.types) {
          uint8_t* e = (uint8_t*)entity_component(world, t, handle);
          CHECK(e != nullptr);
          for (uint32_t k = 0; k < space->pools[t]->element_size; k++) CHECK(e[k] == 0);
          memcpy(e, &stamp, space->pools[t]->element_size < 4 ? space->pools[t]->element_size : 4);
        }
        m.live[handle] = stamp;
        m.handles.push_back(handle);
        break;
      }
      case 2:
      case 3: {
        if (m.handles.empty()) break;
        size_t pick = in.byte() % m.handles.size();
        uint32_t handle = m.handles[pick];
        m.handles[pick] = m.handles.back();
        m.handles.pop_back();
        CHECK(entity_destroy(world, handle) == 1);
        m.live.erase(handle);
        m.free_stack.push_back(handle & ENTITY_INDEX_MAX);
        expected_releases += (int)m.types.size();
        break;
      }
      case 4: {  // arbitrary handle and type
        uint32_t handle = in.word(), type = in.byte();
        bool alive = false;
        for (int t = 0; t < 3; t++) alive = alive || model[t].live.count(handle);
        CHECK(entity_alive(world, handle) == (alive ? 1 : 0));
        void* e = entity_component(world, type, handle);
        uint32_t hs = handle >> 24;
        bool registered = false;
        for (int t = 0; t < 3; t++)
          if (kSpaceNumbers[t] == hs)
            for (uint32_t ty : model[t].types) registered = registered || ty == type;
        CHECK((e != nullptr) == (alive && registered));
        if (!alive) CHECK(entity_destroy(world, handle) == 0);
        break;
      }
      case 5: {  // registration: allowed only before the first creation
        uint32_t type = in.byte() % 100, sz = kSizes[in.byte() % 4];
        bool fresh = type < WORLD_COMPONENT_TYPES;
        for (uint32_t t : m.types) fresh = fresh && t != type;
        bool ok = fresh && m.next == 1;
        CHECK(space_register_component(space, type, sz, release) == (ok ? 1 : 0));
        if (ok) m.types.push_back(type);
        break;
      }
      default: {  // iterate: dense rows agree across pools and carry the entity's stamp
        CHECK(space_entity_count(space) == m.live.size());
        for (uint32_t t : m.types) {
          ComponentPool* pool = space->pools[t];
          CHECK(pool->dense_count == m.live.size());
          for (uint32_t j = 0; j < pool->dense_count; j++) {
            int32_t index = pool->dense_entity[j];
            CHECK(index > 0 && index == space->pools[m.types[0]]->dense_entity[j]);
            CHECK(pool->sparse[index].row == (int32_t)j);
            uint32_t stamp = m.live.at(number << 24 | (uint32_t)index);
            uint32_t n = pool->element_size < 4 ? pool->element_size : 4;
            CHECK(memcmp(pool_at(pool, j), &stamp, n) == 0);
          }
        }
        break;
      }
    }
  }
  CHECK(g_released == expected_releases);
  for (int s = 0; s < 3; s++) expected_releases += (int)(model[s].live.size() * model[s].types.size());
  world_destroy(world);
  CHECK(g_released == expected_releases);
  return 0;
}
