// ondavo-cli as a user runs it: a real process, real files, the real codec
// library found as the installed program finds it; and the failures of its
// folders and file times, on files in memory that fail on demand.
#include <signal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "batch.h"
#include "fake_file_system.h"
#include "recording_codec.h"
#include "test_support.h"

namespace ondavo {
namespace {

using namespace testing;
namespace fs = std::filesystem;

#ifdef _WIN32
const std::string kCodec = "Vek.dll", kExe = ".exe";
#else
const std::string kCodec = "libVek.so", kExe = "";
#endif

std::string Finished(const std::string& wav) {
  return "Finish Vek Coder Decode.\nCreate of file " + wav + " \n";
}

// Each run's exit status and all it says, in turn, on files named in any
// script (on Windows too, where they are beyond the ANSI code page).
TEST(CliTest, EachRunSaysHowItWentAndExitsSo) {
  TempDir dir;
  const std::string a = dir / "Besprechung Müller", b = dir / "会议", pcm = dir / "voice.pcm";
  WriteBytes(a + ".DVR", DvrFile(8000, Frames(600, 0xE0)));
  WriteBytes(b + ".DVR", DvrFile(11025, Frames(1, 0xE0)));
  fs::create_directory(dir / "card");
  WriteBytes(dir / "card/a.dvr", {1});
  WriteBytes(pcm, std::vector<uint8_t>(300 * 64, 7));
  WriteBytes(dir / "voice.DVR", {'r', 'e', 'c'});
  fs::permissions(dir.path() / "voice.DVR", fs::perms(0640));
  const fs::perms shared = fs::status(dir.path() / "voice.DVR").permissions();
  const std::string kIsAFolder = " is a folder; -r searches it\n";
  // Of two inputs that would share an output, the first is converted and the
  // later one fails, naming both; one file named twice is one input.
  const std::string m5 = dir / "m 2024.03.05.DVR", m6 = dir / "m 2024.03.06.DVR";
  WriteBytes(m5, DvrFile(8000, Frames(3, 0xE5)));
  WriteBytes(m6, DvrFile(8000, Frames(6, 0xE6)));
  WriteBytes(dir / "M 2024.7.DVR", DvrFile(8000, Frames(7, 0xE7)));
  auto shared_with_m5 = [&](const std::string& later, const std::string& output) {
    return "File " + later + " is not converted: its output " + dir / output + " is that of " + m5 +
           "\n1 converted, 0 skipped, 1 failed\n";
  };
  const std::tuple<std::vector<std::string>, int, std::string, std::string> runs[] = {
      {{"decode", a + ".DVR", b + ".DVR"},
       0,
       "256 frames\r512 frames\r" + Finished(a + ".WAV") + Finished(b + ".WAV"),
       "2 converted, 0 skipped, 0 failed\n"},
      {{"decode", a + ".DVR", "-q", b + ".DVR"}, 0, "", ""},  // quiet: nothing when all went well
      {{"decode", "-n", b + ".DVR"}, 0, "", "File " + b + ".WAV exists; not replaced\n"},
      {{"decode", dir / "a.dvr"},
       2,
       "",
       "Choose file to Decode\nThe file's name must contain .DVR in capital letters\n"},
      {{"encode", dir / "a.raw"}, 2, "", "Choose *.pcm file to Encode\n"},
      {{"decode", dir / "card"}, 2, "", "Choose file to Decode\n" + dir / "card" + kIsAFolder},
      {{"decode", "-q", m5, m6}, 1, "", shared_with_m5(m6, "m 2024.WAV")},
#ifdef _WIN32  // where names that differ only in case name one file
      {{"decode", "-q", m5, dir / "M 2024.7.DVR"},
       1,
       "",
       shared_with_m5(dir / "M 2024.7.DVR", "M 2024.WAV")},
#endif
      {{"decode", "-q", a + ".DVR", dir / "card/../Besprechung Müller.DVR"}, 0, "", ""},
      // A path, not an option, on every system.
      {{"decode", "/none.DVR"}, 1, "", "Can't open file /none.DVR (" + NoSuchFileReason() + ")\n"},
      {{"decode", "-r", dir / "card"},
       0,
       "",
       "No .DVR files under " + dir / "card" + " (left out: " + dir / "card/a.dvr" + ")\n"},
      {{"decode", "-q", "-r", dir / "card"}, 0, "", ""},
      {{"decode", "-r", dir / "none"},
       2,
       "",
       "Can't find folder " + dir / "none" + " (" + NoSuchFileReason() + ")\n"},
      {{"bogus"},
       2,
       "",
       "ondavo-cli: unknown command 'bogus'; the commands are decode and encode\nRun with --help "
       "for more information.\n"},
      {{"decode", "--jobs", "2x", b + ".DVR"},
       2,
       "",
       "ondavo-cli: --jobs takes a whole number from 1 to 256, not '2x'\n"},
      // A .DVR file may be a recording: encode replaces one only when forced.
      {{"encode", pcm}, 1, "", "File " + dir / "voice.DVR" + " exists; not replaced\n"},
      {{"encode", "--force", pcm},
       0,
       "256 frames\r512 frames\r600\nFinish Vek Coder Encode.\nCreate of file " +
           dir / "voice.DVR" + " \n",
       ""},
  };
  for (const auto& [args, status, out, err] : runs) {
    ProgramResult run = RunProgram(Cli(args));
    EXPECT_EQ(run.status, status) << err;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
  }
  EXPECT_EQ(ReadBytes(a + ".WAV").size(), WavSize(600));
  EXPECT_EQ(ReadBytes(dir / "m 2024.WAV").size(), WavSize(3));  // the first input's, whole
  EXPECT_EQ(Le32(ReadBytes(b + ".WAV"), 24), 11025u);
  EXPECT_EQ(ReadBytes(dir / "voice.DVR").size(), 300u * 9);
  EXPECT_EQ(fs::status(dir.path() / "voice.DVR").permissions(), shared);  // kept when replaced
  // The mistakes our own rules catch: no command, no file, -n with --force.
  const std::vector<std::string> usage_errors[] = {
      {}, {"decode"}, {"encode", "-n", "--force", "x.pcm"}};
  for (const auto& args : usage_errors) EXPECT_EQ(RunProgram(Cli(args)).status, 2);
#ifndef _WIN32
  // -j on a terminal shows what a serial run shows there: the progress alone,
  // here of the files done, cleared before each message.
  ProgramResult terminal = RunProgram(
      Program({"/usr/bin/script", "-qec",
               BinDir() + "/ondavo-cli decode -j 2 '" + a + ".DVR' '" + b + ".DVR'", "/dev/null"}));
  std::string shown;  // the terminal's "\r\n" read as "\n"
  for (char c : terminal.out) {
    if (c == '\n' && !shown.empty() && shown.back() == '\r') shown.pop_back();
    shown.push_back(c);
  }
  auto in_turn = [](const std::string& first, const std::string& second) {
    return "\r  0%\r    \r" + Finished(first) + "\r 50%\r    \r" + Finished(second) +
           "\r100%\r    \r2 converted, 0 skipped, 0 failed\n";
  };
  EXPECT_TRUE(shown == in_turn(a + ".WAV", b + ".WAV") || shown == in_turn(b + ".WAV", a + ".WAV"))
      << shown;
#endif
}

// The card and a second one gathered into one folder with -r, -j 2 and -o:
// each recording's output stands where it stood under its folder, with its
// recording's date (--keep-time); an output that is there stays (-n); of two
// inputs that would share an output the first is converted, the later one
// fails, naming both. A folder whose path passes Windows' MAX_PATH is searched.
TEST(CardTest, RecursesIntoFoldersAndGivesEachInputItsOwnOutput) {
  TempDir dir;
  fs::create_directories(PathFromUtf8(dir / "card/day2/spät"));
  WriteBytes(dir / "card/day2/Besprechung Müller.DVR", DvrFile(8000, Frames(4, 0xE2)));
  WriteBytes(dir / "card/day2/spät/会议.DVR", DvrFile(8000, Frames(5, 0xE3)));
  WriteBytes(dir / "card/day2/notes.txt", {'h', 'i'});
  const std::string deep = "day1/" + std::string(150, 'd') + "/" + std::string(150, 'e');
  fs::create_directories(PathFromUtf8(dir / ("card/" + deep)));
  WriteBytes(dir / "card/day1/a.DVR", DvrFile(8000, Frames(3, 0xE1)));
  WriteBytes(dir / ("card/" + deep + "/x.DVR"), DvrFile(8000, Frames(2, 0xE4)));
  fs::create_directories(dir / "card2/day1");
  WriteBytes(dir / "card2/day1/a.DVR", DvrFile(8000, Frames(9, 0xE9)));
  auto recorded = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
#ifdef _WIN32  // the C++ library there sets and reads file times to the second
  recorded = std::chrono::floor<std::chrono::seconds>(recorded);
#endif
  fs::last_write_time(dir / "card/day1/a.DVR", recorded);
  const std::string kept = dir / "out Ü/day2/Besprechung Müller.WAV";
  fs::create_directories(PathFromUtf8(dir / "out Ü/day2"));
  WriteBytes(kept, {'k', 'e', 'e', 'p'});
  ProgramResult run = RunProgram(Cli({"decode", "-r", "-n", "-j", "2", "--keep-time", "-o",
                                      dir / "out Ü", dir / "card", dir / "card2"}));
  EXPECT_EQ(run.status, 1) << run.err;
  const std::pair<std::string, int> outputs[] = {
      {"day1/a.WAV", 3}, {"day2/spät/会议.WAV", 5}, {deep + "/x.WAV", 2}};
  for (const auto& [name, frames] : outputs) {
    EXPECT_EQ(ReadBytes(dir / ("out Ü/" + name)).size(), WavSize(frames)) << name;
    // Each file's finish message stands whole on its own lines.
    EXPECT_NE(run.out.find(Finished(dir / ("out Ü/" + name))), std::string::npos) << run.out;
  }
  EXPECT_EQ(ReadBytes(kept), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(fs::last_write_time(PathFromUtf8(dir / "out Ü/day1/a.WAV")), recorded);
  for (const std::string& told :
       {"File " + kept + " exists; not replaced\n",
        "File " + dir / "card2/day1/a.DVR" + " is not converted: its output " +
            dir / "out Ü/day1/a.WAV" + " is that of " + dir / "card/day1/a.DVR" + "\n"})
    EXPECT_NE(run.err.find(told), std::string::npos) << run.err;
  EXPECT_TRUE(run.err.ends_with("\n3 converted, 1 skipped, 1 failed\n")) << run.err;
  // Shortened, so that Windows can remove the folders.
  for (const std::string tree : {"card/", "out Ü/"})
    fs::rename(PathFromUtf8(dir / (tree + deep)), PathFromUtf8(dir / (tree + "day1/e")));
}

// What the run does with folders and file times fails alone, saying why.
TEST(CliFaultTest, FolderAndTimeFailuresSayWhy) {
  const std::string day1 = JoinPath("card", "day1"), out = JoinPath("out", "day1");
  const std::pair<std::function<void(FakeFileSystem&)>, std::string> faults[] = {
      {[](auto& f) { f.list_error = EACCES; }, "Can't search folder card (Permission denied)\n"},
      {[](auto& f) { f.create_folders_error = EACCES; },
       "Can't create folder " + out + " (Permission denied)\n"},
      {[](auto& f) { f.time_error = EPERM; },
       "Can't set the time of file " + JoinPath(out, "a.WAV") + " (Operation not permitted)\n"},
  };
  RecordingCodec codec;
  for (const auto& [set_up, told] : faults) {
    FakeFileSystem files;
    files.AddInput(JoinPath(day1, "a.DVR"), DvrFile(8000, Frames(2, 0xE0)));
    set_up(files);
    const JobList list = ListJobs(
        {"card"},
        {.command = &kDecode, .recursive = true, .output_root = "out", .file_system = &files});
    const BatchOptions batch = {
        .command = &kDecode, .quiet = true, .keep_time = true, .file_system = &files};
    std::string err;
    for (const std::string& failure : list.failures) err += failure + "\n";
    for (const Job& job : list.jobs) err += RunInWorker(job, batch).err;
    EXPECT_EQ(err, told);
  }
}

// A stopped run writes nothing: the earlier WAV stays, no partial file is
// left, the exit status tells the signal, and the summary the files not
// started. Killed outright, the run takes its workers with it.
TEST(CliStopTest, ASignalStopsTheRunAndWritesNothing) {
  // Once `count` unfinished outputs are there, or false after 20 s.
  auto wait_for_temporary_files = [](const TempDir& dir, long count) {
    for (int i = 0; i < 2000; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
      const std::vector<std::string> names = dir.Names();
      if (std::count_if(names.begin(), names.end(), [](const std::string& name) {
            return name.find(".ondavo-part-") != std::string::npos;
          }) == count)
        return true;
    }
    return false;
  };
#ifdef _WIN32
  // Wine sends no Ctrl-Break, the console's stand-in for signals: the run
  // is only killed.
  const int SIGKILL = 9;
  const std::tuple<int, int, std::string> cases[] = {{SIGKILL, 2, ""}};
#else
  const std::tuple<int, int, std::string> cases[] = {
      {SIGINT, 1, "0 converted, 0 skipped, 1 failed, 2 not started\n"},
      {SIGINT, 2, "0 converted, 0 skipped, 2 failed, 1 not started\n"},
      {SIGTERM, 1, "0 converted, 0 skipped, 1 failed, 2 not started\n"},
      {SIGHUP, 2, "0 converted, 0 skipped, 2 failed, 1 not started\n"},
      {SIGKILL, 2, ""}};
#endif
  for (const auto& [signal, jobs, summary] : cases) {
    SCOPED_TRACE(std::to_string(signal) + " with -j " + std::to_string(jobs));
    TempDir dir;
    fs::create_directory(dir / "codec");
    fs::copy_file(RecordingCodecPath(), dir / ("codec/" + kCodec));
    for (const char* name : {"a.DVR", "b.DVR", "c.DVR"})  // 5 s each at 1 ms a frame
      WriteBytes(dir / name, DvrFile(8000, Frames(5000, 0xE0)));
    WriteBytes(dir / "a.WAV", {'o', 'l', 'd'});
    Program cli = Cli(
        {"decode", "-q", "-j", std::to_string(jobs), dir / "a.DVR", dir / "b.DVR", dir / "c.DVR"});
    std::vector<std::string> names = {"a.DVR", "a.WAV", "b.DVR",
                                      "c.DVR", "codec", "codec/" + kCodec};
#ifdef _WIN32  // where the codec is looked for beside the program
    fs::copy_file(BinDir() + "/ondavo-cli.exe", dir / "codec/ondavo-cli.exe");
    cli.args[0] = dir / "codec/ondavo-cli";
    names.push_back("codec/ondavo-cli.exe");
#endif
    cli.env = {"LD_LIBRARY_PATH=" + dir / "codec", "ONDAVO_TEST_CODEC_DELAY_US=1000"};
    RunningProgram running(cli);
    ASSERT_TRUE(wait_for_temporary_files(dir, jobs));
    ASSERT_TRUE(running.Signal(signal));
    ProgramResult run = running.Wait();
    EXPECT_EQ(run.status, 128 + signal) << run.err;
    if (signal != SIGKILL) {
      EXPECT_NE(run.err.find("Stopped; nothing was written to file " + dir / "a.WAV\n"),
                std::string::npos)
          << run.err;
      EXPECT_EQ(run.err.substr(run.err.size() - summary.size()), summary) << run.err;
    }
    // No worker goes on after the run: nothing appears later.
    EXPECT_TRUE(wait_for_temporary_files(dir, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(signal == SIGKILL ? 1000 : 0));
    EXPECT_EQ(ReadBytes(dir / "a.WAV"), (std::vector<uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(dir.Names(), names);
  }
}

// Started with standard streams closed, as cron and some file managers start
// programs, ondavo-cli writes no message into the WAV; a limit on open files
// fails a parallel run's files, saying why.
TEST(CliStopTest, ClosedStreamsAndNoDescriptorsLeft) {
#ifdef _WIN32
  GTEST_SKIP() << "a POSIX shell closes the streams and sets the limit";
#endif
  TempDir dir;
  WriteBytes(dir / "a.DVR", DvrFile(8000, Frames(2000, 0xE0)));
  ASSERT_EQ(RunProgram(Cli({"decode", "-q", dir / "a.DVR"})).status, 0);
  std::vector<uint8_t> earlier = ReadBytes(dir / "a.WAV");
  for (const char* closed : {"<&- >&-", ">&- 2>&-", "<&- >&- 2>&-"}) {
    SCOPED_TRACE(closed);
    fs::remove(dir / "a.WAV");
    Program shell({"/bin/sh", "-c", std::string("exec \"$0\" decode \"$1\" ") + closed,
                   BinDir() + "/ondavo-cli", dir / "a.DVR"});
    EXPECT_EQ(RunProgram(shell).status, 0);
    EXPECT_EQ(ReadBytes(dir / "a.WAV"), earlier);
  }
  // With no room for a worker's pipes, -j fails each file and says why. Not
  // in the sanitizer build, whose type checks probe memory through a pipe of
  // their own and, finding no descriptor, report every object as invalid.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
  return;
#endif
#endif
  ProgramResult no_worker = RunProgram(Program(
      {"/bin/sh", "-c", "exec 3>&- 4>&- 5>&-; ulimit -n 4; exec \"$0\" decode -j 2 \"$1\" \"$2\"",
       BinDir() + "/ondavo-cli", dir / "a.DVR", dir / "b.DVR"}));
  EXPECT_EQ(no_worker.status, 1);
  EXPECT_EQ(no_worker.err,
            "Can't start a process to convert in (Too many open files)\n"
            "0 converted, 0 skipped, 2 failed\n");
}

// The codec is looked for in LD_LIBRARY_PATH, the program's own lib folder
// and the system's (on Windows the program's own folder and the system's),
// never in the current folder, where anybody could have put one. The
// recording codec marks each sample with its frame's first byte; the real
// one decodes silence frames into zeros.
TEST(CliCodecTest, TheCodecComesOnlyFromWhereItMay) {
  TempDir dir;
  fs::create_directory(dir / "work");
  fs::create_directory(dir / "vendor");
  fs::create_directory(dir / "bin");
  fs::copy_file(RecordingCodecPath(), dir / ("work/" + kCodec));
  fs::copy_file(RecordingCodecPath(), dir / ("vendor/" + kCodec));
  fs::copy_file(BinDir() + "/ondavo-cli" + kExe, dir / ("bin/ondavo-cli" + kExe));
  WriteBytes(dir / "work/a.DVR", DvrFile(8000, Frames(1, 0xE0)));
  // The program, a setting, the exit status, the second byte of the WAV's
  // samples, and standard error.
  using Case = std::tuple<std::string, std::string, int, int, std::string>;
#ifdef _WIN32  // the system's own reason ends the message
  fs::copy_file(BinDir() + "/ondavo-cli.exe", dir / "vendor/ondavo-cli.exe");
  const Case cases[] = {
      {BinDir() + "/ondavo-cli", "", 0, 0, ""},
      {dir / "vendor/ondavo-cli", "", 0, 0xE0, ""},
      {dir / "bin/ondavo-cli", "", 1, -1, "Can't load codec library Vek.dll ("},
  };
#else
  const Case cases[] = {
      {BinDir() + "/ondavo-cli", "", 0, 0, ""},
      // The loader ignores an empty LD_LIBRARY_PATH, and takes its folders in
      // order, an empty one for the current folder.
      {BinDir() + "/ondavo-cli", "LD_LIBRARY_PATH=", 0, 0, ""},
      {BinDir() + "/ondavo-cli", "LD_LIBRARY_PATH=" + dir / "vendor" + ":", 0, 0xE0, ""},
      {BinDir() + "/ondavo-cli", "LD_LIBRARY_PATH=/nowhere:", 1, -1,
       "Can't load codec library libVek.so (LD_LIBRARY_PATH names the folder . relative to the "
       "current one, and it holds a libVek.so; name folders there by their full paths)\n"},
      {BinDir() + "/ondavo-cli", "LD_LIBRARY_PATH=../work", 1, -1,
       "Can't load codec library libVek.so (LD_LIBRARY_PATH names the folder ../work relative to "
       "the current one, and it holds a libVek.so; name folders there by their full paths)\n"},
      {dir / "bin/ondavo-cli", "", 1, -1,
       "Can't load codec library libVek.so (libVek.so: cannot open shared object file: No such "
       "file or directory)\n"},
  };
#endif
  for (const auto& [program, env, status, sample, err] : cases) {
    SCOPED_TRACE(program + " " + env);
    fs::remove(dir / "work/a.WAV");
    Program cli{{program, "decode", "-q", "a.DVR"}};
    if (!env.empty()) cli.env = {env};
    cli.folder = dir / "work";
    ProgramResult run = RunProgram(cli);
    EXPECT_EQ(run.status, status) << run.err;
    if (status != 0) {
      EXPECT_EQ(kExe.empty() ? run.err : run.err.substr(0, err.size()), err);
      EXPECT_FALSE(fs::exists(dir / "work/a.WAV"));
      continue;
    }
    std::vector<uint8_t> wav = ReadBytes(dir / "work/a.WAV");
    ASSERT_EQ(wav.size(), WavSize(1));
    EXPECT_EQ(wav[45], sample);
  }
}

}  // namespace
}  // namespace ondavo
