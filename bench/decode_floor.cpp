// vek-decode-floor FILE.DVR: the least a whole-process decode can cost. Reads
// the file into memory in one go, then runs the codec over every frame and
// writes nothing; the sum of the samples is printed so that the work is seen
// to be done. scripts/bench puts the converter's decode beside this.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "dvr_format.h"
#include "vek.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vek-decode-floor FILE.DVR\n");
    return 2;
  }
  std::FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  std::vector<unsigned char> bytes;
  unsigned char chunk[1 << 16];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
    bytes.insert(bytes.end(), chunk, chunk + got);
  std::fclose(f);

  vVek_Init_Dsp_Regs();
  vVek_Init_Decoder();
  int64_t frames = 0;
  int64_t sum = 0;
  short samples[kVekFrameSamples];
  size_t at = kDvrHeaderSize;
  while (at < bytes.size()) {
    size_t length = static_cast<size_t>(DvrFrameLength(bytes[at]));
    if (bytes.size() - at < length) break;
    vVek_Decode(samples, &bytes[at]);
    for (short s : samples) sum += s;
    at += length;
    ++frames;
  }
  std::printf("%lld frames, sample sum %lld\n", static_cast<long long>(frames),
              static_cast<long long>(sum));
  return 0;
}
