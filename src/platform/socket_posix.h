#pragma once
// POSIX TCP sockets for the network layer, reached only through the SocketOps table so that
// tests can put an in-memory transport in its place. Every call is non-blocking: connection
// completion is a zero-timeout poll, receives and sends move what the system has ready now.
// Descriptors are plain ints; -1 is "no descriptor". IPv4 only.
//
// Results are normalised here so the layer above never sees errno:
//   resolve      0 and the address (network byte order), -1 unresolvable
//   connect      0 connected at once, 1 in progress, -1 failed
//   check        0 established, 1 still pending, -1 failed (error event or SO_ERROR set)
//   recv         bytes (> 0), 0 would block, -1 error, -2 end of stream
//   send         bytes (>= 0, 0 would block), -1 error (a reset peer never raises SIGPIPE)
//   close        0, or -1 when shutdown or close failed
#include <cstddef>
#include <cstdint>

struct SocketOps {
  // Once per process before any socket: ignores SIGPIPE. 0 or -1.
  int (*startup)(void);
  // Stream socket for TCP over IPv4, or -1.
  int (*create)(void);
  // Dotted address used as is; anything else goes through the resolver (IPv4 results only).
  int (*resolve)(const char* host, uint32_t* address);
  // Non-blocking mode and no Nagle delay. 0 or -1. No linger: closing never waits.
  int (*configure)(int fd);
  int (*connect)(int fd, uint32_t address, uint16_t port);
  int (*check)(int fd);
  long (*recv)(int fd, void* buffer, size_t capacity);
  long (*send)(int fd, const void* bytes, size_t length);
  int (*close)(int fd);
};

// The operating system's sockets.
const SocketOps* socket_posix_ops(void);
