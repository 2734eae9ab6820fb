// Both commands over any input, with failures of the files under them chosen
// by the first 8 bytes (the rest is the input file):
//
//   0     bit 0 encode (else decode), bit 1 an earlier output is there; then
//         each bit one failure: measuring the input, syncing and closing
//         the output, patching the header, renaming the output into place,
//         closing the input, removing the unfinished output
//   1-3   bytes the disk takes, little-endian; FFFFFF for no limit
//   4-5   input offset whose read fails, little-endian; FFFF for none
//   6, 7  bits 0-1: which errno the write, and the other failures, give;
//         6 bit 2: at a power cut, the renames roll back;
//         7 bits 2-7: n > 0 cuts the power after n - 1 writes, syncs and renames
//
// A run finishes exactly when the input is one the command takes and none of
// the failures it meets is set; it is told once, as a finish or a failure,
// after a warning if the last frame was cut short. A finished run leaves
// exactly the right output: a WAV of the file's whole frames as the codec
// decodes them (each from a heap block of exactly its length) under a header
// stating them, or the records the codec gives each block, on the disk
// before it replaces an earlier output. A failed one leaves the earlier
// output as it was, or none, and no unfinished file unless its removal
// failed. After a power cut, during the run or after it, the output is the
// earlier file, the new one whole, or, where there was none, one that -n
// takes for unfinished.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codec_binding.h"
#include "decode_command.h"
#include "encode_command.h"
#include "fake_file_system.h"
#include "messages.h"
#include "test_support.h"

// A broken promise stops the run, and libFuzzer keeps the input that broke it.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#ifndef EDQUOT  // Windows has no quotas' own error
#define EDQUOT ENOSPC
#endif

