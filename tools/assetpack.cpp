// assetpack: builds, lists, extracts and verifies asset archives.
//
//   assetpack build OUT.dat MANIFEST...  pack the files the manifests name
//   assetpack list ARCHIVE             one line per directory entry
//   assetpack extract ARCHIVE DIR [ID...]  write entries as DIR/<id>.bin
//   assetpack verify ARCHIVE           decode every entry; fail on any fault
//
// verify also runs the client's own decoder over each entry of an archive whose file name
// names its kind (sound.dat), so an entry the client would refuse fails the check here.
//
// A manifest has one entry per line, `ID PATH`, in the order the data is laid out: ID is a
// decimal or 0x-hex number, or `hash:NAME` for the locale name hash of NAME; PATH is taken
// relative to the manifest's folder. Blank lines and lines starting with # are skipped.
// Several manifests are laid out one after the other; an id given twice, in one manifest or
// across them, is refused. The salt is the CRC-32 of the manifests' bytes in order, so the
// same manifests and files always give the same archive. The archive is written beside OUT, opened again with
// the client's reader, compared entry by entry and only then renamed over OUT.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "assets/archive.h"
#include "assets/archive_writer.h"
#include "assets/locale.h"
#include "assets/sound.h"
#include "base/crc32.h"
#include "base/mem.h"
#include "tool_files.h"

