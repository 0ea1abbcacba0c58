// Random event sequences through the zone loader's request machine, with a model of the
// network's holding around it: messages arrive (14, 16, 17, 49 or another opcode), are held or
// dispatched as the zone filter and the holding flag decide, and held ones come out when
// holding ends. Checked after every step: one load at a time, opcode 6 at most once per load
// and only above zone 2, holding never on without a load, and every message delivered,
// discarded or dropped exactly once (dropping only held zone-enters). Any breach aborts.
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "game/zone_machine.h"

namespace {

struct Reader {
  const uint8_t* data;
  size_t size, at;
  uint32_t byte() { return at < size ? data[at++] : 0; }
  bool done() const { return at >= size; }
};

struct Message {
  uint32_t id;
  uint16_t opcode;
  int32_t zone;
};

enum Fate : uint8_t { PENDING = 0, DELIVERED, DISCARDED, DROPPED };

struct Model {
  ZoneMachine machine = zone_machine_initial();
  int holding = 0;
  int running = 0;  // a worker runs or waits to be swapped in
  int sixes = 0;    // opcode 6 sent in the current load
  std::deque<Message> held;
  std::vector<Fate> fate;
};

void check(bool ok) {
  if (!ok) abort();
}

void apply(Model& m, uint32_t a) {
  const ZoneMachine& s = m.machine;
  if (a & ZONE_DO_CANCEL) {
    check(m.running);
    m.running = 0;
  }
  if (a & ZONE_DO_HOLD_OFF) m.holding = 0;
  if (a & ZONE_DO_DISCARD_HELD) {
    check(!m.holding);
    for (const Message& msg : m.held) m.fate[msg.id] = DISCARDED;
    m.held.clear();
  }
  if (a & ZONE_DO_HOLD_ON) m.holding = 1;
  if (a & ZONE_DO_DROP_HELD_14) {
    std::deque<Message> kept;
    for (const Message& msg : m.held) {
      if (msg.opcode == 14)
        m.fate[msg.id] = DROPPED;
      else
        kept.push_back(msg);
    }
    m.held.swap(kept);
  }
  if (a & ZONE_DO_START) {
    check(!m.running);  // one load at a time
    m.running = 1;
    m.sixes = 0;
  }
  if (a & ZONE_DO_SEND_6) {
    check(m.running && s.zone > 2);
    check(++m.sixes == 1);
  }
  if (a & (ZONE_DO_SWAP | ZONE_DO_FAIL)) {
    check(m.running);
    m.running = 0;
  }
  check(m.holding == s.holding);
  check(!s.holding || s.loading);
}

void step(Model& m, ZoneEvent event, int32_t zone) { apply(m, zone_machine_step(&m.machine, event, zone)); }

void dispatch(Model& m, const Message& msg) {
  check(m.fate[msg.id] == PENDING);
  m.fate[msg.id] = DELIVERED;
  if (msg.opcode == 14) step(m, ZONE_EV_ENTER, msg.zone);
  if (msg.opcode == 16) step(m, ZONE_EV_CHANGE, msg.zone);
}

// As the network module delivers: the filter is asked for every message, holding or not.
void deliver(Model& m, const Message& msg) {
  int hold = 1;
  if (msg.opcode == 16 || msg.opcode == 49) hold = 0;
  if (msg.opcode == 17) step(m, ZONE_EV_SPAWN, 0);
  if (m.holding && hold)
    m.held.push_back(msg);
  else
    dispatch(m, msg);
}

void frame(Model& m, uint32_t worker_outcome) {
  if (!m.holding) {
    while (!m.holding && !m.held.empty()) {
      Message msg = m.held.front();
      m.held.pop_front();
      deliver(m, msg);
    }
  }
  if (m.running && worker_outcome) step(m, worker_outcome == 1 ? ZONE_EV_DONE : ZONE_EV_FAILED, 0);
  step(m, ZONE_EV_FRAME, 0);
}

const int32_t ZONES[8] = {1, 2, 3, 4, 5, 0, 70000, -3};
const uint16_t OPCODES[6] = {14, 16, 17, 49, 18, 26};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader r = {data, size, 0};
  Model m;
  while (!r.done() && m.fate.size() < 4096) {
    const uint32_t b = r.byte();
    switch (b % 4) {
      case 0: {
        Message msg = {(uint32_t)m.fate.size(), OPCODES[(b >> 2) % 6], ZONES[(b >> 5) & 7]};
        m.fate.push_back(PENDING);
        deliver(m, msg);
        break;
      }
      case 1:
        frame(m, (b >> 2) % 3);
        break;
      case 2:
        step(m, ZONE_EV_BACKGROUND, 0);
        break;
      case 3:
        if ((b >> 2) == 63) step(m, ZONE_EV_SHUTDOWN, 0);
        else frame(m, 0);
        break;
    }
  }
  // Settle: the worker finishes, the spawn comes, frames run until holding ends.
  for (int i = 0; i < 8 && !m.machine.shut; i++) {
    frame(m, 1);
    Message spawn = {(uint32_t)m.fate.size(), 17, 0};
    m.fate.push_back(PENDING);
    deliver(m, spawn);
  }
  frame(m, 1);
  frame(m, 0);
  check(!m.holding || m.machine.shut);
  if (!m.holding) check(m.held.empty());
  for (const Message& msg : m.held) check(m.fate[msg.id] == PENDING);
  for (uint32_t id = 0; id < m.fate.size(); id++) {
    bool in_held = false;
    for (const Message& msg : m.held) in_held = in_held || msg.id == id;
    check((m.fate[id] == PENDING) == in_held);
  }
  return 0;
}
