#include "base/ini.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

std::string make_temp_dir() { return test_make_temp_dir("ini_test"); }

void write_file(const std::string& path, const std::string& bytes) { test_write_file(path, bytes); }

std::string read_file(const std::string& path) { return test_read_file(path); }

bool file_exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

IniDocument* load_text(const std::string& text) { return ini_load_bytes(text.data(), text.size()); }

std::string get_text(const IniDocument* doc, const char* section, const char* key) {
  const char* value = nullptr;
  ini_get_string(doc, section, key, &value, nullptr);
  return value ? std::string(value) : std::string("<absent>");
}

// Saves doc to a fresh file (or over old content) and returns the bytes written.
std::string save_text(const IniDocument* doc, const std::string& old_content, bool has_old = true) {
  std::string dir = make_temp_dir();
  std::string path = dir + "/doc.ini";
  if (has_old) write_file(path, old_content);
  EXPECT_EQ(ini_save(doc, path.c_str()), 1);
  std::string bytes = read_file(path);
  unlink(path.c_str());
  rmdir(dir.c_str());
  return bytes;
}

// Every (section, key) -> text of a document.
std::map<std::pair<std::string, std::string>, std::string> all_values(const IniDocument* doc) {
  std::map<std::pair<std::string, std::string>, std::string> values;
  const HashMap* sections = doc->sections;
  for (uint32_t i = 0; i < sections->capacity; i++) {
    if (!sections->used[i]) continue;
    const IniSection* section = (const IniSection*)sections->values[i];
    for (uint32_t k = 0; k < section->keys->capacity; k++)
      if (section->keys->used[k])
        values[{section->name, (const char*)section->keys->keys[k]}] =
            ((IniValue*)section->keys->values[k])->text;
  }
  return values;
}

bool ci_requires_tools() {
  const char* ci = getenv("CI");
  return ci && std::string(ci) == "true";
}

// Runs a shell command and returns its standard output; status receives the exit status.
std::string run_command(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    *status = -1;
    return output;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  int raw = pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return output;
}

