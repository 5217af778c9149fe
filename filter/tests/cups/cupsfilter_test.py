#!/usr/bin/env python3
"""PDFs through the real CUPS filter chain (cupsfilter) with our PPDs.

Each case converts a document with pdftopdf and gstoraster into 8-bit RGB
raster, runs rastertoquillet on it, decodes the printer stream and checks
the page headers and what the bitmaps show.
"""
import os
import shutil
import subprocess
import sys
import unittest

import cupskit

ARGS = None
# Marker document geometry (points, origin bottom left of an A4 page).
PAGE_H = 842
BOX1 = (40, 692, 160, 802)      # black box, page 1, top left
GRAY1 = (300, 500, 500, 700)    # 50% gray field, page 1
BOX2_BOTTOM = 421               # lowest edge of ink on page 2
BOX3_BOTTOM = 780               # lowest edge of ink on page 3


def box_dots(box, dpi, page_h=PAGE_H):
    """A PDF box as (x0, y0, x1, y1) in dots from the top left."""
    x0, y0, x1, y1 = box
    return (cupskit.dots(x0, dpi), cupskit.dots(page_h - y1, dpi),
            cupskit.dots(x1, dpi), cupskit.dots(page_h - y0, dpi))


def inner(box, margin=6):
    x0, y0, x1, y1 = box
    return (x0 + margin, y0 + margin, x1 - margin, y1 - margin)


