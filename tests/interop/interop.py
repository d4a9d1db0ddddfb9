"""usage: interop.py TOOL MAKE_SAMPLES TILEDUMP TILEPATCH. An image tool reads the dumped sheet (BMP and PNG) in its
palette colours, and saves BMPs and PNGs that tilepatch refuses by design or loads as a 24-bit BMP of the pixels the
tool reads back from them; floptool reads tilepatch's D88 sectors as they are laid out. The check is skipped, with
the reason, when an outside program (the first of its name on the PATH) is missing or not the expected tool."""

import importlib.util, os, re, struct, subprocess, sys, tempfile
from pathlib import Path

PALETTE = [(0, 0, 0), (0, 0, 255), (255, 0, 0), (255, 0, 255), (0, 255, 0), (0, 255, 255), (255, 255, 0),
           (255, 255, 255)]
V3 = "error: check_bitmap_header() - not supported header type - support only Windows V3"
RLE = "error: check_bitmap_header() - not support compression"
SHORT = "error: check_bitmap_header() - offset size 0x76 != 0x436"
GAME = ["-D", "kq-game.d88", "0", "1", "2", "3", "4"]
NETPBM = ["bmptopnm", "ppmtobmp", "pngtopnm", "pnmtopng", "pnmdepth", "ppmtopgm"]
# What each outside program prints (to either stream) for these arguments.
IDENTITY = {"convert": (["-version"], "ImageMagick"), "floptool": ([], "floppy image manipulation tool"),
            **dict.fromkeys(NETPBM, (["-version"], "Netpbm"))}


def unusable(name):
    """Why the program of that name on the PATH cannot be used: missing, or not the expected tool; None if it can."""
    args, mark = IDENTITY[name]
    try:
        said = subprocess.run([name, *args], capture_output=True, timeout=30)
    except (OSError, subprocess.TimeoutExpired) as e:
        return f"{name}: {e}"
    return None if mark in (said.stdout + said.stderr).decode(errors="replace") else f"{name}: does not say {mark!r}"


def run(args, stdin=None):
    done = subprocess.run(args, input=stdin, capture_output=True)
    return done.returncode, done.stdout


def run_ok(args, stdin=None):
    status, out = run(args, stdin)
    return out if status == 0 else sys.exit(f"FAIL: {args}: {out.decode(errors='replace')}")


def read(name):
    return Path(name).read_bytes()


