#!/usr/bin/env python3
"""Converts recordings made by real audio tools and reads the outputs back.

Inputs come from sox, Python's wave module, ffmpeg (when installed) and byte
by byte ("rcvr" chunks, LIST/INFO with odd-length strings). Each is converted;
accepted ones are read back with libsndfile (its C API, through ctypes), sox
and Python's wave (PCM only): the sample bytes must equal the input's data
chunk, the rate and channels must match, and no reader may report a
structural fault. Inputs the converter rejects must give their exact header
error. Prints a table; exits 0 when every row is as expected, 1 otherwise, 77
(skipped) when sox or libsndfile is missing.

    interop_test.py --converter PATH/TO/kordimalen
"""
import argparse
import ctypes
import ctypes.util
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

SKIP = 77


def chunks_of(data):
    """(id, offset of content, size) for each chunk after the RIFF header, with pad bytes."""
    pos, found = 12, []
    while pos + 8 <= len(data):
        cid, size = data[pos:pos + 4], struct.unpack("<I", data[pos + 4:pos + 8])[0]
        found.append((cid, pos + 8, size))
        pos += 8 + size + (size & 1)
    return found


def fmt_and_samples(data):
    """(format tag, channels, rate, sample bytes of the data chunk)."""
    fmt = samples = None
    for cid, at, size in chunks_of(data):
        if cid == b"fmt " and fmt is None:
            fmt = struct.unpack("<HHI", data[at:at + 8])
        elif cid == b"data":
            samples = data[at:at + size]
            break
    return fmt[0], fmt[1], fmt[2], samples


def insert_before_data(data, extra):
    """Puts chunk bytes right before "data" and corrects the RIFF size."""
    at = next(a for cid, a, _ in chunks_of(data) if cid == b"data") - 8
    out = data[:at] + extra + data[at:]
    return out[:4] + struct.pack("<I", len(out) - 8) + out[8:]


def chunk(cid, content, pad=True):
    return cid + struct.pack("<I", len(content)) + content + (b"\0" if pad and len(content) % 2 else b"")


def info_list(*pairs):
    body = b"INFO" + b"".join(chunk(k, v.encode() + b"\0") for k, v in pairs)
    return chunk(b"LIST", body)


# ---------------------------------------------------------------- producers

def sox_file(path, bits, encoding, channels, wavpcm=False, rate=8000):
    cmd = ["sox", "-n", "-r", str(rate), "-c", str(channels), "-b", str(bits), "-e", encoding]
    cmd += ["-t", "wavpcm"] if wavpcm else []
    subprocess.run(cmd + [path, "synth", "0.0371", "sine", "300-3000"], check=True)


def python_wave_file(path, width, channels, rate=11025, frames=501):
    rng = random.Random(width * 10 + channels)
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(bytes(rng.randrange(256) for _ in range(frames * width * channels)))


def ffmpeg_file(path, codec, channels, metadata=True):
    cmd = ["ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=0.0371",
           "-ar", "8000", "-ac", str(channels), "-c:a", codec]
    cmd += ["-metadata", "title=odd title", "-metadata", "artist=kordimalen"] if metadata else ["-bitexact"]
    subprocess.run(cmd + [path], check=True)


def byte_built(path, rcvr_content, extra=b"", tag=1, channels=2, align=4, samples=b"\x01\x02\x03\x04" * 25):
    fmt = struct.pack("<HHIIHH", tag, channels, 48000, 48000 * align, align, align * 8 // channels)
    body = b"WAVE" + chunk(b"fmt ", fmt) + extra + chunk(b"rcvr", rcvr_content) + chunk(b"data", samples)
    with open(path, "wb") as f:
        f.write(b"RIFF" + struct.pack("<I", len(body)) + body)


# ------------------------------------------------------------------ readers

class SndFile:
    """The parts of libsndfile's C API that the check needs."""

    class Info(ctypes.Structure):
        _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int), ("channels", ctypes.c_int),
                    ("format", ctypes.c_int), ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]

    SFM_READ = 0x10
    SFC_GET_LOG_INFO = 0x1001
    # Bytes per sample of the SF_FORMAT_* subtypes a wave file can hold.
    SUBTYPE_BYTES = {0x1: 1, 0x2: 2, 0x3: 3, 0x4: 4, 0x5: 1, 0x6: 4, 0x7: 8}

    def __init__(self):
        name = ctypes.util.find_library("sndfile") or "libsndfile.so.1"
        self.lib = ctypes.CDLL(name)
        self.lib.sf_open.restype = ctypes.c_void_p
        self.lib.sf_open.argtypes = [ctypes.c_char_p, ctypes.c_int, ctypes.POINTER(SndFile.Info)]
        self.lib.sf_read_raw.restype = ctypes.c_int64
        self.lib.sf_read_raw.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int64]
        self.lib.sf_command.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p, ctypes.c_int]
        self.lib.sf_close.argtypes = [ctypes.c_void_p]

    def read(self, path):
        """(rate, channels, raw sample bytes, log) or raises."""
        info = SndFile.Info()
        handle = self.lib.sf_open(path.encode(), SndFile.SFM_READ, ctypes.byref(info))
        if not handle:
            raise RuntimeError("libsndfile cannot open it")
        log = ctypes.create_string_buffer(16384)
        self.lib.sf_command(handle, SndFile.SFC_GET_LOG_INFO, log, len(log))
        # Raw reads must be whole frames: ask for exactly the frames it found.
        size = info.frames * info.channels * SndFile.SUBTYPE_BYTES[info.format & 0xFFFF]
        buffer = ctypes.create_string_buffer(max(size, 1))
        got = self.lib.sf_read_raw(handle, buffer, size)
        self.lib.sf_close(handle)
        return info.samplerate, info.channels, buffer.raw[:got], log.value.decode(errors="replace")


