#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the seed inputs of the fuzz targets into corpus/<target>/: small
valid and damaged files built with the golden files' field tables. Files
whose names start with "crash-" are inputs that once broke the program; they
are kept by hand and never rewritten here."""
import struct
from pathlib import Path

import make_golden as g

HERE = Path(__file__).resolve().parent
CORPUS = HERE / "corpus"
ROOT = HERE.parent.parent


def disc(serial, items, description="Disk", groups="", lending="", label="DATA",
         in_multigroup=0, files=0, dirs=0, lend_date=0.0):
    block = b"".join(items)
    return g.cd_header(serial, 228 + len(block), label, description, groups, lending,
                       lend_date, 44000.5, files, dirs, 44000.501, 0, 12345678,
                       in_multigroup) + block


def multigroup(serial, members, description="Sada"):
    return g.cd_header(serial, 408, "Multi Group", description, "", "", 0.0, 44001.0, 0, 0,
                       44001.0, 0, 0, 0) + g.member_list(members)


def tree():
    """A disc with nested directories, subtree lengths computed."""
    inner = [g.item(False, "hra.exe", 1000, 0x20, "", 44000.5, 3),
             g.item(False, "čti mě.txt", 12, 0x21, "Poznámka^Hry", 44000.5, 3)]
    sub = g.item(True, "Doom", 1012, 0x10, "", 44000.5, 2, sum(map(len, inner)))
    hidden = [g.item(True, "Tajné", 5, 0x10, "^Soukromé", 44000.5, 2, 0),
              g.item(False, "heslo.txt", 5, 0x20, "", 44000.5, 3)]
    top_body = [sub] + inner + hidden
    top = g.item(True, "Hry", 1017, 0x10, "", 44000.5, 1, sum(map(len, top_body)))
    return [top] + top_body + [g.item(False, "readme.txt", 3, 0x20, "", 44000.5, 1),
                               g.item(True, "Prázdný", 0, 0x10, "", 44000.5, 1, 0)]


def catalogues():
    h = g.database_header()
    good = (h + disc("AAAA-0001", tree(), "Hry a zábava", "Hry;Rodina", "Pepa", files=4,
                     dirs=4, lend_date=45000.5) +
            disc("AAAA-0002", [], "Prázdné", "Hry", in_multigroup=1) +
            disc("AAAA-0003", [], "Hudba", "", label="Audio CD") +
            multigroup("1-1", ["AAAA-0002", "AAAA-0001", "NIKDE"]))
    small = (HERE / "small_catalogue.bin").read_bytes()
    broken_length = bytearray(good)
    struct.pack_into("<I", broken_length, 75 + 9, 0x7FFFFFF0)  # first block too long
    broken_item = bytearray(good)
    broken_item[75 + 228 + 1] = 250  # the first name's length runs past the block
    seeds = {
        "empty": b"",
        "header_only": h,
        "small": small,
        "tree": good,
        "truncated": good[:len(good) - 100],
        "header_cut": h[:40],
        "block_too_long": bytes(broken_length),
        "item_too_long": bytes(broken_item),
        "old_format": (HERE / "old_format.bin").read_bytes(),
        "converted": (HERE / "old_format_converted.bin").read_bytes(),
        "short_head": h + disc("B-1", [])[:100],
        "multigroup_only": h + multigroup("9-9", ["X"] * 20),
    }
    # Every golden damaged catalogue as well.
    for damaged in sorted((HERE / "damaged").glob("*.bin")):
        seeds["damaged_" + damaged.stem] = damaged.read_bytes()
    out = {}
    for n, (name, body) in enumerate(seeds.items()):
        # The first byte chooses the options; vary it over the seeds.
        for option in {0x00, (n * 37) & 0xFF, 0xFF}:
            out["%s_%02x" % (name, option)] = bytes([option]) + body
    return out


def old_catalogues():
    old = (HERE / "old_format.bin").read_bytes()
    cut = bytearray(old)
    cut_at = len(old) // 2
    negative = bytearray(old)
    struct.pack_into("<i", negative, 30, -5)
    return {
        "empty": b"",
        "old_format": old,
        "truncated": bytes(cut[:cut_at]),
        "negative_length": bytes(negative),
        "current_format": (HERE / "small_catalogue.bin").read_bytes(),
        "one_empty_disc": g.old_header("X", 248, "L", "Popis", "", "", 0.0, 44000.0, 0, 0,
                                       44000.0, 0, 0, 0),
        "multigroup_short": g.old_header("M", 248 + 10, "Multi Group", "Sada", "", "", 0.0,
                                         44000.0, 0, 0, 44000.0, 0, 0, 0) + b"\0" * 10,
    }


def borrowed_lists():
    one = (HERE / "borrowed_record.bin").read_bytes()
    two = g.borrowed_record("Matrix", "Filmy", "Jana", 45000.0, 1)
    audio = g.borrowed_record("Koncert", "Audio CD", "Petr", 45001.5, 2)
    return {
        "empty": b"",
        "one": one,
        "three": one + two + audio,
        "duplicates": two + audio + two,
        "stray": one + two + b"\x01\x02\x03",
        "only_stray": b"Matrix",
        "nan_date": g.borrowed_record("NaN", "", "", float("nan"), 0),
    }


def language_files():
    files = {
        "empty": b"",
        "simple": b"[Hlavni]\r\nTitulek=Rondotheka\r\nTlacitko = OK \r\n\r\n[Dalsi]\r\nx=1\r\n",
        "escapes": b"[Okno]\r\nmulti=a\\nb\\\\c\r\n;komentar=ne\r\nbez rovnitka\r\n",
        "duplicates": b"[A]\nk=1\nK=2\n[a]\nk=3\n",
        "control": b"[A]\r\nk=\x02x\r\n[B\x03]\r\nz=1\r\r\n",
        "add_new": b"[Okno]\r\nPopisek=Stary\r\n\0Nove\x01Klic\x01Text s \\n a\nradkem ",
        "add_existing": b"[Okno]\r\nPopisek=Stary\r\n\0okno\x01POPISEK\x01jiny",
        "add_cp1250": b"[Okno]\r\n\0Okno\x01Klic\x01\x8a\xe8\xed\x9d 1250",
    }
    for lng in sorted((ROOT / "lang").glob("*.lng")):
        files[lng.stem] = lng.read_bytes()
    return files


def main():
    sets = {
        "fuzz_catalogue": catalogues(),
        "fuzz_conversion": old_catalogues(),
        "fuzz_borrowed": borrowed_lists(),
        "fuzz_language": language_files(),
    }
    for target, seeds in sets.items():
        folder = CORPUS / target
        folder.mkdir(parents=True, exist_ok=True)
        for old in folder.glob("seed-*"):
            old.unlink()
        for name, data in seeds.items():
            (folder / ("seed-" + name)).write_bytes(data)


if __name__ == "__main__":
    main()
