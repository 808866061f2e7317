#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a UDF-only disc image of a directory tree, for the disc image tests.

  make_udf.py [--revision 0x0102|0x0150|0x0201|0x0250|0x0260] [--label TEXT]
              [--hidden NAME]... [--deleted NAME]... [--tz-minutes N]
              SRC_DIR OUT_IMAGE

Layout, in 2048-byte sectors (block size = sector size):
  0-15    empty system area, no ISO 9660 descriptors
  16-18   volume recognition: BEA01, NSR02 (UDF < 2.00) or NSR03, TEA01
  32-47   main volume descriptor sequence: PVD, IUVD, PD, LVD, USD, TD
  48-63   reserve volume descriptor sequence, the same descriptors
  64-71   logical volume integrity sequence: a closed LVID, TD
  256     anchor (a second one is in the last sector)
  257-    the physical partition, partition number 0
Below UDF 2.50 the partition starts with the file set descriptor (block 0),
then every directory's and file's entry in pre-order (File Entries below
UDF 2.00, Extended File Entries from 2.00), each directory's FIDs that do not
fit into its entry right behind it, then file data, one extent per file.
From UDF 2.50 the logical volume also has a metadata partition (map 1): the
partition starts with the Extended File Entries of the metadata file (type 250)
and its mirror (type 251), then the metadata file's data and an identical
mirror copy, each aligned to 32 blocks; the file set descriptor, all entries
and FIDs are in the metadata partition and file data is addressed with long_ad
in the physical partition.
Directory entries are sorted by the bytes of their UTF-8 names, so the same
tree gives the same image. All timestamps are local time at --tz-minutes east
of UTC, with that offset in the type-and-timezone field (type 1).
"""

import argparse
import binascii
import hashlib
import os
import stat
import struct
import sys
import time

BS = 2048
PART_START = 257
VDS_MAIN, VDS_RESERVE, VDS_LEN = 32, 48, 16
LVIS, LVIS_LEN = 64, 8
EMBED_MAX = 1500  # directories with fewer bytes of FIDs keep them in their entry
META_UNIT = 32  # allocation and alignment unit of the metadata file, in blocks
IMPL = "*Rondotheka make_udf"
REVISIONS = (0x0102, 0x0150, 0x0201, 0x0250, 0x0260)
CHARSPEC = b"\0" + b"OSTA Compressed Unicode".ljust(63, b"\0")


def blocks(n):
    return (n + BS - 1) // BS


def align(n, unit):
    return (n + unit - 1) // unit * unit


def cs0(text):
    """OSTA compressed unicode: 8 bits a character when all fit, else UTF-16BE."""
    if all(ord(c) < 256 for c in text):
        return b"\x08" + text.encode("latin-1")
    return b"\x10" + text.encode("utf-16-be")


def dstring(text, size):
    while text and len(cs0(text)) > size - 1:
        text = text[:-1]
    raw = cs0(text) if text else b""
    return raw.ljust(size - 1, b"\0") + bytes([len(raw)])


def regid(ident, suffix=b""):
    return b"\0" + ident.encode().ljust(23, b"\0") + suffix.ljust(8, b"\0")


def long_ad(length, block, part, uid=0):
    # The implementation use bytes carry the target's unique id (ADImpUse).
    return struct.pack("<IIHHI", length, block, part, 0, uid & 0xFFFFFFFF)


def timestamp(ns, tz):
    t = time.gmtime(ns // 10**9 + tz * 60)
    us = ns // 1000 % 10**6
    return struct.pack("<HhBBBBBBBB", 0x1000 | (tz & 0xFFF), t.tm_year, t.tm_mon,
                       t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, us // 10000,
                       us // 100 % 100, us % 100)


def desc(ident, version, loc, body):
    """A descriptor: tag with checksum and CRC-ITU-T (0x1021, init 0) over body."""
    tag = bytearray(struct.pack("<HHBBHHHI", ident, version, 0, 0, 1,
                                binascii.crc_hqx(body, 0), len(body), loc))
    tag[4] = sum(tag) & 0xFF
    return bytes(tag) + body


def fid_len(name):
    return (38 + (len(cs0(name)) if name else 0) + 3) // 4 * 4


class Node:
    def __init__(self, name, path, st, is_dir):
        self.name, self.path, self.is_dir = name, path, is_dir
        self.mtime = st.st_mtime_ns
        self.size = 0 if is_dir else st.st_size
        self.children = []
        self.hidden = self.deleted = False
        self.data = None
        self.extent = None


def sort_key(node):
    return os.fsencode(node.name), node.deleted


def check_name(name):
    if len(cs0(name)) > 255:
        sys.exit(f"make_udf: název je pro UDF příliš dlouhý: {name}")


def scan(path, name, hidden):
    st = os.lstat(path)
    node = Node(name, path, st, stat.S_ISDIR(st.st_mode))
    node.hidden = name in hidden
    if node.is_dir:
        with os.scandir(path) as it:
            for e in it:
                if e.is_dir(follow_symlinks=False) or e.is_file(follow_symlinks=False):
                    node.children.append(scan(e.path, e.name, hidden))
        node.children.sort(key=sort_key)
    check_name(name)
    return node


def preorder(node):
    yield node
    for c in node.children:
        yield from preorder(c)


class Image:
    def __init__(self, args):
        self.rev, self.tz, self.label = args.revision, args.tz_minutes, args.label
        self.meta = self.rev >= 0x0250
        self.efe = self.rev >= 0x0200
        self.ver = 3 if self.efe else 2
        self.mp = 1 if self.meta else 0  # partition reference of entries and FIDs

        self.root = scan(args.src, "", set(args.hidden))
        for name in args.deleted:
            check_name(name)
            gone = Node(name, None, os.lstat(args.src), False)
            gone.deleted, gone.data = True, f"smazáno: {name}\n".encode()
            gone.size = len(gone.data)
            self.root.children.append(gone)
        self.root.children.sort(key=sort_key)
        self.nodes = list(preorder(self.root))
        self.rec_ns = max(n.mtime for n in self.nodes)
        for i, n in enumerate(self.nodes):
            n.uid = 15 + i if i else 0  # unique ids 1-15 are reserved
            if n.is_dir:
                n.size = 40 + sum(fid_len(c.name) for c in n.children)

        # Logical blocks of the area holding the FSD, entries and directories.
        used = 1
        for n in self.nodes:
            n.fe, used = used, used + 1
            n.embedded = n.is_dir and n.size < EMBED_MAX
            if n.is_dir and not n.embedded:
                n.extent, used = used, used + blocks(n.size)
        self.area_blocks = used
        if self.meta:
            self.meta_len = align(used, META_UNIT)
            self.meta_at, self.mirror_at = META_UNIT, META_UNIT + self.meta_len
            free = self.mirror_at + self.meta_len
        else:
            self.meta_at, free = 0, used
        for n in self.nodes:
            if not n.is_dir and n.size:
                n.extent, free = free, free + blocks(n.size)
        self.plen = free
        self.total = PART_START + self.plen + 1
        self.img = bytearray(self.total * BS)

    def put(self, sector, data):
        self.img[sector * BS:sector * BS + len(data)] = data

    def entry(self, loc, ftype, node_uid, links, info, recorded, ad_type, ads, ns, perm):
        ts = timestamp(ns, self.tz)
        head = struct.pack("<IHHHBB6sH", 0, 4, 0, 1, 0, ftype, b"", ad_type)
        head += struct.pack("<IIIHBBI", 0xFFFFFFFF, 0xFFFFFFFF, perm, links, 0, 0, 0)
        tail = regid(IMPL) + struct.pack("<QII", node_uid, 0, len(ads)) + ads
        if self.efe:
            body = head + struct.pack("<QQQ", info, info, recorded) + ts * 4
            return desc(266, 3, loc, body + struct.pack("<II", 1, 0) + bytes(32) + tail)
        body = head + struct.pack("<QQ", info, recorded) + ts * 3
        return desc(261, self.ver, loc, body + struct.pack("<I", 1) + bytes(16) + tail)

    def fids(self, d, parent):
        out = bytearray()

        def add(chars, name, target):
            loc = d.fe if d.embedded else d.extent + len(out) // BS
            ident = cs0(name) if name else b""
            body = struct.pack("<HBB", 1, chars, len(ident))
            body += long_ad(BS, target.fe, self.mp, target.uid) + b"\0\0" + ident
            out.extend(desc(257, self.ver, loc, body + bytes(-(len(body) + 16) % 4)))

        add(0x0A, "", parent)  # directory + parent
        for c in d.children:
            add(c.hidden * 0x01 | c.is_dir * 0x02 | c.deleted * 0x04, c.name, c)
        assert len(out) == d.size
        return bytes(out)

    def write_tree(self):
        area = bytearray(self.area_blocks * BS)
        root = self.root
        fsd = timestamp(self.rec_ns, self.tz) + struct.pack("<HHIIII", 3, 3, 1, 1, 0, 0)
        fsd += CHARSPEC + dstring(self.label, 128) + CHARSPEC + dstring(self.label, 32)
        fsd += bytes(64) + long_ad(BS, root.fe, self.mp) + self.domain
        area[0:512] = desc(256, self.ver, 0, fsd + bytes(64))
        parents = {id(c): n for n in self.nodes for c in n.children}
        for n in self.nodes:
            if n.is_dir:
                data = self.fids(n, parents.get(id(n), root))
                links = 1 + sum(c.is_dir for c in n.children)
                if n.embedded:
                    fe = self.entry(n.fe, 4, n.uid, links, n.size, 0, 3, data, n.mtime, 0x14A5)
                else:
                    area[n.extent * BS:n.extent * BS + len(data)] = data
                    ad = struct.pack("<II", n.size, n.extent)
                    fe = self.entry(n.fe, 4, n.uid, links, n.size, blocks(n.size), 0, ad,
                                    n.mtime, 0x14A5)
            else:
                data = n.data
                if data is None:
                    with open(n.path, "rb") as f:
                        data = f.read()
                if len(data) != n.size:
                    sys.exit(f"make_udf: soubor se během zápisu změnil: {n.path}")
                if not data:
                    ad = b""
                elif self.meta:  # the data is outside the partition of the entry
                    ad = long_ad(n.size, n.extent, 0)
                else:
                    ad = struct.pack("<II", n.size, n.extent)
                if data:
                    self.put(PART_START + n.extent, data)
                fe = self.entry(n.fe, 5, n.uid, 1, n.size, blocks(n.size), 1 if self.meta else 0,
                                ad, n.mtime, 0x1084)
            area[n.fe * BS:n.fe * BS + len(fe)] = fe
        self.put(PART_START + self.meta_at, area)
        if self.meta:
            self.put(PART_START + self.mirror_at, area)
            for loc, ftype, at in ((0, 250, self.meta_at), (1, 251, self.mirror_at)):
                ad = struct.pack("<II", self.meta_len * BS, at)
                self.put(PART_START + loc, self.entry(loc, ftype, 0, 1, self.meta_len * BS,
                                                      self.meta_len, 0, ad, self.rec_ns, 0))

    def write_volume(self):
        rev, ver, label = self.rev, self.ver, self.label
        rec = timestamp(self.rec_ns, self.tz)
        udf_suffix = struct.pack("<H", rev)
        impl = regid(IMPL)
        for i, vsd in enumerate((b"BEA01", b"NSR03" if ver == 3 else b"NSR02", b"TEA01")):
            self.put(16 + i, struct.pack("<B5sB", 0, vsd, 1))

        volset = hashlib.sha256(label.encode()).hexdigest()[:16] + label
        pvd = struct.pack("<II", 0, 0) + dstring(label, 32)
        pvd += struct.pack("<HHHHII", 1, 1, 2, 2, 1, 1)  # one volume, interchange level 2
        pvd += dstring(volset, 128) + CHARSPEC * 2 + bytes(16) + bytes(32) + rec + impl
        pvd += bytes(64 + 6 + 22)
        iuvd = struct.pack("<I", 1) + regid("*UDF LV Info", udf_suffix) + CHARSPEC
        iuvd += dstring(label, 128) + bytes(108) + impl + bytes(128)
        pd = struct.pack("<IHH", 2, 1, 0) + regid("+NSR03" if ver == 3 else "+NSR02")
        pd += bytes(128) + struct.pack("<III", 1, PART_START, self.plen) + impl + bytes(284)
        maps = struct.pack("<BBHH", 1, 6, 1, 0)
        if self.meta:
            maps += struct.pack("<BB2s", 2, 64, b"") + regid("*UDF Metadata Partition", udf_suffix)
            # metadata file FE in block 0, mirror FE in block 1, no bitmap, duplicated
            maps += struct.pack("<HHIIIIHB5s", 1, 0, 0, 1, 0xFFFFFFFF, META_UNIT, META_UNIT, 1,
                                b"")
        lvd = struct.pack("<I", 3) + CHARSPEC + dstring(label, 128) + struct.pack("<I", BS)
        lvd += self.domain + long_ad(BS, 0, self.mp) + struct.pack("<II", len(maps), 1 + self.meta)
        lvd += impl + bytes(128) + struct.pack("<II", LVIS_LEN * BS, LVIS) + maps
        usd = struct.pack("<II", 4, 0)
        seq = ((1, pvd), (4, iuvd), (5, pd), (6, lvd), (7, usd), (8, bytes(496)))
        for start in (VDS_MAIN, VDS_RESERVE):
            for i, (ident, body) in enumerate(seq):
                self.put(start + i, desc(ident, ver, start + i, body))

        files = [n for n in self.nodes if not n.is_dir and not n.deleted]
        sizes = [self.plen] + ([self.meta_len] if self.meta else [])
        min_read = 0x0250 if self.meta else rev
        iu = impl + struct.pack("<IIHHH", len(files), len(self.nodes) - len(files) -
                                sum(n.deleted for n in self.nodes), min_read, rev, rev)
        lvid = rec + struct.pack("<I", 1) + bytes(8)
        lvid += struct.pack("<Q", 16 + len(self.nodes)) + bytes(24)
        lvid += struct.pack("<II", len(sizes), len(iu)) + bytes(4 * len(sizes))
        lvid += struct.pack(f"<{len(sizes)}I", *sizes) + iu
        self.put(LVIS, desc(9, ver, LVIS, lvid))
        self.put(LVIS + 1, desc(8, ver, LVIS + 1, bytes(496)))

        avdp = struct.pack("<IIII", VDS_LEN * BS, VDS_MAIN, VDS_LEN * BS, VDS_RESERVE) + bytes(480)
        for loc in (256, self.total - 1):
            self.put(loc, desc(2, ver, loc, avdp))

    def write(self, out):
        self.domain = regid("*OSTA UDF Compliant", struct.pack("<H", self.rev))
        self.write_tree()
        self.write_volume()
        with open(out, "wb") as f:
            f.write(self.img)


def main():
    p = argparse.ArgumentParser(description="Vytvoří obraz disku UDF ze stromu adresářů.")
    p.add_argument("--revision", type=lambda s: int(s, 0), default=0x0102, metavar="REVIZE",
                   help="revize UDF: 0x0102, 0x0150, 0x0201, 0x0250 nebo 0x0260")
    p.add_argument("--label", default="UDFTEST", metavar="TEXT", help="jmenovka svazku")
    p.add_argument("--hidden", action="append", default=[], metavar="NÁZEV",
                   help="položky s tímto názvem budou skryté")
    p.add_argument("--deleted", action="append", default=[], metavar="NÁZEV",
                   help="v kořeni zůstane smazaná položka s tímto názvem")
    p.add_argument("--tz-minutes", type=int, default=60, metavar="MINUTY",
                   help="posun místního času časových údajů od UTC v minutách")
    p.add_argument("src", metavar="ZDROJ")
    p.add_argument("out", metavar="OBRAZ")
    args = p.parse_args()
    if args.revision not in REVISIONS:
        p.error("nepodporovaná revize UDF")
    if not -1440 <= args.tz_minutes <= 1440:
        p.error("posun časového pásma musí být mezi -1440 a 1440 minutami")
    Image(args).write(args.out)


if __name__ == "__main__":
    main()
