#!/usr/bin/env python3
"""Cross-check of the firmware upgrade against an independent Intel HEX library.

Images are written with python3-intelhex (each flash sector as its own image,
so that each begins with its own extended address record, then joined), then
upgraded into the simulated instrument by upgrade_hex_image. Checked:
- every sector-file line holds the words the library reads at that record's
  address (addresses are word addresses: word k of a record at A is the
  library's bytes at A + 2k and A + 2k + 1), and the lines cover every byte;
- the flash frames are the upgrade's sequence for those lines;
- the instrument's sectors H, G and F hold the image afterwards;
- corrupted images send no flash command at all.

    intelhex_check.py PATH/TO/upgrade_hex_image
"""
import io
import os
import random
import subprocess
import sys
import tempfile

try:
    from intelhex import IntelHex
except ImportError:
    print("FAIL: python3 with intelhex is needed (scripts/install-deps.sh)")
    sys.exit(1)

SECTORS = {"A": (0x003F6000, 7), "B": (0x003F4000, 6), "C": (0x003F2000, 5),
           "D": (0x003F0000, 4), "E": (0x003EE000, 3), "F": (0x003EC000, 2),
           "G": (0x003EA000, 1), "H": (0x003E8000, 0)}
PASSES = [("H", "E"), ("G", "D"), ("F", "C")]
QUESTION = "About to Update Firmware. Do you want to continue?"
UPDATED = ("Firmware updated... Please power cycle Ostra by unplugging and plugging USB "
           "cable and restart application software")
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
    return condition


def hex_text(ih, byte_count):
    out = io.StringIO()
    ih.write_hex_file(out, byte_count=byte_count)
    return out.getvalue()


def make_image(rng, sectors, byte_count=32):
    """Joined text of one intelhex image per sector, and the library's bytes."""
    parts = []
    library = IntelHex()
    for letter in sectors:
        base = SECTORS[letter][0]
        offset = 2 * rng.randrange(0, 0x400)
        words = rng.randrange(1, 0x600)
        ih = IntelHex()
        ih.puts(base + offset, bytes(rng.randrange(256) for _ in range(2 * words)))
        parts.append(ih)
    code_start = IntelHex()
    code_start.puts(0x003F7FF6, bytes([0x00, 0x40, 0x00, 0x00]))
    parts.append(code_start)
    text = ""
    for ih in parts:
        library.merge(ih)
        lines = hex_text(ih, byte_count).splitlines()
        text += "\r\n".join(l for l in lines if l.upper() != ":00000001FF") + "\r\n"
    return text + ":00000001FF\r\n", library


def run(tool, image_text, parent):
    folder = tempfile.mkdtemp(dir=parent)
    path = os.path.join(folder, "image.hex")
    with open(path, "w", newline="") as f:
        f.write(image_text)
    result = subprocess.run([tool, path, folder], capture_output=True, text=True, check=True)
    messages, frames, flash = [], [], {}
    for line in result.stdout.splitlines():
        kind, _, rest = line.partition(" ")
        if kind == "MESSAGE":
            messages.append(rest)
        elif kind == "FRAME":
            frames.append(bytes.fromhex(rest))
        elif kind == "FLASH":
            letter, words = rest.split(" ")
            flash[letter] = [int(words[i:i + 4], 16) for i in range(0, len(words), 4)]
    return messages, frames, flash, folder


def read_sector_file(path):
    lines = []
    with open(path, newline="") as f:
        for line in f.read().split("\r\n"):
            if line:
                lines.append((int(line[:8], 16),
                              [int(line[i:i + 4], 16) for i in range(8, len(line), 4)]))
    return lines


def check_upgrade(tool, name, text, library, sectors, parent):
    messages, frames, flash, folder = run(tool, text, parent)
    check(messages == [QUESTION, UPDATED], f"{name}: messages {messages}")
    covered = set()
    expected_frames = []
    for source, staging in PASSES:
        path = os.path.join(folder, f"sector_{source.lower()}.txt")
        check(os.path.exists(path) == (source in sectors), f"{name}: sector file {source}")
        base, code = SECTORS[source][0], SECTORS[staging][1]
        # Every staging sector is erased and read back, with data or without.
        expected_frames.append(bytes([2, 0x10, code]))
        if not os.path.exists(path):
            check(flash[source] == [0xFFFF] * 8192, f"{name}: sector {source} not erased")
            expected_frames.append(bytes([2, 0x12, code]))
            continue
        image = [0xFFFF] * 8192
        for address, words in read_sector_file(path):
            theirs = [(library[address + 2 * k] << 8) | library[address + 2 * k + 1]
                      for k in range(len(words))]
            check(words == theirs, f"{name}: the words of the line at {address:08X}")
            for k, word in enumerate(words):
                covered.update((address + 2 * k, address + 2 * k + 1))
                image[address - base + k] = word
            offset = address - base
            for first in range(0, len(words), 16):
                chunk = words[first:first + 16]
                frame = bytes([2 * len(chunk) + 4, 0x11, code, (offset + first) >> 8,
                               (offset + first) & 0xFF])
                expected_frames.append(frame + b"".join(w.to_bytes(2, "big") for w in chunk))
        expected_frames.append(bytes([2, 0x12, code]))
        check(flash[source] == image, f"{name}: the instrument's sector {source}")
    for address, words in read_sector_file(os.path.join(folder, "sector_a.txt")):
        covered.update(address + i for i in range(2 * len(words)))
    check(covered == set(library.addresses()), f"{name}: sector files cover the image")
    expected_frames += [bytes([1, 0x16]), bytes([21, 0x15, 0x00, 0x40, 0x00, 0x00]) + b"\xff\xff" * 8,
                        bytes([1, 0x16]), bytes([1, 0x14])]
    check(frames == expected_frames, f"{name}: flash frames ({len(frames)} sent, "
                                     f"{len(expected_frames)} expected)")


def check_refused(tool, name, text, parent):
    messages, frames, _, _ = run(tool, text, parent)
    check(frames == [], f"{name}: {len(frames)} flash frames sent")
    check(len(messages) == 2 and messages[0] == QUESTION and messages[1].startswith("Firmware image not accepted, line"),
          f"{name}: messages {messages}")


def main():
    tool = sys.argv[1]
    rng = random.Random(20240417)
    with tempfile.TemporaryDirectory() as folder:
        for n, sectors in enumerate(["HGF", "H", "HF", "HGF"]):
            text, library = make_image(rng, sectors, byte_count=32 if n % 2 == 0 else 16)
            check_upgrade(tool, f"image {n} ({sectors})", text, library, sectors, folder)
            if n == 0:
                check_upgrade(tool, "lower-case image", text.lower(), library, sectors, folder)
                lines = text.split("\r\n")
                bad = list(lines)
                bad[3] = bad[3][:-2] + ("00" if bad[3][-2:] != "00" else "01")
                check_refused(tool, "bad checksum", "\r\n".join(bad), folder)
                check_refused(tool, "truncated", text[: len(text) // 2], folder)
                check_refused(tool, "no end record", text.replace(":00000001FF\r\n", ""), folder)
    for failure in failures[:20]:
        print("FAIL:", failure)
    print("intelhex cross-check:", "FAILED" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
