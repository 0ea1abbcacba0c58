// The front-end screens under arbitrary login and world messages: the input is a run of
// messages, each a selector byte (its low bits pick one of the opcodes the screens own:
// world lists, the summary, notices, results, creation's answer, return texts, tickets, resets
// and the return to the characters; its top bit first puts the front end into the game world),
// a length byte and that many payload bytes. After each message the current screen declares
// one frame. The front end must stay in a valid state and nothing may crash; sessions open on
// the fake socket layer, so tickets and return texts reach no network.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "net/crypto.h"
#include "net/dispatch.h"
#include "net/net.h"
#include "net/socket.h"
#include "support/socket_fake.h"
#include "ui/frontend.h"
#include "ui/screens.h"
#include "ui/ui.h"

static const uint8_t kOpcodes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 49};

static void setup(void) {
  sock_set_transport(socket_fake_ops());
  if (secure_random_open() != 1) abort();
  net_init();
  ui_widgets_startup();
  screens_set_sound([](uint32_t) { return 0; });
  screens_install();
  screens_install_effects(net_effects());
  frontend_setup();
  frontend_set_state(FRONTEND_LOGIN);
}

static void frame(void) {
  ui_begin_frame(0, 640, 480);
  frontend_frame();
  ui_end_frame();
  const int state = frontend_state();
  if (state < FRONTEND_LOGIN || state > FRONTEND_CREATION) abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int ready = (setup(), 1);
  (void)ready;
  if (size > 4096) return 0;
  // Every input starts from the login screen with both sessions closed.
  net_close_all();
  socket_fake_reset();
  frontend_set_state(FRONTEND_LOGIN);
  size_t at = 0;
  while (at + 2 <= size) {
    const uint8_t selector = data[at], length = data[at + 1];
    at += 2;
    const size_t n = length <= size - at ? length : size - at;
    if (selector & 0x80) frontend_enter_game();
    // The screen the message lands on: a few states by the selector's middle bits.
    if (selector & 0x40) frontend_set_state((selector >> 4) & 3);
    uint8_t* payload = n ? new uint8_t[n] : nullptr;
    if (n) memcpy(payload, data + at, n);
    net_dispatch_payload(kOpcodes[(selector & 0x0F) % sizeof kOpcodes], payload, (uint32_t)n);
    delete[] payload;
    at += n;
    frame();
  }
  return 0;
}
