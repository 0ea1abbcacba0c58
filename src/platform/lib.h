#pragma once
// Run-time libraries: open a shared library by name, look up a symbol, close it. Here the
// system side is the dynamic loader (dlopen/dlsym); the Windows-only libraries of some
// renderer backends ("Glide3x.dll", "d3d9.dll", "ddraw.dll") are simply not found, so those
// backends fail their availability check.
//
// Tests register fake libraries: a name with a list of symbols. A registered name is opened
// from the registry (matched without regard to case, as Windows matches library names)
// before the loader is asked. Registration is for tests only and is not thread-safe.
//
// lib_open answers null when the library cannot be loaded; lib_symbol answers null for a
// null library or an unknown symbol; lib_close accepts null.

struct Lib;

Lib* lib_open(const char* name);
void* lib_symbol(Lib* lib, const char* symbol);
void lib_close(Lib* lib);

struct FakeLibSymbol {
  const char* name;
  void* address;
};

// Registers (or replaces) a fake library; symbols must outlive the registration. 0 when
// the name is null or the registry (16 libraries) is full.
int lib_register_fake(const char* name, const FakeLibSymbol* symbols, int count);
// Forgets every fake library.
void lib_clear_fakes(void);
// Libraries opened and not yet closed (fakes and real ones), so tests can check that a
// probe frees what it loads.
int lib_open_count(void);
