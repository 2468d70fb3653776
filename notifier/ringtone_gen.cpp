// ringtone_gen FILE: writes the C++ source that holds the notifier's two
// ringtones, RingtoneLength and RingtoneSamples, as the player reads them.
#include <cstdio>
#include <vector>

#include "ringtone_synth.h"

namespace {

void WriteArray(FILE* out, const char* name, const std::vector<unsigned char>& samples) {
  std::fprintf(out, "const unsigned char %s[%zu] = {", name, samples.size());
  for (size_t i = 0; i < samples.size(); ++i)
    std::fprintf(out, "%s%u,", i % 24 == 0 ? "\n" : "", samples[i]);
  std::fprintf(out, "\n};\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ringtone_gen FILE\n");
    return 2;
  }
  FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const std::vector<unsigned char> chime = MessageChime();
  const std::vector<unsigned char> ring = CallRing();
  std::fprintf(out, "// Written by ringtone_gen at build time.\n#include \"tone.h\"\n\nnamespace {\n");
  WriteArray(out, "kMessageChime", chime);
  WriteArray(out, "kCallRing", ring);
  std::fprintf(out, "}  // namespace\n\nconst long RingtoneLength[2] = {%zu, %zu};\n", chime.size(),
               ring.size());
  std::fprintf(out, "const unsigned char* const RingtoneSamples[2] = {kMessageChime, kCallRing};\n");
  const bool failed = std::ferror(out) != 0;
  if (std::fclose(out) != 0 || failed) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
