#!/usr/bin/env python3
"""Writes the seed corpora of fuzz/corpus/ (run from anywhere; the files are
kept in the repository, so this only needs running when the seeds change)."""
import os
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


def put(target, name, data):
    folder = os.path.join(ROOT, target)
    os.makedirs(folder, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def u16(text):
    return text.encode("utf-16-le")


# ---------------------------------------------------------------- ini_file
with open(os.path.join(ROOT, "..", "..", "resources", "octile.ini"), "rb") as f:
    put("ini_file", "template", f.read())
put("ini_file", "profile",
    "[Convert]\nIsConvertIniFile=1\n[View]\nColor=0\nBKColor=16777215\nCodeType=1\n"
    "[Font]\nFaceName=ＭＳ ゴシック\nHeight=-15\n[Recent File List]\nFile1=/tmp/a.bin\n")
put("ini_file", "marks_crlf_bom",
    "\ufeff[/home/u/a.bin]\r\nMax=2\r\n0=0000000000000000000 0000000000000000015 1\r\n"
    "1=0000000000000000032 0000000000000000040 3\r\n\r\n[/home/u/A.bin]\r\nmax=0\r\n")
put("ini_file", "odd_lines",
    "  [ Setting ]  \n; comment=1\nFilter = \"quoted\" \n=empty key\nNoRecent\n[\nx=1\n"
    "[Setting]\nNoRecent=1\n[setting\nNoReadOnly='1'\nSilentReplace=1\r")
put("ini_file", "long_value", "[Setting]\nFilter=" + "ｱ" * 1100 + "\n")

# ---------------------------------------------------------------- marks
def entry(start, end, kind):
    return "%019d %019d %d" % (start, end, kind)

put("marks", "three", bytes([4, 2]) + (
    "[$DOC]\nMax=3\n0=%s\n1=%s\n2=%s\n" % (entry(0, 15, 1), entry(32, 40, 3), entry(100, 4000, 5))).encode())
put("marks", "hand_edited", bytes([3, 1]) + (
    "[other]\nMax=1\n0=%s\n[$DOC]\nMax= 7 \n0=5 9\n1=x y 2\n2=9 5 1\n3=%s\n4=1 2 9\n"
    "6=18446744073709551615 18446744073709551615 4\n" % (entry(1, 2, 1), entry(3, 3, 2))).encode())
put("marks", "sparse_far", bytes([6, 5]) + (
    "[$DOC]\nMax=2\n0=%s\n1=%s\n" % (entry(0xFFFFFFFF, 0x100000000, 2),
                                     entry(2**64 - 17, 2**64 - 1, 4))).encode())
put("marks", "empty_file", bytes([0, 1]) + ("[$DOC]\nMax=1\n0=%s\n" % entry(0, 0, 1)).encode())
put("marks", "huge_max", bytes([2, 3]) + b"[$DOC]\nMax=99999999999\n0=0 1 1\n")

# ---------------------------------------------------------------- paste
RULER = "|-0--1--2--3--4--5--6--7--8--9--A--B--C--D--E--F-|---0123456789ABCDEF"
listing = ("--------" + RULER + "\r\n" + "00000010|41 42 43 " + "   " * 13 + "|   ABC" + " " * 13
           + "\r\n" + "00000020|e3 81 82 " + "   " * 13 + "|   ..." + " " * 13 + "\r\n"
           + "-" * 8 + "|" + "-" * 48 + "|" + "-" * 19 + "\r\n")
put("paste", "plain", bytes([0, 5, 0, 0, 0]) + b"41 42 43 4a-Bc ff")
put("paste", "listing_utf8", bytes([0, 3, 0, 0, 0]) + listing.encode())
put("paste", "listing_utf16", bytes([1, 250, 0, 0, 0]) + u16(listing))
put("paste", "cut_listing", bytes([0, 0, 0, 0, 0]) + (
    "------------" + RULER + "\r\n000000001230|fe ff 4\r\n\r\n00000010|42").encode())
sample = bytes(range(256)) + "日本語テキスト".encode("shift_jis") + "かな".encode("euc_jp")
for i, code in enumerate([0, 1, 2, 3]):
    put("paste", "copy_code%d" % code, bytes([2 | (code << 2) | (i & 1), 7, 0, 40, 1]) + sample)

# ---------------------------------------------------------------- search_pattern
put("search_pattern", "hex", bytes([0, 4]) + b"414243ff")
put("search_pattern", "hex_odd", bytes([0, 5]) + b"4142z")
put("search_pattern", "japanese", bytes([0, 8]) + "検索ﾃｽﾄabc".encode())
put("search_pattern", "utf16_surrogates", bytes([1, 9]) + u16("a\U0001F600b") + b"\x00\xd8")
put("search_pattern", "sjis_bytes", bytes([0, 6]) + "漢字かな".encode("shift_jis") + b"\x81")
put("search_pattern", "euc_bytes", bytes([0, 7]) + "漢字かな".encode("euc_jp") + b"\x8e\xb1\x8f\xa1\xa1")

# ---------------------------------------------------------------- dump_format
def dump_seed(flags, start, lines, body):
    return bytes([flags]) + struct.pack("<Q", start) + bytes([lines]) + body

put("dump_format", "sjis", dump_seed(0x00, 0, 1, sample))
put("dump_format", "unicode_upper", dump_seed(0x09, 0x1234, 2, u16("Unicode テキスト \U0001F600") + b"\x00\xd8\x41"))
put("dump_format", "euc_wide", dump_seed(0x83, 0xFFFFFFF0, 3, "かな漢字".encode("euc_jp") * 4 + b"\x8e\xb1\x8f\xa1\xa1"))
put("dump_format", "jis_far", dump_seed(0xF2, 2**64 - 32, 1, bytes(range(40))))
put("dump_format", "carry", dump_seed(0x10, 0, 1, b"A" * 15 + b"\x82\xa0" + b"B" * 14 + b"\x88\x9f\xe9"))

# ---------------------------------------------------------------- charcode
put("charcode", "sjis", bytes([9]) + "日本語ﾃｷｽﾄ\x01\x7f".encode("shift_jis") + b"\x80\xa0\xfd\x81")
put("charcode", "euc", bytes([3]) + "日本語".encode("euc_jp") + b"\x8e\xb1\x8f\xa1\xa1\x7f\x8e")
put("charcode", "utf16", bytes([0]) + u16("漢字\u00a5\u203e\U0001F600?") + b"\x00\xdc")
put("charcode", "jis_codes", bytes([255]) + bytes([0x21, 0x21, 0x7e, 0x7e, 0x30, 0x21, 0x81, 0x40, 0xfc, 0xfc]))

# ---------------------------------------------------------------- bitmap_file / plugin_output
def info_header(width, height, bits, compression=0, image=0, colours=0):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image, 0, 0, colours, 0)


