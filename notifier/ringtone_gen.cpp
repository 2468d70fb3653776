// ringtone_gen HEADER SOURCE: writes the C++ header and source that hold the
// notifier's two ringtones, kRingtones, as PlayRingtone takes them.
#include <cstdio>
#include <vector>

#include "ringtone_synth.h"

namespace {

constexpr char kHeader[] =
    "// Written by ringtone_gen at build time.\n"
    "#pragma once\n\n"
    "#include <span>\n\n"
    "// The notifier's ringtones: 0 the message chime, 1 the call ring.\n"
    "extern const std::span<const unsigned char> kRingtones[2];\n";

void WriteArray(FILE* out, const char* name, const std::vector<unsigned char>& samples) {
  std::fprintf(out, "const unsigned char %s[%zu] = {", name, samples.size());
  for (size_t i = 0; i < samples.size(); ++i)
    std::fprintf(out, "%s%u,", i % 24 == 0 ? "\n" : "", samples[i]);
  std::fprintf(out, "\n};\n");
}

void WriteSource(FILE* out) {
  std::fprintf(out, "// Written by ringtone_gen at build time.\n#include \"ringtones.h\"\n\nnamespace {\n");
  WriteArray(out, "kMessageChime", MessageChime());
  WriteArray(out, "kCallRing", CallRing());
  std::fprintf(out, "}  // namespace\n\n"
                    "const std::span<const unsigned char> kRingtones[2] = {kMessageChime, kCallRing};\n");
}

// Writes the file through `write`; false, having said why, when it fails.
template <typename Writer>
bool WriteFile(const char* path, Writer write) {
  FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::perror(path);
    return false;
  }
  write(out);
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    std::perror(path);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: ringtone_gen HEADER SOURCE\n");
    return 2;
  }
  const bool written = WriteFile(argv[1], [](FILE* out) { std::fputs(kHeader, out); }) &&
                       WriteFile(argv[2], WriteSource);
  return written ? 0 : 1;
}
