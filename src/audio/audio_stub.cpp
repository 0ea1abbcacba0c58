#include "audio/audio.h"

void music_start(void) {}
void music_stop_player(void) {}
void midi_start(void) {}
void midi_stop(void) {}