def bmp(header, table, pixels):
    body = header + table + pixels
    return b"BM" + struct.pack("<IHHI", 14 + len(body), 0, 0, 14 + len(header) + len(table)) + body


mono = bmp(info_header(8, 2, 1), b"\x00\x00\x00\x00\xff\xff\xff\x00", b"\xaa\x00\x00\x00\x55\x00\x00\x00")
rgb = bmp(info_header(2, -2, 24), b"", b"\x00\x00\xff\xff\x00\x00\x00\x00" + b"\x00\xff\x00\xff\xff\xff\x00\x00")
rle = bmp(info_header(4, 2, 8, 1, 10, 2), b"\x00\x00\x00\x00\x00\x00\xff\x00",
          b"\x04\x01\x00\x00\x04\x00\x00\x01\x00\x00")
core = b"BM" + struct.pack("<IHHI", 14 + 12 + 6 + 4, 0, 0, 32) + struct.pack("<IHHHH", 12, 2, 1, 1, 1) \
    + b"\x00\x00\x00\xff\xff\xff" + b"\x80\x00\x00\x00"
rgb32 = bmp(info_header(1, 1, 32, 0, 0, 0), b"", b"\x01\x02\x03\x04")
for name, data in [("mono", mono), ("rgb_top_down", rgb), ("rle8", rle), ("core", core), ("rgb32", rgb32)]:
    put("bitmap_file", name, bytes([0]) + data)
put("bitmap_file", "mono_at_3", bytes([3]) + mono)
put("bitmap_file", "bitmap_before", bytes([1]) + mono)

for name, data in [("mono", mono), ("rgb_top_down", rgb), ("rle8", rle), ("rgb32", rgb32)]:
    header_and_table = data[14:struct.unpack("<I", data[10:14])[0]]
    pixels = data[struct.unpack("<I", data[10:14])[0]:]
    put("plugin_output", name, struct.pack("<H", len(header_and_table)) + header_and_table + pixels)
put("plugin_output", "short_pixels", struct.pack("<H", 40) + info_header(16, 16, 24) + b"\x00" * 10)
