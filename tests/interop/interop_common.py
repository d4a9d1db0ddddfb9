"""Helpers shared by the checks against other image and disk tools."""

import importlib.util
import shutil
import struct
import subprocess
import sys

SKIP = 77  # the CTest skip status of these tests

# The colours tiledump writes for each sheet index, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x00, 0x00, 0xFF), (0xFF, 0x00, 0x00),
    (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0x00), (0x00, 0xFF, 0xFF),
    (0xFF, 0xFF, 0x00), (0xFF, 0xFF, 0xFF),
    (0x80, 0x80, 0x80), (0x00, 0x00, 0x80), (0x80, 0x00, 0x00),
    (0x80, 0x00, 0x80), (0x00, 0x80, 0x00), (0x00, 0x80, 0x80),
    (0x80, 0x80, 0x00), (0xC0, 0xC0, 0xC0),
]

SIDE = 256  # the sheet is SIDE x SIDE pixels
FOUR_BIT_OFFSET = 54 + 16 * 4
FOUR_BIT_ROW = SIDE // 2


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def need_program(name):
    if shutil.which(name) is None:
        skip(f"'{name}' is not installed")


def need_pillow():
    if importlib.util.find_spec("PIL") is None:
        skip(f"Pillow is not installed for {sys.executable}")


def run(args, cwd, stdin=None):
    """Runs a program; (exit status, standard output, standard error)."""
    done = subprocess.run(args, cwd=cwd, input=stdin, capture_output=True)
    return done.returncode, done.stdout, done.stderr


def run_ok(args, cwd, stdin=None):
    """Runs a program that must succeed; its standard output."""
    status, out, err = run(args, cwd, stdin)
    if status != 0:
        sys.exit(f"FAIL: {' '.join(map(str, args))} exited {status}\n"
                 f"{out.decode(errors='replace')}{err.decode(errors='replace')}")
    return out


def make_sheet(workdir, make_samples, tiledump):
    """Writes the sample disks into workdir and dumps their shapes to
    sheet.bmp (zorvan and kelmorane disks)."""
    run_ok([make_samples, "."], workdir)
    run_ok([tiledump, "-d1", "kq-zorvan.d88", "-d2", "kq-kelmorane.d88",
            "sheet.bmp"], workdir)
    return f"{workdir}/sheet.bmp"


def bmp_header(data):
    """(info header size, bits per pixel, compression) of a BMP file's
    bytes; the last two are None for a header shorter than 40 bytes."""
    header_size = struct.unpack_from("<I", data, 14)[0]
    if header_size < 40:
        return header_size, None, None
    bit_count, compression = struct.unpack_from("<HI", data, 28)
    return header_size, bit_count, compression


def sheet_indexes(data):
    """The palette index of every pixel, top row first, of a 256 x 256,
    4-bit bitmap as tiledump writes it."""
    if bmp_header(data) != (40, 4, 0) or len(data) != (
            FOUR_BIT_OFFSET + FOUR_BIT_ROW * SIDE):
        sys.exit("FAIL: the dumped sheet is not a 256 x 256, 4-bit bitmap")
    indexes = []
    for y in range(SIDE):
        start = FOUR_BIT_OFFSET + (SIDE - 1 - y) * FOUR_BIT_ROW
        for byte in data[start:start + FOUR_BIT_ROW]:
            indexes += [byte >> 4, byte & 0x0F]
    return indexes
