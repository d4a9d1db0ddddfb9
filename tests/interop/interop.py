"""usage: interop.py TOOL MAKE_SAMPLES TILEDUMP TILEPATCH. An image tool reads the dumped sheet in its palette colours
and saves BMPs and PNGs that tilepatch refuses by design or loads as a 24-bit BMP of the pixels the tool reads back;
floptool reads tilepatch's D88 sectors as laid out. Skipped, with the reason, when a program (the first of its name
on the PATH) is missing or not the expected tool."""

import importlib, importlib.util, os, struct, subprocess, sys, tempfile
from pathlib import Path

Image = importlib.util.find_spec("PIL") and importlib.import_module("PIL.Image")  # None without Pillow

V3 = "not supported header type - support only Windows V3"
GAME = ["-D", "kq-game.d88", "0", "1", "2", "3", "4"]
# What each outside program prints (to either stream) for these arguments; the rest are netpbm's.
IDENTITY = {"convert": (["-version"], "ImageMagick"), "floptool": ([], "floppy image manipulation tool")}


def unusable(name):
    """Why the program of that name on the PATH cannot be used: missing, or not the expected tool; None if it can."""
    args, mark = IDENTITY.get(name, (["-version"], "Netpbm"))
    try:
        said = subprocess.run([name, *args], capture_output=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as e:
        return f"{name}: {e}"
    return None if mark in (said.stdout + said.stderr).decode(errors="replace") else f"{name}: does not say {mark!r}"


def run(args):
    done = subprocess.run(args, capture_output=True)
    return done.returncode, done.stdout


def run_ok(args):
    status, out = run(args)
    return out if status == 0 else sys.exit(f"FAIL: {args}: {out.decode(errors='replace')}")


def read(name):
    return Path(name).read_bytes()


# tool: (its programs, how it reads a file's pixels as red, green, blue bytes (of 16-bit samples the high byte, as
# tilepatch does; netpbm's PPMs of 8-bit samples end with them), {file: (how it saves the file from tiledump's PNG,
# a command line with {} for the file or a function; tilepatch's refusal of the file, or the PNG's colour type, bit
# depth and interlace, or None)}). Between them the PNGs have every colour type and bit depth, interlace, alpha, tRNS.
TOOLS = {
    "imagemagick": (["convert"], lambda f: run_ok(["convert", f, "-depth", "16", "-endian", "MSB", "rgb:-"])[::2], {
        "8bit.bmp": ("convert sheet.png +dither -remap netscape: -type palette -compress none BMP3:{}", None),
        "8bit-rle.bmp": ("convert sheet.png +dither -remap netscape: -type palette BMP3:{}", "not support compression"),
        "32bit.bmp": ("convert sheet.png -alpha set -define bmp3:alpha=true BMP3:{}", None),
        "1bit.bmp": ("convert sheet.png -type bilevel BMP3:{}", None),
        "v5.bmp": ("convert sheet.png {}", V3),
        "PNG64.png": ("convert sheet.png -alpha set -channel A -evaluate set 50% +channel PNG64:{}", (6, 16, 0)),
        "interlaced.png": ("convert sheet.png -interlace PNG PNG24:{}", (2, 8, 1)),
        "grey-2.png": ("convert sheet.png -colorspace gray -depth 2 PNG:{}", (0, 2, 0))}),
    "pillow": ([], lambda f: Image.open(f).convert("RGB").tobytes(), {
        "P.bmp": (lambda f: Image.open("sheet.png").convert("RGB").convert("P", dither=0).save(f), None),  # 256 colours
        "short-palette.bmp": (lambda f: Image.open("sheet.png").save(f), "offset size 0x76 != 0x436"),
        "1.png": (lambda f: Image.open("sheet.png").convert("1", dither=0).save(f), (0, 1, 0)),
        "LA.png": (lambda f: Image.merge("LA", (Image.open("sheet.png").convert("L"), Image.linear_gradient("L")))
                   .save(f), (4, 8, 0)),
        "tRNS.png": (lambda f: Image.open("sheet.png").save(f, transparency=0), (3, 4, 0))}),
    "netpbm": (["bmptopnm", "ppmtobmp", "pngtopnm", "pnmtopng"], lambda f: run_ok([f[-3:] + "topnm", f])[-3 << 16:], {
        "bpp-4.bmp": ("pngtopnm sheet.png | ppmtobmp -bpp=4 >{}", None),
        "os2.bmp": ("pngtopnm sheet.png | ppmtobmp -os2 -bpp=4 >{}", V3),
        "tRNS.png": ("pngtopnm sheet.png | pnmtopng -force -transparent =rgb:ff/ff/ff >{}", (2, 8, 0))}),
}


def bmp24(rgb):
    """A 256 x 256 24-bit BMP of the pixels (red, green, blue bytes, top row first)."""
    rows = bytes(c for y in range(255, -1, -1) for x in range(y * 768, y * 768 + 768, 3) for c in rgb[x:x + 3][::-1])
    return b"BM" + struct.pack("<I4x2I2i2H2I16x", 54 + len(rows), 54, 40, 256, 256, 1, 24, 0, len(rows)) + rows


def check_tool(tool, tilepatch):
    """The sheets as the tool reads them, then each file through tilepatch; the number of failures."""
    _, pixels, cases = TOOLS[tool]
    sheet = read("sheet.bmp")
    indexes = [i for y in range(255, -1, -1) for b in sheet[118 + y * 128:246 + y * 128] for i in (b >> 4, b & 15)]
    colours = bytes(255 * (i >> bit & 1) for i in indexes for bit in (1, 2, 0))  # index bits: green, red, blue
    ok = sorted(set(indexes)) == list(range(8)) and pixels("sheet.bmp") == pixels("sheet.png") == colours
    print(f"{tool} reads the sheets: {'in their palette colours' if ok else 'FAILED'}")
    failures = not ok
    for name, (save, want) in cases.items():
        save(name) if callable(save) else run_ok(["sh", "-c", save.format(name)])
        status, out = run([tilepatch, *GAME, "-o", name + ".d88", name])
        kind = tuple(read(name)[i] for i in (25, 24, 28)) if name.endswith(".png") else None  # from the IHDR
        got = (kind, status, out.decode().splitlines())
        if isinstance(want, str):
            ok = got[1:] == (1, [f"error: check_bitmap_header() - {want}", "error: read_bitmap() - can't read "
                                 "bitmap header", f"error: read bitmap '{name}'"])
        else:
            Path(name + ".bmp").write_bytes(bmp24(pixels(name)))
            run_ok([tilepatch, *GAME, "-o", name + ".bmp.d88", name + ".bmp"])
            ok = got[:2] == (want, 0) and all(line.startswith("warning: check_bitmap_header()") for line in got[2]) \
                and read(name + ".d88") == read(name + ".bmp.d88")
        print(f"{tool} {name}: {'as expected' if ok else f'FAILED {got}'}")
        failures += not ok
    return failures


def sectors(disk):
    """The data of the disk's sectors in cylinder, head, record order, taken from where the D88 layout puts them."""
    found = []
    for track in range(164):
        at = struct.unpack_from("<I", disk, 0x20 + 4 * track)[0]
        for _ in range(at and struct.unpack_from("<H", disk, at + 4)[0]):
            chr_, size = struct.unpack_from("<3s11xH", disk, at)
            found, at = found + [(chr_, disk[at + 16:at + 16 + size])], at + 16 + size
    return b"".join(data for _, data in sorted(found, key=lambda sector: sector[0]))


def check_floptool(tilepatch):
    """Each disk tilepatch saves, identified as D88 and read sector by sector as it is laid out."""
    run_ok([tilepatch, *GAME, "-o", "game.d88", "sheet.bmp"])
    disks, game = [], read("game.d88")
    while game:
        size = struct.unpack_from("<I", game, 0x1C)[0]
        disks, game = disks + [game[:size]], game[size:]
    failures = len(disks) != 5
    for i, disk in enumerate(disks):
        Path("disk.d88").write_bytes(disk)
        found = run_ok(["floptool", "identify", "disk.d88"]).decode()
        run_ok(["floptool", "flopconvert", "d88", "2d", "disk.d88", "disk.flat"])
        same = " - d88" in found and read("disk.flat") == sectors(disk) != b""
        print(f"disk {i}: {'every sector equal' if same else 'DIFFERS'}")
        failures += not same
    return failures


def main():
    tool, make_samples, tiledump, tilepatch = sys.argv[1:5]
    why = [unusable(name) for name in (["floptool"] if tool == "floptool" else TOOLS[tool][0])]
    why += [f"no Pillow for {sys.executable}"] if tool == "pillow" and Image is None else []
    if any(why):
        sys.exit(print(f"SKIP: {'; '.join(filter(None, why))}") or 77)
    with tempfile.TemporaryDirectory() as workdir:
        os.chdir(workdir)
        run_ok([make_samples, "."])
        for sheet in ("sheet.bmp", "sheet.png"):
            run_ok([tiledump, "-d1", "kq-zorvan.d88", "-d2", "kq-kelmorane.d88", sheet])
        if check_floptool(tilepatch) if tool == "floptool" else check_tool(tool, tilepatch):
            sys.exit("FAIL")


if __name__ == "__main__":
    main()
