#include "app/cmdline.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CommandLine, FlagsAndValues) {
  struct Case {
    const char* name;
    std::vector<const char*> args;
    int has_h;
    const char* c_value;
  } cases[] = {
      {"no arguments", {"game"}, 0, "default"},
      {"h anywhere wins", {"game", "-c", "x.ini", "-h"}, 1, "x.ini"},
      {"more characters after the letter is not the flag", {"game", "-hh", "-cx"}, 0, "default"},
      {"a lone minus is not a flag", {"game", "-", "h"}, 0, "default"},
      {"c as the last argument keeps the default", {"game", "-c"}, 0, "default"},
      {"the path is used unchanged", {"game", "-c", "../a b/-h.ini"}, 0, "../a b/-h.ini"},
      {"a second c is ignored", {"game", "-c", "first.ini", "-c", "second.ini"}, 0, "first.ini"},
      {"the program name is never a flag", {"-h"}, 0, "default"},
  };
  for (const Case& c : cases) {
    std::vector<char*> argv;
    for (const char* a : c.args) argv.push_back((char*)a);
    int argc = (int)argv.size();
    EXPECT_EQ(cmdline_has_flag('h', argc, argv.data()), c.has_h) << c.name;
    EXPECT_STREQ(cmdline_value('c', argc, argv.data(), "default"), c.c_value) << c.name;
  }
  EXPECT_EQ(cmdline_has_flag('h', 3, nullptr), 0);
  EXPECT_EQ(cmdline_has_flag('h', -1, (char**)"x"), 0);
  EXPECT_STREQ(cmdline_value('c', 0, nullptr, "d"), "d");
}