# Notes that every output gets and that are not faults: "auxi" is a chunk that
# libsndfile does not know, and a float input's "fact" chunk is one of the
# chunks between "fmt " and "data" that the format leaves out.
EXPECTED_NOTES = ("auxi : 68 (unknown marker)", "should have a 'fact' chunk")


def sndfile_complaints(log, path):
    """Complaints in libsndfile's log, and a RIFF size that is not the file's length - 8."""
    complaints = set()
    length = os.path.getsize(path)
    for line in log.splitlines():
        if any(note in line for note in EXPECTED_NOTES):
            continue
        if line.startswith("RIFF : ") and int(line.split()[2]) != length - 8:
            complaints.add("RIFF size %s but file length %d" % (line.split()[2], length))
        elif line.startswith("*") or any(w in line.lower() for w in ("should be", "truncat", "unexpected", "error", "warn")):
            complaints.add(line.strip(" *"))
    return complaints


def sox_decode(path):
    run = subprocess.run(["sox", "-V2", path, "-t", "raw", "-"], capture_output=True)
    if run.returncode != 0:
        raise RuntimeError(run.stderr.decode().strip())
    info = [subprocess.run(["sox", "--i", flag, path], capture_output=True, text=True).stdout.strip()
            for flag in ("-r", "-c")]
    warnings = {line for line in run.stderr.decode().splitlines() if line.strip()}
    return int(float(info[0])), int(info[1]), run.stdout, warnings


def python_wave_read(path):
    with wave.open(path, "rb") as w:
        return w.getframerate(), w.getnchannels(), w.readframes(w.getnframes())


# -------------------------------------------------------------------- check

