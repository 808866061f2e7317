#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes catalogues that are damaged in one place each (or odd but legal),
built field by field like make_golden.py. The damaged-catalogue tests run
every operation against them; run this only to change the set."""
import sys
from pathlib import Path

sys.dont_write_bytecode = True
from make_golden import cd_header, database_header, item, member_list  # noqa: E402

OUT = Path(__file__).resolve().parent / "damaged"


def disc(serial, description, items, label="DATA", in_multigroup=0, block_size=None,
         files=0, dirs=0):
    block = b"".join(items)
    size = 228 + len(block) if block_size is None else block_size
    return cd_header(serial, size, label, description, "Hry", "", 0.0, 45000.5, files, dirs,
                     45000.6, 0, 1000, in_multigroup) + block


def good_items(prefix):
    inner = item(False, prefix + "in.txt", 300, 0x20, "", 44000.5, 2)
    return [
        item(True, prefix + "dir", 300, 0x10, "^Hry", 44000.5, 1, len(inner)),
        item(False, prefix + "in.txt", 300, 0x20, "", 44000.5, 2),
        item(False, prefix + "root.txt", 12, 0x21, "x", 44000.5, 1),
    ]


def good(serial, description):
    return disc(serial, description, good_items(description[0].lower()), files=2, dirs=1)


def multigroup(serial, description, members, block=None):
    body = member_list(members) if block is None else block
    return cd_header(serial, 228 + len(body), "Multi Group", description, "", "", 0.0,
                     45000.5, 0, 0, 45000.6, 0, 0, 0) + body


def main():
    OUT.mkdir(exist_ok=True)
    head = database_header()
    first = good("AAAA-0001", "Alfa")
    last = good("AAAA-0009", "Omega")
    files = {}
    files["truncated_header"] = head + first + good("AAAA-0002", "Beta")[:100]
    files["truncated_entry"] = head + first + good("AAAA-0002", "Beta")[:228 + 20]
    files["block_size_0"] = head + first + disc("AAAA-0002", "Beta", [], block_size=0) + last
    files["block_size_227"] = head + first + disc("AAAA-0002", "Beta", [], block_size=227) + last
    files["block_size_past_end"] = (head + first +
                                    disc("AAAA-0002", "Beta", good_items("b"), block_size=5000) +
                                    last)
    # The last item's name (or comment) length reaches past its block; the
    # next disc follows, so the bytes are there but belong to another entry.
    long_name = item(False, "konec.txt", 1, 0x20, "", 44000.5, 1)
    long_name = long_name[:1] + bytes([200]) + long_name[2:]
    files["name_past_block"] = (head + first +
                                disc("AAAA-0002", "Beta", good_items("b") + [long_name],
                                     files=3, dirs=1) + last)
    long_comment = item(False, "konec.txt", 1, 0x20, "", 44000.5, 1)
    long_comment = long_comment[:2] + bytes([250]) + long_comment[3:]
    files["comment_past_block"] = (head + first +
                                   disc("AAAA-0002", "Beta", good_items("b") + [long_comment],
                                        files=3, dirs=1) + last)
    # Garbage whose kind byte has the end-mark bit set, with the root's last
    # file after it: a walk that stopped there would lose that file unseen.
    marked = item(False, "konec.txt", 1, 0x20, "", 44000.5, 1)
    marked = bytes([0x01]) + marked[1:]
    files["end_mark_inside"] = (head + first +
                                disc("AAAA-0002", "Beta",
                                     good_items("b")[:2] + [marked] + good_items("b")[2:],
                                     files=3, dirs=1) + last)
    # A name length one short: the walk goes out of step after that item.
    short = item(False, "konec.txt", 1, 0x20, "", 44000.5, 1)
    short = short[:1] + bytes([short[1] - 1]) + short[2:]
    files["name_length_short"] = (head + first +
                                  disc("AAAA-0002", "Beta", [short] + good_items("b"),
                                       files=3, dirs=1) + last)
    subtree = good_items("b")
    subtree[0] = item(True, "bdir", 300, 0x10, "^Hry", 44000.5, 1, 100000)
    files["subtree_past_block"] = (head + first +
                                   disc("AAAA-0002", "Beta", subtree, files=2, dirs=1) + last)
    files["multigroup_short"] = (head + first +
                                 multigroup("12-34", "Sada", [], member_list(["AAAA-0001"])[:90]) +
                                 last)
    files["multigroup_long"] = (head + first +
                                multigroup("12-34", "Sada", [],
                                           member_list(["AAAA-0001"]) + b"\0" * 45) + last)
    # Legal: all twenty slots used, no empty slot to end the list.
    members = ["AAAA-0001", "AAAA-0009"] + ["BBBB-%04d" % i for i in range(18)]
    files["members_full"] = head + first + multigroup("12-34", "Plná sada", members) + last
    for name, data in files.items():
        (OUT / (name + ".bin")).write_bytes(data)


if __name__ == "__main__":
    main()
