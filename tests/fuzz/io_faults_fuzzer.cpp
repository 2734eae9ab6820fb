// Both commands over any input, with failures of the files under them chosen
// by the first 8 bytes (the rest is the input file):
//
//   0     bit 0 encode (else decode), bit 1 an earlier output is there; then
//         each bit one failure: measuring the input, closing the output,
//         patching the header, renaming the output into place, closing the
//         input, removing the unfinished output
//   1-3   bytes the disk takes, little-endian; FFFFFF for no limit
//   4-5   input offset whose read fails, little-endian; FFFF for none
//   6, 7  which errno the write, and the other failures, give
//
// A run finishes exactly when the input is one the command takes and none of
// the failures it meets is set; it is told once, as a finish or a failure.
// A finished run leaves exactly the right output: a WAV of the file's whole
// frames as the codec decodes them under a header stating them, or the
// records the codec gives each block. A failed one leaves the earlier output
// as it was, or none, and no unfinished file unless its removal failed.
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
  bool encode, earlier;
  bool size_error, close_error, write_at_error, rename_error, input_close_error, remove_error;
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
  plan.earlier = p[0] & 2;
  plan.size_error = p[0] & 4;
  plan.close_error = p[0] & 8;
  plan.write_at_error = p[0] & 16;
  plan.rename_error = p[0] & 32;
  plan.input_close_error = p[0] & 64;
  plan.remove_error = p[0] & 128;
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
  const int other = plan.other_error;
  files.size_error = plan.size_error ? other : 0;
  files.close_error = plan.close_error ? other : 0;
  files.write_at_error = plan.write_at_error ? other : 0;
  files.rename_error = plan.rename_error ? other : 0;
  files.input_close_error = plan.input_close_error ? other : 0;
  files.remove_error = plan.remove_error ? other : 0;

  const std::string input = plan.encode ? "f.pcm" : "f.DVR";
  const std::string output = plan.encode ? "f.DVR" : "f.WAV";
  const std::vector<uint8_t> earlier = {'o', 'l', 'd'};
  files.AddInput(input, std::vector<uint8_t>(file, file + size));
  if (plan.earlier) files.AddFile(output, earlier);
  testing::RecordingHost host(input);
  ConversionOptions options;
  options.file_system = &files;
  options.frame_counts = nullptr;
  options.existing_output = ExistingOutput::kReplace;
  const int result = plan.encode ? EncodeCommand(host, options) : DecodeCommand(host, options);

  // Worked out after the run, which leaves the codec's state behind it.
  const bool recording = plan.encode || (size >= 10 && (file[8] | file[9]) != 0);
  const std::vector<uint8_t> body = size == 0 || !recording ? std::vector<uint8_t>{}
                                    : plan.encode           ? ExpectedRecords(file, size)
                                                            : ExpectedWavData(file, size);
  const uint64_t length = body.size() + (plan.encode ? 0 : kWavHeaderBytes);
  const bool must_fail = size == 0 || !recording || plan.size_error || plan.close_error ||
                         plan.input_close_error || plan.rename_error ||
                         plan.read_error_at <= size || plan.disk_space < length ||
                         (!plan.encode && plan.write_at_error);

  // A decode whose last frame is cut short warns of it before it ends.
  const bool cut = !plan.encode && recording && EndsInACutFrame(file, size);
  const size_t warnings =
      std::count_if(host.messages.begin(), host.messages.end(),
                    [](const auto& m) { return m.kind == MessageKind::kWarning; });
  FUZZ_CHECK(warnings <= (cut ? 1u : 0u));
  FUZZ_CHECK(must_fail || warnings == (cut ? 1u : 0u));
  FUZZ_CHECK(host.messages.size() == warnings + 1);
  FUZZ_CHECK(result == (must_fail ? -1 : 0));
  FUZZ_CHECK(host.messages.back().kind ==
             (must_fail ? MessageKind::kFailed : MessageKind::kFinished));
  if (must_fail) {
    FUZZ_CHECK(plan.earlier ? files.output(output).head == earlier : !files.has_output(output));
    FUZZ_CHECK(files.temporary_files() <= (plan.remove_error ? 1u : 0u));
    return;
  }
  FUZZ_CHECK(files.temporary_files() == 0);
  const testing::FakeOutput& out = files.output(output);
  FUZZ_CHECK(out.closed);
  FUZZ_CHECK(out.size == length);
  FUZZ_CHECK(out.head.size() == out.size);
  FUZZ_CHECK(std::equal(body.begin(), body.end(), out.head.end() - body.size()));
  if (!plan.encode) {
    FUZZ_CHECK(std::equal(out.head.begin(), out.head.begin() + 4, "RIFF"));
    FUZZ_CHECK(Le32(out.head, 4) == out.size - 8);
    FUZZ_CHECK(Le32(out.head, 40) == out.size - kWavHeaderBytes);
    const uint32_t rate = file[8] | file[9] << 8;
    FUZZ_CHECK(Le32(out.head, 24) == rate && Le32(out.head, 28) == 2 * rate);
  }
  const size_t units = plan.encode ? body.size() / kRecordBytes : body.size() / (2 * kFrameSamples);
  FUZZ_CHECK(host.pumps == static_cast<int64_t>(units));
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
  using namespace ondavo::fuzz;
  if (size < kPlanBytes) return 0;
  CheckRun(ReadPlan(data), data + kPlanBytes, size - kPlanBytes);
  return 0;
}
