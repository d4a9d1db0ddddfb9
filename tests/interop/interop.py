"""usage: interop.py TOOL MAKE_SAMPLES TILEDUMP TILEPATCH D88_FLAT. An image
tool reads the dumped sheet in its palette colours and saves bitmaps that
tilepatch loads as its own or refuses by design; floptool reads tilepatch's D88
sectors. Each outside program is the first of its name on the PATH that says
it is the expected tool; with none, the check is skipped."""

import importlib.util
import os
import struct
import subprocess
import sys
import tempfile

PALETTE = [(0, 0, 0), (0, 0, 255), (255, 0, 0), (255, 0, 255), (0, 255, 0),
           (0, 255, 255), (255, 255, 0), (255, 255, 255)]
V3 = "error: check_bitmap_header() - not supported header type - support only Windows V3"
RLE = "error: check_bitmap_header() - not support compression"
SHORT = "error: check_bitmap_header() - offset size 0x76 != 0x436"
GAME = ["-D", "kq-game.d88", "0", "1", "2", "3", "4"]


# What each outside program must print (to either stream) when run with these
# arguments, so that another program of the same name is not taken for it.
IDENTITY = {"convert": (["-version"], "ImageMagick"),
            "bmptopnm": (["-version"], "Netpbm"),
            "ppmtobmp": (["-version"], "Netpbm"),
            "floptool": ([], "floppy image manipulation tool")}
FOUND = {}  # program name: path of the one that identified itself


def identify(name):
    """Path of the first program of that name on the PATH that is the expected
    tool, or None; the reason for each one passed over goes into FOUND."""
    args, mark = IDENTITY[name]
    passed_over = []
    for folder in os.environ.get("PATH", "").split(os.pathsep):
        path = os.path.join(folder or ".", name)
        if not (os.path.isfile(path) and os.access(path, os.X_OK)):
            continue
        try:
            done = subprocess.run([path, *args], capture_output=True, timeout=30)
        except (OSError, subprocess.TimeoutExpired) as e:
            passed_over.append(f"{path} ({type(e).__name__})")
            continue
        if mark in (done.stdout + done.stderr).decode(errors="replace"):
            return path
        passed_over.append(f"{path} (does not say {mark!r})")
    FOUND.setdefault("passed over", []).extend(passed_over)
    return None


def program(name):
    return FOUND[name]


def run(args, stdin=None):
    done = subprocess.run(args, input=stdin, capture_output=True)
    return done.returncode, done.stdout


def run_ok(args, stdin=None):
    status, out = run(args, stdin)
    return out if status == 0 else sys.exit(f"FAIL: {args}: {out.decode()}")


def read(name):
    with open(name, "rb") as f:
        return f.read()


def ppm(data):
    magic, width, height, depth, raster = data.split(maxsplit=4)
    assert (magic, width, height, depth) == (b"P6", b"256", b"256", b"255")
    return [tuple(raster[i:i + 3]) for i in range(0, len(raster), 3)]


def pillow_pixels(path):
    from PIL import Image
    with Image.open(path) as image:
        return list(image.convert("RGB").getdata())


def magick(*options, prefix="BMP3:"):
    return lambda src, out: run_ok([program("convert"), src, *options, prefix + out])


def netpbm(*options):
    return lambda src, out: open(out, "wb").write(
        run_ok([program("ppmtobmp"), *options], run_ok([program("bmptopnm"), src])))


def pillow(mode, full_palette=False):
    def save(src, out):
        from PIL import Image
        with Image.open(src) as image:
            picture = image.convert(mode, dither=Image.Dither.NONE)
        if full_palette:
            picture.putpalette(picture.getpalette() + [0] * (768 - len(picture.getpalette())))
        picture.save(out)
    return save


