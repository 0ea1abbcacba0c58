#pragma once
// The front end: which screen runs before the game (0 login, 1 server list, 2 character
// selection, 3 character creation), and the switch into the game and back.
//
// Each state has a screen record the screens' own module fills; a state without one declares
// nothing. Entering a state runs its screen's enter (which resets its sub-state) and its
// camera pose. Entering state 0 closes the world connection; entering state 2 keeps an open
// world session (the character screens talk to the world server through it). While the front
// end runs, the pose is applied again every frame: the camera entity is replaced whenever the
// front-end zone is swapped in, which may happen after the state was entered.
//
// frontend_enter_game switches to the in-game frame (it is the game objects' hook for the
// local player's first spawn). Setting a front-end state from the game is leaving the world:
// the window manager closes every window and the ui_world_left_listen listeners run. Main
// thread only.
#include <cstdint>

enum : int {
  FRONTEND_LOGIN = 0,
  FRONTEND_SERVER_LIST = 1,
  FRONTEND_CHARACTERS = 2,
  FRONTEND_CREATION = 3,
  FRONTEND_STATES = 4,
  FRONTEND_LISTENERS = 32,
};

struct FrontendScreen {
  void (*init)(void);      // once, at set-up
  void (*enter)(void);     // each time the state is entered
  void (*frame)(void);     // declares the screen's windows, inside the frame
  void (*shutdown)(void);  // frees the screen's buffers
  void (*pose)(void);      // places the front-end camera
};

// Installs (or with null removes) the screen of a state; other states are refused.
void frontend_set_screen(int state, const FrontendScreen* screen);
// What runs when the front end comes back from the game world to state 0 or 2: the zone
// loading's background zone behind the screens (null: nothing; zone loading installs it).
void frontend_set_background(void (*background)(void));
// What the in-game frame declares (null: nothing).
void frontend_set_game_frame(void (*frame)(void));

void frontend_setup(void);
// Installs frontend_enter_game as the game objects' enter-game hook.
void frontend_start(void);
// Declares the current screen, or the in-game windows.
void frontend_frame(void);
void frontend_shutdown(void);

// Refuses states outside 0..3.
void frontend_set_state(int state);
int frontend_state(void);
void frontend_enter_game(void);
int frontend_in_game(void);

typedef void (*UiWorldLeftListener)(void);
// 1 added; 0 when full or already listening.
int ui_world_left_listen(UiWorldLeftListener listener);
void ui_world_left_unlisten(UiWorldLeftListener listener);
