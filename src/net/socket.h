#pragma once
// Socket transport: one non-blocking TCP connection per session. Nothing here waits: the
// connection is started and then polled, receives and sends move what is ready now. Every
// operation answers a transport status instead of failing loudly:
//   >= 0  success (bytes moved for receive and send)
//   -1    socket creation or set-up failed, receive/send/close failed, or the peer ended the
//         stream (so a server that hangs up is noticed at once)
//   -2    invalid argument (missing slot, host, buffer, or a handle without a descriptor)
//   -3    host name not resolvable
//   -4    connection attempt failed (refused, reset, reported in error)
//   -5    connection attempt still in progress
// The operating system is reached through a SocketOps table (platform/socket_posix.h);
// sock_set_transport puts a fake in its place for tests. Main thread only.
#include <cstdint>

struct SocketOps;

enum {
  SOCK_ERROR = -1,
  SOCK_INVALID = -2,
  SOCK_UNRESOLVED = -3,
  SOCK_REFUSED = -4,
  SOCK_IN_PROGRESS = -5,
};

// One operating-system descriptor; -1 inside means the handle is closed.
struct SocketHandle {
  int fd;
};

// Ignores SIGPIPE for the process. 0 or -1.
int32_t sock_startup(void);
int32_t sock_cleanup(void);

// Allocates the handle into *handle_slot and starts connecting. -5 once started (also when
// it completed at once); on failure the handle is freed, *handle_slot is null, -1/-3/-4.
int32_t sock_connect(SocketHandle** handle_slot, const char* host, uint16_t port);
// 0 established, -5 pending, -4 failed, -2 bad handle.
int32_t sock_check_connect(SocketHandle* handle);
// One receive: bytes, 0 when nothing is waiting, -1 on error or end of stream, -2 bad args.
int32_t sock_recv(SocketHandle* handle, void* buffer, int32_t capacity);
// One send: bytes taken (possibly fewer than length, 0 would block), -1 error, -2 bad args.
int32_t sock_send(SocketHandle* handle, const void* bytes, int32_t length);
// Frees the handle always; 0, -1 when shutdown or close failed, -2 for null/closed handle.
int32_t sock_close(SocketHandle* handle);
static inline int32_t sock_failed(int32_t status) { return status < 0 ? 1 : 0; }

// Replaces the transport (null restores the operating system's). Returns the previous one.
const SocketOps* sock_set_transport(const SocketOps* ops);
