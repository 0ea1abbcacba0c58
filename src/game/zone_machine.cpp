#include "game/zone_machine.h"

ZoneMachine zone_machine_initial(void) { return ZoneMachine{0, 0, 0, 0, 0, 0, 0, 0, 0, 0}; }

static int zone_in_range(int32_t zone) { return zone >= 1 && zone <= 65535; }

// A new load replaces whatever was under way.
static uint32_t begin_load(ZoneMachine* s, int32_t zone, int32_t wait) {
  uint32_t actions = s->worker ? ZONE_DO_CANCEL : 0;
  s->loading = 1;
  s->worker = 0;
  s->done = 0;
  s->failed = 0;
  s->reported = 0;
  s->zone = zone;
  // Zones 1 and 2 are never answered by a spawn the server waits to send.
  s->wait = zone > 2 ? wait : 0;
  return actions;
}

static uint32_t end_load(ZoneMachine* s, uint32_t actions) {
  if (s->holding) actions |= ZONE_DO_HOLD_OFF;
  s->loading = 0;
  s->worker = 0;
  s->done = 0;
  s->failed = 0;
  s->wait = 0;
  s->holding = 0;
  return actions;
}

uint32_t zone_machine_step(ZoneMachine* s, ZoneEvent event, int32_t zone) {
  if (s->shut) return 0;
  uint32_t actions = 0;
  switch (event) {
    case ZONE_EV_ENTER:
      if (!zone_in_range(zone)) return ZONE_DO_REFUSE;
      actions = begin_load(s, zone, 1);
      s->requested = 1;
      if (!s->holding) actions |= ZONE_DO_HOLD_ON;
      s->holding = 1;
      return actions;
    case ZONE_EV_CHANGE:
    case ZONE_EV_BACKGROUND: {
      const int background = event == ZONE_EV_BACKGROUND;
      if (!background && !zone_in_range(zone)) return ZONE_DO_REFUSE;
      actions = begin_load(s, background ? 2 : zone, background ? 0 : 1);
      s->requested = 0;
      actions |= ZONE_DO_HOLD_OFF | ZONE_DO_DISCARD_HELD;
      if (!background) actions |= ZONE_DO_HOLD_ON;
      s->holding = !background;
      s->worker = 1;
      return actions | ZONE_DO_PLACEHOLDER | ZONE_DO_START;
    }
    case ZONE_EV_SPAWN:
      if (!s->loading) return 0;
      s->wait = 0;
      return ZONE_DO_DROP_HELD_14;
    case ZONE_EV_BACK:
      return 0;
    case ZONE_EV_DONE:
    case ZONE_EV_FAILED:
      if (!s->worker) return 0;
      s->done = 1;
      s->failed = event == ZONE_EV_FAILED;
      return 0;
    case ZONE_EV_FRAME:
      if (s->requested) {
        s->requested = 0;
        s->worker = 1;
        return ZONE_DO_PLACEHOLDER | ZONE_DO_START;
      }
      if (!s->worker || !s->done) return 0;
      if (s->failed) return end_load(s, ZONE_DO_FAIL);
      if (s->zone > 2 && !s->reported) {
        actions |= ZONE_DO_SEND_6;
        s->reported = 1;
      }
      if (s->wait) return actions;
      return end_load(s, actions | ZONE_DO_SWAP);
    case ZONE_EV_SHUTDOWN:
      actions = s->worker ? ZONE_DO_CANCEL : 0;
      actions = end_load(s, actions);
      s->requested = 0;
      s->shut = 1;
      return actions;
  }
  return 0;
}
