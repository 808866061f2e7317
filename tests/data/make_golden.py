#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
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

    old, new = conversion_pair()
    (HERE / "old_format.bin").write_bytes(old)
    (HERE / "old_format_converted.bin").write_bytes(new)
    (HERE / "borrowed_record.bin").write_bytes(
        borrowed_record("Pán prstenů – rozšířená verze, disk 1 ze 4 a bonus", "Filmy",
                        "Jana Dvořáková", 46000.0, 4))


def old_header(ident, block_length, label, description, groups, lending, lend_date,
               created, files, dirs, finished, reserved, cd_size, in_multigroup):
    """The previous format's 249-byte disc head."""
    out = fixed(ident, 30) + struct.pack("<i", block_length)
    out += fixed(label, 50) + fixed(description, 50) + fixed(groups, 50)
    out += fixed(lending, 30) + ole(lend_date) + ole(created)
    out += struct.pack("<HH", files, dirs) + ole(finished)
    out += struct.pack("<H", reserved) + struct.pack("<I", cd_size)
    out += bytes([in_multigroup])
    assert len(out) == 249
    return out


def old_item(directory, name, size, attributes, comment, time, level):
    """An item of the previous format: no subtree length in directories."""
    n, c = cp(name), cp(comment)
    return (bytes([2 if directory else 0, len(n), len(c)]) + n +
            struct.pack("<II", size, attributes) + c + ole(time) + bytes([level]))


def conversion_pair():
    """A 3.x catalogue and, written from the current format's tables, what
    it converts to: a disc with two directories and a file, an empty disc
    and a multigroup."""
    specs = [
        (True, "Hry", 300, 0x10, "Staré^Hry", 44000.5, 1),
        (True, "Doom", 300, 0x10, "", 44000.5, 2),
        (False, "doom.exe", 300, 0x20, "", 44000.25, 3),
    ]
    old_block = b"".join(old_item(*s) for s in specs)
    new_block = b"".join(item(*s) for s in specs)  # subtree lengths 0
    common = dict(label="HRY", description="Hry a zábava", groups="Hry;Škola",
                  lending="Pepa", lend_date=44100.5, created=44000.5, files=1, dirs=2,
                  finished=44000.75, reserved=0, cd_size=300, in_multigroup=1)
    empty = dict(common, label="PRAZDNE", description="Prázdné", files=0, dirs=0,
                 cd_size=0, in_multigroup=0)
    multi = dict(common, label="Multi Group", description="Sbírka", in_multigroup=0)
    members = member_list(["ABCD-0001", "0000-0002"])
    old = (old_header("ABCD-0001 a zbytek identifikátoru", 248 + len(old_block), **common) +
           old_block +
           old_header("0000-0002", 248, **empty) +
           old_header("12-34", 248 + 180, **multi) + members)
    new = (database_header() +
           cd_header("ABCD-0001", 248 + len(old_block) - 20 + 8, **common) + new_block +
           cd_header("0000-0002", 228, **empty) +
           cd_header("12-34", 408, **multi) + members)
    return old, new


def borrowed_record(description, group, source, date, count):
    return (fixed(description, 50) + fixed(group, 50) + fixed(source, 50) + ole(date) +
            bytes([count]))


if __name__ == "__main__":
    main()
