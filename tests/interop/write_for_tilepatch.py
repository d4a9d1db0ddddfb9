"""Bitmaps that a common image tool saves from the dumped sheet load in
tilepatch to the same shapes as tiledump's own bitmap; the variants that
tilepatch does not read (other header types, compression, short palettes)
are refused with its messages and nothing is written.

usage: write_for_tilepatch.py imagemagick|pillow|netpbm
                              MAKE_SAMPLES TILEDUMP TILEPATCH
"""

import os
import sys
import tempfile

from interop_common import (bmp_header, make_sheet, need_pillow,
                            need_program, run, run_ok)

V3_ONLY = ("error: check_bitmap_header() - not supported header type - "
           "support only Windows V3")
COMPRESSED = "error: check_bitmap_header() - not support compression"
SHORT_8_BIT_PALETTE = "error: check_bitmap_header() - offset size 0x76 != 0x436"


def imagemagick(*options, prefix="BMP3:"):
    def save(src, out, workdir):
        run_ok(["convert", src, *options, prefix + out], workdir)
    return save


def netpbm(*options):
    def save(src, out, workdir):
        pnm = run_ok(["bmptopnm", src], workdir)
        with open(out, "wb") as f:
            f.write(run_ok(["ppmtobmp", *options], workdir, stdin=pnm))
    return save


def pillow(mode, full_palette=False):
    def save(src, out, _workdir):
        from PIL import Image
        with Image.open(src) as image:
            picture = image.convert(mode, dither=Image.Dither.NONE)
        if full_palette:
            colours = picture.getpalette()
            picture.putpalette(colours + [0] * (768 - len(colours)))
        picture.save(out)
    return save


# name: (picture, how it is saved, (info header size, bits per pixel,
# compression) of the file, None when tilepatch loads it or else the first
# line of its refusal). The "bw" picture is the sheet in black and white.
CASES = {
    "imagemagick": {
        "bmp3-4bit": ("colour", imagemagick("-type", "palette"),
                      (40, 4, 0), None),
        "bmp3-8bit": ("colour", imagemagick(
            "+dither", "-remap", "netscape:", "-type", "palette",
            "-compress", "none"), (40, 8, 0), None),
        "bmp3-24bit": ("colour", imagemagick("-type", "truecolor"),
                       (40, 24, 0), None),
        "bmp3-32bit": ("colour", imagemagick(
            "-alpha", "set", "-define", "bmp3:alpha=true"), (40, 32, 0), None),
        "bmp3-1bit": ("bw", imagemagick("-type", "bilevel"), (40, 1, 0), None),
        "bmp3-8bit-rle": ("colour", imagemagick(
            "+dither", "-remap", "netscape:", "-type", "palette"),
            (40, 8, 1), COMPRESSED),
        "bmp3-16bit": ("colour", imagemagick(
            "-type", "truecolor", "-define", "bmp:subtype=RGB555"),
            (40, 16, 3), COMPRESSED),
        "default-4bit": ("colour", imagemagick("-type", "palette", prefix=""),
                         (124, 4, 0), V3_ONLY),
        "default-24bit": ("colour", imagemagick("-type", "truecolor",
                                                prefix=""),
                          (124, 24, 0), V3_ONLY),
        "bmp2-4bit": ("colour", imagemagick("-type", "palette",
                                            prefix="BMP2:"),
                      (12, None, None), V3_ONLY),
    },
    "pillow": {
        "P-8bit": ("colour", pillow("P", full_palette=True), (40, 8, 0), None),
        "RGB-24bit": ("colour", pillow("RGB"), (40, 24, 0), None),
        "RGBA-32bit": ("colour", pillow("RGBA"), (40, 32, 0), None),
        "1-1bit": ("bw", pillow("1"), (40, 1, 0), None),
        "L-8bit": ("bw", pillow("L"), (40, 8, 0), None),
        "P-8bit-short-palette": ("colour", pillow("P"), (40, 8, 0),
                                 SHORT_8_BIT_PALETTE),
    },
    "netpbm": {
        "bpp-4": ("colour", netpbm("-bpp=4"), (40, 4, 0), None),
        "bpp-8": ("colour", netpbm("-bpp=8"), (40, 8, 0), None),
        "bpp-24": ("colour", netpbm("-bpp=24"), (40, 24, 0), None),
        "bpp-1": ("bw", netpbm("-bpp=1"), (40, 1, 0), None),
        "os2-4": ("colour", netpbm("-os2", "-bpp=4"), (12, None, None),
                  V3_ONLY),
    },
}