bool tool_available(const std::string& tool) {
  int status;
  run_command("command -v " + tool + " >/dev/null 2>&1", &status);
  return status == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Loading

TEST(Ini, LoadLineForms) {
  struct Case {
    const char* what;
    std::string text;
    const char* section;
    const char* key;
    const char* expected;  // "<absent>" when the key must not exist
  } cases[] = {
      {"spaces around key, equals and value", "  KEY  =  value  \n", "", "KEY", "value"},
      {"single quotes keep inner spaces", "KEY='  spaced  '\n", "", "KEY", "  spaced  "},
      {"double quotes removed", "KEY=\"dq\"\n", "", "KEY", "dq"},
      {"exactly one quote pair removed", "KEY=''x''\n", "", "KEY", "'x'"},
      {"mismatched quotes kept", "KEY='a\"\n", "", "KEY", "'a\""},
      {"a lone quote is a value", "KEY='\n", "", "KEY", "'"},
      {"empty value", "KEY=\n", "", "KEY", ""},
      {"value keeps later equals signs", "KEY=a=b\n", "", "KEY", "a=b"},
      {"first occurrence wins", "KEY=1\nKEY=2\n", "", "KEY", "1"},
      {"semicolon comment", "; KEY=1\n", "", "KEY", "<absent>"},
      {"hash comment", "# KEY=1\n", "", "KEY", "<absent>"},
      {"empty key ignored", " = v\n", "", "", "<absent>"},
      {"line without equals ignored", "KEY\n", "", "KEY", "<absent>"},
      {"doubled brackets name the same section", "[[Sec]]\nKEY=1\n", "Sec", "KEY", "1"},
      {"spaces inside brackets", "[  Sec  ]\nKEY=1\n", "Sec", "KEY", "1"},
      {"key before any header is global", "KEY=1\n[Sec]\n", "", "KEY", "1"},
      {"second header does not reopen", "[A]\nX=1\n[B]\n[A]\nKEY=2\n", "B", "KEY", "2"},
      {"second header: not in the reopened section", "[A]\nX=1\n[B]\n[A]\nKEY=2\n", "A", "KEY", "<absent>"},
      {"empty header ignored", "[A]\n[]\nKEY=1\n", "A", "KEY", "1"},
      {"blank header ignored", "[A]\n[ \t]\nKEY=1\n", "A", "KEY", "1"},
      {"header that cannot be written back ignored", "[A]\n[ [x] ]\nKEY=1\n", "A", "KEY", "1"},
      {"bracket without closing is a key line", "[x=1\n", "", "[x", "1"},
      {"case matters", "key=1\n", "", "KEY", "<absent>"},
      {"carriage return stripped", "KEY=1\r\n", "", "KEY", "1"},
      {"byte-order mark skipped", "\xEF\xBB\xBFKEY=1\n", "", "KEY", "1"},
      {"last line without line feed", "KEY=1", "", "KEY", "1"},
      {"non-ASCII bytes are not white space", "KEY=\xC2\xA0x\xC2\xA0\n", "", "KEY", "\xC2\xA0x\xC2\xA0"},
      {"embedded NUL ends the line for the reader", std::string("KEY=ab\0cd\n", 10), "", "KEY", "ab"},
  };
  for (const Case& c : cases) {
    IniDocument* doc = load_text(c.text);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(get_text(doc, c.section, c.key), c.expected) << c.what;
    EXPECT_NE(ini_section(doc, ""), nullptr) << "global section always exists: " << c.what;
    ini_destroy(doc);
  }
}

TEST(Ini, LoadReadsLinesOfAnyLength) {
  std::string long_value(100000, 'v');
  std::string text = "[S]\nLONG=" + long_value + "\nAFTER=1\n";
  IniDocument* doc = load_text(text);
  EXPECT_EQ(get_text(doc, "S", "LONG"), long_value);
  EXPECT_EQ(get_text(doc, "S", "AFTER"), "1");  // no piece of the long line became a line
  ini_destroy(doc);
}

TEST(Ini, LoadFromFileAndFailures) {
  std::string dir = make_temp_dir();
  std::string path = dir + "/a.ini";
  write_file(path, "[S]\nK=v\n");
  IniDocument* doc = ini_load(path.c_str());
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(get_text(doc, "S", "K"), "v");
  ini_destroy(doc);
  EXPECT_EQ(ini_load((dir + "/missing.ini").c_str()), nullptr);
  EXPECT_EQ(ini_load(dir.c_str()), nullptr);  // a folder opens but cannot be read
  EXPECT_EQ(ini_load(""), nullptr);
  EXPECT_EQ(ini_load(nullptr), nullptr);
  unlink(path.c_str());
  rmdir(dir.c_str());
}

TEST(Ini, NumberFields) {
  struct Case {
    const char* text;
    int integer;
    float real;  // NaN: expect NaN
    int flag;
  } cases[] = {
      {"42", 42, 42.0f, 1},
      {"42abc", 42, 42.0f, 1},  // digits then letters: the digits' number
      {"0x1", 0, 1.0f, 0},      // the decimal parse stops at x; the real parse reads hex
      {"true", 0, 0.0f, 0},     // words are not numbers
      {"-7", -7, -7.0f, 1},
      {"+8", 8, 8.0f, 1},
      {"1.5", 1, 1.5f, 1},
      {"0.25", 0, 0.25f, 0},
      {"5000000000", INT_MAX, 5e9f, 1},
      {"4294967296", INT_MAX, 4294967296.0f, 1},  // 2^32: no wrap to 0
      {"-9999999999", INT_MIN, -9999999999.0f, 1},
      {"99999999999999999999999", INT_MAX, 1e23f, 1},
      {"'  12'", 12, 12.0f, 1},  // leading white space inside quotes is skipped by both
      {"nan", 0, NAN, 0},
      {"1e39", 1, INFINITY, 1},
      {"-1e39", -1, -INFINITY, 1},
      {"", 0, 0.0f, 0},
      {"-", 0, 0.0f, 0},
  };
  for (const Case& c : cases) {
    IniDocument* doc = load_text(std::string("K=") + c.text + "\n");
    int integer = -12345, flag = -12345;
    float real = -12345;
    ini_get_int(doc, nullptr, "K", &integer, -1);
    ini_get_float(doc, nullptr, "K", &real, -1);
    ini_get_bool(doc, nullptr, "K", &flag, -1);
    EXPECT_EQ(integer, c.integer) << c.text;
    if (std::isnan(c.real)) {
      EXPECT_TRUE(std::isnan(real)) << c.text;
    } else {
      EXPECT_EQ(real, c.real) << c.text;
    }
    EXPECT_EQ(flag, c.flag) << c.text;
    ini_destroy(doc);
  }
}

TEST(Ini, GetterContract) {
  IniDocument* doc = load_text("G=1\n[S]\nK=7\n");
  const char* fallback = "fallback";
  const char* text = nullptr;
  int value = 0;
  EXPECT_EQ(ini_get_int(doc, "S", "K", nullptr, 3), 0);
  EXPECT_EQ(ini_get_int(doc, "S", "K", &value, 3), 1);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(ini_get_int(doc, nullptr, "G", &value, 3), 1);  // null section: global
  EXPECT_EQ(value, 1);
  EXPECT_EQ(ini_get_int(doc, "S", "MISSING", &value, 3), 1);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(ini_get_int(doc, "NOPE", "K", &value, 4), 1);
  EXPECT_EQ(value, 4);
  EXPECT_EQ(ini_get_int(doc, "S", nullptr, &value, 5), 1);
  EXPECT_EQ(value, 5);
  EXPECT_EQ(ini_get_int(nullptr, "S", "K", &value, 6), 1);
  EXPECT_EQ(value, 6);
  ini_get_string(doc, "S", "MISSING", &text, fallback);
  EXPECT_EQ(text, fallback);  // the default pointer itself
  EXPECT_NE(ini_has_key(doc, "S", "K"), nullptr);
  EXPECT_EQ(ini_has_key(doc, "S", "G"), nullptr);
  ini_destroy(doc);
}

// ---------------------------------------------------------------------------------------
// Setters

TEST(Ini, SettersRefuseWhatCannotBeReadBack) {
  struct Case {
    const char* section;
    const char* key;
    const char* value;
    int expected;
  } cases[] = {
      {"S", "K", "plain", 1},
      {nullptr, "K", "global", 1},
      {"S", "K", nullptr, 1},  // null means empty
      {"S", "K", "tab\tinside", 0},
      {"S", "K", "line\nbreak", 0},
      {"S", "K", "carriage\rreturn", 0},
      {"S", "K", "\x01", 0},
      {"S", "K", "x\x7F\xC3\xA9", 1},  // DEL and UTF-8 are fine
      {"S", nullptr, "v", 0},
      {"S", "", "v", 0},
      {"S", " \t ", "v", 0},
      {"S", " K", "v", 0},
      {"S", "K ", "v", 0},
      {"S", "A=B", "v", 0},
      {"S", ";K", "v", 0},
      {"S", "#K", "v", 0},
      {"S", "[K", "v", 0},
      {"S", "K\nX", "v", 0},
      {"[S", "K", "v", 0},
      {"S]", "K", "v", 0},
      {" S", "K", "v", 0},
      {"S\n", "K", "v", 0},
      {"S [x] T", "K", "v", 1},
  };
  for (const Case& c : cases) {
    IniDocument* doc = ini_create();
    EXPECT_EQ(ini_set_string(doc, c.section, c.key, c.value), c.expected)
        << (c.section ? c.section : "(null)") << " / " << (c.key ? c.key : "(null)");
    if (c.expected) {
      EXPECT_EQ(get_text(doc, c.section, c.key), c.value ? c.value : "");
    }
    ini_destroy(doc);
  }
  EXPECT_EQ(ini_set_string(nullptr, "S", "K", "v"), 0);
  EXPECT_EQ(ini_add_section(nullptr, "S"), nullptr);
}

TEST(Ini, TypedSettersFormatAndRecomputeFields) {
  IniDocument* doc = ini_create();
  struct Case {
    int (*set)(IniDocument*);
    const char* text;
    int integer;
    float real;
  } cases[] = {
      {[](IniDocument* d) { return ini_set_int(d, "S", "K", INT_MIN); }, "-2147483648", INT_MIN,
       -2147483648.0f},
      {[](IniDocument* d) { return ini_set_float(d, "S", "K", 1.5f); }, "1.500000", 1, 1.5f},
      {[](IniDocument* d) { return ini_set_float(d, "S", "K", 0.1f); }, "0.100000", 0, 0.1f},
      {[](IniDocument* d) { return ini_set_float(d, "S", "K", -0.0001f); }, "-0.000100", 0, -0.0001f},
      {[](IniDocument* d) { return ini_set_bool(d, "S", "K", 5); }, "1", 1, 1.0f},
      {[](IniDocument* d) { return ini_set_bool(d, "S", "K", 0); }, "0", 0, 0.0f},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.set(doc), 1);
    IniValue* value = ini_has_key(doc, "S", "K");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value->text, c.text);
    EXPECT_EQ(value->integer, c.integer) << c.text;
    EXPECT_EQ(value->real, c.real) << c.text;
    EXPECT_EQ(value->flag, c.integer != 0) << c.text;
  }
  ini_destroy(doc);
}

