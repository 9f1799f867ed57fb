#!/usr/bin/env python3
"""Writes the seed corpora of fuzz/corpus/ (run from anywhere; the files are
kept in the repository, so this only needs running when the seeds change)."""
import base64
import os
import struct
import zlib

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

# ---------------------------------------------------------------- ifjpeg / ifpng / ifgif
# A flags byte (fuzz/plugin_fuzz.h: bits 0-3 the pixel limit, 2^(8 + n) pixels;
# bit 4 the picture read from a file), then the picture.
LIMIT_256, LIMIT_1M, FROM_FILE = 0x00, 0x0C, 0x10


def plugin_seed(target, name, flags, picture):
    put(target, name, bytes([flags]) + picture)


# Written by libjpeg-turbo with quality 50 and optimised Huffman tables: RGB
# 4:2:0 (16x16), grey (8x8), progressive RGB (16x16), CMYK with an Adobe
# marker (8x8), and arithmetic coding with a restart interval of one MCU (16x8).
JPEGS = {k: base64.b64decode("".join(v)) for k, v in {
    "baseline": (
        "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkz"
        "ODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2Nj"
        "Y2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2P/wAARCAAQABADASIA"
        "AhEBAxEB/8QAFgABAQEAAAAAAAAAAAAAAAAABQAC/8QAJBAAAQIEBQUAAAAAAAAAAAAAAQIhAAME"
        "EQUSIzFBQnHB0fD/xAAUAQEAAAAAAAAAAAAAAAAAAAAB/8QAIxEAAQICCwAAAAAAAAAAAAAAAQAD"
        "QYECBBEhIyQxQlFx0f/aAAwDAQACEQMRAD8AsIpciAbdozjdVqCRLN0ymY7rPoeYRK00NGqa10iy"
        "AepR25+eAJSFVFW5KspclyTyYBmazbtoXTj4hjBaL0dB3zIL/9k="
    ),
    "grey": (
        "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkz"
        "ODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/wAALCAAIAAgBAREA/8QAFAABAAAAAAAA"
        "AAAAAAAAAAAABf/EABgQAAIDAAAAAAAAAAAAAAAAAAAEBSEy/9oACAEBAAA/ACYRPNH/2Q=="
    ),
    "progressive": (
        "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkz"
        "ODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2Nj"
        "Y2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2P/wgARCAAQABADASIA"
        "AhEBAxEB/8QAFgABAQEAAAAAAAAAAAAAAAAABAAB/8QAFAEBAAAAAAAAAAAAAAAAAAAAAf/aAAwD"
        "AQACEAMQAAABsQAP/8QAGhABAAEFAAAAAAAAAAAAAAAAAgMAASEiMv/aAAgBAQABBQKI1Ms8C2y/"
        "/8QAFxEBAAMAAAAAAAAAAAAAAAAAAgASIv/aAAgBAwEBPwEYN5//xAAYEQACAwAAAAAAAAAAAAAA"
        "AAAAAQMzYf/aAAgBAgEBPwGyTEf/xAAYEAACAwAAAAAAAAAAAAAAAAAAEQEQQf/aAAgBAQAGPwIU"
        "YOv/xAAaEAACAwEBAAAAAAAAAAAAAAAAARFRYTGx/9oACAEBAAE/IY0Zr0SnU5rEdsH/2gAMAwEA"
        "AgADAAAAEC//xAAbEQABBAMAAAAAAAAAAAAAAAABACExQVFxgf/aAAgBAwEBPxB7aBvPAv/EABoR"
        "AAAHAAAAAAAAAAAAAAAAAAABMUFhgdH/2gAIAQIBAT8QJeG3wf/EAB0QAQACAgIDAAAAAAAAAAAA"
        "AAERIQBBMXHB0fD/2gAIAQEAAT8Qi2OsqNNNPL9HnGoZEF2cb+vLyslrau3P/9k="
    ),
    "cmyk": (
        "/9j/7gAOQWRvYmUAZAAAAAAA/9sAQwAQCwwODAoQDg0OEhEQExgoGhgWFhgxIyUdKDozPTw5Mzg3"
        "QEhcTkBEV0U3OFBtUVdfYmdoZz5NcXlwZHhcZWdj/8AAFAgACAAIBEMRAE0RAFkRAEsRAP/EABYA"
        "AQEBAAAAAAAAAAAAAAAAAAUDBP/EACUQAAECBQMEAwAAAAAAAAAAAAECAwAEBREhMTJCBhITIkFR"
        "Yf/aAA4EQwBNAFkASwAAPwAmiSe3EaKJJ7cQo9MootHdnFBJWkdrSTyWdBa4v9m2bAxPrCb804xS"
        "WtjFnHcarI9Rp8JN8Hl+R//Z"
    ),
    "arithmetic_restarts": (
        "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDABALDA4MChAODQ4SERATGCgaGBYWGDEjJR0oOjM9PDkz"
        "ODdASFxOQERXRTc4UG1RV19iZ2hnPk1xeXBkeFxlZ2P/2wBDARESEhgVGC8aGi9jQjhCY2NjY2Nj"
        "Y2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2NjY2P/yQARCAAIABADASIA"
        "AhEBAxEB/8wACgAQEAUBEBEF/90ABAAB/9oADAMBAAIRAxEAPwCdWxU5b6jGu+F3qbjwjgwRBMKC"
        "84+X4UaPnj6tByGvaQoog0Vg0gcrAObIQWD/2Q=="
    ),
}.items()}


