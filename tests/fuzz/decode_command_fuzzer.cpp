// The decode command over any bytes as a coded voice file, with the real
// codec and the files in memory. Whatever the bytes, the run finishes (only
// an empty file fails), and the WAV holds exactly the file's whole frames, as
// the codec decodes them, under a header stating the WAV's length and the
// rate from the file's bytes 8 and 9.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "decode_command.h"
#include "fake_file_system.h"
#include "fuzz_support.h"
#include "test_support.h"

namespace ondavo::fuzz {
namespace {

void CheckDecode(const uint8_t* file, size_t size) {
  testing::FakeFileSystem files;
  files.keep_bytes = SIZE_MAX;
  files.AddInput("f.DVR", std::vector<uint8_t>(file, file + size));
  testing::RecordingHost host("f.DVR");
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  const int result = DecodeCommand(host, options);

  FUZZ_CHECK(host.messages.size() == 1);
  if (size == 0) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(host.messages[0].kind == MessageKind::kFailed);
    FUZZ_CHECK(!files.has_output("f.WAV"));
    return;
  }
  FUZZ_CHECK(result == 0);
  FUZZ_CHECK(host.messages[0].kind == MessageKind::kFinished);

  const testing::FakeOutput& out = files.output("f.WAV");
  const std::vector<uint8_t> data = ExpectedWavData(file, size);
  FUZZ_CHECK(out.closed);
  FUZZ_CHECK(out.size == kWavHeaderBytes + data.size());
  FUZZ_CHECK(out.head.size() == out.size);
  FUZZ_CHECK(std::equal(data.begin(), data.end(), out.head.begin() + kWavHeaderBytes));
  FUZZ_CHECK(std::equal(out.head.begin(), out.head.begin() + 4, "RIFF"));
  FUZZ_CHECK(std::equal(out.head.begin() + 36, out.head.begin() + 40, "data"));
  FUZZ_CHECK(Le32(out.head, 4) == out.size - 8);
  FUZZ_CHECK(Le32(out.head, 40) == out.size - kWavHeaderBytes);
  // Bytes 8 and 9 count even in a file too short for its whole header.
  const uint32_t rate = (size > 8 ? file[8] : 0) | (size > 9 ? file[9] << 8 : 0);
  FUZZ_CHECK(Le32(out.head, 24) == rate);
  FUZZ_CHECK(Le32(out.head, 28) == 2 * rate);

  FUZZ_CHECK(host.pumps == static_cast<int64_t>(data.size() / (2 * kFrameSamples)));
  FUZZ_CHECK(!host.positions.empty() && host.positions.back() == 100);
  FUZZ_CHECK(std::is_sorted(host.positions.begin(), host.positions.end()));
  FUZZ_CHECK(host.positions.front() >= 0);
}

}  // namespace
}  // namespace ondavo::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ondavo::fuzz::BindCodecForFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ondavo::fuzz::CheckDecode(data, size);
  return 0;
}
