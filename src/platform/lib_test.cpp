#include "platform/lib.h"

#include <gtest/gtest.h>

namespace {

int fake_answer(void) { return 42; }

TEST(Lib, FakeLibrariesResolveTheirSymbolsWhateverTheCaseOfTheName) {
  static const FakeLibSymbol symbols[] = {{"Direct3DCreate9", (void*)fake_answer}};
  ASSERT_TRUE(lib_register_fake("d3d9.dll", symbols, 1));
  int before = lib_open_count();
  Lib* lib = lib_open("D3D9.DLL");
  ASSERT_NE(lib, nullptr);
  EXPECT_EQ(lib_open_count(), before + 1);
  EXPECT_EQ(lib_symbol(lib, "Direct3DCreate9"), (void*)fake_answer);
  EXPECT_EQ(lib_symbol(lib, "direct3dcreate9"), nullptr) << "symbols are matched exactly";
  EXPECT_EQ(lib_symbol(lib, "Missing"), nullptr);
  lib_close(lib);
  EXPECT_EQ(lib_open_count(), before);
  lib_clear_fakes();
  EXPECT_EQ(lib_open("d3d9.dll"), nullptr) << "no such library exists on this system";
}

TEST(Lib, RealLibrariesComeFromTheDynamicLoader) {
  Lib* lib = lib_open("libz.so.1");
  ASSERT_NE(lib, nullptr);
  EXPECT_NE(lib_symbol(lib, "crc32"), nullptr);
  EXPECT_EQ(lib_symbol(lib, "no_such_symbol_here"), nullptr);
  lib_close(lib);
  for (const char* name : {"Glide3x.dll", "ddraw.dll", "", "/nonexistent/libx.so"})
    EXPECT_EQ(lib_open(name), nullptr) << name;
  EXPECT_EQ(lib_open(nullptr), nullptr);
  EXPECT_EQ(lib_symbol(nullptr, "crc32"), nullptr);
  lib_close(nullptr);
}

TEST(Lib, TheRegistryIsBounded) {
  static const char* names[] = {"a0", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8",
                                "a9", "b0", "b1", "b2", "b3", "b4", "b5", "b6"};
  int accepted = 0;
  for (const char* name : names) accepted += lib_register_fake(name, nullptr, 0);
  EXPECT_EQ(accepted, 16);
  EXPECT_TRUE(lib_register_fake("A0", nullptr, 0)) << "replacing an entry needs no room";
  lib_clear_fakes();
}

}  // namespace
