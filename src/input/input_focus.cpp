#include "input/input.h"

static InputTextFocusQuery g_focus_query;

void input_set_text_focus_query(InputTextFocusQuery query) { g_focus_query = query; }
int input_text_focused(void) { return g_focus_query && g_focus_query() ? 1 : 0; }
