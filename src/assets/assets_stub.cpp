#include "assets/assets.h"
#include "assets/locale.h"

int assets_check_present(const char*) { return 1; }
void assets_startup(const char*) {}
void assets_shutdown(void) {}
void locale_load(const char*, int) {}
void locale_unload(void) {}
const char* locale_string(uint32_t) { return ""; }