def jpeg_with_size(jpeg, width, height):
    """The JPEG with the size in its frame header replaced."""
    i = 2
    while i + 9 < len(jpeg):
        if jpeg[i + 1] in (0xC0, 0xC1, 0xC2, 0xC9):
            return jpeg[:i + 5] + struct.pack(">HH", height, width) + jpeg[i + 9:]
        i += 2 + struct.unpack(">H", jpeg[i + 2:i + 4])[0]
    raise ValueError("no frame header")


def jpeg_last_scan_repeated(jpeg, times):
    last = jpeg.rindex(b"\xff\xda")
    return jpeg[:-2] + jpeg[last:-2] * times + b"\xff\xd9"


for name, data in JPEGS.items():
    plugin_seed("ifjpeg", name, LIMIT_1M, data)
plugin_seed("ifjpeg", "baseline_from_file_at_the_limit", FROM_FILE | LIMIT_256, JPEGS["baseline"])
plugin_seed("ifjpeg", "baseline_cut_in_headers", LIMIT_1M, JPEGS["baseline"][:len(JPEGS["baseline"]) // 2])
plugin_seed("ifjpeg", "baseline_cut_in_data", LIMIT_1M, JPEGS["baseline"][:-60])
plugin_seed("ifjpeg", "progressive_9000_square", LIMIT_1M,
            jpeg_last_scan_repeated(jpeg_with_size(JPEGS["progressive"], 9000, 9000), 20))
plugin_seed("ifjpeg", "progressive_50_scans", FROM_FILE | LIMIT_1M,
            jpeg_last_scan_repeated(JPEGS["progressive"], 40))
plugin_seed("ifjpeg", "comment_and_app_markers", LIMIT_1M,
            JPEGS["grey"][:2] + b"\xff\xfe\x00\x07comment" + b"\xff\xe5\x00\x04\x00\x00" + JPEGS["grey"][2:])
plugin_seed("ifjpeg", "garbage_after_start", LIMIT_1M, b"\xff\xd8\xff" + bytes(range(200)))


# PNG: chunks with their checksums, pixels deflated with zlib.
def png_chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png_rows(width, height, depth, channels, pixel, interlaced=False):
    """Filtered rows (filter 0) of the picture pixel(x, y) -> samples; Adam7
    passes one after another when interlaced."""
    passes = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2),
              (0, 1, 1, 2)] if interlaced else [(0, 0, 1, 1)]
    out = b""
    for x0, y0, dx, dy in passes:
        xs = range(x0, width, dx)
        if not xs:
            continue
        for y in range(y0, height, dy):
            bits = ""
            for x in xs:
                for sample in pixel(x, y)[:channels]:
                    bits += format(sample, "0%db" % depth)
            bits += "0" * (-len(bits) % 8)
            out += b"\x00" + int(bits, 2).to_bytes(len(bits) // 8, "big") if bits else b"\x00"
    return out


def png(width, height, depth, colour, channels, pixel, interlaced=False, before_data=b""):
    header = struct.pack(">IIBBBBB", width, height, depth, colour, 0, 0, 1 if interlaced else 0)
    data = zlib.compress(png_rows(width, height, depth, channels, pixel, interlaced), 9)
    return (b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", header) + before_data
            + png_chunk(b"IDAT", data) + png_chunk(b"IEND", b""))


rgb_png = png(5, 3, 8, 2, 3, lambda x, y: (x * 50, y * 80, 200))
palette = png_chunk(b"PLTE", bytes([0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255])) + png_chunk(b"tRNS", b"\x00\x80")
plugin_seed("ifpng", "rgb", LIMIT_1M, rgb_png)
plugin_seed("ifpng", "rgb_from_file", FROM_FILE | LIMIT_1M, rgb_png)
plugin_seed("ifpng", "grey_1_bit", LIMIT_256, png(9, 4, 1, 0, 1, lambda x, y: ((x + y) & 1,)))
plugin_seed("ifpng", "palette_4_bit", LIMIT_1M,
            png(4, 4, 4, 3, 1, lambda x, y: ((x + y) % 4,), before_data=palette))
plugin_seed("ifpng", "rgba_interlaced", LIMIT_1M,
            png(7, 7, 8, 6, 4, lambda x, y: (x * 30, y * 30, 90, (x * y * 5) % 256), interlaced=True))
plugin_seed("ifpng", "grey_alpha_16_bit", FROM_FILE | LIMIT_1M,
            png(3, 3, 16, 4, 2, lambda x, y: (x * 20000, 65535 - y * 20000)))
plugin_seed("ifpng", "text_and_profile_chunks", LIMIT_1M,
            png(2, 2, 8, 2, 3, lambda x, y: (1, 2, 3), before_data=png_chunk(b"tEXt", b"Title\x00x")
                + png_chunk(b"zTXt", b"Note\x00\x00" + zlib.compress(b"z" * 5000))
                + png_chunk(b"iCCP", b"p\x00\x00" + zlib.compress(b"\x00" * 3000))))
plugin_seed("ifpng", "rgb_cut", LIMIT_1M, rgb_png[:-20])
plugin_seed("ifpng", "chunk_before_the_header", LIMIT_1M,
            rgb_png[:8] + png_chunk(b"iHDR", struct.pack(">II", 70000, 70000) + b"\x08\x02\x00\x00\x00") + rgb_png[8:])
plugin_seed("ifpng", "rgb_bad_checksum", LIMIT_1M, rgb_png[:29] + b"\x00" + rgb_png[30:])
plugin_seed("ifpng", "declares_16000_square", LIMIT_1M,
            b"\x89PNG\r\n\x1a\n" + png_chunk(b"IHDR", struct.pack(">IIBBBBB", 16000, 16000, 8, 2, 0, 0, 0))
            + png_chunk(b"IDAT", zlib.compress(b"\x00" * 48001 * 4)))


# GIF: LZW codes of the minimum size + 1 bits, every picture element a code
# of its own, with a clear code before the table would make codes wider.
def gif_lzw(indices, min_code_size):
    clear = 1 << min_code_size
    width = min_code_size + 1
    run = clear - 3
    codes = []
    for i in range(0, len(indices), run):
        codes += [clear] + list(indices[i:i + run])
    codes.append(clear + 1)
    value = 0
    for k, code in enumerate(codes):
        value |= code << (k * width)
    data = value.to_bytes((len(codes) * width + 7) // 8, "little")
    blocks = b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
    return bytes([min_code_size]) + blocks + b"\x00"


def gif_colours(count):
    return b"".join(bytes([i * 7 % 256, i * 3 % 256, 255 - i % 256]) for i in range(count))


def gif(screen, image, indices, colours=256, local=0, interlaced=False, extensions=b"",
        background=0, version=b"GIF89a"):
    """screen (w, h); image (left, top, w, h); a global table of colours
    entries (0: none) and a local one of local entries (0: none)."""
    size_bits = lambda n: n.bit_length() - 2
    flags = (0x80 | 0x70 | size_bits(colours)) if colours else 0
    head = version + struct.pack("<HHBBB", screen[0], screen[1], flags, background, 0)
    head += gif_colours(colours) if colours else b""
    image_flags = (0x80 | size_bits(local) if local else 0) | (0x40 if interlaced else 0)
    desc = b"\x2c" + struct.pack("<HHHHB", *image, image_flags) + (gif_colours(local) if local else b"")
    code_size = max(2, (max(colours, local) - 1).bit_length())
    return head + extensions + desc + gif_lzw(indices, code_size) + b"\x3b"


transparent = b"\x21\xf9\x04\x01\x00\x00\x02\x00"  # graphics control: colour 2 is transparent
comment = b"\x21\xfe\x07comment\x00"
loop = b"\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00"
square = gif((4, 4), (0, 0, 4, 4), [i * 17 % 256 for i in range(16)])
plugin_seed("ifgif", "square", LIMIT_1M, square)
plugin_seed("ifgif", "square_from_file_at_the_limit", FROM_FILE | LIMIT_256, square)
plugin_seed("ifgif", "interlaced_local_colours_transparent", LIMIT_1M,
            gif((9, 9), (0, 0, 9, 9), [i % 4 for i in range(81)], colours=0, local=4, interlaced=True,
                extensions=transparent))
plugin_seed("ifgif", "frame_on_larger_screen", FROM_FILE | LIMIT_1M,
            gif((8, 6), (4, 3, 3, 2), [1, 2, 3, 4, 5, 6], background=17, extensions=comment + loop))
plugin_seed("ifgif", "picture_outside_its_screen", LIMIT_1M,
            gif((8, 8), (5, 5, 6, 4), list(range(24)), version=b"GIF87a"))
plugin_seed("ifgif", "no_colour_table", LIMIT_1M, gif((2, 2), (0, 0, 2, 2), [0, 1, 0, 1], colours=0))
plugin_seed("ifgif", "square_cut", LIMIT_1M, square[:len(square) - 12])
plugin_seed("ifgif", "screen_65535_by_4000", LIMIT_1M, gif((65535, 4000), (0, 0, 2, 2), [1, 2, 3, 4]))
plugin_seed("ifgif", "no_picture", LIMIT_1M, b"GIF89a" + struct.pack("<HHBBB", 1, 1, 0, 0, 0) + comment + b"\x3b")
