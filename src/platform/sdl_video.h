#pragma once
// SDL start-up shared by the SDL adapters: video and events are started on first use and
// stopped by sdl_video_stop.
int sdl_video_start(void);
void sdl_video_stop(void);
// The SDL event type that carries quit requests with an exit code.
unsigned sdl_quit_event_type(void);