// A process that runs with a comma as its decimal point still reads and writes files in
// the C form.
TEST(Ini, NumbersUseTheCFormInAnyLocale) {
  std::string dir = make_temp_dir();
  int status;
  run_command("localedef -i de_DE -f UTF-8 " + dir + "/de_DE.UTF-8 2>/dev/null", &status);
  const char* saved_path = getenv("LOCPATH");
  std::string saved = saved_path ? saved_path : "";
  setenv("LOCPATH", dir.c_str(), 1);
  const char* set = setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (!set) {
    if (saved_path)
      setenv("LOCPATH", saved.c_str(), 1);
    else
      unsetenv("LOCPATH");
    if (ci_requires_tools()) FAIL() << "cannot build a de_DE locale (package locales)";
    GTEST_SKIP() << "no de_DE locale sources";
  }
  char probe[16];
  snprintf(probe, sizeof probe, "%.1f", 1.5);
  EXPECT_STREQ(probe, "1,5");  // the locale is really active
  IniDocument* doc = load_text("A=2.5\nB=2,5\n");
  float a = 0, b = 0;
  ini_get_float(doc, nullptr, "A", &a, 0);
  ini_get_float(doc, nullptr, "B", &b, 0);
  ini_set_float(doc, nullptr, "C", 0.75f);
  const char* c = nullptr;
  ini_get_string(doc, nullptr, "C", &c, nullptr);
  float c_real = 0;
  ini_get_float(doc, nullptr, "C", &c_real, 0);
  setlocale(LC_NUMERIC, "C");
  if (saved_path)
    setenv("LOCPATH", saved.c_str(), 1);
  else
    unsetenv("LOCPATH");
  EXPECT_EQ(a, 2.5f);
  EXPECT_EQ(b, 2.0f);  // a comma ends a C number
  EXPECT_STREQ(c, "0.750000");
  EXPECT_EQ(c_real, 0.75f);
  ini_destroy(doc);
  run_command("rm -rf '" + dir + "'", &status);
}

