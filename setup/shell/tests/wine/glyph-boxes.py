#!/usr/bin/env python3
"""Finds empty glyph boxes (a font's "missing glyph" outline) in screenshots.

    glyph-boxes.py shot.png...

A box is a thin closed rectangle of text colour, of text height, with
nothing inside: clearly taller than wide, or, as some faces draw it, about
square, then only in a row of equal boxes (a single square may be 口).
Both dark text on light ground and light text on dark ground (title bars, buttons) are searched. Prints each box
found and exits with 1 when there is any. Reads the images through
ImageMagick's convert.
"""
import subprocess
import sys


def load_gray(path):
    pgm = subprocess.run(["convert", path, "-colorspace", "Gray", "-depth", "8", "pgm:-"],
                         check=True, capture_output=True).stdout
    # Binary PGM: "P5", width, height, maxval, then the pixels.
    fields, pos = [], 0
    while len(fields) < 4:
        while pgm[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not pgm[pos:pos + 1].isspace():
            pos += 1
        fields.append(pgm[start:pos])
    width, height = int(fields[1]), int(fields[2])
    return width, height, pgm[pos + 1:pos + 1 + width * height]


def components(mask, width, height):
    """Yields the 8-connected components of mask as lists of indexes."""
    seen = bytearray(len(mask))
    for start in range(len(mask)):
        if not mask[start] or seen[start]:
            continue
        seen[start] = 1
        stack, pixels = [start], []
        while stack:
            i = stack.pop()
            pixels.append(i)
            x, y = i % width, i // width
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    nx, ny = x + dx, y + dy
                    if 0 <= nx < width and 0 <= ny < height:
                        j = ny * width + nx
                        if mask[j] and not seen[j]:
                            seen[j] = 1
                            stack.append(j)
            if len(pixels) > 400:  # far more than a box outline: not one
                break
        yield pixels


def is_box(pixels, mask, width):
    xs = [i % width for i in pixels]
    ys = [i // width for i in pixels]
    x0, x1, y0, y1 = min(xs), max(xs), min(ys), max(ys)
    w, h = x1 - x0 + 1, y1 - y0 + 1
    if not (6 <= w <= 24 and 8 <= h <= 26 and h >= 0.6 * w):
        return None
    own = set(pixels)
    # Square corners: a round glyph such as "0" has none.
    if not all((y * width + x) in own for x in (x0, x1) for y in (y0, y1)):
        return None
    # Every row has ink at both sides, the top and bottom rows are closed.
    for y in range(y0, y1 + 1):
        if not any((y * width + x) in own for x in (x0, x0 + 1)):
            return None
        if not any((y * width + x) in own for x in (x1, x1 - 1)):
            return None
    for y in (y0, y1):
        row = sum(1 for x in range(x0, x1 + 1) if (y * width + x) in own or (y + (1 if y == y0 else -1)) * width + x in own)
        if row < w - 1:
            return None
    # A Hangul syllable's ㅁ before a vertical vowel (매, 마, 미) is a small
    # empty box too; the vowel's stroke stands right next to it.
    for x in (x1 + 1, x1 + 2):
        if sum(1 for y in range(y0, y1 + 1) if mask[y * width + x]) >= 0.6 * h:
            return None
    # Nothing inside.
    for y in range(y0 + 2, y1 - 1):
        for x in range(x0 + 2, x1 - 1):
            if mask[y * width + x]:
                return None
    return (x0, y0, w, h)


def boxes(path):
    width, height, gray = load_gray(path)
    found = []
    # The box's sides are often a faint half-pixel line: any visible
    # difference from a white or a dark ground counts as ink.
    for mask in (bytes(1 if v < 245 else 0 for v in gray), bytes(1 if v > 160 else 0 for v in gray)):
        for pixels in components(mask, width, height):
            if len(pixels) > 400:
                continue
            box = is_box(pixels, mask, width)
            if box:
                found.append(box)
    # A squarish box may be a real glyph (口); a missing word shows a row of
    # equal boxes, so one that is not clearly tall counts only beside its twin.
    def tall(b):
        return b[3] >= 1.4 * b[2]

    def twin(a, b):
        return a is not b and abs(a[2] - b[2]) <= 1 and abs(a[3] - b[3]) <= 1 and abs(a[1] - b[1]) <= 1 \
            and abs(a[0] - b[0]) <= 2.5 * a[2]
    return [b for b in found if tall(b) or any(twin(b, o) for o in found)]


def main(paths):
    bad = 0
    for path in paths:
        for x, y, w, h in boxes(path):
            print("%s: empty glyph box %dx%d at %d,%d" % (path, w, h, x, y))
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
