#pragma once
// The zone loader's request state machine, kept pure so that tables and the fuzzer can drive
// it without threads: zone_machine_step takes the state and one event and answers the
// actions the loader then carries out, in the order of the ZONE_DO_* bits.
//
// A load is "on" (loading) from the accepted request to the swap or the failure: only then
// does a local-player spawn (17) clear the wait and drop held zone-enter messages, and only
// then may holding be on. A request always wins over a load in progress: the running worker
// is cancelled and joined. Zones outside 1..65535 are refused where they are requested. A
// zone of file 1 or 2 has no opcode 6 to announce it, so it swaps without waiting for a
// spawn; opcode 6 is sent once per load, when a zone above 2 has been built.
#include <cstdint>

enum ZoneEvent : int32_t {
  ZONE_EV_ENTER = 14,       // zone_enter (opcode 14), with a position
  ZONE_EV_CHANGE = 16,      // zone_change (opcode 16)
  ZONE_EV_SPAWN = 17,       // the zone filter saw a local-player spawn
  ZONE_EV_BACK = 49,        // the zone filter saw "back to characters"
  ZONE_EV_BACKGROUND = 100, // zone_background: zone 2 for the login screens
  ZONE_EV_DONE = 101,       // the worker published a world
  ZONE_EV_FAILED = 102,     // the worker published a failure
  ZONE_EV_FRAME = 103,      // zone_frame
  ZONE_EV_SHUTDOWN = 104,
};

constexpr uint32_t ZONE_DO_CANCEL = 1u << 0;        // cancel and join the running worker, free its world
constexpr uint32_t ZONE_DO_HOLD_OFF = 1u << 1;      // net_set_hold(0, filter)
constexpr uint32_t ZONE_DO_DISCARD_HELD = 1u << 2;  // net_discard_held
constexpr uint32_t ZONE_DO_HOLD_ON = 1u << 3;       // net_set_hold(1, filter)
constexpr uint32_t ZONE_DO_DROP_HELD_14 = 1u << 4;  // net_drop_held(14)
constexpr uint32_t ZONE_DO_PLACEHOLDER = 1u << 5;   // drop the world, purge the cache, build and swap in zone 1
constexpr uint32_t ZONE_DO_START = 1u << 6;         // start the worker for the machine's zone
constexpr uint32_t ZONE_DO_SEND_6 = 1u << 7;        // opcode 6 with net_zone_reply(zone)
constexpr uint32_t ZONE_DO_SWAP = 1u << 8;          // join the worker and make its world current
constexpr uint32_t ZONE_DO_FAIL = 1u << 9;          // join the worker; report the failed zone
constexpr uint32_t ZONE_DO_REFUSE = 1u << 10;       // a request named a zone outside 1..65535: report it

struct ZoneMachine {
  int32_t loading;    // a request was accepted and has not yet been swapped in or failed
  int32_t requested;  // a zone-enter waits for the next zone_frame
  int32_t worker;     // a worker runs (or has finished and awaits the swap)
  int32_t done;       // the worker finished
  int32_t failed;     // ... without a world
  int32_t wait;       // the swap waits for the local player's spawn
  int32_t reported;   // opcode 6 was sent for this load
  int32_t holding;    // what the machine last asked of net_set_hold
  int32_t zone;       // zone file number of the load or the request
  int32_t shut;       // after shut-down every event is ignored
};

// The starting state (nothing loading, holding off).
ZoneMachine zone_machine_initial(void);
// One event; zone is the zone file number for ENTER and CHANGE (ignored otherwise).
uint32_t zone_machine_step(ZoneMachine* state, ZoneEvent event, int32_t zone);