PAL8 = ("+dither", "-remap", "netscape:", "-type", "palette")
# tool: (programs, reader, {case: (picture, save, (header size, bits,
# compression) of the saved file, None when it loads or else its refusal)})
TOOLS = {
    "imagemagick": (["convert"], lambda p: ppm(run_ok([program("convert"), p, "-depth", "8", "ppm:-"])), {
        "4bit": ("sheet", magick("-type", "palette"), (40, 4, 0), None),
        "8bit": ("sheet", magick(*PAL8, "-compress", "none"), (40, 8, 0), None),
        "24bit": ("sheet", magick("-type", "truecolor"), (40, 24, 0), None),
        "32bit": ("sheet", magick("-alpha", "set", "-define", "bmp3:alpha=true"), (40, 32, 0), None),
        "1bit": ("bw", magick("-type", "bilevel"), (40, 1, 0), None),
        "8bit-rle": ("sheet", magick(*PAL8), (40, 8, 1), RLE),
        "v5": ("sheet", magick("-type", "palette", prefix=""), (124, 4, 0), V3)}),
    "pillow": ([], pillow_pixels, {
        "P": ("sheet", pillow("P", full_palette=True), (40, 8, 0), None),
        "RGBA": ("sheet", pillow("RGBA"), (40, 32, 0), None),
        "L": ("bw", pillow("L"), (40, 8, 0), None),
        "P-short-palette": ("sheet", pillow("P"), (40, 8, 0), SHORT)}),
    "netpbm": (["bmptopnm", "ppmtobmp"], lambda p: ppm(run_ok([program("bmptopnm"), p])), {
        "bpp-4": ("sheet", netpbm("-bpp=4"), (40, 4, 0), None),
        "bpp-24": ("sheet", netpbm("-bpp=24"), (40, 24, 0), None),
        "bpp-1": ("bw", netpbm("-bpp=1"), (40, 1, 0), None),
        "os2": ("sheet", netpbm("-os2", "-bpp=4"), (12, None, None), V3)}),
}


def header(data):
    size = struct.unpack_from("<I", data, 14)[0]
    return (size, *(struct.unpack_from("<HI", data, 28) if size >= 40 else (None, None)))


def check_tool(tool, tilepatch):
    sheet = read("sheet.bmp")
    rows = [sheet[118 + y * 128:246 + y * 128] for y in range(255, -1, -1)]
    indexes = [i for row in rows for byte in row for i in (byte >> 4, byte & 15)]
    if sorted(set(indexes)) != list(range(8)) or TOOLS[tool][1]("sheet.bmp") != [
            PALETTE[i] for i in indexes]:
        sys.exit(f"FAIL: {tool} does not read the sheet in its palette colours")
    with open("bw.bmp", "wb") as f:  # every colour but 0 becomes 7
        f.write(sheet[:118] + bytes((b >> 4 and 0x70) | (b & 15 and 7) for b in sheet[118:]))
    for picture in ("sheet", "bw"):
        run_ok([tilepatch, *GAME, "-o", picture + ".d88", picture + ".bmp"])
    failures = 0
    for name, (picture, save, want, refusal) in TOOLS[tool][2].items():
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
    return failures


def check_floptool(tilepatch, d88_flat):
    run_ok([tilepatch, "-t", "v", "-d", "kq-vesto.d88", "-o", "vesto.d88", "sheet.bmp"])
    run_ok([tilepatch, *GAME, "-o", "game.d88", "sheet.bmp"])
    disks, failures, game = [read("vesto.d88")], 0, read("game.d88")
    while game:
        size = struct.unpack_from("<I", game, 0x1C)[0]
        disks.append(game[:size])
        game = game[size:]
    for i, disk in enumerate(disks):
        with open("disk.d88", "wb") as f:
            f.write(disk)
        found = run_ok([program("floptool"), "identify", "disk.d88"]).decode()
        run_ok([program("floptool"), "flopconvert", "d88", "2d", "disk.d88", f"disk{i}.flat"])
        # Our own reader's view of the same disk, in cylinder, head, record order.
        run_ok([d88_flat, "disk.d88", "0", f"ours{i}.flat"])
        same = " - d88" in found and read(f"disk{i}.flat") == read(f"ours{i}.flat") != b""
        print(f"disk {i}: {'every sector equal' if same else 'DIFFERS'}")
        failures += not same
    return failures + (len(disks) != 6)


def main():
    tool, make_samples, tiledump, tilepatch, d88_flat = sys.argv[1:6]
    missing = []
    for name in ["floptool"] if tool == "floptool" else TOOLS[tool][0]:
        FOUND[name] = identify(name)
        if FOUND[name] is None:
            missing.append(name)
    if tool == "pillow" and importlib.util.find_spec("PIL") is None:
        missing.append(f"Pillow for {sys.executable}")
    if missing:
        passed_over = "; passed over: " + ", ".join(FOUND["passed over"]) if FOUND.get("passed over") else ""
        sys.exit(print(f"SKIP: not found on the PATH: {', '.join(missing)}{passed_over}") or 77)
    with tempfile.TemporaryDirectory() as workdir:
        os.chdir(workdir)
        run_ok([make_samples, "."])
        run_ok([tiledump, "-d1", "kq-zorvan.d88", "-d2", "kq-kelmorane.d88", "sheet.bmp"])
        failed = (check_floptool(tilepatch, d88_flat) if tool == "floptool"
                  else check_tool(tool, tilepatch))
        if failed:
            sys.exit("FAIL")


if __name__ == "__main__":
    main()
