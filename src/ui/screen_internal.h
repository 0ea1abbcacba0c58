#pragma once
// What the front-end screens ask of one another (not for other modules).
#include <cstdint>

#include "net/messages.h"
#include "ui/frontend.h"
#include "ui/screens.h"

// Login screen.
void login_enter(void);
void login_frame(void);
void login_shutdown(void);
// The session's status into the login box (the part of the frame that runs before keys).
void login_poll_status(float dt);
int login_box_shown(void);
// A return to the login server is running or its failure is shown.
int login_returning(void);
void login_box_declare(void);
// 1 when the box's button was clicked, or Enter or Escape dismissed an error: the box is gone.
int login_box_take_dismiss(void);

// World list.
void world_list_clear(void);
int world_list_received(void);
int32_t world_list_count(void);
void world_list_enter(void);
void world_list_frame(void);
void world_list_shutdown(void);
void world_list_store(const MsgWorldList* list, int replace);
// Opens the world session of the selected world with the ticket; 0 while the list is empty.
int world_list_open_ticket(const char* ticket);

// Character selection and creation, and the messages both show.
void characters_enter(void);
void characters_frame(void);
void characters_shutdown(void);
void creation_enter(void);
void creation_frame(void);
void creation_shutdown(void);
// The server's character text (with or without the OK button) on the screen showing.
void characters_show(uint32_t text_key, uint32_t button_key);
void characters_store(const MsgCharacterSummary* summary);
void creation_show(uint32_t text_key, uint32_t button_key);
void creation_view(CharacterView* out);
// Forgets the summary; the selection asks again on its next frame.
void characters_reset(void);
void characters_ask_again(void);
