// Both commands over any input, with failures of the files under them chosen
// by the first 8 bytes (the rest is the input file):
//
//   0     bit 0 encode (else decode); then each bit one failure: reopening
//         the output, measuring the input, closing the output, patching the
//         header, truncating, closing the input
//   1-3   bytes the disk takes, little-endian; FFFFFF for no limit
//   4-5   input offset whose read fails, little-endian; FFFF for none
//   6, 7  which errno the write, and the other failures, give
//
// A run finishes exactly when none of the failures it meets is set; a
// failure is told once and never as a finish. Whatever stops a run, its
// output is closed and holds only what is true: a WAV keeps whole frames,
// the right ones, under a header stating them (or is empty), records are
// whole and right, unless the very call that would make them so is the one
// set to fail.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "decode_command.h"
#include "encode_command.h"
#include "fake_file_system.h"
#include "fuzz_support.h"
#include "test_support.h"

namespace ondavo::fuzz {
namespace {

constexpr size_t kPlanBytes = 8;

struct Plan {
  bool encode;
  bool refuse_update, size_error, close_error, write_at_error, truncate_error, input_close_error;
  uint64_t disk_space;
  uint64_t read_error_at;
  int write_error;
  int other_error;
};

Plan ReadPlan(const uint8_t* p) {
  static const int kWriteErrors[] = {ENOSPC, EIO, EFBIG, EDQUOT};
  static const int kOtherErrors[] = {EIO, EINVAL, EACCES, ENOSPC};
  Plan plan;
  plan.encode = p[0] & 1;
  plan.refuse_update = p[0] & 2;
  plan.size_error = p[0] & 4;
  plan.close_error = p[0] & 8;
  plan.write_at_error = p[0] & 16;
  plan.truncate_error = p[0] & 32;
  plan.input_close_error = p[0] & 64;
  const uint32_t disk = p[1] | p[2] << 8 | p[3] << 16;
  plan.disk_space = disk == 0xFFFFFF ? UINT64_MAX : disk;
  const uint32_t read_at = p[4] | p[5] << 8;
  plan.read_error_at = read_at == 0xFFFF ? UINT64_MAX : read_at;
  plan.write_error = kWriteErrors[p[6] & 3];
  plan.other_error = kOtherErrors[p[7] & 3];
  return plan;
}

void CheckRun(const Plan& plan, const uint8_t* file, size_t size) {
  testing::FakeFileSystem files;
  files.keep_bytes = SIZE_MAX;
  files.disk_space = plan.disk_space;
  files.write_error = plan.write_error;
  files.read_error_at = plan.read_error_at;
  files.refuse_update = plan.refuse_update;
  files.size_error = plan.size_error ? plan.other_error : 0;
  files.close_error = plan.close_error ? plan.other_error : 0;
  files.write_at_error = plan.write_at_error ? plan.other_error : 0;
  files.truncate_error = plan.truncate_error ? plan.other_error : 0;
  files.input_close_error = plan.input_close_error ? plan.other_error : 0;

  const std::string input = plan.encode ? "f.pcm" : "f.DVR";
  const std::string output = plan.encode ? "f.DVR" : "f.WAV";
  files.AddInput(input, std::vector<uint8_t>(file, file + size));
  testing::RecordingHost host(input);
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  const int result = plan.encode ? EncodeCommand(host, options) : DecodeCommand(host, options);

  // Worked out after the run, which leaves the codec's state behind it.
  const std::vector<uint8_t> body = size == 0     ? std::vector<uint8_t>{}
                                    : plan.encode ? ExpectedRecords(file, size)
                                                  : ExpectedWavData(file, size);
  const uint64_t header = plan.encode ? 0 : kWavHeaderBytes;
  const bool must_fail = size == 0 || plan.size_error || plan.close_error ||
                         plan.input_close_error || plan.read_error_at <= size ||
                         plan.disk_space < header + body.size() ||
                         (!plan.encode && (plan.refuse_update || plan.write_at_error));

  FUZZ_CHECK(host.messages.size() == 1);
  const MessageKind kind = host.messages[0].kind;
  FUZZ_CHECK(result == (must_fail ? -1 : 0));
  FUZZ_CHECK(kind == (must_fail ? MessageKind::kFailed : MessageKind::kFinished));
  if (size == 0 || plan.size_error) {
    FUZZ_CHECK(!files.has_output(output));
    return;
  }

  const testing::FakeOutput& out = files.output(output);
  FUZZ_CHECK(out.closed);
  FUZZ_CHECK(out.head.size() == out.size);
  if (plan.encode) {
    if (plan.truncate_error) return;
    FUZZ_CHECK(out.size % kRecordBytes == 0);
    FUZZ_CHECK(out.size <= body.size());
    FUZZ_CHECK(std::equal(out.head.begin(), out.head.end(), body.begin()));
    return;
  }
  if (plan.truncate_error || plan.write_at_error || plan.close_error || plan.refuse_update) return;
  if (out.size == 0) {
    FUZZ_CHECK(must_fail);
    return;
  }
  FUZZ_CHECK(out.size >= kWavHeaderBytes);
  FUZZ_CHECK((out.size - kWavHeaderBytes) % (2 * kFrameSamples) == 0);
  FUZZ_CHECK(out.size - kWavHeaderBytes <= body.size());
  FUZZ_CHECK(Le32(out.head, 4) == out.size - 8);
  FUZZ_CHECK(Le32(out.head, 40) == out.size - kWavHeaderBytes);
  FUZZ_CHECK(std::equal(out.head.begin() + kWavHeaderBytes, out.head.end(), body.begin()));
}

}  // namespace
}  // namespace ondavo::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ondavo::fuzz::BindCodecForFuzzing();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ondavo::fuzz;
  if (size < kPlanBytes) return 0;
  CheckRun(ReadPlan(data), data + kPlanBytes, size - kPlanBytes);
  return 0;
}