namespace ondavo::fuzz {
namespace {

using testing::FrameLength;
using testing::Le32;

// The samples, little-endian, of a recording's whole frames; true in
// `*cut` when a frame cut short ends it.
std::vector<uint8_t> ExpectedWavData(const uint8_t* file, size_t size, bool* cut) {
  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Decoder();
  std::vector<uint8_t> data;
  size_t at = 14;
  for (size_t length; at < size && (length = FrameLength(file[at])) <= size - at; at += length) {
    auto frame = std::make_unique<unsigned char[]>(length);
    std::memcpy(frame.get(), file + at, length);
    short samples[kVekFrameSamples];
    g_CodecBinding.vVek_Decode(samples, frame.get());
    for (short sample : samples) {
      data.push_back(static_cast<uint8_t>(sample));
      data.push_back(static_cast<uint8_t>(static_cast<uint16_t>(sample) >> 8));
    }
  }
  *cut = at < size;
  return data;
}

// One record per 64 bytes, a last short block padded with zeros.
std::vector<uint8_t> ExpectedRecords(const uint8_t* pcm, size_t size) {
  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Encoder();
  std::vector<uint8_t> records;
  for (size_t at = 0; at < size; at += 64) {
    short block[32] = {};
    std::memcpy(block, pcm + at, std::min<size_t>(64, size - at));
    unsigned char coded[kVekEncodeBufferBytes];
    g_CodecBinding.vVek_Encode(block, coded);
    records.insert(records.end(), coded, coded + 9);
  }
  return records;
}

void CheckRun(const uint8_t* plan, const uint8_t* file, size_t size) {
  static const int kWriteErrors[] = {ENOSPC, EIO, EFBIG, EDQUOT};
  static const int kOtherErrors[] = {EIO, EINVAL, EACCES, ENOSPC};
  const bool encode = plan[0] & 1, earlier = plan[0] & 2;
  auto fails = [&](int bit) { return (plan[0] & bit) ? kOtherErrors[plan[7] & 3] : 0; };
  const uint32_t disk = plan[1] | plan[2] << 8 | plan[3] << 16, read_at = plan[4] | plan[5] << 8;
  testing::FakeFileSystem files;
  files.keep_bytes = SIZE_MAX;
  files.disk_space = disk == 0xFFFFFF ? UINT64_MAX : disk;
  files.write_error = kWriteErrors[plan[6] & 3];
  files.read_error_at = read_at == 0xFFFF ? UINT64_MAX : read_at;
  files.size_error = fails(4);
  files.close_error = files.sync_error = fails(8);
  files.write_at_error = fails(16);
  files.rename_error = fails(32);
  files.input_close_error = fails(64);
  files.remove_error = fails(128);
  const int power_cut = plan[7] >> 2;
  if (power_cut > 0) files.power_cut_after = power_cut - 1;

  const std::string input = encode ? "f.pcm" : "f.DVR", output = encode ? "f.DVR" : "f.WAV";
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  files.AddInput(input, std::vector<uint8_t>(file, file + size));
  if (earlier) files.AddFile(output, old);
  testing::RecordingHost host(input);
  const ConversionOptions options = {
      .file_system = &files, .frame_counts = nullptr, .existing_output = ExistingOutput::kReplace};
  const int result = encode ? EncodeCommand(host, options) : DecodeCommand(host, options);

  // Worked out after the run, which leaves the codec's state behind it.
  const bool recording = encode || (size >= 10 && (file[8] | file[9]) != 0);
  bool cut = false;
  const std::vector<uint8_t> body = size == 0 || !recording ? std::vector<uint8_t>{}
                                    : encode                ? ExpectedRecords(file, size)
                                                            : ExpectedWavData(file, size, &cut);
  const uint64_t length = body.size() + (encode ? 0 : 44);
  const bool must_fail = size == 0 || !recording || files.size_error || files.close_error ||
                         files.input_close_error || files.rename_error ||
                         files.read_error_at <= size || files.disk_space < length ||
                         (!encode && files.write_at_error);

  // The new output, whole: the bytes the run is to write, under a header
  // that states them.
  auto whole = [&](const testing::FakeOutput& out) {
    if (out.size != length || out.head.size() != length ||
        !std::equal(body.begin(), body.end(), out.head.end() - body.size())) {
      return false;
    }
    if (encode) return true;
    const uint32_t rate = file[8] | file[9] << 8;  // 16-bit mono PCM at the recording's rate
    return std::equal(out.head.begin(), out.head.begin() + 4, "RIFF") &&
           std::equal(out.head.begin() + 8, out.head.begin() + 24, "WAVEfmt \x10\0\0\0\1\0\1\0") &&
           std::equal(out.head.begin() + 32, out.head.begin() + 40, "\2\0\x10\0data") &&
           Le32(out.head, 4) == length - 8 && Le32(out.head, 40) == length - 44 &&
           Le32(out.head, 24) == rate && Le32(out.head, 28) == 2 * rate;
  };
  if (power_cut > 0) {
    files.PowerCut(plan[6] & 4);
    if (!files.has_output(output)) {
      FUZZ_CHECK(!earlier);
      return;
    }
    const testing::FakeOutput& out = files.output(output);
    std::unique_ptr<InputFile> left;
    FUZZ_CHECK(files.OpenInput(output, &left) == 0);
    FUZZ_CHECK((earlier && out.head == old) || (!must_fail && whole(out)) ||
               (!earlier && (encode ? kEncode : kDecode).skip_message(*left, out.size) == nullptr));
    return;
  }

  const size_t warnings = std::count_if(host.messages.begin(), host.messages.end(),
                                        [](auto& m) { return m.kind == MessageKind::kWarning; });
  FUZZ_CHECK(warnings <= (cut ? 1u : 0u) && (must_fail || warnings == (cut ? 1u : 0u)));
  FUZZ_CHECK(warnings == 0 || host.messages[0].text == FormatMessage(kCutFrameWarning, input));
  FUZZ_CHECK(host.messages.size() == warnings + 1);
  FUZZ_CHECK(result == (must_fail ? -1 : 0));
  FUZZ_CHECK(host.messages.back().kind ==
             (must_fail ? MessageKind::kFailed : MessageKind::kFinished));
  if (must_fail) {
    FUZZ_CHECK(earlier ? files.output(output).head == old : !files.has_output(output));
    FUZZ_CHECK(files.temporary_files() <= (files.remove_error ? 1u : 0u));
    return;
  }
  FUZZ_CHECK(files.temporary_files() == 0);
  const testing::FakeOutput& out = files.output(output);
  FUZZ_CHECK(out.closed && whole(out));
  FUZZ_CHECK(host.pumps == static_cast<int64_t>(encode ? body.size() / 9 : body.size() / 320));
  FUZZ_CHECK(!host.positions.empty() && host.positions.back() == 100);
  FUZZ_CHECK(std::is_sorted(host.positions.begin(), host.positions.end()));
  FUZZ_CHECK(host.positions.front() >= 0);
}

}  // namespace
}  // namespace ondavo::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ondavo::BindCodecLibrary(ONDAVO_FUZZ_CODEC);
  FUZZ_CHECK(ondavo::MissingCodecEntryPoint(ondavo::CodecUse::kDecode).empty());
  FUZZ_CHECK(ondavo::MissingCodecEntryPoint(ondavo::CodecUse::kEncode).empty());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size >= 8) ondavo::fuzz::CheckRun(data, data + 8, size - 8);
  return 0;
}
