#include "game/local_lists.h"

#include <cstring>

#include "game/object_requests.h"

static LocalLists g_lists;

// Entries are {index, a, b}; a is the item.
static void fill_cells(ItemCell* cells, int32_t size, const ItemEntry* items, int32_t count) {
  for (int32_t i = 0; items && i < count; i++) {
    const ItemEntry& e = items[i];
    if (e.a < 0 || e.a >= size) continue;
    cells[e.a] = {1, e.b, e.c};
    if (e.b) defcache_want_item(e.b);
  }
}

static int32_t copy_ids(int32_t* into, const IntEntry* items, int32_t count) {
  if (!items || count < 0) return 0;
  if (count > LOCAL_ABILITIES_MAX) count = LOCAL_ABILITIES_MAX;
  for (int32_t i = 0; i < count; i++) {
    into[i] = items[i].value;
    defcache_want_ability(items[i].value);
  }
  return count;
}

void local_lists_fill(const SpawnCharacter* s) {
  memset(&g_lists, 0, sizeof g_lists);
  fill_cells(g_lists.bag, LOCAL_BAG_CELLS, s->bag.items, s->bag.count);
  fill_cells(g_lists.worn, LOCAL_WORN_CELLS, s->worn.items, s->worn.count);
  fill_cells(g_lists.store, LOCAL_STORE_CELLS, s->store.items, s->store.count);
  g_lists.abilities_a_count = copy_ids(g_lists.abilities_a, s->abilities_a.items, s->abilities_a.count);
  g_lists.abilities_b_count = copy_ids(g_lists.abilities_b, s->abilities_b.items, s->abilities_b.count);
  int32_t n = s->ability_values.items && s->ability_values.count > 0 ? s->ability_values.count : 0;
  if (n > LOCAL_ABILITIES_MAX) n = LOCAL_ABILITIES_MAX;
  if (n) memcpy(g_lists.ability_values, s->ability_values.items, sizeof(AbilityValueEntry) * (size_t)n);
  g_lists.ability_value_count = n;
  for (int32_t i = 0; s->skills.items && i < s->skills.count; i++) {
    const SkillEntry& e = s->skills.items[i];
    if (e.kind < 1 || e.kind > LOCAL_SKILL_KINDS) continue;
    g_lists.skill_present[e.kind - 1] = 1;
    memcpy(g_lists.skills[e.kind - 1], e.values, sizeof e.values);
  }
  memcpy(g_lists.sheet, s->sheet, sizeof g_lists.sheet);
  g_lists.progress_a = s->progress_a;
  g_lists.progress_b = s->progress_b;
  g_lists.progress_c = s->progress_c;
  n = s->group.members.items && s->group.members.count > 0 ? s->group.members.count : 0;
  if (n > NET_GROUP_KEEP) n = NET_GROUP_KEEP;
  if (n) memcpy(g_lists.group, s->group.members.items, sizeof(GroupMember) * (size_t)n);
  g_lists.group_count = n;
  g_lists.group_self = s->group.subject;
}

const LocalLists* local_lists(void) { return &g_lists; }
void local_lists_clear(void) { memset(&g_lists, 0, sizeof g_lists); }