// ---------------------------------------------------------------------------------------
// Saving: golden outputs

TEST(Ini, SaveKeepsLayoutAndRewritesKnownKeys) {
  const std::string old =
      "; settings written by hand\n"
      "G = 1\n"
      "\n"
      "[Display]\n"
      "WIDTH = 800\n"
      "UNKNOWN_KEY=keep me\n"
      "# a comment\n"
      "\n"
      "[Sound]\n"
      "VOLUME=50\n";
  IniDocument* doc = load_text(old);
  ini_set_int(doc, "Display", "WIDTH", 1024);
  ini_set_int(doc, "Display", "HEIGHT", 768);         // new key: end of its section
  ini_set_int(doc, nullptr, "G2", 2);                 // new global key: before the first header
  ini_set_string(doc, "Network", "HOST", "example");  // new section: end of file
  // Unchanged keys are rewritten as they were ("WIDTH = 800" style spacing is normalised).
  const std::string expected =
      "; settings written by hand\n"
      "G=1\n"
      "\n"
      "G2=2\n"
      "[Display]\n"
      "WIDTH=1024\n"
      "UNKNOWN_KEY=keep me\n"
      "# a comment\n"
      "\n"
      "HEIGHT=768\n"
      "[Sound]\n"
      "VOLUME=50\n"
      "\n"
      "[Network]\n"
      "HOST=example\n";
  EXPECT_EQ(save_text(doc, old), expected);
  ini_destroy(doc);
}

