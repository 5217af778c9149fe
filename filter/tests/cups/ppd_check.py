#!/usr/bin/env python3
"""The generated PPDs: cupstestppd must find nothing to complain about, and
each PPD must ask for what the filter reads (RGB raster, decimal OP_
choice keywords, the model number) in all three languages."""
import os
import re
import shutil
import subprocess
import sys
import unittest

import cupskit

ARGS = None

COMMON = {"OP_PrintSpeed", "OP_HalfTone", "OP_Mirror", "OP_ReversePhase", "OP_RememberToPrint", "OP_Rotate"}
A4_ONLY = {"OP_PaperType", "OP_Density", "OP_Direction"}
LABEL_ONLY = {"OP_PrintDensity", "OP_LabelGAP", "OP_PaperSel", "OP_MediaSel", "OP_AfterDo", "OP_CutPage",
              "OP_OFFSet", "OP_HorizontalOffset", "OP_VerticalOffset"}
MODELS = {
    "qa4-203.ppd": (203, COMMON | A4_ONLY),
    "qa4-300.ppd": (300, COMMON | A4_ONLY),
    "qlbl-203.ppd": (203, COMMON | LABEL_ONLY),
}


def read_ppd(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def options_of(text):
    """OP_ option -> (ui type, default, [choice keywords])."""
    opts = {}
    for m in re.finditer(r"^\*OpenUI \*(OP_\w+)/[^:]*: (\w+)$(.*?)^\*CloseUI", text, re.M | re.S):
        name, ui, body = m.group(1), m.group(2), m.group(3)
        default = re.search(r"^\*Default%s: (\S+)$" % name, body, re.M).group(1)
        choices = re.findall(r"^\*%s ([^/:\s]+)/" % name, body, re.M)
        opts[name] = (ui, default, choices)
    return opts


class GeneratedPpds(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = cupskit.make_tempdir("quillet-ppd-")
        # cupstestppd checks that the cupsFilter program exists in ServerBin.
        cls.serverbin = cupskit.make_serverbin(cls.tmp, ARGS.filter)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def test_cupstestppd_passes_without_warnings(self):
        env = dict(os.environ, CUPS_SERVERBIN=self.serverbin)
        for name in MODELS:
            path = os.path.join(ARGS.ppd_dir, name)
            res = subprocess.run(["cupstestppd", "-W", "all", path], capture_output=True, text=True, env=env)
            report = res.stdout + res.stderr
            self.assertEqual(res.returncode, 0, report)
            self.assertNotIn("FAIL", report)
            self.assertNotIn("WARN", report)

    def test_raster_format_filter_and_model(self):
        for name, (dpi, _) in MODELS.items():
            text = read_ppd(os.path.join(ARGS.ppd_dir, name))
            self.assertIn('*cupsFilter: "application/vnd.cups-raster 0 rastertoquillet"', text, name)
            color = re.findall(r"^\*ColorModel (\w+)/[^:]*: \"(.*)\"$", text, re.M)
            self.assertEqual(len(color), 1, name)
            self.assertIn("/cupsColorSpace 1/", color[0][1])
            self.assertIn("/cupsColorOrder 0/", color[0][1])
            res = re.findall(r"^\*Resolution (\w+)/[^:]*: \"(.*)\"$", text, re.M)
            self.assertEqual([r[0] for r in res], ["%ddpi" % dpi], name)
            self.assertIn("HWResolution[%d %d]" % (dpi, dpi), res[0][1])
            self.assertIn("/cupsBitsPerColor 8/", res[0][1])
            model = int(re.search(r"^\*cupsModelNumber: (\d+)$", text, re.M).group(1))
            self.assertEqual(model == 1001, name.startswith("qlbl"), name)

    def test_options_have_decimal_choices_and_sane_defaults(self):
        seen = set()
        for name, (_, expected) in MODELS.items():
            opts = options_of(read_ppd(os.path.join(ARGS.ppd_dir, name)))
            self.assertEqual(set(opts), expected, name)
            seen |= set(opts)
            for key, (ui, default, choices) in opts.items():
                self.assertEqual(ui, "PickOne", key)
                self.assertIn(default, choices, key)
                if key == "OP_HalfTone":
                    self.assertEqual(sorted(choices), ["False", "True"])
                else:
                    for c in choices:
                        self.assertRegex(c, r"^-?[0-9]+$", key)
            self.assertEqual(opts["OP_HalfTone"][1], "True")
            self.assertEqual(opts["OP_PrintSpeed"][1], "4")
            density = "OP_PrintDensity" if name.startswith("qlbl") else "OP_Density"
            self.assertEqual(opts[density][1], "8")
        self.assertEqual(len(seen), 18)

    def test_page_sizes(self):
        a4 = read_ppd(os.path.join(ARGS.ppd_dir, "qa4-203.ppd"))
        sizes = re.findall(r"^\*PageSize ([^/]+)/", a4, re.M)
        self.assertEqual(sizes, ["A4.Fullbleed", "Letter.Fullbleed"])
        self.assertIn("*DefaultPageSize: A4.Fullbleed", a4)
        label = read_ppd(os.path.join(ARGS.ppd_dir, "qlbl-203.ppd"))
        self.assertIn("*CustomPageSize True:", label)
        self.assertGreaterEqual(len(re.findall(r"^\*PageSize ", label, re.M)), 6)

    def test_translations(self):
        for name, (_, expected) in MODELS.items():
            text = read_ppd(os.path.join(ARGS.ppd_dir, name))
            self.assertIn('*cupsLanguages: "en de zh_CN"', text)
            for lang in ("de", "zh_CN"):
                for key in expected:
                    m = re.search(r"^\*%s\.Translation %s/([^:]+):" % (lang, key), text, re.M)
                    self.assertIsNotNone(m, "%s: no %s text for %s" % (name, lang, key))
            self.assertIn("*de.Translation OP_HalfTone/Rasterung:", text)
            self.assertIn("*zh_CN.Translation OP_Mirror/镜像:", text)


if __name__ == "__main__":
    ARGS, rest = cupskit.parse_args(sys.argv)
    unittest.main(argv=rest, verbosity=2)
