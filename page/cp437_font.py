#!/usr/bin/python3
"""The page's font: DejaVu Sans Mono cut down to the glyphs of code page 437 that the program
draws, as WOFF2. The code points are read from the program's own table (cp437.cc).

    cp437_font.py SOURCE_CC FONT_TTF OUT_WOFF2
"""
import re
import sys

from fontTools import subset


def code_points(source):
    text = open(source, encoding="utf-8").read()
    table = text[text.index("kCodePoints = {"):]
    table = table[:table.index("};")]
    table = re.sub(r"//[^\n]*", "", table)
    return sorted({int(token, 16) for token in re.findall(r"0x[0-9A-Fa-f]+", table)})


def main(source, font, out):
    points = code_points(source)
    if len(points) < 250:
        sys.exit(f"{source}: found only {len(points)} code points")
    options = subset.Options()
    options.flavor = "woff2"
    options.layout_features = []
    options.name_IDs = ["*"]  # the copyright, the licence and the names stay with it
    options.notdef_outline = True
    options.drop_tables += ["FFTM"]  # a build stamp of the font editor, nothing to draw
    loaded = subset.load_font(font, options)
    missing = [p for p in points if p not in loaded.getBestCmap()]
    if missing:
        sys.exit(f"{font} lacks {', '.join(f'U+{p:04X}' for p in missing)}")
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=points)
    subsetter.subset(loaded)
    subset.save_font(loaded, out, options)


if __name__ == "__main__":
    main(*sys.argv[1:])