TEST(Ini, SaveCopiesLinesTheDocumentDoesNotHold) {
  // A document made from scratch saved over a user's file: the user's keys and comments stay.
  const std::string old = "[Display]\nUSER_KEY = 5\n; note\nWIDTH=1\n";
  IniDocument* doc = ini_create();
  ini_set_int(doc, "Display", "WIDTH", 2);
  EXPECT_EQ(save_text(doc, old), "[Display]\nUSER_KEY = 5\n; note\nWIDTH=2\n");
  ini_destroy(doc);
}

TEST(Ini, SaveToNewFileWritesGlobalKeysThenSections) {
  IniDocument* doc = ini_create();
  ini_set_string(doc, nullptr, "TOP", "t");
  ini_set_string(doc, "Alpha", "A", "1");
  const std::string expected = "TOP=t\n\n[Alpha]\nA=1\n";
  EXPECT_EQ(save_text(doc, "", false), expected);
  ini_destroy(doc);
}

TEST(Ini, SaveNewSectionsAndKeysInSlotOrder) {
  IniDocument* doc = ini_create();
  const char* sections[] = {"Rendering", "General", "Display", "Sound", "Input"};
  for (const char* s : sections) ini_set_int(doc, s, "K", 1);
  // FNV-1a of the names masked to 32 slots: General 11, Rendering 19, Sound 20, Display 21,
  // Input 27. The insertion order does not matter.
  EXPECT_EQ(save_text(doc, "", false),
            "\n[General]\nK=1\n\n[Rendering]\nK=1\n\n[Sound]\nK=1\n\n[Display]\nK=1\n\n[Input]\nK=1\n");
  ini_destroy(doc);
}

TEST(Ini, SaveQuotesValuesThatWouldNotReadBack) {
  struct Case {
    const char* key;
    const char* value;
    const char* line;
  } cases[] = {
      {"K", "plain", "K=plain\n"},     {"K", "", "K=\n"},
      {"K", " lead", "K=' lead'\n"},   {"K", "trail ", "K='trail '\n"},
      {"K", "   ", "K='   '\n"},       {"K", "/say \"hi\"", "K='/say \"hi\"'\n"},
      {"K", "'", "K='''\n"},           {"K", "'quoted'", "K=''quoted''\n"},
      {"K", "in'side", "K=in'side\n"}, {"K", "a]", "K=a]\n"},
      {"[K", "a]", "[K='a]'\n"},  // unquoted, the line would read back as a header
  };
  for (const Case& c : cases) {
    IniDocument* doc;
    if (c.key[0] == '[') {
      // Setters refuse such a key; a loaded file may still hold one.
      doc = load_text(std::string(c.key) + "='" + c.value + "'\n");
    } else {
      doc = ini_create();
      ASSERT_EQ(ini_set_string(doc, nullptr, c.key, c.value), 1);
    }
    std::string saved = save_text(doc, "", false);
    EXPECT_EQ(saved, c.line) << c.value;
    IniDocument* back = load_text(saved);
    EXPECT_EQ(get_text(back, nullptr, c.key), c.value);
    ini_destroy(back);
    ini_destroy(doc);
  }
}

