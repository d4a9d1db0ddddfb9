"""The bitmap that tiledump writes opens in a common image tool, and every
pixel there has the colour of its sheet index.

usage: read_dumped_bitmap.py imagemagick|pillow|netpbm MAKE_SAMPLES TILEDUMP
"""

import sys
import tempfile

from interop_common import (PALETTE, SIDE, make_sheet, need_pillow,
                            need_program, run_ok, sheet_indexes)


def parse_ppm(data):
    """The pixels of a binary 8-bit PPM (P6) as (red, green, blue) tuples."""
    fields = data.split(maxsplit=4)
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit(f"FAIL: not an 8-bit P6 picture: {data[:20]!r}")
    width, height, raster = int(fields[1]), int(fields[2]), fields[4]
    if (width, height) != (SIDE, SIDE) or len(raster) != 3 * SIDE * SIDE:
        sys.exit(f"FAIL: picture is {width} x {height}")
    return [tuple(raster[i:i + 3]) for i in range(0, len(raster), 3)]


def read_with_imagemagick(path, workdir):
    return parse_ppm(run_ok(["convert", path, "-depth", "8", "ppm:-"],
                            workdir))


def read_with_netpbm(path, workdir):
    return parse_ppm(run_ok(["bmptopnm", path], workdir))


def read_with_pillow(path, _workdir):
    from PIL import Image
    with Image.open(path) as image:
        if image.format != "BMP" or image.size != (SIDE, SIDE):
            sys.exit(f"FAIL: Pillow sees {image.format} {image.size}")
        return list(image.convert("RGB").getdata())


# Each tool: what it needs installed, and how it reads the bitmap.
READERS = {
    "imagemagick": (lambda: need_program("convert"), read_with_imagemagick),
    "netpbm": (lambda: need_program("bmptopnm"), read_with_netpbm),
    "pillow": (need_pillow, read_with_pillow),
}


def main():
    tool, make_samples, tiledump = sys.argv[1:4]
    require, read = READERS[tool]
    require()
    with tempfile.TemporaryDirectory() as workdir:
        sheet = make_sheet(workdir, make_samples, tiledump)
        with open(sheet, "rb") as f:
            indexes = sheet_indexes(f.read())
        pixels = read(sheet, workdir)

    # The sample disks show every colour the disks can hold.
    if sorted(set(indexes)) != list(range(8)):
        sys.exit(f"FAIL: sheet uses indexes {sorted(set(indexes))}")
    wrong = [i for i, (index, rgb) in enumerate(zip(indexes, pixels))
             if PALETTE[index] != rgb]
    if wrong:
        i = wrong[0]
        sys.exit(f"FAIL: {len(wrong)} pixels differ; first at x={i % SIDE} "
                 f"y={i // SIDE}: index {indexes[i]} should be "
                 f"{PALETTE[indexes[i]]}, {tool} reads {pixels[i]}")
    print(f"{tool}: all {len(pixels)} pixels have their palette colour")


if __name__ == "__main__":
    main()
