// The encode command over any bytes as raw PCM, with the real codec and the
// files in memory. The run finishes (only an empty file fails) with one
// 9-byte record per 64-byte block, a last short block padded with silence,
// each record what the codec gives that block.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "encode_command.h"
#include "fake_file_system.h"
#include "fuzz_support.h"
#include "test_support.h"

namespace ondavo::fuzz {
namespace {

void CheckEncode(const uint8_t* pcm, size_t size) {
  testing::FakeFileSystem files;
  files.keep_bytes = SIZE_MAX;
  files.AddInput("f.pcm", std::vector<uint8_t>(pcm, pcm + size));
  testing::RecordingHost host("f.pcm");
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  const int result = EncodeCommand(host, options);

  FUZZ_CHECK(host.messages.size() == 1);
  if (size == 0) {
    FUZZ_CHECK(result == -1);
    FUZZ_CHECK(host.messages[0].kind == MessageKind::kFailed);
    FUZZ_CHECK(!files.has_output("f.DVR"));
    return;
  }
  FUZZ_CHECK(result == 0);
  FUZZ_CHECK(host.messages[0].kind == MessageKind::kFinished);

  const testing::FakeOutput& out = files.output("f.DVR");
  FUZZ_CHECK(out.closed);
  FUZZ_CHECK(out.head == ExpectedRecords(pcm, size));
  FUZZ_CHECK(out.size == out.head.size());
  FUZZ_CHECK(host.pumps == static_cast<int64_t>((size + kBlockBytes - 1) / kBlockBytes));
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
  ondavo::fuzz::CheckEncode(data, size);
  return 0;
}