TEST(Ini, SaveEdgeLayouts) {
  struct Case {
    const char* what;
    std::string old;
    bool fresh;  // the document is made from scratch instead of loaded from old
    void (*change)(IniDocument*);
    std::string expected;
  } cases[] = {
      {"unterminated last line gets its line feed before an added key", "[S]\n; last", false,
       [](IniDocument* d) { ini_set_int(d, "S", "NEW", 1); }, "[S]\n; last\nNEW=1\n"},
      {"byte-order mark kept, first key rewritten", "\xEF\xBB\xBFK = 1\n", false,
       [](IniDocument* d) { ini_set_int(d, nullptr, "K", 2); }, "\xEF\xBB\xBFK=2\n"},
      {"empty header neither switches nor flushes", "[S]\n[]\nA=1\n", false,
       [](IniDocument* d) { ini_set_int(d, "S", "A", 2); }, "[S]\n[]\nA=2\n"},
      // Load puts K=9 into B (the second [A] does not reopen A); the save must see it the
      // same way and not write A's value over it.
      {"second header for a section does not reopen it", "[A]\nK=1\n[B]\n[A]\nK=9\n", false,
       [](IniDocument*) {}, "[A]\nK=1\n[B]\n[A]\nK=9\n"},
      {"duplicate key lines both carry the value", "[S]\nK=1\nK=2\n", false,
       [](IniDocument* d) { ini_set_int(d, "S", "K", 3); }, "[S]\nK=3\nK=3\n"},
      {"CRLF lines are copied with their CR", "; c\r\n[S]\r\nK=1\r\n", false,
       [](IniDocument* d) { ini_set_int(d, "S", "K", 1); }, "; c\r\n[S]\r\nK=1\n"},
      {"a first key starting with the mark's bytes gets a real mark", "", true,
       [](IniDocument* d) { ini_set_int(d, nullptr, "\xEF\xBB\xBFK", 2); }, "\xEF\xBB\xBF\xEF\xBB\xBFK=2\n"},
      {"header of a section the document lacks", "[X]\nK=1\n[S]\n", true,
       [](IniDocument* d) { ini_set_int(d, "S", "K", 5); }, "[X]\nK=1\n[S]\nK=5\n"},
  };
  for (const Case& c : cases) {
    IniDocument* doc = c.fresh ? ini_create() : load_text(c.old);
    c.change(doc);
    std::string saved = save_text(doc, c.old);
    EXPECT_EQ(saved, c.expected) << c.what;
    // Whatever the layout, the saved file reads back as the document.
    IniDocument* back = load_text(saved);
    for (auto& [where, text] : all_values(doc))
      EXPECT_EQ(get_text(back, where.first.c_str(), where.second.c_str()), text)
          << c.what << ": " << where.second;
    ini_destroy(back);
    ini_destroy(doc);
  }
}

// A document of awkward values: saved twice, the bytes match; loaded back, every value does.
TEST(Ini, SaveIsStableAndRoundTrips) {
  const std::string old = "\xEF\xBB\xBF; head\nG=1\n[A]\nX = ' padded '\n[A]\nY=2\n;tail";
  IniDocument* doc = load_text(old);
  std::vector<std::string> keep = {"",
                                   " ",
                                   "'",
                                   "\"",
                                   "''",
                                   "a=b",
                                   "# not a comment",
                                   "; nor this",
                                   "[x]",
                                   "\xE2\x82\xAC uro",
                                   "trailing\\",
                                   "nan",
                                   "-0",
                                   std::string(5000, 'z')};
  for (size_t i = 0; i < keep.size(); i++) {
    std::string key = "K" + std::to_string(i);
    ASSERT_EQ(ini_set_string(doc, i % 2 ? "A" : "New Section", key.c_str(), keep[i].c_str()), 1) << i;
  }
  std::string dir = make_temp_dir();
  std::string path = dir + "/x.ini";
  write_file(path, old);
  ASSERT_EQ(ini_save(doc, path.c_str()), 1);
  std::string first = read_file(path);
  IniDocument* back = ini_load(path.c_str());
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(all_values(back), all_values(doc));
  ASSERT_EQ(ini_save(back, path.c_str()), 1);
  EXPECT_EQ(read_file(path), first);
  ASSERT_EQ(ini_save(doc, path.c_str()), 1);
  EXPECT_EQ(read_file(path), first);
  EXPECT_FALSE(file_exists(path + ".tmp"));
  ini_destroy(back);
  ini_destroy(doc);
  unlink(path.c_str());
  rmdir(dir.c_str());
}

// ---------------------------------------------------------------------------------------
// Saving: failures leave the old file as it was

