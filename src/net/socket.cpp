#include "net/socket.h"

#include "base/mem.h"
#include "platform/socket_posix.h"

static const SocketOps* g_ops;

static const SocketOps* ops(void) { return g_ops ? g_ops : socket_posix_ops(); }

const SocketOps* sock_set_transport(const SocketOps* replacement) {
  const SocketOps* previous = ops();
  g_ops = replacement;
  return previous;
}

int32_t sock_startup(void) { return ops()->startup() == 0 ? 0 : SOCK_ERROR; }

int32_t sock_cleanup(void) { return 0; }

int32_t sock_connect(SocketHandle** handle_slot, const char* host, uint16_t port) {
  if (!handle_slot || !host) return SOCK_INVALID;
  SocketHandle* handle = (SocketHandle*)mem_alloc(sizeof(SocketHandle));
  handle->fd = -1;
  *handle_slot = handle;
  const SocketOps* o = ops();
  int32_t result;
  uint32_t address = 0;
  int fd = o->create();
  if (fd < 0) {
    result = SOCK_ERROR;
  } else if (o->resolve(host, &address) != 0) {
    result = SOCK_UNRESOLVED;
  } else if (o->configure(fd) != 0) {
    result = SOCK_ERROR;
  } else if (o->connect(fd, address, port) < 0) {
    result = SOCK_REFUSED;
  } else {
    handle->fd = fd;
    return SOCK_IN_PROGRESS;
  }
  if (fd >= 0) o->close(fd);
  mem_free(handle);
  *handle_slot = nullptr;
  return result;
}

int32_t sock_check_connect(SocketHandle* handle) {
  if (!handle || handle->fd < 0) return SOCK_INVALID;
  int r = ops()->check(handle->fd);
  if (r == 1) return SOCK_IN_PROGRESS;
  return r == 0 ? 0 : SOCK_REFUSED;
}

int32_t sock_recv(SocketHandle* handle, void* buffer, int32_t capacity) {
  if (!handle || handle->fd < 0 || !buffer || capacity < 0) return SOCK_INVALID;
  if (capacity == 0) return 0;
  long n = ops()->recv(handle->fd, buffer, (size_t)capacity);
  // End of stream counts as an error: the peer is gone and nothing more will arrive.
  if (n < 0) return SOCK_ERROR;
  return (int32_t)n;
}

int32_t sock_send(SocketHandle* handle, const void* bytes, int32_t length) {
  if (!handle || handle->fd < 0 || !bytes || length < 0) return SOCK_INVALID;
  if (length == 0) return 0;
  long n = ops()->send(handle->fd, bytes, (size_t)length);
  if (n < 0) return SOCK_ERROR;
  return (int32_t)n;
}

int32_t sock_close(SocketHandle* handle) {
  if (!handle) return SOCK_INVALID;
  int fd = handle->fd;
  mem_free(handle);
  if (fd < 0) return SOCK_INVALID;
  return ops()->close(fd) == 0 ? 0 : SOCK_ERROR;
}
