"""The D88 files that tilepatch saves are recognised as D88 by floptool,
and the sector data it reads from them equals what the project's reader
reads, sector for sector in cylinder, head, record order.

floptool recognises a file as D88 only when it holds exactly one disk; told
the format, it reads the first disk of a longer file. So each disk of the
five-disk file is also checked on its own, cut out of the file by its size
field.

usage: floptool_reads_d88.py MAKE_SAMPLES TILEDUMP TILEPATCH D88_FLAT
"""

import os
import struct
import sys
import tempfile

from interop_common import make_sheet, need_program, run_ok

# floptool's flat image of a double-sided double-density disk: 40 cylinders,
# 2 heads, 16 sectors of 256 bytes, in that order; the sample disks have
# this layout.
FLAT_FORMAT = "2d"
FLAT_SIZE = 40 * 2 * 16 * 256
SECTOR = 256


def identified_format(path, workdir):
    """The format that floptool ranks first for the file, or None."""
    lines = run_ok(["floptool", "identify", path], workdir).decode()
    for line in lines.splitlines():
        if " - " in line:
            return line.split(" - ", 1)[1].split()[0]
    return None


def floptool_flat(path, workdir):
    flat = path + ".flat"
    run_ok(["floptool", "flopconvert", "d88", FLAT_FORMAT, path, flat],
           workdir)
    with open(os.path.join(workdir, flat), "rb") as f:
        return f.read()


def our_flat(d88_flat, path, index, workdir):
    flat = f"{path}.{index}.ours"
    run_ok([d88_flat, path, str(index), flat], workdir)
    with open(os.path.join(workdir, flat), "rb") as f:
        return f.read()


def compare(what, theirs, ours):
    """None when equal, else the first sector that differs."""
    if len(ours) != FLAT_SIZE:
        return f"{what}: our reader gives {len(ours)} bytes, not {FLAT_SIZE}"
    if len(theirs) != len(ours):
        return f"{what}: floptool gives {len(theirs)} bytes"
    for offset in range(0, len(ours), SECTOR):
        if theirs[offset:offset + SECTOR] != ours[offset:offset + SECTOR]:
            n = offset // SECTOR
            return (f"{what}: sector C={n // 32} H={n // 16 % 2} "
                    f"R={n % 16 + 1} differs")
    return None


def split_disks(path, workdir):
    """Writes each disk of a D88 file to a file of its own; their names."""
    with open(os.path.join(workdir, path), "rb") as f:
        data = f.read()
    names, start = [], 0
    while start < len(data):
        size = struct.unpack_from("<I", data, start + 0x1C)[0]
        names.append(f"{path}.disk{len(names)}.d88")
        with open(os.path.join(workdir, names[-1]), "wb") as f:
            f.write(data[start:start + size])
        start += size
    return names


def main():
    make_samples, tiledump, tilepatch, d88_flat = sys.argv[1:5]
    need_program("floptool")
    problems = []
    with tempfile.TemporaryDirectory() as workdir:
        make_sheet(workdir, make_samples, tiledump)
        run_ok([tilepatch, "-t", "v", "-d", "kq-vesto.d88", "-o", "vesto.d88",
                "sheet.bmp"], workdir)
        run_ok([tilepatch, "-D", "kq-game.d88", "0", "1", "2", "3", "4",
                "-o", "game.d88", "sheet.bmp"], workdir)

        # (file floptool reads, file our reader reads, disk index)
        checks = [("vesto.d88", "vesto.d88", 0),
                  ("game.d88", "game.d88", 0)]
        disks = split_disks("game.d88", workdir)
        if len(disks) != 5:
            problems.append(f"game.d88 holds {len(disks)} disks, not 5")
        checks += [(disk, "game.d88", i) for i, disk in enumerate(disks)]

        print(f"floptool identify game.d88 (five disks): "
              f"{identified_format('game.d88', workdir)}")
        for theirs, ours, index in checks:
            what = f"{theirs} (disk {index} of {ours})"
            if theirs != "game.d88":
                found = identified_format(theirs, workdir)
                if found != "d88":
                    problems.append(f"{theirs}: floptool identifies {found}")
                    continue
            problem = compare(what, floptool_flat(theirs, workdir),
                              our_flat(d88_flat, ours, index, workdir))
            problems += [problem] if problem else []
            print(problem or f"{what}: every sector equal")
    if problems:
        sys.exit("FAIL:\n" + "\n".join(problems))


if __name__ == "__main__":
    main()
