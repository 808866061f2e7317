#!/usr/bin/env python3
"""Writes the golden record files byte by byte from the file format's field
tables, independently of the program's own writers. Run it only when the
format itself changes; the tests compare the writers' output with these
files."""
import struct
from pathlib import Path

HERE = Path(__file__).resolve().parent


def cp(text):
    return text.encode("cp1250")


def fixed(text, width):
    raw = cp(text)[:width]
    return raw + b"\0" * (width - len(raw))


def ole(value):
    return struct.pack("<d", value)


def database_header():
    return b"QEL Rondotheka Database" + bytes([4, 0]) + b"\0" * 50


def cd_header(serial, block_size, label, description, groups, lending, lend_date,
              created, files, dirs, finished, reserved, cd_size, in_multigroup):
    out = fixed(serial, 9) + struct.pack("<I", block_size)
    out += fixed(label, 50) + fixed(description, 50) + fixed(groups, 50)
    out += fixed(lending, 30) + ole(lend_date) + ole(created)
    out += struct.pack("<HH", files, dirs) + ole(finished)
    out += struct.pack("<H", reserved) + struct.pack("<I", cd_size)
    out += bytes([in_multigroup])
    assert len(out) == 228
    return out


def item(directory, name, size, attributes, comment, time, level, subtree=0):
    n, c = cp(name), cp(comment)
    out = bytes([2 if directory else 0, len(n), len(c)])
    out += n + struct.pack("<II", size, attributes) + c + ole(time) + bytes([level])
    if directory:
        out += struct.pack("<I", subtree)
    return out


def member_list(serials):
    out = b"".join(fixed(s, 9) for s in serials)
    return out + b"\0" * (180 - len(out))


GOLDEN_HEADER = dict(
    serial="1A2B-3C4D", block_size=0x01020304, label="FOTKY_2004",
    description="Dovolená Šumava 2004", groups="Fotky;Rodina",
    lending="Půjčeno: Pepa Novák, Brno 1234",  # exactly 30 bytes: no terminator
    lend_date=45000.25, created=38000.5, files=0x0102, dirs=0x0304,
    finished=38000.5125, reserved=7, cd_size=0xA1B2C3D4, in_multigroup=0)


def main():
    (HERE / "database_header.bin").write_bytes(database_header())
    (HERE / "cd_header.bin").write_bytes(cd_header(**GOLDEN_HEADER))
    (HERE / "dir_item.bin").write_bytes(
        item(True, "Obrázky", 123456, 0x10, "Léto^Fotky;Rodina", 44000.75, 2, 0x0A0B0C0D))
    (HERE / "file_item.bin").write_bytes(
        item(False, "čtení.txt", 0xFFFFFFFF, 0x21, "", 44000.0, 3))
    (HERE / "member_list.bin").write_bytes(member_list(["1234-5678", "9-8", "0ABC-DEF0"]))
    (HERE / "member_list_full.bin").write_bytes(
        member_list(["%04d-%04d" % (i, i * 7) for i in range(20)]))

    # A small catalogue: one disc with a directory holding a file, a file at
    # the root, and a multigroup holding that disc.
    items = [
        item(True, "Hry", 300, 0x10, "", 44000.5, 1, 0),
        item(False, "doom.exe", 300, 0x20, "^Hry", 44000.5, 2),
        item(False, "readme.txt", 12, 0x21, "", 44000.5, 1),
    ]
    # SubtreeLength of "Hry" = the bytes of the one item inside it.
    items[0] = item(True, "Hry", 300, 0x10, "", 44000.5, 1, len(items[1]))
    block = b"".join(items)
    disc = cd_header("ABCD-0001", 228 + len(block), "HRY_CD", "Hry", "Hry", "", 0.0,
                     44000.5, 2, 1, 44000.501, 0, 312, 1) + block
    multi = cd_header("12-34", 408, "Multi Group", "Sbírka", "", "", 0.0, 44001.0, 2, 1,
                      44001.0, 0, 312, 0) + member_list(["ABCD-0001"])
    (HERE / "small_catalogue.bin").write_bytes(database_header() + disc + multi)


if __name__ == "__main__":
    main()
