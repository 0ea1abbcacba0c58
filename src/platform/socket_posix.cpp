#include "platform/socket_posix.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

static int posix_startup(void) {
  // A send to a peer that reset the connection must come back as an error, not end the
  // process; MSG_NOSIGNAL covers our sends, this covers anything else that writes a socket.
  return signal(SIGPIPE, SIG_IGN) == SIG_ERR ? -1 : 0;
}

static int posix_create(void) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd < 0 ? -1 : fd;
}

static int posix_resolve(const char* host, uint32_t* address) {
  struct in_addr dotted;
  if (inet_pton(AF_INET, host, &dotted) == 1) {
    *address = dotted.s_addr;
    return 0;
  }
  struct addrinfo hints;
  memset(&hints, 0, sizeof hints);
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return -1;
  int result = -1;
  for (struct addrinfo* a = found; a; a = a->ai_next) {
    if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(struct sockaddr_in)) {
      struct sockaddr_in in;
      memcpy(&in, a->ai_addr, sizeof in);
      *address = in.sin_addr.s_addr;
      result = 0;
      break;
    }
  }
  freeaddrinfo(found);
  return result;
}

static int posix_configure(int fd) {
  int flags = fcntl(fd, F_GETFL, 0);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) return -1;
  int one = 1;
  if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0) return -1;
  return 0;
}

static int posix_connect(int fd, uint32_t address, uint16_t port) {
  struct sockaddr_in to;
  memset(&to, 0, sizeof to);
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  if (connect(fd, (const struct sockaddr*)&to, sizeof to) == 0) return 0;
  if (errno == EINPROGRESS || errno == EWOULDBLOCK || errno == EAGAIN || errno == EINTR) return 1;
  return -1;
}

static int posix_check(int fd) {
  struct pollfd p;
  p.fd = fd;
  p.events = POLLOUT;
  p.revents = 0;
  int n = poll(&p, 1, 0);
  if (n == 0) return 1;
  if (n < 0) return errno == EINTR ? 1 : -1;
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return -1;
  if (p.revents & (POLLERR | POLLNVAL)) return -1;
  return (p.revents & POLLOUT) ? 0 : 1;
}

static long posix_recv(int fd, void* buffer, size_t capacity) {
  ssize_t n = recv(fd, buffer, capacity, 0);
  if (n > 0) return (long)n;
  if (n == 0) return -2;
  if (errno == EWOULDBLOCK || errno == EAGAIN || errno == EINTR) return 0;
  return -1;
}

static long posix_send(int fd, const void* bytes, size_t length) {
  ssize_t n = send(fd, bytes, length, MSG_NOSIGNAL);
  if (n >= 0) return (long)n;
  if (errno == EWOULDBLOCK || errno == EAGAIN || errno == EINTR) return 0;
  return -1;
}

static int posix_close(int fd) {
  int result = 0;
  // The peer may already be gone; a failed shutdown of a dead connection is still reported.
  if (shutdown(fd, SHUT_WR) != 0) result = -1;
  if (close(fd) != 0) result = -1;
  return result;
}

static const SocketOps POSIX_OPS = {
    posix_startup, posix_create, posix_resolve, posix_configure, posix_connect,
    posix_check,   posix_recv,   posix_send,    posix_close,
};

const SocketOps* socket_posix_ops(void) { return &POSIX_OPS; }
