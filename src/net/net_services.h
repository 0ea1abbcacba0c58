#pragma once
// Platform services of the network layer: sockets and the secure random source.
int sock_startup(void);
void sock_cleanup(void);
void secure_random_startup(void);
void secure_random_shutdown(void);
