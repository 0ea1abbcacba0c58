#pragma once
// The frame: once per frame, after every module has had its turn, it turns the zone
// environment into lighting tables and fog, sets the camera's matrices, applies a changed
// vertical-sync setting, submits its own four items (the clear in layer 0, the world
// geometry in layer 1, the sky in layer 3 and the interface in layer 7, all key 0), lets the
// scene pass submit the visible entities, walks the render layers inside one scene, empties
// them and presents.
//
// Without a world or without a camera entity the frame still clears colour and depth to
// black, draws the interface layer (7) and presents: the login and character screens have
// no zone, and a frame that never presents would neither show them nor pace the loop.
// Without an environment the world is drawn with a depth-only clear in black, no fog and
// neutral lighting.
//
// The interface is drawn through a function the composition root installs (the interface
// sits above this layer); without one the interface item draws nothing but the software
// cursor. Main thread only.
struct Window;

typedef void (*FrameInterfaceFn)(void);
// Null removes it.
void frame_set_interface_draw(FrameInterfaceFn fn);

// Module start-up and shut-down: the render layers, the world-replacement listener that
// forgets the old zone's batch keys, the mesh bounds source of the bounds pass and the
// remembered vsync value (forgotten, so the first frame applies the setting).
void frame_startup(void);
void frame_shutdown(void);

void frame_render(Window* window);
