#pragma once
// An in-memory stand-in for the operating system's sockets (one connection), for tests,
// fuzz targets and benchmarks of the network layer. Bytes pushed with socket_fake_push are
// what the peer sent; everything the client sends is appended to `outbound`. Each result
// field below is returned by the matching SocketOps call, so a test can script refusals,
// pending connections, partial sends and resets.
#include <cstddef>
#include <cstdint>

struct SocketOps;

struct FakeSocket {
  int create_result;     // descriptor or -1
  int resolve_result;    // 0 or -1
  int configure_result;  // 0 or -1
  int connect_result;    // 0, 1 (pending), -1
  int check_result;      // 0, 1 (pending), -1
  int close_result;      // 0 or -1
  long recv_chunk;       // most bytes one recv returns; 0: everything waiting
  long send_limit;       // most bytes one send takes; negative: everything
  int recv_error;        // recv answers -1
  int send_error;        // send answers -1
  int end_of_stream;     // recv answers -2 once the pushed bytes are used up
  uint8_t* inbound;
  size_t inbound_length;
  size_t inbound_read;
  size_t inbound_capacity;
  uint8_t* outbound;
  size_t outbound_length;
  size_t outbound_capacity;
  uint32_t resolved_address;
  uint16_t connect_port;
  int recvs, sends, closes, open_descriptors;
};

// The fake's state; socket_fake_reset frees its buffers and sets the defaults: a connection
// that completes at once, unlimited sends, recv of everything waiting.
FakeSocket* socket_fake(void);
void socket_fake_reset(void);
void socket_fake_push(const void* bytes, size_t length);
void socket_fake_clear_outbound(void);
const SocketOps* socket_fake_ops(void);
