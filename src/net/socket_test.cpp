#include "net/socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "base/mem.h"

// A listening socket on 127.0.0.1 with a free port, made with the system calls directly.
struct Listener {
  int fd = -1;
  uint16_t port = 0;
  Listener() {
    fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, (sockaddr*)&a, sizeof a);
    listen(fd, 4);
    socklen_t size = sizeof a;
    getsockname(fd, (sockaddr*)&a, &size);
    port = ntohs(a.sin_port);
  }
  ~Listener() {
    if (fd >= 0) close(fd);
  }
  int accept_one() { return accept(fd, nullptr, nullptr); }
};

static int32_t wait_connected(SocketHandle* h) {
  int32_t r = SOCK_IN_PROGRESS;
  for (int i = 0; i < 2000 && r == SOCK_IN_PROGRESS; i++) {
    r = sock_check_connect(h);
    if (r == SOCK_IN_PROGRESS) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return r;
}

template <typename F>
static int32_t wait_for(F f, int32_t until_not) {
  int32_t r = until_not;
  for (int i = 0; i < 2000 && r == until_not; i++) {
    r = f();
    if (r == until_not) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return r;
}

struct SocketTest : ::testing::Test {
  void SetUp() override { ASSERT_EQ(sock_startup(), 0); }
};

TEST_F(SocketTest, ConnectsByDottedAddressAndByName) {
  for (const char* host : {"127.0.0.1", "localhost"}) {
    SCOPED_TRACE(host);
    Listener l;
    SocketHandle* h = nullptr;
    ASSERT_EQ(sock_connect(&h, host, l.port), SOCK_IN_PROGRESS);  // even when it completed at once
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(wait_connected(h), 0);
    int peer = l.accept_one();
    ASSERT_GE(peer, 0);
    char buffer[16];
    EXPECT_EQ(sock_recv(h, buffer, sizeof buffer), 0);  // nothing waiting: 0, not an error
    EXPECT_EQ(sock_send(h, "ping", 4), 4);
    char got[4];
    ASSERT_EQ(recv(peer, got, 4, MSG_WAITALL), 4);
    EXPECT_EQ(memcmp(got, "ping", 4), 0);
    ASSERT_EQ(send(peer, "pong!", 5, 0), 5);
    EXPECT_EQ(wait_for([&] { return sock_recv(h, buffer, sizeof buffer); }, 0), 5);
    // The peer ends the stream: seen at once as an error, not as an empty receive.
    close(peer);
    EXPECT_EQ(wait_for([&] { return sock_recv(h, buffer, sizeof buffer); }, 0), SOCK_ERROR);
    EXPECT_EQ(sock_close(h), 0);
  }
}

TEST_F(SocketTest, FailuresLeaveNoHandle) {
  SocketHandle* h = (SocketHandle*)0x1;
  EXPECT_EQ(sock_connect(&h, "nowhere.invalid", 80), SOCK_UNRESOLVED);
  EXPECT_EQ(h, nullptr);

  uint16_t closed_port;
  {
    Listener l;
    closed_port = l.port;
  }
  h = nullptr;
  int32_t r = sock_connect(&h, "127.0.0.1", closed_port);
  if (r == SOCK_IN_PROGRESS) {
    EXPECT_EQ(wait_connected(h), SOCK_REFUSED);
    sock_close(h);
  } else {
    EXPECT_EQ(r, SOCK_REFUSED);
    EXPECT_EQ(h, nullptr);
  }

  EXPECT_EQ(sock_connect(nullptr, "127.0.0.1", 1), SOCK_INVALID);
  EXPECT_EQ(sock_connect(&h, nullptr, 1), SOCK_INVALID);
}

TEST_F(SocketTest, BadHandlesAndArguments) {
  char b[4];
  EXPECT_EQ(sock_check_connect(nullptr), SOCK_INVALID);
  EXPECT_EQ(sock_recv(nullptr, b, 4), SOCK_INVALID);
  EXPECT_EQ(sock_send(nullptr, b, 4), SOCK_INVALID);
  EXPECT_EQ(sock_close(nullptr), SOCK_INVALID);
  SocketHandle* closed = (SocketHandle*)mem_alloc(sizeof(SocketHandle));
  closed->fd = -1;
  EXPECT_EQ(sock_recv(closed, b, 4), SOCK_INVALID);
  EXPECT_EQ(sock_check_connect(closed), SOCK_INVALID);
  EXPECT_EQ(sock_close(closed), SOCK_INVALID);  // and the record is freed (leak check in ASan)
  EXPECT_EQ(sock_failed(-5), 1);
  EXPECT_EQ(sock_failed(0), 0);
  EXPECT_EQ(sock_failed(12), 0);
}

// A peer that resets the connection: receive and send fail, the process goes on (no SIGPIPE).
TEST_F(SocketTest, PeerResetIsAnErrorNotACrash) {
  Listener l;
  SocketHandle* h = nullptr;
  ASSERT_EQ(sock_connect(&h, "127.0.0.1", l.port), SOCK_IN_PROGRESS);
  ASSERT_EQ(wait_connected(h), 0);
  int peer = l.accept_one();
  linger hard = {1, 0};
  setsockopt(peer, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  close(peer);
  char buffer[64] = {};
  EXPECT_EQ(wait_for([&] { return sock_recv(h, buffer, sizeof buffer); }, 0), SOCK_ERROR);
  int32_t sent = 0;
  for (int i = 0; i < 100 && sent >= 0; i++) sent = sock_send(h, buffer, sizeof buffer);
  EXPECT_EQ(sent, SOCK_ERROR);
  sock_close(h);
}
