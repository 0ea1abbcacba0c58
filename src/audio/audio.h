#pragma once
// Optional audio services of the start-up mask: mixer, music player, wave and MIDI output.
void mixer_start(void);
void mixer_stop(void);
void music_start(void);
void music_stop_player(void);
void waveout_start(void);
void waveout_stop(void);
void midi_start(void);
void midi_stop(void);
