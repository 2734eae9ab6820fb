#!/usr/bin/env python3
"""ondavo-cli's output formats read back by programs of their own, and pipes.

    tests/formats_test.py BIN_DIR

- Each format is read by ffprobe (codec, rate, tags) and decoded by ffmpeg:
  its length is the WAV's within one frame; FLAC's samples are the WAV's
  exactly, Ogg Opus's and MP3's correlate with them.
- -c writes the output to a real pipe: the WAV's bytes are the file's,
  sizes included; a recording read from standard input (`-`) gives what
  the file gives; a reader that goes away ends the run with status 1.
- -c and - are refused where they cannot work, each with its reason.
"""
import array
import json
import os
import pathlib
import subprocess
import sys
import tempfile

FAILURES = []


def check(ok, text):
    if not ok:
        FAILURES.append(text)


def samples(raw):
    values = array.array("h")
    values.frombytes(raw[: len(raw) // 2 * 2])
    return values


def correlation(a, b, reach=200):
    """The best normalised correlation of b against a within +-reach samples."""
    n = min(len(a), len(b)) - 2 * reach
    energy_a = sum(x * x for x in a[reach:reach + n])
    best = 0.0
    for lag in range(-reach, reach + 1, 1):
        window = b[reach + lag:reach + lag + n]
        dot = sum(x * y for x, y in zip(a[reach:reach + n], window))
        energy_b = sum(y * y for y in window)
        if energy_a and energy_b:
            best = max(best, dot / (energy_a * energy_b) ** 0.5)
    return best


def main():
    bin_dir = pathlib.Path(sys.argv[1]).resolve()
    cli = [str(bin_dir / "ondavo-cli")]
    env = dict(os.environ, TZ="CET-1")  # one hour east of UTC, all year
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp)
        speech = pathlib.Path(__file__).parent / "data/speech.pcm"
        memo = folder / "memo 1.DVR"
        subprocess.run([str(bin_dir / "vek-codec"), "pack", str(speech), str(memo)], check=True)
        os.utime(memo, (1709645400, 1709645400))  # 2024-03-05 13:30 UTC
        run = lambda args, **kw: subprocess.run(cli + args, env=env, capture_output=True, **kw)
        check(run(["decode", "-q", str(memo)]).returncode == 0, "decode to WAV")
        wav = (folder / "memo 1.WAV").read_bytes()
        reference = samples(wav[44:])

        expected = {"flac": ("flac", "8000", {"title": "memo 1", "date": "2024-03-05T14:30:00+01:00"}),
                    "opus": ("opus", "48000", {"TITLE": "memo 1", "DATE": "2024-03-05T14:30:00+01:00"}),
                    "mp3": ("mp3", "8000", {"title": "memo 1", "date": "2024"})}
        for name, (codec, rate, tags) in expected.items():
            done = run(["decode", "-q", "--format", name, str(memo)])
            output = folder / f"memo 1.{name}"
            check(done.returncode == 0 and output.exists(), f"{name}: {done.stderr!r}")
            if not output.exists():
                continue
            probe = json.loads(subprocess.run(
                ["ffprobe", "-v", "error", "-show_streams", "-show_format", "-of", "json",
                 str(output)], capture_output=True, check=True).stdout)
            stream = probe["streams"][0]
            found = {**probe["format"].get("tags", {}), **stream.get("tags", {})}
            check(stream["codec_name"] == codec and stream["sample_rate"] == rate,
                  f"{name}: codec {stream['codec_name']} at {stream['sample_rate']} Hz")
            for key, value in tags.items():
                check(found.get(key) == value, f"{name}: tag {key} is {found.get(key)!r}, not {value!r}")
            if name != "mp3":
                software = found.get("software", found.get("ENCODER", ""))
                check(software.startswith("Ondavo "), f"{name}: encoder tag {software!r}")
            decoded = samples(subprocess.run(
                ["ffmpeg", "-v", "error", "-i", str(output), "-f", "s16le", "-ac", "1", "-ar", "8000",
                 "-"], capture_output=True, check=True).stdout)
            check(abs(len(decoded) - len(reference)) <= 160,
                  f"{name}: {len(decoded)} samples, the WAV {len(reference)}")
            if name == "flac":
                check(decoded == reference, "flac: the samples are not the WAV's")
            else:
                similar = correlation(reference, decoded)
                check(similar >= 0.8, f"{name}: correlates with the WAV at {similar:.2f}")

        # Pipes: the WAV's bytes, sizes included, from a file and from standard input.
        piped = run(["decode", "-c", str(memo)])
        check(piped.stdout == wav and piped.returncode == 0, f"-c: {piped.stderr!r}")
        with open(memo, "rb") as recording:
            piped = subprocess.run(cli + ["decode", "-c", "-"], stdin=recording, env=env,
                                   capture_output=True)
        check(piped.stdout == wav, f"-c -: {len(piped.stdout)} bytes, {piped.stderr!r}")

        # A reader that goes away: a long recording into a pipe closed early.
        long = folder / "long.DVR"
        long.write_bytes(memo.read_bytes() + memo.read_bytes()[14:] * 200)
        writer = subprocess.Popen(cli + ["decode", "-c", str(long)], env=env,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        writer.stdout.read(100)
        writer.stdout.close()
        err = writer.stderr.read().decode()
        check(writer.wait() == 1 and "Broken pipe" in err, f"broken pipe: {writer.returncode} {err!r}")
        check(not (folder / "long.WAV").exists(), "-c wrote a file")

        # Where -c and - cannot work.
        refusals = [
            (["decode", "-c", str(memo), str(memo)], "ondavo-cli: -c takes one input\n"),
            (["decode", "-c", "-r", tmp], "ondavo-cli: -c does not go with -r\n"),
            (["decode", "-c", "-n", str(memo)], "ondavo-cli: -c does not go with -n\n"),
            (["decode", "-c", "-j", "2", str(memo)], "ondavo-cli: -c does not go with -j\n"),
            (["decode", "-c", "--keep-time", str(memo)],
             "ondavo-cli: -c does not go with --keep-time\n"),
            (["decode", "-c", "-o", tmp, str(memo)], "ondavo-cli: -c does not go with -o\n"),
            (["decode", "-"], "ondavo-cli: - reads a recording from standard input; it needs -c\n"),
            (["decode", "--format", "ogg", str(memo)],
             "ondavo-cli: --format takes wav, flac, opus or mp3, not 'ogg'\n"),
            (["decode", "--bitrate", "24", str(memo)],
             "ondavo-cli: --bitrate sets the size of opus and mp3 files only\n"),
        ]
        for args, message in refusals:
            done = run(args, stdin=subprocess.DEVNULL)
            check(done.returncode == 2 and done.stderr.decode() == message,
                  f"{args}: status {done.returncode}, {done.stderr!r}")
        closed = subprocess.run(" ".join(cli) + f" decode -c '{memo}' >&-", shell=True, env=env,
                                capture_output=True)
        check(closed.returncode == 2 and closed.stderr ==
              b"ondavo-cli: -c writes to standard output, which is closed\n",
              f"-c with standard output closed: {closed.returncode} {closed.stderr!r}")
        terminal = subprocess.run(["script", "-qec", f"{cli[0]} decode -c '{memo}'", "/dev/null"],
                                  env=env, capture_output=True)
        check(b"ondavo-cli: -c does not write audio to a terminal; send it to a file or a pipe"
              in terminal.stdout, f"-c on a terminal: {terminal.stdout!r}")
    for failure in FAILURES:
        print(f"formats_test: FAILED: {failure}")
    print(f"formats_test: {'ok' if not FAILURES else f'{len(FAILURES)} failed'}")
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
