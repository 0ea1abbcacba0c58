#include "input/input.h"

void mouse_start(void) {}
void mouse_stop(void) {}
void input_start(void) {}
void input_stop(void) {}
