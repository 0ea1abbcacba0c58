#pragma once
// World label list (speech bubbles and world-space text), an optional platform service.
void labels_start(void);
void labels_stop(void);
