// Replays a fuzz target's seed corpus: every file in the folders (or the files) named on the
// command line is passed to LLVMFuzzerTestOneInput once. Used by builds without libFuzzer,
// so the corpus runs as a regression test under every compiler and sanitizer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int replay_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    fprintf(stderr, "cannot read %s\n", path.c_str());
    return 0;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 1;
}

int main(int argc, char** argv) {
  int files = 0;
  for (int i = 1; i < argc; i++) {
    std::filesystem::path p(argv[i]);
    if (std::filesystem::is_directory(p)) {
      for (auto& entry : std::filesystem::directory_iterator(p))
        if (entry.is_regular_file()) files += replay_file(entry.path());
    } else if (std::filesystem::exists(p)) {
      files += replay_file(p);
    }
  }
  // An empty input still exercises the target once.
  LLVMFuzzerTestOneInput(nullptr, 0);
  printf("replayed %d corpus files\n", files);
  return 0;
}
