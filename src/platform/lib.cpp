#include "platform/lib.h"

#include <dlfcn.h>

#include <atomic>
#include <cstring>

#include "base/mem.h"
#include "base/strings.h"

namespace {

struct FakeLib {
  const char* name;
  const FakeLibSymbol* symbols;
  int count;
};

constexpr int FAKE_LIB_LIMIT = 16;
FakeLib g_fakes[FAKE_LIB_LIMIT];
int g_fake_count;
std::atomic<int> g_open_count;

const FakeLib* fake_find(const char* name) {
  for (int i = 0; i < g_fake_count; i++)
    if (string_icase_equal(g_fakes[i].name, name) == 0) return &g_fakes[i];
  return nullptr;
}

}  // namespace

struct Lib {
  const FakeLib* fake;
  void* handle;
};

Lib* lib_open(const char* name) {
  if (!name || !*name) return nullptr;
  const FakeLib* fake = fake_find(name);
  void* handle = nullptr;
  if (!fake) {
    handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
  }
  Lib* lib = (Lib*)mem_alloc(sizeof(Lib));
  lib->fake = fake;
  lib->handle = handle;
  g_open_count++;
  return lib;
}

void* lib_symbol(Lib* lib, const char* symbol) {
  if (!lib || !symbol) return nullptr;
  if (lib->fake) {
    for (int i = 0; i < lib->fake->count; i++)
      if (strcmp(lib->fake->symbols[i].name, symbol) == 0) return lib->fake->symbols[i].address;
    return nullptr;
  }
  return dlsym(lib->handle, symbol);
}

void lib_close(Lib* lib) {
  if (!lib) return;
  if (lib->handle) dlclose(lib->handle);
  mem_free(lib);
  g_open_count--;
}

int lib_register_fake(const char* name, const FakeLibSymbol* symbols, int count) {
  if (!name || count < 0) return 0;
  for (int i = 0; i < g_fake_count; i++) {
    if (string_icase_equal(g_fakes[i].name, name) == 0) {
      g_fakes[i] = FakeLib{name, symbols, count};
      return 1;
    }
  }
  if (g_fake_count >= FAKE_LIB_LIMIT) return 0;
  g_fakes[g_fake_count++] = FakeLib{name, symbols, count};
  return 1;
}

void lib_clear_fakes(void) { g_fake_count = 0; }

int lib_open_count(void) { return g_open_count.load(); }