TEST(Ini, SaveFailuresKeepTheOldFile) {
  std::string dir = make_temp_dir();
  const std::string old = "[S]\nK=old\n";
  IniDocument* doc = load_text("[S]\nK=new\n");
  ini_set_string(doc, "S", "BIG", std::string(200000, 'b').c_str());

  // Writes stop at the file-size limit: the save fails and the old file is untouched.
  std::string path = dir + "/limited.ini";
  write_file(path, old);
  struct rlimit saved_limit;
  getrlimit(RLIMIT_FSIZE, &saved_limit);
  struct rlimit small = saved_limit;
  small.rlim_cur = 4096;
  void (*saved_handler)(int) = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int result = ini_save(doc, path.c_str());
  setrlimit(RLIMIT_FSIZE, &saved_limit);
  signal(SIGXFSZ, saved_handler);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(read_file(path), old);
  EXPECT_FALSE(file_exists(path + ".tmp"));

  // The folder cannot exist: its parent is a regular file.
  std::string blocker = dir + "/file";
  write_file(blocker, "x");
  EXPECT_EQ(ini_save(doc, (blocker + "/a.ini").c_str()), 0);

  // The target is a folder: it is not replaced.
  std::string folder = dir + "/folder";
  mkdir(folder.c_str(), 0755);
  EXPECT_EQ(ini_save(doc, folder.c_str()), 0);
  struct stat info;
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));

  // An old file that exists but cannot be read (a link to itself) is not replaced.
  std::string loop = dir + "/loop.ini";
  ASSERT_EQ(symlink("loop.ini", loop.c_str()), 0);
  EXPECT_EQ(ini_save(doc, loop.c_str()), 0);
  ASSERT_EQ(lstat(loop.c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));

  // A leftover temporary file from an interrupted save does not block the next one.
  std::string ok_path = dir + "/ok.ini";
  write_file(ok_path + ".tmp", "garbage");
  EXPECT_EQ(ini_save(doc, ok_path.c_str()), 1);
  EXPECT_FALSE(file_exists(ok_path + ".tmp"));

  EXPECT_EQ(ini_save(doc, ""), 0);
  EXPECT_EQ(ini_save(doc, nullptr), 0);
  EXPECT_EQ(ini_save(nullptr, ok_path.c_str()), 0);
  ini_destroy(doc);
  int status;
  run_command("rm -rf '" + dir + "'", &status);
}

// ---------------------------------------------------------------------------------------
// Independent readers: Python's configparser and crudini

