#include "game/zone_machine.h"

#include <gtest/gtest.h>

namespace {

// States the table starts from.
enum From { IDLE, REQUESTED, LOADING_ZONE, DONE_WAITING, DONE_SPAWNED, BACKGROUND, FAILED_DONE };

ZoneMachine make(From from) {
  ZoneMachine m = zone_machine_initial();
  switch (from) {
    case IDLE:
      break;
    case REQUESTED:
      zone_machine_step(&m, ZONE_EV_ENTER, 3);
      break;
    case LOADING_ZONE:
      zone_machine_step(&m, ZONE_EV_ENTER, 3);
      zone_machine_step(&m, ZONE_EV_FRAME, 0);
      break;
    case DONE_WAITING:
      zone_machine_step(&m, ZONE_EV_ENTER, 3);
      zone_machine_step(&m, ZONE_EV_FRAME, 0);
      zone_machine_step(&m, ZONE_EV_DONE, 0);
      break;
    case DONE_SPAWNED:
      zone_machine_step(&m, ZONE_EV_ENTER, 3);
      zone_machine_step(&m, ZONE_EV_FRAME, 0);
      zone_machine_step(&m, ZONE_EV_SPAWN, 0);
      zone_machine_step(&m, ZONE_EV_DONE, 0);
      break;
    case BACKGROUND:
      zone_machine_step(&m, ZONE_EV_BACKGROUND, 0);
      break;
    case FAILED_DONE:
      zone_machine_step(&m, ZONE_EV_ENTER, 9);
      zone_machine_step(&m, ZONE_EV_FRAME, 0);
      zone_machine_step(&m, ZONE_EV_FAILED, 0);
      break;
  }
  return m;
}

struct Row {
  const char* name;
  From from;
  ZoneEvent event;
  int32_t zone;
  uint32_t actions;
  int32_t loading, holding, wait, worker;
};

constexpr uint32_t CHANGE_ACTIONS = ZONE_DO_HOLD_OFF | ZONE_DO_DISCARD_HELD | ZONE_DO_HOLD_ON | ZONE_DO_PLACEHOLDER |
                                    ZONE_DO_START;
constexpr uint32_t BACKGROUND_ACTIONS = ZONE_DO_HOLD_OFF | ZONE_DO_DISCARD_HELD | ZONE_DO_PLACEHOLDER | ZONE_DO_START;

const Row kRows[] = {
    {"enter from idle holds and waits", IDLE, ZONE_EV_ENTER, 3, ZONE_DO_HOLD_ON, 1, 1, 1, 0},
    {"enter of zone 2 does not wait", IDLE, ZONE_EV_ENTER, 2, ZONE_DO_HOLD_ON, 1, 1, 0, 0},
    {"enter outside 1..65535 is refused", IDLE, ZONE_EV_ENTER, 70000, ZONE_DO_REFUSE, 0, 0, 0, 0},
    {"enter of zone 0 is refused", IDLE, ZONE_EV_ENTER, 0, ZONE_DO_REFUSE, 0, 0, 0, 0},
    {"frame starts the requested load", REQUESTED, ZONE_EV_FRAME, 0, ZONE_DO_PLACEHOLDER | ZONE_DO_START, 1, 1, 1, 1},
    {"a second enter replaces the request", REQUESTED, ZONE_EV_ENTER, 4, 0, 1, 1, 1, 0},
    {"enter while loading cancels the load", LOADING_ZONE, ZONE_EV_ENTER, 4, ZONE_DO_CANCEL, 1, 1, 1, 0},
    {"enter during the background load cancels it", BACKGROUND, ZONE_EV_ENTER, 3,
     ZONE_DO_CANCEL | ZONE_DO_HOLD_ON, 1, 1, 1, 0},
    {"change from idle", IDLE, ZONE_EV_CHANGE, 4, CHANGE_ACTIONS, 1, 1, 1, 1},
    {"change while loading cancels first", LOADING_ZONE, ZONE_EV_CHANGE, 4, ZONE_DO_CANCEL | CHANGE_ACTIONS, 1, 1,
     1, 1},
    {"change to zone 2 does not wait", IDLE, ZONE_EV_CHANGE, 2, CHANGE_ACTIONS, 1, 1, 0, 1},
    {"change outside the range is refused", LOADING_ZONE, ZONE_EV_CHANGE, -1, ZONE_DO_REFUSE, 1, 1, 1, 1},
    {"background from idle leaves holding off", IDLE, ZONE_EV_BACKGROUND, 0, BACKGROUND_ACTIONS, 1, 0, 0, 1},
    {"background while loading cancels", LOADING_ZONE, ZONE_EV_BACKGROUND, 0, ZONE_DO_CANCEL | BACKGROUND_ACTIONS, 1,
     0, 0, 1},
    {"spawn while requested clears the wait", REQUESTED, ZONE_EV_SPAWN, 0, ZONE_DO_DROP_HELD_14, 1, 1, 0, 0},
    {"spawn while loading clears the wait", LOADING_ZONE, ZONE_EV_SPAWN, 0, ZONE_DO_DROP_HELD_14, 1, 1, 0, 1},
    {"spawn after the worker finished clears the wait", DONE_WAITING, ZONE_EV_SPAWN, 0, ZONE_DO_DROP_HELD_14, 1, 1,
     0, 1},
    {"spawn without a load does nothing", IDLE, ZONE_EV_SPAWN, 0, 0, 0, 0, 0, 0},
    {"back to characters changes nothing", LOADING_ZONE, ZONE_EV_BACK, 0, 0, 1, 1, 1, 1},
    {"done while waiting sends 6 and keeps holding", DONE_WAITING, ZONE_EV_FRAME, 0, ZONE_DO_SEND_6, 1, 1, 1, 1},
    {"done after the spawn sends 6 and swaps", DONE_SPAWNED, ZONE_EV_FRAME, 0,
     ZONE_DO_SEND_6 | ZONE_DO_SWAP | ZONE_DO_HOLD_OFF, 0, 0, 0, 0},
    {"background done swaps without 6", BACKGROUND, ZONE_EV_DONE, 0, 0, 1, 0, 0, 1},
    {"a failure ends holding without 6", FAILED_DONE, ZONE_EV_FRAME, 0, ZONE_DO_FAIL | ZONE_DO_HOLD_OFF, 0, 0, 0, 0},
    {"done without a worker is ignored", IDLE, ZONE_EV_DONE, 0, 0, 0, 0, 0, 0},
    {"frame while the worker runs does nothing", LOADING_ZONE, ZONE_EV_FRAME, 0, 0, 1, 1, 1, 1},
    {"shut-down cancels and ends holding", LOADING_ZONE, ZONE_EV_SHUTDOWN, 0, ZONE_DO_CANCEL | ZONE_DO_HOLD_OFF, 0,
     0, 0, 0},
    {"shut-down when idle does nothing", IDLE, ZONE_EV_SHUTDOWN, 0, 0, 0, 0, 0, 0},
};

TEST(ZoneMachine, TableOfStatesAndEvents) {
  for (const Row& row : kRows) {
    ZoneMachine m = make(row.from);
    EXPECT_EQ(zone_machine_step(&m, row.event, row.zone), row.actions) << row.name;
    EXPECT_EQ(m.loading, row.loading) << row.name;
    EXPECT_EQ(m.holding, row.holding) << row.name;
    EXPECT_EQ(m.wait, row.wait) << row.name;
    EXPECT_EQ(m.worker, row.worker) << row.name;
  }
}

TEST(ZoneMachine, SixOncePerLoadThenTheSwapWhenTheSpawnComes) {
  ZoneMachine m = make(DONE_WAITING);
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_FRAME, 0), (uint32_t)ZONE_DO_SEND_6);
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_FRAME, 0), 0u);  // no second 6
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_SPAWN, 0), (uint32_t)ZONE_DO_DROP_HELD_14);
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_FRAME, 0), (uint32_t)(ZONE_DO_SWAP | ZONE_DO_HOLD_OFF));
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_SPAWN, 0), 0u);  // the load is over
}

TEST(ZoneMachine, NothingAfterShutDown) {
  ZoneMachine m = make(IDLE);
  zone_machine_step(&m, ZONE_EV_SHUTDOWN, 0);
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_ENTER, 3), 0u);
  EXPECT_EQ(zone_machine_step(&m, ZONE_EV_CHANGE, 3), 0u);
  EXPECT_EQ(m.holding, 0);
}

}  // namespace
