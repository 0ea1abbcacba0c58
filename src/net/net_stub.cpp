#include "net/net_services.h"

int sock_startup(void) { return 1; }
void sock_cleanup(void) {}
void secure_random_startup(void) {}
void secure_random_shutdown(void) {}