def pnm(data):
    """RGB pixels of a binary 256 x 256 PPM or PGM; of 16-bit samples the high byte, as tilepatch takes them."""
    head = re.match(rb"(P[56])\s+256\s+256\s+(\d+)\s", data)
    top, raster = int(head[2]), data[head.end():]
    samples = raster[::2] if top > 255 else bytes(v * 255 // top for v in raster)
    return [(v, v, v) for v in samples] if head[1] == b"P5" else list(zip(*[iter(samples)] * 3))


def pillow_pixels(path):
    from PIL import Image
    with Image.open(path) as image:
        return list(image.convert("RGB").getdata())


def magick(*options, prefix="BMP3:"):
    return lambda src, out: run_ok(["convert", src, *options, prefix + out])


def netpbm(*options, grey=False, depth=None):
    def save(src, out):
        picture = run_ok(["pngtopnm" if src.endswith(".png") else "bmptopnm", src])
        picture = run_ok(["ppmtopgm"], picture) if grey else picture
        picture = run_ok(["pnmdepth", str(depth)], picture) if depth else picture
        Path(out).write_bytes(run_ok(["pnmtopng" if out.endswith(".png") else "ppmtobmp", *options], picture))
    return save


def pillow(mode, bits=8, **save_options):
    """The picture in mode; in P its indexes cut to their low bits, with the first 2^bits palette entries (so all
    256 for 8); with rows of falling opacity in a PNG whose mode has alpha."""
    def save(src, out):
        from PIL import Image
        with Image.open(src) as image:
            picture = image.convert(mode, dither=Image.Dither.NONE)
            if mode == "P":
                picture.putdata([i & ((1 << bits) - 1) for i in image.getdata()])
                picture.putpalette((image.getpalette() + [0] * 768)[:3 << bits])
        if "A" in mode and out.endswith(".png"):
            picture.putalpha(Image.linear_gradient("L").transpose(Image.Transpose.FLIP_TOP_BOTTOM))
        picture.save(out, **save_options)
    return save


PAL8 = ("+dither", "-remap", "netscape:", "-type", "palette")
HALF = ("-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel")
GREY = ("-colorspace", "gray")
# tool: (programs, reader of pixels, {file the tool saves from sheet.png (bw.bmp for "bw-..."): (save, what it is:
# a BMP's (header size, bits, compression), a PNG's (colour type, bit depth, interlace, has tRNS), and the refusal
# of one tilepatch does not load)}). Between them the PNGs cover every colour type and bit depth.
TOOLS = {
    "imagemagick": (["convert"], lambda p: pnm(run_ok(["convert", p, "-alpha", "off", "-depth", "16", "ppm:-"])), {
        "8bit.bmp": (magick(*PAL8, "-compress", "none"), (40, 8, 0)),
        "24bit.bmp": (magick("-type", "truecolor"), (40, 24, 0)),
        "32bit.bmp": (magick("-alpha", "set", "-define", "bmp3:alpha=true"), (40, 32, 0)),
        "bw-1bit.bmp": (magick("-type", "bilevel"), (40, 1, 0)),
        "8bit-rle.bmp": (magick(*PAL8), (40, 8, 1), RLE),
        "v5.bmp": (magick("-type", "palette", prefix=""), (124, 4, 0), V3),
        "PNG8.png": (magick(prefix="PNG8:"), (3, 8, 0, False)),
        "PNG48.png": (magick(prefix="PNG48:"), (2, 16, 0, False)),
        "PNG64.png": (magick(*HALF, prefix="PNG64:"), (6, 16, 0, False)),
        "interlaced.png": (magick("-interlace", "PNG", prefix="PNG24:"), (2, 8, 1, False)),
        "grey-2.png": (magick(*GREY, "-depth", "2", prefix="PNG:"), (0, 2, 0, False)),
        "grey-alpha-16.png": (magick(*GREY, "-depth", "16", *HALF, "-define", "png:color-type=4", prefix="PNG:"),
                              (4, 16, 0, False))}),
    "pillow": ([], pillow_pixels, {
        "P.bmp": (pillow("P"), (40, 8, 0)), "RGBA.bmp": (pillow("RGBA"), (40, 32, 0)),
        "bw-L.bmp": (pillow("L"), (40, 8, 0)), "P-short-palette.bmp": (pillow("P", 4), (40, 8, 0), SHORT),
        "1.png": (pillow("1"), (0, 1, 0, False)), "L.png": (pillow("L"), (0, 8, 0, False)),
        "LA.png": (pillow("LA"), (4, 8, 0, False)), "RGBA.png": (pillow("RGBA"), (6, 8, 0, False)),
        "P-1.png": (pillow("P", 1), (3, 1, 0, False)), "P-2.png": (pillow("P", 2), (3, 2, 0, False)),
        "P-tRNS.png": (pillow("P", 4, transparency=0), (3, 4, 0, True))}),
    "netpbm": (NETPBM, lambda p: pnm(run_ok(["pngtopnm" if p.endswith(".png") else "bmptopnm", p])), {
        "bpp-4.bmp": (netpbm("-bpp=4"), (40, 4, 0)), "bpp-24.bmp": (netpbm("-bpp=24"), (40, 24, 0)),
        "os2.bmp": (netpbm("-os2", "-bpp=4"), (12, None, None), V3),
        "interlaced.png": (netpbm("-interlace"), (3, 4, 1, False)),
        "tRNS.png": (netpbm("-force", "-transparent", "=rgb:ff/ff/ff"), (2, 8, 0, True)),
        "grey-4.png": (netpbm(grey=True, depth=15), (0, 4, 0, False)),
        "grey-16.png": (netpbm("-force", grey=True, depth=65535), (0, 16, 0, False))}),
}


def png_chunks(data):
    """(colour type, bit depth, interlace, has tRNS), and the chunk names."""
    names, at = [], 8
    while at < len(data):
        length, name = struct.unpack_from(">I4s", data, at)
        names.append(name.decode())
        at += length + 12
    depth, kind, _, _, interlace = struct.unpack_from(">5B", data, 24)
    return (kind, depth, interlace, "tRNS" in names), names


def bmp24(pixels):
    """A 256 x 256 24-bit BMP of the RGB pixels (top row first)."""
    rows = bytes(c for y in range(255, -1, -1) for r, g, b in pixels[y * 256:y * 256 + 256] for c in (b, g, r))
    return b"BM" + struct.pack("<I4x2I2i2H2I16x", 54 + len(rows), 54, 40, 256, 256, 1, 24, 0, len(rows)) + rows


def kind(name):
    """A PNG's (colour type, bit depth, interlace, has tRNS), a BMP's (header size, bits, compression)."""
    data = read(name)
    if name.endswith(".png"):
        return png_chunks(data)[0]
    size = struct.unpack_from("<I", data, 14)[0]
    return (size, *(struct.unpack_from("<HI", data, 28) if size >= 40 else (None, None)))


def check_tool(tool, tilepatch):
    """The sheets as the tool reads them, then each file through tilepatch; the number of failures."""
    _, pixels, cases = TOOLS[tool]
    sheet = read("sheet.bmp")
    indexes = [i for y in range(255, -1, -1) for b in sheet[118 + y * 128:246 + y * 128] for i in (b >> 4, b & 15)]
    plte = bytes(c for i in range(54, 118, 4) for c in (sheet[i + 2], sheet[i + 1], sheet[i]))
    ok = sorted(set(indexes)) == list(range(8)) and pixels("sheet.bmp") == pixels("sheet.png") == \
        [PALETTE[i] for i in indexes] and png_chunks(read("sheet.png"))[1] == ["IHDR", "PLTE", "IDAT", "IEND"] \
        and read("sheet.png")[41:89] == plte
    print(f"{tool} reads the sheets: {'in their palette colours' if ok else 'FAILED'}")
    failures = not ok
    Path("bw.bmp").write_bytes(sheet[:118] + bytes((b >> 4 and 0x70) | (b & 15 and 7) for b in sheet[118:]))
    # Our own sheets first (4-bit indexes, the PNG with the BMP's 16 colours and nothing else): a 24-bit BMP of the
    # same pixels patches the same disk.
    for name, (save, want, *refusal) in {"sheet.bmp": (None, (40, 4, 0)), "sheet.png": (None, (3, 4, 0, False)),
                                         **cases}.items():
        if save:
            save("bw.bmp" if name.startswith("bw") else "sheet.png", name)
        before = set(os.listdir())
        status, out = run([tilepatch, *GAME, "-o", name + ".d88", name])
        got = (kind(name), status, out.decode().splitlines())
        if refusal:
            ok = got == (want, 1, [*refusal, "error: read_bitmap() - can't read bitmap header",
                                   f"error: read bitmap '{name}'"]) and set(os.listdir()) == before
        else:
            Path(name + ".bmp").write_bytes(bmp24(pixels(name)))
            run_ok([tilepatch, *GAME, "-o", name + ".bmp.d88", name + ".bmp"])
            ok = got[:2] == (want, 0) and all(line.startswith("warning: check_bitmap_header()") for line in got[2]) \
                and read(name + ".d88") == read(name + ".bmp.d88")
        print(f"{tool} {name}: {('refused' if refusal else 'as its 24-bit BMP') if ok else f'FAILED {got}'}")
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
    run_ok([tilepatch, "-t", "v", "-d", "kq-vesto.d88", "-o", "vesto.d88", "sheet.bmp"])
    run_ok([tilepatch, *GAME, "-o", "game.d88", "sheet.bmp"])
    disks, game = [read("vesto.d88")], read("game.d88")
    while game:
        size = struct.unpack_from("<I", game, 0x1C)[0]
        disks, game = disks + [game[:size]], game[size:]
    failures = len(disks) != 6
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
    if tool == "pillow" and importlib.util.find_spec("PIL") is None:
        why.append(f"no Pillow for {sys.executable}")
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