namespace {

struct ManifestEntry {
  uint32_t id;
  std::string path;
  int line;
  std::vector<uint8_t> data;
};

bool parse_id(const std::string& text, uint32_t* id) {
  if (text.rfind("hash:", 0) == 0) {
    *id = name_hash(text.c_str() + 5);
    return text.size() > 5;
  }
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = strtoull(text.c_str(), &end, 0);
  if (errno || *end || text[0] == '-' || v > 0xFFFFFFFFull) return false;
  *id = (uint32_t)v;
  return true;
}

// Appends a manifest's entries (their files read) to entries; 1 on failure, reported.
int read_manifest(const char* manifest_path, std::vector<uint8_t>* all_manifests,
                  std::vector<ManifestEntry>* entries, std::vector<std::string>* origins) {
  std::vector<uint8_t> manifest;
  if (!tool_read_file(manifest_path, &manifest)) {
    fprintf(stderr, "assetpack: cannot read manifest %s\n", manifest_path);
    return 1;
  }
  all_manifests->insert(all_manifests->end(), manifest.begin(), manifest.end());
  std::string base = tool_directory_of(manifest_path);
  std::vector<std::string> lines = tool_split_lines(manifest);
  for (size_t index = 0; index < lines.size(); index++) {
    const std::string& line = lines[index];
    int line_number = (int)index + 1;
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    size_t gap = line.find_first_of(" \t", first);
    size_t path_start = gap == std::string::npos ? gap : line.find_first_not_of(" \t", gap);
    if (path_start == std::string::npos) {
      fprintf(stderr, "%s:%d: expected `ID PATH`\n", manifest_path, line_number);
      return 1;
    }
    ManifestEntry e;
    if (!parse_id(line.substr(first, gap - first), &e.id)) {
      fprintf(stderr, "%s:%d: bad id\n", manifest_path, line_number);
      return 1;
    }
    size_t path_end = line.find_last_not_of(" \t");
    e.path = tool_join(base, line.substr(path_start, path_end + 1 - path_start));
    e.line = line_number;
    if (!tool_read_file(e.path.c_str(), &e.data)) {
      fprintf(stderr, "%s:%d: cannot read %s\n", manifest_path, line_number, e.path.c_str());
      return 1;
    }
    for (size_t k = 0; k < entries->size(); k++)
      if ((*entries)[k].id == e.id) {
        fprintf(stderr, "%s:%d: id 0x%08" PRIX32 " is also given at %s:%d\n", manifest_path, line_number,
                e.id, (*origins)[k].c_str(), (*entries)[k].line);
        return 1;
      }
    entries->push_back(std::move(e));
    origins->push_back(manifest_path);
  }
  return 0;
}

int command_build(const char* out_path, int manifest_count, char** manifest_paths) {
  std::vector<uint8_t> manifest;
  std::vector<ManifestEntry> entries;
  std::vector<std::string> origins;
  for (int i = 0; i < manifest_count; i++)
    if (read_manifest(manifest_paths[i], &manifest, &entries, &origins)) return 1;
  const char* manifest_path = manifest_paths[0];

  std::vector<ArchiveSource> sources;
  for (const ManifestEntry& e : entries) sources.push_back({e.id, e.data.data(), e.data.size()});
  uint32_t salt = crc32(manifest.data(), manifest.size());
  size_t size = 0;
  char error[160];
  uint8_t* image = archive_build(sources.data(), (uint32_t)sources.size(), salt, &size, error, sizeof error);
  if (!image) {
    fprintf(stderr, "assetpack: %s: %s\n", manifest_path, error);
    return 1;
  }
  std::string temp = std::string(out_path) + ".tmp";
  bool written = tool_write_file(temp.c_str(), image, size);
  mem_free(image);
  if (!written) {
    fprintf(stderr, "assetpack: cannot write %s\n", temp.c_str());
    remove(temp.c_str());
    return 1;
  }

  // Read back through the client's own reader before the archive takes its place.
  Archive* archive = archive_open(temp.c_str());
  bool same = archive && archive->count == entries.size();
  for (const ManifestEntry& e : entries) {
    if (!same) break;
    uint32_t got_size = 0;
    uint8_t* got = archive_read(archive, e.id, &got_size);
    same = got && got_size == e.data.size() && memcmp(got, e.data.data(), got_size) == 0;
    mem_free(got);
  }
  archive_close(archive);
  if (!same) {
    fprintf(stderr, "assetpack: %s does not read back as built\n", temp.c_str());
    remove(temp.c_str());
    return 1;
  }
  if (rename(temp.c_str(), out_path) != 0) {
    fprintf(stderr, "assetpack: cannot rename %s to %s\n", temp.c_str(), out_path);
    remove(temp.c_str());
    return 1;
  }
  return 0;
}

Archive* open_or_complain(const char* path) {
  Archive* archive = archive_open(path);
  if (!archive) fprintf(stderr, "assetpack: %s is not a readable archive\n", path);
  return archive;
}

const char* entry_state(const Archive* archive, uint32_t index) {
  if (archive_entry_usable(archive, index)) return "";
  return archive_find(archive, archive->entries[index].id) ? "  (shadowed by an earlier entry)"
                                                           : "  (out of bounds)";
}

int command_list(const char* path) {
  Archive* archive = open_or_complain(path);
  if (!archive) return 1;
  printf("# %s: %" PRIu32 " entries, salt 0x%08" PRIX32 "\n", path, archive->count, archive->salt);
  printf("# id          size        stored      offset\n");
  for (uint32_t i = 0; i < archive->count; i++) {
    const ArchiveEntry* e = &archive->entries[i];
    printf("0x%08" PRIX32 "  %-10" PRIu32 "  %-10" PRIu32 "  %-10" PRIu32 "%s\n", e->id, e->size,
           e->stored_size, e->offset, entry_state(archive, i));
  }
  archive_close(archive);
  return 0;
}

int command_extract(const char* path, const char* dir, int id_count, char** ids) {
  Archive* archive = open_or_complain(path);
  if (!archive) return 1;
  std::vector<uint32_t> wanted;
  for (int i = 0; i < id_count; i++) {
    uint32_t id;
    if (!parse_id(ids[i], &id)) {
      fprintf(stderr, "assetpack: bad id %s\n", ids[i]);
      archive_close(archive);
      return 1;
    }
    wanted.push_back(id);
  }
  if (wanted.empty())
    for (uint32_t i = 0; i < archive->count; i++)
      if (archive_entry_usable(archive, i)) wanted.push_back(archive->entries[i].id);
  int status = 0;
  for (uint32_t id : wanted) {
    uint32_t size = 0;
    uint8_t* data = archive_read(archive, id, &size);
    char name[32];
    snprintf(name, sizeof name, "%" PRIu32 ".bin", id);
    std::string out = tool_join(dir, name);
    if (!data) {
      fprintf(stderr, "assetpack: entry %" PRIu32 " cannot be read\n", id);
      status = 1;
    } else if (!tool_write_file(out.c_str(), data, size)) {
      fprintf(stderr, "assetpack: cannot write %s\n", out.c_str());
      status = 1;
    }
    mem_free(data);
  }
  archive_close(archive);
  return status;
}

struct KindDecoder {
  const char* file_name;
  void* (*decode)(const uint8_t* bytes, uint32_t length);
  void (*destroy)(void* object);
};

const KindDecoder KIND_DECODERS[] = {
    {"sound.dat", sound_decode_asset, sound_destroy_asset},
};

const KindDecoder* kind_decoder_for(const char* path) {
  const char* slash = strrchr(path, '/');
  const char* name = slash ? slash + 1 : path;
  for (const KindDecoder& kind : KIND_DECODERS)
    if (strcmp(name, kind.file_name) == 0) return &kind;
  return nullptr;
}

int command_verify(const char* path) {
  const KindDecoder* kind = kind_decoder_for(path);
  Archive* archive = open_or_complain(path);
  if (!archive) return 1;
  int faults = 0;
  for (uint32_t i = 0; i < archive->count; i++) {
    const ArchiveEntry* e = &archive->entries[i];
    if (!archive_entry_usable(archive, i)) {
      fprintf(stderr, "%s: entry %" PRIu32 " (id 0x%08" PRIX32 ")%s\n", path, i, e->id,
              entry_state(archive, i));
      faults++;
      continue;
    }
    uint32_t size = 0;
    uint8_t* data = archive_read(archive, e->id, &size);
    if (!data) {
      fprintf(stderr, "%s: entry 0x%08" PRIX32 " does not decode to its size\n", path, e->id);
      faults++;
    } else if (kind) {
      void* object = kind->decode(data, size);
      if (!object) {
        fprintf(stderr, "%s: entry 0x%08" PRIX32 " is refused by the %s decoder\n", path, e->id,
                kind->file_name);
        faults++;
      } else {
        kind->destroy(object);
      }
    }
    mem_free(data);
  }
  printf("%s: %" PRIu32 " entries, %d faults\n", path, archive->count, faults);
  archive_close(archive);
  return faults ? 1 : 0;
}

void usage(void) {
  fprintf(stderr,
          "usage: assetpack build OUT.dat MANIFEST...\n"
          "       assetpack list ARCHIVE\n"
          "       assetpack extract ARCHIVE DIR [ID...]\n"
          "       assetpack verify ARCHIVE\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && strcmp(argv[1], "build") == 0) return command_build(argv[2], argc - 3, argv + 3);
  if (argc == 3 && strcmp(argv[1], "list") == 0) return command_list(argv[2]);
  if (argc >= 4 && strcmp(argv[1], "extract") == 0)
    return command_extract(argv[2], argv[3], argc - 4, argv + 4);
  if (argc == 3 && strcmp(argv[1], "verify") == 0) return command_verify(argv[2]);
  usage();
  return 2;
}
