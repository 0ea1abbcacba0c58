#pragma once
// The five classes a new character can take: their labels and the base value of each of the
// four attributes. A player adds 0 .. 25 points to each, 30 in all; base + 25 still fits the
// byte the creation request carries. The local server checks creations against the same
// numbers (devserver/world.py).
#include <cstdint>

enum : int32_t {
  CLASS_COUNT = 5,
  CLASS_ATTRIBUTES = 4,
  CLASS_ADDED_MAX = 25,
  CLASS_POOL = 30,
  CLASS_NAME_MIN = 3,
  CLASS_NAME_MAX = 15,
};

constexpr uint8_t CLASS_BASE[CLASS_COUNT][CLASS_ATTRIBUTES] = {
    {40, 30, 40, 20},  // 0 warrior
    {30, 40, 30, 30},  // 1 rogue
    {20, 30, 30, 50},  // 2 mage
    {25, 35, 30, 40},  // 3 cleric
    {35, 35, 35, 25},  // 4 ranger
};
constexpr uint32_t CLASS_LABEL[CLASS_COUNT] = {0x44496B0Fu, 0x5D403AB5u, 0x2A470A23u, 0x34239F80u,
                                               0x4324AF16u};
