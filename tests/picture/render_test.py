#!/usr/bin/env python3
"""The SVG picture as a browser draws it: three series, each in its own colour, not a blank page.

Usage: render_test.py PROGRAM BROWSER (chromium or firefox). The program writes the picture of
a, b and c for n = 60; the browser, headless, takes a screenshot of it; the PNG is read here and
the pixels of each series' colour are counted.
"""
import os
import struct
import subprocess
import sys
import tempfile
import zlib

SERIES = {"a": (0x00, 0x72, 0xB2), "b": (0xD5, 0x5E, 0x00), "c": (0x00, 0x9E, 0x73)}


def read_png(path):
    """Width, height and rows of (r, g, b) of an 8-bit RGB or RGBA PNG."""
    data = open(path, "rb").read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, chunks, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks += body
        pos += 12 + length
    width, height, depth, colour = header[:4]
    assert depth == 8 and colour in (2, 6), f"PNG depth {depth} colour type {colour}"
    step = 3 if colour == 2 else 4
    raw, stride, rows, previous = zlib.decompress(chunks), width * step, [], bytearray(width * step)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            left = line[i - step] if i >= step else 0
            up = previous[i]
            corner = previous[i - step] if i >= step else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                p = left + up - corner
                pa, pb, pc = abs(p - left), abs(p - up), abs(p - corner)
                line[i] = (line[i] + (left if pa <= pb and pa <= pc else up if pb <= pc else corner)) & 0xFF
        rows.append([tuple(line[x * step:x * step + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def screenshot(browser, svg, png):
    size = "--window-size=800,560"
    if browser == "chromium":
        command = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                   f"--screenshot={png}", size, "file://" + svg]
    else:
        command = ["firefox-esr", "--headless", "--screenshot", png, size, "file://" + svg]
    env = dict(os.environ, HOME=os.path.dirname(svg))  # a profile of its own
    subprocess.run(command, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=300, check=False)


def main():
    program, browser = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        svg, png = os.path.join(folder, "picture.svg"), os.path.join(folder, "picture.png")
        with open(svg, "wb") as out:
            subprocess.run([program, "--svg", "abc", "60"], stdout=out, check=True)
        screenshot(browser, svg, png)
        if not os.path.exists(png):
            print(f"{browser} made no screenshot")
            return 1
        _, _, rows = read_png(png)
    counts = {name: 0 for name in SERIES}
    for row in rows:
        for pixel in row:
            for name, colour in SERIES.items():
                if all(abs(p - c) <= 24 for p, c in zip(pixel, colour)):
                    counts[name] += 1
    print(browser, counts)
    return 0 if all(count >= 300 for count in counts.values()) else 1


if __name__ == "__main__":
    sys.exit(main())