def check(converter, sndfile, work, name, made_by, expected_error):
    """Converts work/name; returns the table row and whether it is as expected."""
    path = os.path.join(work, name)
    source = open(path, "rb").read()
    run = subprocess.run([converter, name], cwd=work, capture_output=True)
    printed = run.stdout.decode(errors="replace")
    tag = struct.unpack("<H", source[20:22])[0] if len(source) >= 22 else None
    fmt_desc = "tag %s, %d ch, %d bytes/sample" % (
        hex(tag), struct.unpack("<H", source[22:24])[0],
        struct.unpack("<H", source[32:34])[0] // max(1, struct.unpack("<H", source[22:24])[0]))
    row = [made_by, name, fmt_desc]
    if run.stderr:
        return row + ["stderr: " + run.stderr.decode(errors="replace")], False
    if expected_error is not None:
        want = "Error in .wav file header [%d]" % expected_error
        ok = run.returncode == 1 and printed.endswith(want)
        return row + ["header error %d" % expected_error if ok else "UNEXPECTED: " + printed.strip().replace("\n", " "), "-"], ok
    if run.returncode != 0:
        return row + ["UNEXPECTED: " + printed.strip().replace("\n", " "), "-"], False

    out_path = os.path.join(work, "kordimalen-" + name)
    tag, channels, rate, samples = fmt_and_samples(source)
    bytes_per_sample = struct.unpack("<H", source[32:34])[0] // channels
    verdicts, ok = [], True

    # A reader may complain about the output only where it complains about
    # the input too: the conversion adds no fault of its own.
    s_rate, s_channels, s_raw, log = sndfile.read(out_path)
    added = sndfile_complaints(log, out_path) - sndfile_complaints(sndfile.read(path)[3], path)
    whole_frames = samples[:len(samples) - len(samples) % (channels * bytes_per_sample)]
    good = s_raw == whole_frames and len(s_raw) > 0 and (s_rate, s_channels) == (rate, channels) and not added
    verdicts.append("libsndfile " + ("equal" if good else "DIFFERS " + "; ".join(sorted(added))))
    ok &= good

    x_rate, x_channels, x_raw, warnings = sox_decode(out_path)
    _, _, x_raw_in, warnings_in = sox_decode(path)
    added = warnings - warnings_in
    good = x_raw == x_raw_in and (x_rate, x_channels) == (rate, channels) and not added
    verdicts.append("sox " + ("equal" if good else "DIFFERS " + "; ".join(sorted(added))))
    ok &= good

    if tag == 1:
        p_rate, p_channels, p_raw = python_wave_read(out_path)
        good = p_raw == samples and (p_rate, p_channels) == (rate, channels)
        verdicts.append("wave " + ("equal" if good else "DIFFERS"))
        ok &= good
    else:
        verdicts.append("wave: format not supported")
    return row + ["accepted", ", ".join(verdicts)], ok


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--converter", required=True)
    parser.add_argument("--keep", help="folder to keep the corpus in")
    args = parser.parse_args()
    converter = os.path.abspath(args.converter)
    if not shutil.which("sox"):
        print("skipped: sox is not installed")
        return SKIP
    try:
        sndfile = SndFile()
    except OSError:
        print("skipped: libsndfile is not installed")
        return SKIP

    work = args.keep or tempfile.mkdtemp(prefix="kordimalen-interop-")
    os.makedirs(work, exist_ok=True)
    cases = []  # (file name, made by, expected header error or None)

    def add(name, made_by, produce, expected_error=None):
        produce(os.path.join(work, name))
        cases.append((name, made_by, expected_error))

    for bits, enc, ch in ((8, "unsigned-integer", 1), (8, "unsigned-integer", 2), (16, "signed-integer", 1),
                          (16, "signed-integer", 2), (32, "floating-point", 1), (32, "floating-point", 2)):
        add("sox-%d%s-%d.wav" % (bits, enc[0], ch), "sox", lambda p, b=bits, e=enc, c=ch: sox_file(p, b, e, c))
    for ch in (1, 2):
        add("sox-wavpcm-24-%d.wav" % ch, "sox -t wavpcm", lambda p, c=ch: sox_file(p, 24, "signed-integer", c, True))
        add("sox-24-%d.wav" % ch, "sox", lambda p, c=ch: sox_file(p, 24, "signed-integer", c), 5)
    add("sox-32i-1.wav", "sox", lambda p: sox_file(p, 32, "signed-integer", 1), 5)
    add("sox-wavpcm-32i-1.wav", "sox -t wavpcm", lambda p: sox_file(p, 32, "signed-integer", 1, True), 13)
    add("sox-16-3ch.wav", "sox", lambda p: sox_file(p, 16, "signed-integer", 3), 5)
    add("sox-64f-1.wav", "sox", lambda p: sox_file(p, 64, "floating-point", 1), 9)

    def with_info(produce, *pairs):
        def made(p):
            produce(p)
            data = open(p, "rb").read()
            open(p, "wb").write(insert_before_data(data, info_list(*pairs)))
        return made

    add("sox-16-2-info.wav", "sox + LIST/INFO",
        with_info(lambda p: sox_file(p, 16, "signed-integer", 2), (b"INAM", "odd"), (b"ICMT", "even")))
    add("sox-32f-2-info.wav", "sox + LIST/INFO",
        with_info(lambda p: sox_file(p, 32, "floating-point", 2), (b"ISFT", "x")))

    for width in (1, 2, 3):
        for ch in (1, 2):
            add("wave-%d-%d.wav" % (width * 8, ch), "python wave", lambda p, w=width, c=ch: python_wave_file(p, w, c))
    add("wave-24-2-info.wav", "python wave + LIST/INFO",
        with_info(lambda p: python_wave_file(p, 3, 2, frames=333), (b"IART", "abc"), (b"INAM", "de")))
    add("wave-32-1.wav", "python wave", lambda p: python_wave_file(p, 4, 1), 13)
    add("wave-16-3.wav", "python wave", lambda p: python_wave_file(p, 2, 3), 6)

    if shutil.which("ffmpeg"):
        # ffmpeg writes WAVE_FORMAT_EXTENSIBLE for anything wider than 16 bits.
        for codec, ch, err in (("pcm_u8", 1, None), ("pcm_u8", 2, None), ("pcm_s16le", 1, None),
                               ("pcm_s16le", 2, None), ("pcm_s24le", 2, 5), ("pcm_f32le", 1, 5), ("pcm_s32le", 1, 5)):
            add("ffmpeg-%s-%d.wav" % (codec, ch), "ffmpeg (LIST/INFO)", lambda p, k=codec, c=ch: ffmpeg_file(p, k, c), err)
    else:
        print("ffmpeg is not installed: its rows are left out")

    add("rcvr-4.wav", "bytes: rcvr", lambda p: byte_built(p, struct.pack("<I", 145800000)))
    add("rcvr-3-pad.wav", "bytes: odd rcvr + pad", lambda p: byte_built(p, b"\x01\x02\x03"))
    add("rcvr-list.wav", "bytes: LIST + rcvr",
        lambda p: byte_built(p, struct.pack("<I", 7), info_list((b"ISFT", "receiver"))))
    add("rcvr-float.wav", "bytes: float + rcvr",
        lambda p: byte_built(p, struct.pack("<I", 9), tag=3, channels=1, align=4))

    rows, failures = [], 0
    for name, made_by, expected_error in cases:
        row, ok = check(converter, sndfile, work, name, made_by, expected_error)
        rows.append(row)
        failures += not ok
        if not ok:
            print("NOT AS EXPECTED: " + " | ".join(row))
    print("| made by | file | format | converter | read back |")
    print("|---|---|---|---|---|")
    for row in rows:
        print("| " + " | ".join(row) + " |")
    if not args.keep:
        shutil.rmtree(work)
    print("%d passed, %d failed" % (len(rows) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
