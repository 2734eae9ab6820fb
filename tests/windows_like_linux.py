#!/usr/bin/env python3
"""The 32-bit Windows build against a Linux build of the same sources.

    tests/windows_like_linux.py WINDOWS_BIN LINUX_BIN

- Vek.dll exports every entry point vek.h declares under its bare name,
  which is how the programs look them up;
- under Wine, ondavo-cli.exe decodes samples/dictation.DVR to the Linux WAV
  byte for byte, and encodes its samples to the Linux records;
- vek-codec.exe packs and unpacks to the Linux tool's files, and speech
  packed in each mode and decoded again gives the Linux files.

libopus is built for Windows with SSE2 floating point, as on Linux, so the
decoded speech is the same to the bit. Run by ctest in the Windows build
(windows.like_linux), which `make test-windows` gives the Linux programs.
"""
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent


def fail(text):
    sys.exit(f"windows_like_linux: FAILED: {text}")


def exported_names(dll):
    dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(dll)], check=True,
                          capture_output=True, text=True).stdout
    table = dump.split("[Ordinal/Name Pointer] Table", 1)[1].split("\n\n", 1)[0]
    return {line.split()[-1] for line in table.splitlines()[1:] if line.strip()}


# The programs find their codec beside them, as installed: not elsewhere.
ENV = {k: v for k, v in os.environ.items() if k != "LD_LIBRARY_PATH"}


def run(program, args, folder):
    done = subprocess.run(program + args, cwd=folder, env=ENV, capture_output=True, text=True)
    if done.returncode != 0:
        fail(f"{' '.join(program + args)} in {folder}: status {done.returncode}\n"
             f"{done.stdout}{done.stderr}")


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


if __name__ == "__main__":
    main()
