#include "scene/labels.h"

void labels_start(void) {}
void labels_stop(void) {}
