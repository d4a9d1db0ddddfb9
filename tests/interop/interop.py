"""usage: interop.py TOOL MAKE_SAMPLES TILEDUMP TILEPATCH D88_FLAT. An image tool reads the dumped sheet (BMP and
PNG) in its palette colours and saves bitmaps that tilepatch loads as its own or refuses by design, and PNGs that
patch the same disk bytes as a 24-bit BMP of the pixels the tool reads back from them; floptool reads tilepatch's
D88 sectors as our reader does. Each outside program is the first of its name on the PATH that says it is the
expected tool; with none, the check is skipped."""

import importlib.util, os, re, struct, subprocess, sys, tempfile

PALETTE = [(0, 0, 0), (0, 0, 255), (255, 0, 0), (255, 0, 255), (0, 255, 0), (0, 255, 255), (255, 255, 0),
           (255, 255, 255)]
V3 = "error: check_bitmap_header() - not supported header type - support only Windows V3"
RLE = "error: check_bitmap_header() - not support compression"
SHORT = "error: check_bitmap_header() - offset size 0x76 != 0x436"
GAME = ["-D", "kq-game.d88", "0", "1", "2", "3", "4"]
# What each outside program prints (to either stream) for these arguments, so that another of the name is not taken.
NETPBM = ["bmptopnm", "ppmtobmp", "pngtopnm", "pnmtopng", "pnmdepth", "ppmtopgm"]
IDENTITY = {"convert": (["-version"], "ImageMagick"), "floptool": ([], "floppy image manipulation tool"),
            **dict.fromkeys(NETPBM, (["-version"], "Netpbm"))}
FOUND, PASSED_OVER = {}, []  # name: path of the program that identified itself; those that did not, and why


def identify(name):
    args, mark = IDENTITY[name]
    for folder in os.environ.get("PATH", "").split(os.pathsep):
        path = os.path.join(folder or ".", name)
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            continue
        try:
            done = subprocess.run([path, *args], capture_output=True, timeout=30)
        except (OSError, subprocess.TimeoutExpired) as e:
            PASSED_OVER.append(f"{path} ({type(e).__name__})")
            continue
        if mark in (done.stdout + done.stderr).decode(errors="replace"):
            return path
        PASSED_OVER.append(f"{path} (does not say {mark!r})")
    return None


def run(args, stdin=None):
    done = subprocess.run([FOUND.get(args[0], args[0]), *args[1:]], input=stdin, capture_output=True)
    return done.returncode, done.stdout


def run_ok(args, stdin=None):
    status, out = run(args, stdin)
    return out if status == 0 else sys.exit(f"FAIL: {args}: {out.decode(errors='replace')}")