class CupsFilterChain(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = cupskit.make_tempdir("quillet-cupsfilter-")
        sb = cupskit.make_serverbin(cls.tmp, ARGS.filter)
        cls.conf = os.path.join(cls.tmp, "cups-files.conf")
        with open(cls.conf, "w") as f:
            f.write("ServerBin %s\nDataDir /usr/share/cups\nServerRoot /etc/cups\n" % sb)
        cls.markers = cupskit.generate_doc(ARGS.testdoc, "markers", os.path.join(cls.tmp, "markers.pdf"))
        cls.label = cupskit.write_label_pdf(ARGS.testdoc, os.path.join(cls.tmp, "label.pdf"))
        cls.runs = 0
        cls.cache = {}

    @classmethod
    def tearDownClass(cls):
        if not ARGS.keep:
            shutil.rmtree(cls.tmp, ignore_errors=True)

    def convert(self, ppd, doc, options=(), copies=None):
        """Runs the chain; returns the decoded pages (cached per argument set)."""
        key = (ppd, doc, tuple(options), copies)
        if key in self.cache:
            return self.cache[key]
        type(self).runs += 1
        n = self.runs
        # -e: without it cupsfilter ignores the PPD's cupsFilter line and
        # stops at PostScript, as for a PostScript printer.
        cmd = ["cupsfilter", "-e", "-c", self.conf, "-p", os.path.join(ARGS.ppd_dir, ppd), "-m", "printer/foo"]
        for o in options:
            cmd += ["-o", o]
        if copies:
            cmd += ["-n", str(copies)]
        cmd.append(doc)
        out = os.path.join(self.tmp, "run%d.prn" % n)
        with open(out, "wb") as f:
            res = subprocess.run(cmd, stdout=f, stderr=subprocess.PIPE, text=True, timeout=120)
        log = res.stderr
        self.assertEqual(res.returncode, 0, "cupsfilter failed:\n" + log[-3000:])
        self.assertIn("rastertoquillet", log, "our filter was not in the chain")
        self.assertGreater(os.path.getsize(out), 0, "empty printer stream:\n" + log[-3000:])
        pages = cupskit.decode(ARGS.decoder, out, os.path.join(self.tmp, "run%d" % n))
        self.cache[key] = pages
        return pages

    def assert_a4_header(self, page, papertype="0(continuous)", gap="0,0mm", direction="0",
                         density="8", speed="4", copies="1"):
        self.assertEqual(page["header"], "a4")
        self.assertEqual(page["papertype"], papertype)
        self.assertEqual(page["gap"], gap)
        self.assertEqual(page["direction"], direction)
        self.assertEqual(page["reference"], "0,0")  # the A4 form has no blanks
        self.assertEqual(page["density"], density)
        self.assertEqual(page["speed"], speed)
        self.assertEqual(page["print"], "1," + copies)

    def assert_trimmed(self, page, last_row):
        """The page ends with the band that holds its last row of ink."""
        lastink = int(page["lastink"])
        self.assertAlmostEqual(lastink, last_row, delta=3)
        self.assertEqual(int(page["bands"]), lastink // 24 + 1)

    def test_cups_test_page(self):
        pages = self.convert("qa4-203.ppd", "/usr/share/cups/data/testprint")
        self.assertEqual(len(pages), 1)
        page = pages[0]
        self.assert_a4_header(page)
        self.assertEqual(page["size"], "210x297mm")
        self.assertEqual(page.width, 1680)  # 1678 dots, padded to whole bytes
        lastink = int(page["lastink"])
        self.assertGreater(lastink, 2000, "test page lost its lower part")
        self.assertLess(lastink, int(page["bands"]) * 24)
        self.assertLessEqual(int(page["bands"]), (2374 + 23) // 24)

    def test_marker_pages_with_defaults(self):
        pages = self.convert("qa4-203.ppd", self.markers)
        self.assertEqual(len(pages), 3)
        for page in pages:
            self.assert_a4_header(page)
            self.assertEqual(page["size"], "210x297mm")
        p1, p2, p3 = pages
        self.assertGreater(p1.ink_ratio(*inner(box_dots(BOX1, 203))), 0.98)
        gray = p1.ink_ratio(*inner(box_dots(GRAY1, 203)))
        self.assertTrue(0.2 < gray < 0.8, "error diffusion should dither 50%% gray, got %.2f" % gray)
        self.assert_trimmed(p2, cupskit.dots(PAGE_H - BOX2_BOTTOM, 203) - 1)
        self.assert_trimmed(p3, cupskit.dots(PAGE_H - BOX3_BOTTOM, 203) - 1)

    def test_threshold_instead_of_halftone(self):
        p1 = self.convert("qa4-203.ppd", self.markers, ["OP_HalfTone=False", "page-ranges=1"])[0]
        self.assertGreater(p1.ink_ratio(*inner(box_dots(BOX1, 203))), 0.98)
        gray = p1.ink_ratio(*inner(box_dots(GRAY1, 203)))
        self.assertTrue(gray < 0.05 or gray > 0.95, "threshold should not dither, got %.2f" % gray)
        # Only the error-diffusion path looks for the blank tail.
        self.assertEqual(int(p1["bands"]), (2374 + 23) // 24)

    def test_mirror(self):
        normal = self.convert("qa4-203.ppd", self.markers)[0]
        mirrored = self.convert("qa4-203.ppd", self.markers, ["OP_Mirror=1", "page-ranges=1"])[0]
        x0, y0, x1, y1 = box_dots(BOX1, 203)
        rows = (y0 + 10, y1 - 10)
        n0, n1 = normal.column_extent(*rows)
        m0, m1 = mirrored.column_extent(*rows)
        self.assertAlmostEqual(n0, x0, delta=3)
        # Mirrored about the raster width (1678 dots), not the padded one.
        self.assertAlmostEqual(m1, 1677 - n0, delta=3)
        self.assertAlmostEqual(m0, 1677 - n1, delta=3)
        self.assertEqual(mirrored["lastink"], normal["lastink"])

    def test_negative(self):
        normal = self.convert("qa4-203.ppd", self.markers)[0]
        negative = self.convert("qa4-203.ppd", self.markers, ["OP_ReversePhase=1", "page-ranges=1"])[0]
        self.assertLess(negative.ink_ratio(*inner(box_dots(BOX1, 203))), 0.02)
        self.assertGreater(negative.ink_ratio(20, 20, 100, 100), 0.98)  # white margin turns black
        self.assertEqual(negative["bands"], normal["bands"])

    def test_quarter_turn(self):
        page = self.convert("qa4-203.ppd", self.markers, ["OP_Rotate=1", "page-ranges=1"])[0]
        self.assert_a4_header(page)  # rotate does not change DIRECTION on the A4 models
        self.assertEqual(page["size"], "297x210mm")
        # Turned clockwise: the top-left box lands at the top right.
        x0, y0, x1, y1 = box_dots(BOX1, 203)
        turned = (2374 - 1 - y1, x0, 2374 - 1 - y0, x1)
        self.assertGreater(page.ink_ratio(*inner(turned, 8)), 0.98)

    def test_paper_type_density_speed_direction(self):
        opts = ["page-ranges=3", "OP_Density=12", "OP_PrintSpeed=6", "OP_Direction=1"]
        page = self.convert("qa4-203.ppd", self.markers, opts + ["OP_PaperType=0"])[0]
        self.assert_a4_header(page, papertype="1(blackmark)", gap="2,2mm", direction="1", density="12", speed="6")
        page = self.convert("qa4-203.ppd", self.markers, ["page-ranges=3", "OP_PaperType=2"])[0]
        self.assert_a4_header(page, papertype="2(tattoo)", gap="2,2mm")

    def test_copies(self):
        pages = self.convert("qa4-203.ppd", self.markers, ["page-ranges=2-3"], copies=3)
        self.assertEqual(len(pages), 2)
        for page in pages:
            self.assertEqual(page["print"], "1,3")

    def test_300dpi_model(self):
        page = self.convert("qa4-300.ppd", self.markers, ["page-ranges=1"])[0]
        self.assert_a4_header(page)
        self.assertEqual(page.width, 2480)
        # SIZE converts dots with 203 dpi on every model.
        self.assertEqual(page["size"], "310x439mm")
        self.assertGreater(page.ink_ratio(*inner(box_dots(BOX1, 300))), 0.98)

    def test_label_model(self):
        opts = ["OP_PaperSel=2", "OP_LabelGAP=3", "OP_HorizontalOffset=-3", "OP_VerticalOffset=5",
                "OP_OFFSet=-2", "OP_PrintDensity=11", "OP_PrintSpeed=3", "OP_Rotate=2"]
        page = self.convert("qlbl-203.ppd", self.label, opts)[0]
        f = page.fields
        self.assertEqual(f["header"], "label")
        self.assertEqual(f["size"], "50x30mm")
        self.assertEqual(f["bline"], "3,3mm")
        self.assertEqual(f["reference"], "-3,5(blanks)")
        self.assertEqual(f["offset_mm"], "-2")
        self.assertEqual(f["direction"], "1")
        self.assertEqual(f["density"], "11")
        self.assertEqual(f["speed"], "3")
        self.assertNotIn("papertype", f)
        self.assertGreater(page.ink_ratio(cupskit.dots(14, 203), cupskit.dots(25, 203),
                                          cupskit.dots(36, 203), cupskit.dots(60, 203)), 0.98)

    def test_label_paper_selection_and_turn(self):
        page = self.convert("qlbl-203.ppd", self.label, ["OP_PaperSel=0", "OP_LabelGAP=4"])[0]
        self.assertEqual(page["gap"], "0,0mm")
        self.assertEqual(page["direction"], "0")
        self.assertEqual(page["reference"], "0,0(blanks)")
        page = self.convert("qlbl-203.ppd", self.label, ["OP_PaperSel=1", "OP_LabelGAP=4", "OP_Rotate=3"])[0]
        self.assertEqual(page["gap"], "4,4mm")
        self.assertEqual(page["direction"], "1")
        self.assertEqual(page["size"], "30x50mm")

    def test_label_custom_size(self):
        page = self.convert("qlbl-203.ppd", self.label, ["media=Custom.60x40mm"])[0]
        self.assertEqual(page["size"], "60x40mm")
        self.assertEqual(page["header"], "label")


if __name__ == "__main__":
    ARGS, rest = cupskit.parse_args(sys.argv)
    unittest.main(argv=rest, verbosity=2)
