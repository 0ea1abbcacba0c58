// The message effects the front-end screens own, and the screens' records in the front end.
#include "assets/locale_keys.h"
#include "input/input.h"
#include "net/dispatch.h"
#include "net/net.h"
#include "ui/screen_common.h"
#include "ui/screen_internal.h"
#include "ui/screens.h"

namespace {

void on_world_list(const NetEvent* event, const MsgWorldList* list) {
  world_list_store(list, event->opcode == MSG_WORLD_LIST_SET);
}

void on_summary(const NetEvent*, const MsgCharacterSummary* summary) { characters_store(summary); }

// A character notice or a world result goes to the character screen that is showing.
void show_text(uint32_t key, uint32_t button) {
  if (frontend_in_game()) return;
  if (frontend_state() == FRONTEND_CREATION)
    creation_show(key, button);
  else if (frontend_state() == FRONTEND_CHARACTERS)
    characters_show(key, button);
}

void on_character_text(const NetEvent* event, const MsgEmpty*) {
  show_text(event->key, event->form == NOTICE_SCREEN ? 0u : LOCALE_KEY_OK);
}

void on_world_result(const NetEvent* event, const MsgFlag*) { show_text(event->key, LOCALE_KEY_OK); }

// The creation was accepted: back to the selection, which asks for the list again.
void on_enter_world_ok(const NetEvent*, const MsgEmpty*) {
  if (frontend_in_game()) return;
  if (frontend_state() != FRONTEND_CREATION && frontend_state() != FRONTEND_CHARACTERS) return;
  input_reset();
  if (frontend_state() == FRONTEND_CREATION)
    frontend_set_state(FRONTEND_CHARACTERS);  // its first frame sends world 1
  else
    characters_ask_again();
}

void on_relogin(const NetEvent*, const MsgText* text) { login_reopen(text->text); }

void on_ticket(const NetEvent*, const MsgText* text) {
  // A ticket nobody asked for, or with no world to go to, opens nothing.
  world_list_open_ticket(text->text);
}

void on_character_reset(const NetEvent*, const MsgEmpty*) {
  if (!frontend_in_game()) characters_reset();
}

void on_back_to_characters(const NetEvent*, const MsgEmpty*) {
  if (frontend_in_game()) frontend_set_state(FRONTEND_CHARACTERS);
}

void login_init(void) {}
void noop(void) {}

const FrontendScreen kScreens[FRONTEND_STATES] = {
    {login_init, login_enter, login_frame, login_shutdown, nullptr},
    {noop, world_list_enter, world_list_frame, world_list_shutdown, nullptr},
    {noop, characters_enter, characters_frame, characters_shutdown, nullptr},
    {noop, creation_enter, creation_frame, creation_shutdown, nullptr},
};

}  // namespace

void screens_install(void) {
  for (int s = 0; s < FRONTEND_STATES; s++) frontend_set_screen(s, &kScreens[s]);
}

void screens_install_effects(NetEffects* fx) {
  if (!fx) return;
  fx->world_list = on_world_list;
  fx->character_summary = on_summary;
  fx->character_text = on_character_text;
  fx->world_result = on_world_result;
  fx->enter_world_ok = on_enter_world_ok;
  fx->relogin = on_relogin;
  fx->world_ticket = on_ticket;
  fx->character_reset = on_character_reset;
  fx->back_to_characters = on_back_to_characters;
}

void screens_remove_effects(NetEffects* fx) {
  if (!fx) return;
  if (fx->world_list == on_world_list) fx->world_list = nullptr;
  if (fx->character_summary == on_summary) fx->character_summary = nullptr;
  if (fx->character_text == on_character_text) fx->character_text = nullptr;
  if (fx->world_result == on_world_result) fx->world_result = nullptr;
  if (fx->enter_world_ok == on_enter_world_ok) fx->enter_world_ok = nullptr;
  if (fx->relogin == on_relogin) fx->relogin = nullptr;
  if (fx->world_ticket == on_ticket) fx->world_ticket = nullptr;
  if (fx->character_reset == on_character_reset) fx->character_reset = nullptr;
  if (fx->back_to_characters == on_back_to_characters) fx->back_to_characters = nullptr;
}
