// Lays text out with a font entry of an archive, for the scripts that check layout against
// other references:
//
//   text_measure ARCHIVE FONT_ID MODE WIDTH   reads UTF-8 lines from stdin; prints per line
//                                             "result width height count"
//
// Line ends are taken off; "\n" inside a line is read as a line feed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/archive.h"
#include "assets/font.h"
#include "base/mem.h"
#include "ui/text_layout.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: text_measure ARCHIVE FONT_ID MODE WIDTH\n");
    return 2;
  }
  Archive* archive = archive_open(argv[1]);
  uint32_t size = 0;
  uint8_t* bytes = archive ? archive_read(archive, (uint32_t)strtoul(argv[2], nullptr, 0), &size) : nullptr;
  Font* font = bytes ? font_decode(bytes, size) : nullptr;
  mem_free(bytes);
  archive_close(archive);
  if (!font) {
    fprintf(stderr, "text_measure: no font %s in %s\n", argv[2], argv[1]);
    return 1;
  }
  int mode = atoi(argv[3]);
  char line[4096];
  while (fgets(line, sizeof line, stdin)) {
    std::string text;
    for (const char* p = line; *p && *p != '\n' && *p != '\r'; p++) {
      bool escape = p[0] == '\\' && p[1] == 'n';
      text.push_back(escape ? '\n' : *p);
      if (escape) p++;
    }
    int32_t width = atoi(argv[4]), height = 0;
    uint32_t count = 0;
    int result = text_layout(font, mode, &width, &height, text.c_str(), nullptr, 0, &count);
    printf("%d %d %d %u\n", result, width, height, count);
  }
  font_destroy(font);
  return 0;
}
