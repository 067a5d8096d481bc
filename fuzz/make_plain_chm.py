#!/usr/bin/env python3
"""Writes a small help file whose objects are stored uncompressed, as seed inputs for the
page target: the fuzzer's changes to a page, a style sheet or an image then stay what they
were, where in a compressed file they would only break the compression.
    make_plain_chm.py OUTPUT
"""
import struct
import sys
import zlib


def encint(value):
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def png(width, height, rgb):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    rows = b''.join(b'\0' + bytes(rgb) * width for _ in range(height))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(rows)) + chunk(b'IEND', b''))


def bmp(width, height):
    row = (b'\x00\x80\xff' * width).ljust((width * 3 + 3) // 4 * 4, b'\0')
    pixels = row * height
    header = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    return b'BM' + struct.pack('<IHHI', 14 + len(header) + len(pixels), 0, 0, 14 + len(header)) + header + pixels


def system(records):
    data = struct.pack('<I', 3)
    for code, value in records:
        data += struct.pack('<HH', code, len(value)) + value
    return data


OBJECTS = {
    '/#SYSTEM': system([(0, b'toc.hhc\0'), (1, b'index.hhk\0'), (2, b'index.htm\0'),
                        (3, b'Pages\0'), (4, struct.pack('<IIII', 0x409, 0, 0, 0))]),
    '/toc.hhc': b'<html><body><ul>'
                b'<li><object type="text/sitemap"><param name="Name" value="Start">'
                b'<param name="Local" value="index.htm"></object>'
                b'<ul><li><object type="text/sitemap"><param name="Name" value="Inner &amp; deep">'
                b'<param name="Local" value="sub/page.htm#part"></object></ul>'
                b'</ul></body></html>',
    '/index.hhk': b'<ul><li><object type="text/sitemap"><param name="Keyword" value="table">'
                  b'<param name="Local" value="index.htm"><param name="Local" value="sub/page.htm">'
                  b'</object></ul>',
    '/index.htm': b'<html><head><meta http-equiv="Content-Type" content="text/html; charset=windows-1252">'
                  b'<link rel="stylesheet" type="text/css" href="style.css"><title>Start</title></head>'
                  b'<body><h1 class="big">Start \xe9</h1><img src="images/dot.png" width="8">'
                  b'<img src="/images/box.bmp"><table border="1"><tr><td>1</td><td colspan="2">2</td></tr>'
                  b'<tr><td><a href="sub/page.htm#part">on</a></td></tr></table></body></html>',
    '/style.css': b'body { color: #123456; font-size: 12pt } .big { font-weight: bold; '
                  b'background-image: url(images/dot.png) } td { padding: 2px }',
    '/sub/page.htm': b'<html><body><p style="margin-left: 20px">Inner</p>'
                     b'<img src="../images/dot.png"><a name="part"></a><a href="../index.htm">back</a>'
                     b'</body></html>',
    '/images/dot.png': png(4, 4, (200, 30, 30)),
    '/images/box.bmp': bmp(3, 2),
}


def main(output):
    content = b''
    entries = b''
    for name in sorted(OBJECTS, key=str.lower):
        data = OBJECTS[name]
        path = name.encode()
        entries += encint(len(path)) + path + encint(0) + encint(len(content)) + encint(len(data))
        content += data
    block_len = 4096
    assert len(entries) + 0x14 <= block_len
    chunk = b'PMGL' + struct.pack('<IIii', block_len - 0x14 - len(entries), 0, -1, -1) + entries
    chunk = chunk.ljust(block_len, b'\0')
    # Root -1 (no index chunk), first and last listing chunk 0, -1, then the number of chunks.
    itsp = b'ITSP' + struct.pack('<iiiIiiiiiiII', 1, 0x54, 0x0A, block_len, 2, 1, -1, 0, 0, -1, 1, 0x409)
    itsp += bytes(32)
    header_len = 0x60
    section0 = struct.pack('<IIQII', 0x1FE, 0, 0, 0, 0)
    dir_offset = header_len + len(section0)
    dir_len = len(itsp) + len(chunk)
    data_offset = dir_offset + dir_len
    itsf = b'ITSF' + struct.pack('<iiiII', 3, header_len, 1, 0, 0x409) + bytes(32)
    itsf += struct.pack('<QQQQQ', header_len, len(section0), dir_offset, dir_len, data_offset)
    assert len(itsf) == header_len
    with open(output, 'wb') as out:
        out.write(itsf + section0 + itsp + chunk + content)


if __name__ == '__main__':
    main(sys.argv[1])