REQUIREMENTS = {
    "imagemagick": lambda: need_program("convert"),
    "pillow": need_pillow,
    "netpbm": lambda: (need_program("bmptopnm"), need_program("ppmtobmp")),
}


def write_black_and_white(sheet, path):
    """The sheet with every coloured pixel white: index 0 stays, any other
    becomes 7, in the same 4-bit file layout."""
    with open(sheet, "rb") as f:
        data = bytearray(f.read())
    for i in range(54 + 64, len(data)):
        high, low = data[i] >> 4, data[i] & 0x0F
        data[i] = (0x70 if high else 0) | (0x07 if low else 0)
    with open(path, "wb") as f:
        f.write(data)


def patch(tilepatch, bitmap, output, workdir):
    """Patches all five disks of the sample game file with the bitmap."""
    return run([tilepatch, "-D", "kq-game.d88", "0", "1", "2", "3", "4",
                "-o", output, bitmap], workdir)


def reference(tilepatch, bitmap, output, workdir):
    status, out, _ = patch(tilepatch, bitmap, output, workdir)
    if status != 0:
        sys.exit(f"FAIL: tilepatch refuses {bitmap}: {out.decode()}")
    with open(os.path.join(workdir, output), "rb") as f:
        return f.read()


def check_case(name, case, sources, references, tilepatch, workdir):
    """None when the case behaves as expected, else what went wrong."""
    picture, save, header, refusal = case
    bitmap = f"{name}.bmp"
    output = f"{name}.d88"
    save(sources[picture], os.path.join(workdir, bitmap), workdir)
    with open(os.path.join(workdir, bitmap), "rb") as f:
        written = bmp_header(f.read())
    if written != header:
        return f"saved with header {written}, expected {header}"
    before = set(os.listdir(workdir))
    status, out, _ = patch(tilepatch, bitmap, output, workdir)
    lines = out.decode(errors="replace").splitlines()
    if refusal is not None:
        expected = [refusal, "error: read_bitmap() - can't read bitmap header",
                    f"error: read bitmap '{bitmap}'"]
        new_files = sorted(set(os.listdir(workdir)) - before)
        if status != 1 or lines != expected or new_files:
            return (f"expected refusal, got status {status}, "
                    f"output {lines}, new files {new_files}")
        return None
    if status != 0 or any(not line.startswith("warning: ") for line in lines):
        return f"tilepatch exited {status}: {lines}"
    with open(os.path.join(workdir, output), "rb") as f:
        if f.read() != references[picture]:
            return "patched disks differ from those patched from tiledump's"
    return None


def main():
    tool, make_samples, tiledump, tilepatch = sys.argv[1:5]
    REQUIREMENTS[tool]()
    failures = 0
    with tempfile.TemporaryDirectory() as workdir:
        sheet = make_sheet(workdir, make_samples, tiledump)
        write_black_and_white(sheet, os.path.join(workdir, "bw.bmp"))
        sources = {"colour": sheet, "bw": os.path.join(workdir, "bw.bmp")}
        references = {
            "colour": reference(tilepatch, "sheet.bmp", "ref-colour.d88",
                                workdir),
            "bw": reference(tilepatch, "bw.bmp", "ref-bw.d88", workdir),
        }
        with open(os.path.join(workdir, "kq-game.d88"), "rb") as f:
            original = f.read()
        if len({original, references["colour"], references["bw"]}) != 3:
            sys.exit("FAIL: the pictures do not change the sample disks")

        for name, case in CASES[tool].items():
            problem = check_case(name, case, sources, references, tilepatch,
                                 workdir)
            verdict = "refused as expected" if case[3] else "loads"
            print(f"{tool} {name}: {problem or verdict}")
            failures += problem is not None
    if failures:
        sys.exit(f"FAIL: {failures} of {len(CASES[tool])} cases")


if __name__ == "__main__":
    main()
