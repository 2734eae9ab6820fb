#!/usr/bin/env python3
"""The 32-bit Windows build against a Linux build of the same sources.

    tests/windows_like_linux.py WINDOWS_BIN LINUX_BIN

- Vek.dll exports every entry point vek.h declares under its bare name,
  which is how the programs look them up;
- under Wine, ondavo-cli.exe decodes samples/dictation.DVR to the Linux WAV
  byte for byte, and encodes its samples to the Linux records;
- vek-codec.exe packs and unpacks to the Linux tool's files, and speech
  packed in each mode and decoded again gives the Linux files;
- through libsndfile-1.dll beside it, ondavo-cli.exe writes the Linux FLAC
  byte for byte, and Ogg Opus and MP3 that decode (by ffmpeg) to what the
  Linux files decode to, within CORRELATION;
- without that DLL in its folder (one in the current folder does not
  count), or with one lacking libsndfile's entry points, a FLAC output fails
  with the reason and writes nothing, and WAV still works.

libopus and libFLAC are built for Windows with SSE2 floating point, as on
Linux, so the decoded speech and the FLAC file are the same to the bit. Run by ctest in the Windows build
(windows.like_linux), which `make test-windows` gives the Linux programs.
"""
import array
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
# The lowest correlation of a Windows Ogg Opus or MP3 file's samples with the
# Linux one's. The encoders are the same versions built with SSE2 arithmetic
# on both, and measured 1.0000 for both formats (the same samples); the
# bound leaves room for another machine's SIMD paths in the encoders and
# the resampler, while a shift by one sample or a wrong rate falls well
# below it.
CORRELATION = 0.999


def fail(text):
    sys.exit(f"windows_like_linux: FAILED: {text}")


def exported_names(dll):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(dll)], check=True,
                          capture_output=True, text=True).stdout
    table = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    return {line.split()[-1] for line in table.splitlines()[1:] if line.strip()}


# The programs find their codec beside them, as installed: not elsewhere.
# The tags' date is local time: one zone, an hour east of UTC, for both.
ENV = {k: v for k, v in os.environ.items() if k != "LD_LIBRARY_PATH"} | {"TZ": "CET-1"}


def run(program, args, folder):
    done = subprocess.run(program + args, cwd=folder, env=ENV, capture_output=True, text=True)
    if done.returncode != 0:
        fail(f"{' '.join(program + args)} in {folder}: status {done.returncode}\n"
             f"{done.stdout}{done.stderr}")