def read(name):
    with open(name, "rb") as f:
        return f.read()


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def pnm(data):
    """RGB pixels of a binary 256 x 256 PPM or PGM; of 16-bit samples the high byte, as tilepatch takes them."""
    head = re.match(rb"(P[56])\s+256\s+256\s+(\d+)\s", data)
    top, raster = int(head[2]), data[head.end():]
    samples = raster[::2] if top > 255 else bytes(v * 255 // top for v in raster)
    if head[1] == b"P5":
        return [(v, v, v) for v in samples]
    return [tuple(samples[i:i + 3]) for i in range(0, len(samples), 3)]


def pillow_pixels(path):
    from PIL import Image
    with Image.open(path) as image:
        return list(image.convert("RGB").getdata())


def magick(*options, prefix="BMP3:"):
    return lambda src, out: run_ok(["convert", src, *options, prefix + out])


def netpbm(*options):
    return lambda src, out: write(out, run_ok(["ppmtobmp", *options], run_ok(["bmptopnm", src])))


def netpbm_png(*options, grey=False, depth=None):
    def save(src, out):
        picture = run_ok(["pngtopnm", src])
        picture = run_ok(["ppmtopgm"], picture) if grey else picture
        picture = run_ok(["pnmdepth", str(depth)], picture) if depth else picture
        write("alpha.pgm", b"P5 256 256 255\n" + bytes(255 - y for y in range(256) for _ in range(256)))  # -alpha
        write(out, run_ok(["pnmtopng", *options], picture))
    return save


def pillow(mode, bits=None, full_palette=False, **save_options):
    """The sheet converted to mode: P with a palette filled out to 256 entries, or with only the low bits of
    each index and the first 2^bits entries; with rows of falling opacity where the mode has alpha."""
    def save(src, out):
        from PIL import Image
        with Image.open(src) as image:
            picture = Image.new("P", image.size) if bits else image.convert(mode, dither=Image.Dither.NONE)
            if bits:
                picture.putdata([i & ((1 << bits) - 1) for i in image.getdata()])
                picture.putpalette(image.getpalette()[:3 << min(bits, 4)])
        if full_palette:
            picture.putpalette(picture.getpalette() + [0] * (768 - len(picture.getpalette())))
        if "A" in mode and out.endswith(".png"):
            picture.putalpha(Image.linear_gradient("L").transpose(Image.Transpose.FLIP_TOP_BOTTOM))
        picture.save(out, **({"bits": bits} if bits else {}), **save_options)
    return save


PAL8 = ("+dither", "-remap", "netscape:", "-type", "palette")
HALF = ("-alpha", "set", "-channel", "A", "-evaluate", "set", "50%", "+channel")
GREY = ("-colorspace", "gray", "-define")
# tool: (programs, reader of pixels, {BMP case: (picture, save, (header size, bits, compression) of the saved
# file, None when it loads or else its refusal)}, {PNG case: (save from tiledump's PNG, (colour type, bit depth,
# interlace, has tRNS) of the saved file)}). Every PNG patches the same disk bytes as a 24-bit BMP of the pixels
# the tool reads back from it.
TOOLS = {
    "imagemagick": (["convert"], lambda p: pnm(run_ok(["convert", p, "-alpha", "off", "-depth", "16", "ppm:-"])), {
        "4bit": ("sheet", magick("-type", "palette"), (40, 4, 0), None),
        "8bit": ("sheet", magick(*PAL8, "-compress", "none"), (40, 8, 0), None),
        "24bit": ("sheet", magick("-type", "truecolor"), (40, 24, 0), None),
        "32bit": ("sheet", magick("-alpha", "set", "-define", "bmp3:alpha=true"), (40, 32, 0), None),
        "1bit": ("bw", magick("-type", "bilevel"), (40, 1, 0), None),
        "8bit-rle": ("sheet", magick(*PAL8), (40, 8, 1), RLE),
        "v5": ("sheet", magick("-type", "palette", prefix=""), (124, 4, 0), V3)}, {
        "PNG8": (magick(prefix="PNG8:"), (3, 8, 0, False)), "PNG24": (magick(prefix="PNG24:"), (2, 8, 0, False)),
        "PNG32": (magick(*HALF, prefix="PNG32:"), (6, 8, 0, False)),
        "PNG48": (magick(prefix="PNG48:"), (2, 16, 0, False)),
        "PNG64": (magick(*HALF, prefix="PNG64:"), (6, 16, 0, False)),
        "interlaced": (magick("-interlace", "PNG", prefix="PNG24:"), (2, 8, 1, False)),
        "interlaced-PNG8": (magick("-interlace", "PNG", prefix="PNG8:"), (3, 8, 1, False)),
        "grey-2": (magick(*GREY, "png:color-type=0", "-define", "png:bit-depth=2", prefix="PNG:"), (0, 2, 0, False)),
        "grey-alpha-16": (magick(*GREY[:2], "-depth", "16", *HALF, "-define", "png:color-type=4", prefix="PNG:"),
                          (4, 16, 0, False))}),
    "pillow": ([], pillow_pixels, {
        "P": ("sheet", pillow("P", full_palette=True), (40, 8, 0), None),
        "RGBA": ("sheet", pillow("RGBA"), (40, 32, 0), None),
        "L": ("bw", pillow("L"), (40, 8, 0), None),
        "P-short-palette": ("sheet", pillow("P"), (40, 8, 0), SHORT)}, {
        "1": (pillow("1"), (0, 1, 0, False)), "L": (pillow("L"), (0, 8, 0, False)),
        "LA": (pillow("LA"), (4, 8, 0, False)),
        **{f"P-{bits}": (pillow("P", bits), (3, bits, 0, False)) for bits in (1, 2, 4, 8)},
        "P-tRNS": (pillow("P", 4, transparency=0), (3, 4, 0, True)),
        "RGB": (pillow("RGB"), (2, 8, 0, False)), "RGBA": (pillow("RGBA"), (6, 8, 0, False))}),
    "netpbm": (NETPBM, lambda p: pnm(run_ok(["pngtopnm" if p.endswith(".png") else "bmptopnm", p])), {
        "bpp-4": ("sheet", netpbm("-bpp=4"), (40, 4, 0), None),
        "bpp-24": ("sheet", netpbm("-bpp=24"), (40, 24, 0), None),
        "bpp-1": ("bw", netpbm("-bpp=1"), (40, 1, 0), None),
        "os2": ("sheet", netpbm("-os2", "-bpp=4"), (12, None, None), V3)}, {
        "palette": (netpbm_png(), (3, 4, 0, False)), "rgb": (netpbm_png("-force"), (2, 8, 0, False)),
        "interlaced": (netpbm_png("-interlace"), (3, 4, 1, False)),
        "tRNS": (netpbm_png("-force", "-transparent", "=rgb:ff/ff/ff"), (2, 8, 0, True)),
        "rgb-16": (netpbm_png("-force", depth=65535), (2, 16, 0, False)),
        "grey-4": (netpbm_png(grey=True, depth=15), (0, 4, 0, False)),
        "grey-16": (netpbm_png("-force", grey=True, depth=65535), (0, 16, 0, False)),
        "rgba": (netpbm_png("-force", "-alpha=alpha.pgm"), (6, 8, 0, False))}),
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
    rows = b"".join(bytes(c for r, g, b in pixels[y * 256:y * 256 + 256] for c in (b, g, r))
                    for y in range(255, -1, -1))
    return b"BM" + struct.pack("<IHHIIiiHHIIiiII", 54 + len(rows), 0, 0, 54, 40, 256, 256, 1, 24, 0, len(rows), 0, 0,
                               0, 0) + rows


def header(data):
    size = struct.unpack_from("<I", data, 14)[0]
    return (size, *(struct.unpack_from("<HI", data, 28) if size >= 40 else (None, None)))


def check_tool(tool, tilepatch):
    """The sheets as the tool reads them, then each of its files through tilepatch."""
    programs, pixels, bmp_cases, png_cases = TOOLS[tool]
    sheet = read("sheet.bmp")
    rows = [sheet[118 + y * 128:246 + y * 128] for y in range(255, -1, -1)]
    indexes = [i for row in rows for byte in row for i in (byte >> 4, byte & 15)]
    png = ((3, 4, 0, False), ["IHDR", "PLTE", "IDAT", "IEND"])  # 4-bit indexes, nothing else
    ok = sorted(set(indexes)) == list(range(8)) and pixels("sheet.bmp") == pixels("sheet.png") == \
        [PALETTE[i] for i in indexes] and png_chunks(read("sheet.png")) == png
    print(f"{tool} reads the sheets: {'in their palette colours' if ok else 'FAILED'}")
    failures = not ok
    write("bw.bmp", sheet[:118] + bytes((b >> 4 and 0x70) | (b & 15 and 7) for b in sheet[118:]))  # colours but 0: 7
    for picture in ("sheet", "bw"):
        run_ok([tilepatch, *GAME, "-o", picture + ".d88", picture + ".bmp"])
    for name, (picture, save, want, refusal) in bmp_cases.items():
        save(picture + ".bmp", name + ".bmp")
        before = set(os.listdir())
        status, out = run([tilepatch, *GAME, "-o", name + ".d88", name + ".bmp"])
        got = (header(read(name + ".bmp")), status, out.decode().splitlines())
        if refusal:
            ok = got == (want, 1, [refusal, "error: read_bitmap() - can't read bitmap header",
                                   f"error: read bitmap '{name}.bmp'"]) and set(os.listdir()) == before
        else:
            ok = got[:2] == (want, 0) and all(line.startswith("warning: ") for line in got[2]) \
                and read(name + ".d88") == read(picture + ".d88")
        print(f"{tool} {name}: {('refused' if refusal else 'loads') if ok else f'FAILED {got}'}")
        failures += not ok
    for name, (save, want) in png_cases.items():
        save("sheet.png", name + ".png")
        write(name + "-24.bmp", bmp24(pixels(name + ".png")))
        results = [run([tilepatch, *GAME, "-o", f"{name}{suffix}.d88", f"{name}{suffix}"])
                   for suffix in (".png", "-24.bmp")]
        got = (png_chunks(read(name + ".png"))[0], results[0])
        ok = got == (want, (0, b"")) and results[1][0] == 0 and read(name + ".png.d88") == read(name + "-24.bmp.d88")
        print(f"{tool} PNG {name}: {'same disk as its 24-bit BMP' if ok else f'FAILED {got}'}")
        failures += not ok
    return failures


def check_floptool(tilepatch, d88_flat):
    run_ok([tilepatch, "-t", "v", "-d", "kq-vesto.d88", "-o", "vesto.d88", "sheet.bmp"])
    run_ok([tilepatch, *GAME, "-o", "game.d88", "sheet.bmp"])
    disks, failures, game = [read("vesto.d88")], 0, read("game.d88")
    while game:
        size = struct.unpack_from("<I", game, 0x1C)[0]
        disks, game = disks + [game[:size]], game[size:]
    for i, disk in enumerate(disks):
        write("disk.d88", disk)
        found = run_ok(["floptool", "identify", "disk.d88"]).decode()
        run_ok(["floptool", "flopconvert", "d88", "2d", "disk.d88", "disk.flat"])
        same = " - d88" in found and read("disk.flat") == run_ok([d88_flat, "disk.d88", "0"]) != b""
        print(f"disk {i}: {'every sector equal' if same else 'DIFFERS'}")
        failures += not same
    return failures + (len(disks) != 6)


def main():
    tool, make_samples, tiledump, tilepatch, d88_flat = sys.argv[1:6]
    missing = [name for name in (["floptool"] if tool == "floptool" else TOOLS[tool][0])
               if FOUND.setdefault(name, identify(name)) is None]
    if tool == "pillow" and importlib.util.find_spec("PIL") is None:
        missing.append(f"Pillow for {sys.executable}")
    if missing:
        passed_over = f"; passed over: {', '.join(PASSED_OVER)}" if PASSED_OVER else ""
        sys.exit(print(f"SKIP: not found on the PATH: {', '.join(missing)}{passed_over}") or 77)
    with tempfile.TemporaryDirectory() as workdir:
        os.chdir(workdir)
        run_ok([make_samples, "."])
        for sheet in ("sheet.bmp", "sheet.png"):
            run_ok([tiledump, "-d1", "kq-zorvan.d88", "-d2", "kq-kelmorane.d88", sheet])
        if check_floptool(tilepatch, d88_flat) if tool == "floptool" else check_tool(tool, tilepatch):
            sys.exit("FAIL")


if __name__ == "__main__":
    main()
