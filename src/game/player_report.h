#pragma once
// Movement reports: the local player's motion state, direction, position and heading go to
// the world server as opcode 10 at most every 0.1 s, and a jump as opcode 11 at once. The
// state carries 16 while rising, 32 while falling, 8 in water and 64 under water. The timer is
// primed when the last sent state had a moving, jumping or falling bit and the current one has
// none, so stopping is reported in the frame it happens. A due report is skipped while this
// and the last sent state are both exactly "standing" with position and heading unchanged; a
// skipped report stays due, so the first change goes out at once. After a spawn or a teleport
// the player counts as last reported standing where the server put it. Main thread only.
#include <cstdint>

#include "net/payloads.h"

constexpr float PLAYER_REPORT_INTERVAL = 0.1f;  // seconds

// Where reports and the stand-up message go: opcode and report (null for a message without
// payload). The default sends on the world session; tests and the harness install their own.
typedef void (*PlayerSendFn)(uint16_t opcode, const OutMove* move);
// Null puts back the world session.
void player_set_sender(PlayerSendFn send);
// The default: sends on the world session.
void player_world_send(uint16_t opcode, const OutMove* move);
void player_send(uint16_t opcode, const OutMove* move);

// The report of the current frame: the control's record with the airborne and water bits.
int player_report_build(OutMove* out);
// Counts dt towards the next report and sends it when due.
void player_report(float dt);
// Sends the jump report at once.
void player_report_jump(void);