def decoded(path):
    """The 16-bit samples ffmpeg decodes from `path`."""
    raw = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "s16le", "-"],
                         check=True, capture_output=True).stdout
    values = array.array("h")
    values.frombytes(raw[: len(raw) // 2 * 2])
    return values


def correlation(a, b):
    n = min(len(a), len(b))
    dot = sum(x * y for x, y in zip(a[:n], b[:n]))
    energy = sum(x * x for x in a[:n]) * sum(y * y for y in b[:n])
    return dot / energy ** 0.5 if energy else 0.0


def main():
    windows_bin, linux_bin = (pathlib.Path(p).resolve() for p in sys.argv[1:3])
    declared = set(re.findall(r"VEK_CALL (vVek_\w+)", (ROOT / "codec/vek.h").read_text()))
    missing = declared - exported_names(windows_bin / "Vek.dll")
    if missing:
        fail(f"Vek.dll does not export {', '.join(sorted(missing))} under the bare name")
    print(f"Vek.dll exports {', '.join(sorted(declared))}")

    wine = [str(ROOT / "scripts/wine-run")]
    with tempfile.TemporaryDirectory() as tmp:
        linux, windows = pathlib.Path(tmp, "linux"), pathlib.Path(tmp, "windows")
        linux.mkdir()
        windows.mkdir()

        def both(program, *args, inputs=()):
            for name in inputs:
                for folder in (linux, windows):
                    shutil.copy(name, folder / pathlib.Path(name).name)
            run([str(linux_bin / program)], list(args), linux)
            run(wine + [str(windows_bin / (program + ".exe"))], list(args), windows)

        def same(name):
            a, b = (linux / name).read_bytes(), (windows / name).read_bytes()
            if a != b:
                fail(f"{name} differs between Linux and Windows")
            print(f"{name} is the same on Linux and Windows ({len(a)} bytes)")

        both("ondavo-cli", "decode", "-q", "dictation.DVR", inputs=[ROOT / "samples/dictation.DVR"])
        same("dictation.WAV")
        for folder in (linux, windows):  # the tags' date
            os.utime(folder / "dictation.DVR", (1709645400, 1709645400))
        both("ondavo-cli", "decode", "-q", "--format", "flac", "dictation.DVR")
        same("dictation.flac")
        for name in ("opus", "mp3"):
            both("ondavo-cli", "decode", "-q", "--format", name, "dictation.DVR")
            similar = correlation(*(decoded(f / f"dictation.{name}") for f in (linux, windows)))
            if similar < CORRELATION:
                fail(f"dictation.{name}: Windows's correlates with Linux's at {similar:.4f}")
            print(f"dictation.{name} decodes as on Linux (correlation {similar:.4f})")
        missing_dll(pathlib.Path(tmp), windows_bin, wine)
        pcm = (linux / "dictation.WAV").read_bytes()[44:]
        for folder in (linux, windows):
            (folder / "voice.pcm").write_bytes(pcm)
        both("ondavo-cli", "encode", "-q", "voice.pcm")
        same("voice.DVR")
        both("vek-codec", "pack", "--mode", "vbr", "voice.pcm", "packed.DVR")
        same("packed.DVR")
        both("vek-codec", "unpack", "voice.DVR", "unpacked.pcm")
        same("unpacked.pcm")
        for mode in ("high", "mid", "low", "vbr"):
            both("vek-codec", "pack", "--mode", mode, "speech.pcm", f"speech-{mode}.DVR",
                 inputs=[ROOT / "tests/data/speech.pcm"])
            same(f"speech-{mode}.DVR")
            both("ondavo-cli", "decode", "-q", f"speech-{mode}.DVR")
            same(f"speech-{mode}.WAV")


def missing_dll(tmp, windows_bin, wine):
    """FLAC without libsndfile-1.dll in the program's folder, and with a wrong one."""
    bare, here = tmp / "bare", tmp / "here"
    bare.mkdir()
    here.mkdir()
    for name in ("ondavo-cli.exe", "Vek.dll"):
        shutil.copy(windows_bin / name, bare)
    for name in ("libsndfile-1.dll", "libmp3lame-0.dll", "libmpg123-0.dll"):
        shutil.copy(windows_bin / name, here)  # the current folder is never searched
    shutil.copy(ROOT / "samples/dictation.DVR", here)
    cli = wine + [str(bare / "ondavo-cli.exe"), "decode", "-q"]
    run(cli, ["dictation.DVR"], here)
    if not (here / "dictation.WAV").exists():
        fail("no WAV without libsndfile-1.dll")
    # Wine's words for a missing DLL; Windows' own are "The specified module
    # could not be found."
    rows = [("missing", "could not be loaded from the program's folder: Module not found."),
            ("another DLL", "has no entry point sf_open_virtual")]
    for case, reason in rows:
        if case == "another DLL":
            shutil.copy(bare / "Vek.dll", bare / "libsndfile-1.dll")
        done = subprocess.run(cli + ["--format", "flac", "dictation.DVR"], cwd=here, env=ENV,
                              capture_output=True, text=True)
        expected = (f"Can't write file dictation.flac (libsndfile-1.dll {reason})\n"
                    "Nothing was written to file dictation.flac\n")
        if done.returncode != 1 or done.stderr != expected or (here / "dictation.flac").exists():
            fail(f"FLAC with libsndfile-1.dll {case}: status {done.returncode}, "
                 f"{done.stderr!r}, expected {expected!r}")
        print(f"FLAC with libsndfile-1.dll {case} fails: {expected!r}")


if __name__ == "__main__":
    main()
