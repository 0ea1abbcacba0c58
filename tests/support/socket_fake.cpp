#include "support/socket_fake.h"

#include <cstring>

#include "base/mem.h"
#include "platform/socket_posix.h"

static FakeSocket g_fake;

FakeSocket* socket_fake(void) { return &g_fake; }

void socket_fake_reset(void) {
  mem_free(g_fake.inbound);
  mem_free(g_fake.outbound);
  memset(&g_fake, 0, sizeof g_fake);
  g_fake.create_result = 7;
  g_fake.send_limit = -1;
  g_fake.resolved_address = 0x0100007Fu;
}

static void grow(uint8_t** buffer, size_t* capacity, size_t needed) {
  if (needed <= *capacity) return;
  size_t size = *capacity ? *capacity : 4096;
  while (size < needed) size *= 2;
  *buffer = (uint8_t*)mem_realloc(*buffer, size);
  *capacity = size;
}

void socket_fake_push(const void* bytes, size_t length) {
  if (!bytes || length == 0) return;
  grow(&g_fake.inbound, &g_fake.inbound_capacity, g_fake.inbound_length + length);
  memcpy(g_fake.inbound + g_fake.inbound_length, bytes, length);
  g_fake.inbound_length += length;
}

void socket_fake_clear_outbound(void) { g_fake.outbound_length = 0; }

static int fake_startup(void) { return 0; }

static int fake_create(void) {
  if (g_fake.create_result >= 0) g_fake.open_descriptors++;
  return g_fake.create_result;
}

static int fake_resolve(const char* host, uint32_t* address) {
  (void)host;
  *address = g_fake.resolved_address;
  return g_fake.resolve_result;
}

static int fake_configure(int fd) {
  (void)fd;
  return g_fake.configure_result;
}

static int fake_connect(int fd, uint32_t address, uint16_t port) {
  (void)fd;
  (void)address;
  g_fake.connect_port = port;
  return g_fake.connect_result;
}

static int fake_check(int fd) {
  (void)fd;
  return g_fake.check_result;
}

static long fake_recv(int fd, void* buffer, size_t capacity) {
  (void)fd;
  g_fake.recvs++;
  if (g_fake.recv_error) return -1;
  size_t waiting = g_fake.inbound_length - g_fake.inbound_read;
  if (waiting == 0) return g_fake.end_of_stream ? -2 : 0;
  size_t n = waiting < capacity ? waiting : capacity;
  if (g_fake.recv_chunk > 0 && n > (size_t)g_fake.recv_chunk) n = (size_t)g_fake.recv_chunk;
  memcpy(buffer, g_fake.inbound + g_fake.inbound_read, n);
  g_fake.inbound_read += n;
  if (g_fake.inbound_read == g_fake.inbound_length) g_fake.inbound_read = g_fake.inbound_length = 0;
  return (long)n;
}

static long fake_send(int fd, const void* bytes, size_t length) {
  (void)fd;
  g_fake.sends++;
  if (g_fake.send_error) return -1;
  size_t n = length;
  if (g_fake.send_limit >= 0 && n > (size_t)g_fake.send_limit) n = (size_t)g_fake.send_limit;
  if (n == 0) return 0;
  grow(&g_fake.outbound, &g_fake.outbound_capacity, g_fake.outbound_length + n);
  memcpy(g_fake.outbound + g_fake.outbound_length, bytes, n);
  g_fake.outbound_length += n;
  return (long)n;
}

static int fake_close(int fd) {
  (void)fd;
  g_fake.closes++;
  g_fake.open_descriptors--;
  return g_fake.close_result;
}

static const SocketOps FAKE_OPS = {
    fake_startup, fake_create, fake_resolve, fake_configure, fake_connect,
    fake_check,   fake_recv,   fake_send,    fake_close,
};

const SocketOps* socket_fake_ops(void) { return &FAKE_OPS; }
