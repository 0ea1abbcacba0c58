#pragma once
// Optional audio services of the start-up mask still to come: the music player and MIDI
// output (the mixer and the wave output have their own headers).
void music_start(void);
void music_stop_player(void);
void midi_start(void);
void midi_stop(void);
