#include "encode_command.h"

#include <cstring>

#include "buffered_io.h"

namespace ondavo {

namespace {

constexpr size_t kBlockBytes = kVekBlockSamples * 2;

// Only an empty .DVR is surely an unfinished one of ours; any other may be a
// recording. One cut inside a record may be unfinished, which is worth saying.
const char* EncodeSkipMessage(InputFile&, uint64_t size) {
  if (size == 0) return nullptr;
  return size % kVekRecordBytes == 0 ? kExistsMessage : kExistsUnfinishedRecordsMessage;
}

}  // namespace

const Command kEncode = {"encode",
                         ".pcm",
                         "Choose *.pcm file to Encode",
                         "The file's name must contain .pcm in lower-case letters",
                         "DVR",
                         CodecUse::kEncode,
                         ExistingOutput::kRefuse,
                         EncodeSkipMessage,
                         EncodeCommand};

int EncodeCommand(ConversionHost& host, const ConversionOptions& options) {
  Conversion run(host, options, kEncode);
  if (!run.Open() || !run.CreateOutput()) return run.result();

  g_CodecBinding.vVek_Init_Dsp_Regs();
  g_CodecBinding.vVek_Init_Encoder();

  BufferedReader reader(run.input());
  BufferedWriter writer(run.output());
  // The counter goes up by 2 a block: it counts 32-byte halves of the input.
  int64_t counter = 0;
  for (;;) {
    uint64_t block_start = reader.consumed();
    alignas(short) unsigned char block[kBlockBytes];
    size_t got = reader.Read(block, kBlockBytes);
    // A block cut short by a failed read is not the file's last: its missing
    // bytes would be made up, so it gets no record.
    if (got == 0 || reader.error() != 0) break;
    // A last, short block is padded with silence.
    std::memset(block + got, 0, kBlockBytes - got);
    unsigned char coded[kVekEncodeBufferBytes] = {};
    g_CodecBinding.vVek_Encode(reinterpret_cast<short*>(block), coded);
    if (int err = writer.Write(coded, kVekRecordBytes)) {
      return run.Fail(IoFailureMessage("write", run.output_path(), err));
    }
    if (run.Step(block_start, counter += 2)) return run.Stop();
    if (got < kBlockBytes) break;
  }
  if (reader.error() != 0)
    return run.Fail(IoFailureMessage("read", run.input_path(), reader.error()));
  if (int err = writer.Flush()) return run.Fail(IoFailureMessage("write", run.output_path(), err));

  run.PrintFinalCount(counter);
  return run.Finish(kEncodeFinished);
}

}  // namespace ondavo
