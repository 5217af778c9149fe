#!/usr/bin/env python3
"""Builds one TrueType font from several, under a new family name.

    mixed-font.py OUT.ttf "Family Name" BASE.ttf[:index] EXTRA.ttf[:index] ...

Characters come from the first font that has them. Wine shapes a string
that holds Thai text (a complex script) with the glyphs of the selected
font only, ignoring its font links, so "タイ語 (ไทย)" needs one font with
both scripts. Hinting and vertical metrics are dropped, since the merge
can not combine them. Needs fontTools (Debian: python3-fonttools).
"""
import os
import shutil
import sys
import tempfile

from fontTools import merge
from fontTools.ttLib import TTCollection, TTFont
from fontTools.ttLib.scaleUpem import scale_upem
from fontTools.ttLib.tables import ttProgram
from fontTools.ttLib.tables._g_l_y_f import table__g_l_y_f

DROPPED = ("fpgm", "prep", "cvt ", "gasp", "vhea", "vmtx", "FFTM", "kern", "hdmx", "LTSH", "VDMX")


def fast_glyph_ids():
    """Looks glyph ids up in a dict: fontTools' list search makes writing
    a font of 30000 composite-rich glyphs take minutes."""
    cache = {}

    def get_glyph_id(self, name):
        order = self.glyphOrder
        ids = cache.get(id(order))
        if ids is None or ids[0] is not order or len(ids[1]) != len(order):
            ids = (order, {n: i for i, n in enumerate(order)})
            cache[id(order)] = ids
        return ids[1][name]

    table__g_l_y_f.getGlyphID = get_glyph_id


def load(source):
    path, _, index = source.partition(":")
    if path.lower().endswith((".ttc", ".otc")):
        font = TTCollection(path).fonts[int(index or 0)]
    else:
        font = TTFont(path)
    font.recalcBBoxes = False  # the outlines do not change
    return font


def strip(font, upem):
    for tag in DROPPED:
        if tag in font:
            del font[tag]
    if font["head"].unitsPerEm != upem:
        scale_upem(font, upem)
    glyf = font["glyf"]
    for name in font.getGlyphOrder():
        glyph = glyf[name]
        if hasattr(glyph, "program"):
            glyph.program = ttProgram.Program()
            glyph.program.fromBytecode(b"")
    font["OS/2"].version = 4
    return font


def rename(font, family):
    postscript = family.replace(" ", "")
    table = font["name"]
    table.names = [n for n in table.names if n.nameID not in (1, 2, 3, 4, 6, 16, 17, 21, 22)]
    for name_id, value in ((1, family), (2, "Regular"), (3, postscript + "-Regular"), (4, family),
                           (6, postscript + "-Regular")):
        table.setName(value, name_id, 3, 1, 0x409)
        table.setName(value, name_id, 1, 0, 0)


def main(argv):
    if len(argv) < 4:
        sys.stderr.write(__doc__)
        return 2
    out, family, sources = argv[1], argv[2], argv[3:]
    fast_glyph_ids()
    fonts = [load(s) for s in sources]
    upem = fonts[0]["head"].unitsPerEm
    # Parts and the result are written elsewhere first: the output folder
    # is a fonts folder, where a half-written font must never appear.
    with tempfile.TemporaryDirectory() as work:
        parts = []
        for i, font in enumerate(fonts):
            part = os.path.join(work, "part%d.ttf" % i)
            strip(font, upem).save(part)
            parts.append(part)
        merged = merge.Merger().merge(parts)
        rename(merged, family)
        merged.recalcBBoxes = False
        result = os.path.join(work, "merged.ttf")
        merged.save(result)
        shutil.move(result, out + ".tmp")
    os.replace(out + ".tmp", out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
