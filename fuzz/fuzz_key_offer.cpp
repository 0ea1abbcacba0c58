// Key offers of 0-100 payload bytes in a well-formed frame: the session either answers with
// exactly one key reply, ignores a short offer, or fails without replying.
#include <cstdint>
#include <cstring>

#include "base/crc32.h"
#include "base/fatal.h"
#include "base/mem.h"
#include "net/crypto.h"
#include "net/session.h"
#include "support/socket_fake.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NetSession* s = nullptr;
  if (!s) {
    secure_random_open();
    sock_set_transport(socket_fake_ops());
    s = (NetSession*)mem_alloc(sizeof(NetSession));
  }
  if (size > 100) size = 100;
  uint8_t frame[20 + 100 + 1] = {1, (uint8_t)size, 0};
  frame[11] = 3;  // key offer
  frame[19] = 2;
  if (size) memcpy(frame + 20, data, size);
  uint32_t crc = crc32(frame, 20 + size);
  memcpy(frame + 15, &crc, 4);
  frame[20 + size] = 3;
  socket_fake_reset();
  session_open(s, "127.0.0.1", 1, nullptr, 0);
  socket_fake_push(frame, 21 + size);
  while (session_poll(s)) {
  }
  size_t replied = socket_fake()->outbound_length;
  int32_t status = session_status(s);
  if (size < 36 && (replied != 0 || status != 2)) fatal_exit("short key offer was not ignored");
  if (status == 2 && size >= 36 && replied != 20 + 36 + 1) fatal_exit("accepted offer without one key reply");
  if (status == -1 && replied != 0) fatal_exit("failed offer still sent a key reply");
  session_close(s);
  return 0;
}