namespace {

// Values that a reader of the common INI dialect sees the same way (sections named, no
// continuation lines); quoted ones are compared after removing the enclosing pair.
const std::vector<std::pair<std::string, std::string>>& reference_values() {
  static const std::vector<std::pair<std::string, std::string>> values = {
      {"PLAIN", "value"},   {"NUMBER", "-42"},
      {"REAL", "0.250000"}, {"EMPTY", ""},
      {"EQUALS", "a=b=c"},  {"HASH", "x # y"},
      {"SEMI", "x ; y"},    {"LEAD", "  lead"},
      {"TRAIL", "trail  "}, {"QUOTES", "/say \"hi\""},
      {"APOS", "it's"},     {"UTF8", "\xC3\xA9t\xC3\xA9 \xE2\x82\xAC"},
      {"PERCENT", "100%"},  {"BRACKETS", "[x]"},
      {"COLON", "a:b"},     {"LONG", std::string(3000, 'L')},
  };
  return values;
}

std::string hex(const std::string& s) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string unquote(std::string v) {
  if (v.size() >= 2 && (v[0] == '\'' || v[0] == '"') && v.front() == v.back()) v = v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

TEST(Ini, ConfigparserReadsWhatWeWrite) {
  if (!tool_available("/usr/bin/python3")) {
    if (ci_requires_tools()) FAIL() << "/usr/bin/python3 missing";
    GTEST_SKIP();
  }
  std::string dir = make_temp_dir();
  std::string path = dir + "/ref.ini";
  IniDocument* doc = ini_create();
  for (auto& [key, value] : reference_values())
    ASSERT_EQ(ini_set_string(doc, "Ref", key.c_str(), value.c_str()), 1);
  ini_set_string(doc, "Other Section", "K", "v");
  ASSERT_EQ(ini_save(doc, path.c_str()), 1);
  const std::string script =
      "import configparser,sys\n"
      "c=configparser.ConfigParser(interpolation=None,delimiters=('=',),strict=True)\n"
      "c.optionxform=str\n"
      "c.read(sys.argv[1],encoding='utf-8')\n"
      "for s in c.sections():\n"
      "  for k,v in c.items(s):\n"
      "    print(s.encode().hex(),k.encode().hex(),v.encode().hex())\n";
  write_file(dir + "/dump.py", script);
  int status;
  std::string out = run_command("/usr/bin/python3 " + dir + "/dump.py " + path, &status);
  ASSERT_EQ(status, 0) << out;
  std::map<std::pair<std::string, std::string>, std::string> seen;
  std::istringstream lines(out);
  std::string s, k, v;
  while (lines >> s >> k) {
    std::getline(lines, v);
    v = v.size() > 0 ? v.substr(1) : v;
    seen[{s, k}] = v;
  }
  EXPECT_EQ(seen.size(), reference_values().size() + 1);
  for (auto& [key, value] : reference_values()) {
    auto it = seen.find({hex("Ref"), hex(key)});
    ASSERT_NE(it, seen.end()) << key;
    // configparser keeps the quotes we add; the rule that removes them is ours.
    std::string raw;
    for (size_t i = 0; i + 1 < it->second.size(); i += 2)
      raw += (char)std::stoi(it->second.substr(i, 2), nullptr, 16);
    EXPECT_EQ(unquote(raw), value) << key;
  }
  ini_destroy(doc);
  run_command("rm -rf '" + dir + "'", &status);
}

TEST(Ini, CrudiniReadsWhatWeWrite) {
  if (!tool_available("crudini")) {
    if (ci_requires_tools()) FAIL() << "crudini missing (scripts/bootstrap.sh installs it)";
    GTEST_SKIP();
  }
  std::string dir = make_temp_dir();
  std::string path = dir + "/ref.ini";
  IniDocument* doc = ini_create();
  for (auto& [key, value] : reference_values()) ini_set_string(doc, "Ref", key.c_str(), value.c_str());
  ASSERT_EQ(ini_save(doc, path.c_str()), 1);
  for (auto& [key, value] : reference_values()) {
    // crudini's dialect ends a value at " ;" (an inline comment); ours and configparser's
    // keep it as text.
    if (key == "SEMI") continue;
    int status;
    std::string out = run_command("crudini --get '" + path + "' Ref " + key, &status);
    ASSERT_EQ(status, 0) << key;
    ASSERT_FALSE(out.empty());
    out.pop_back();  // crudini ends the value with a line feed
    EXPECT_EQ(unquote(out), value) << key;
  }
  ini_destroy(doc);
  int status;
  run_command("rm -rf '" + dir + "'", &status);
}

// The other direction: a file written by configparser loads with the values it holds.
TEST(Ini, WeReadWhatConfigparserWrites) {
  if (!tool_available("/usr/bin/python3")) {
    if (ci_requires_tools()) FAIL() << "/usr/bin/python3 missing";
    GTEST_SKIP();
  }
  std::string dir = make_temp_dir();
  const std::string script =
      "import configparser,sys,random\n"
      "random.seed(7)\n"
      "c=configparser.ConfigParser(interpolation=None,delimiters=('=',))\n"
      "c.optionxform=str\n"
      "alphabet='abcXYZ019 =#;:[]%\\'\"\\u00e9\\u20ac'\n"
      "for s in range(4):\n"
      "  sec='Section %d'%s\n"
      "  c.add_section(sec)\n"
      "  for k in range(25):\n"
      "    v=''.join(random.choice(alphabet) for _ in range(random.randrange(0,30))).strip()\n"
      "    if len(v)>=2 and v[0] in '\\'\"' and v[0]==v[-1]: v='x'+v\n"
      "    c.set(sec,'KEY_%d'%k,v)\n"
      "with open(sys.argv[1],'w',encoding='utf-8') as f: c.write(f)\n"
      "for s in c.sections():\n"
      "  for k,v in c.items(s):\n"
      "    print(s, k, v.encode().hex())\n";
  write_file(dir + "/make.py", script);
  std::string path = dir + "/made.ini";
  int status;
  std::string out = run_command("/usr/bin/python3 " + dir + "/make.py " + path, &status);
  ASSERT_EQ(status, 0) << out;
  IniDocument* doc = ini_load(path.c_str());
  ASSERT_NE(doc, nullptr);
  std::istringstream lines(out);
  std::string word, section_number, key, value_hex;
  int count = 0;
  while (lines >> word >> section_number >> key) {
    std::getline(lines, value_hex);
    value_hex = value_hex.empty() ? value_hex : value_hex.substr(1);
    std::string value;
    for (size_t i = 0; i + 1 < value_hex.size(); i += 2)
      value += (char)std::stoi(value_hex.substr(i, 2), nullptr, 16);
    std::string section = word + " " + section_number;
    EXPECT_EQ(get_text(doc, section.c_str(), key.c_str()), value) << section << " " << key;
    count++;
  }
  EXPECT_EQ(count, 100);
  ini_destroy(doc);
  run_command("rm -rf '" + dir + "'", &status);
}
