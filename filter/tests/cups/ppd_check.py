#!/usr/bin/env python3
"""The generated PPDs: cupstestppd must find nothing to complain about, and
each PPD must ask for what the filter reads (RGB raster, decimal OP_
choice keywords, the model number) in all three languages, one PPD a row
of the model table."""
import json
import os
import re
import shutil
import subprocess
import sys
import unittest

import cupskit

ARGS = None



def models():
    """The model table's rows, as the build lists them beside the PPDs."""
    with open(os.path.join(ARGS.ppd_dir, "models.json"), encoding="utf-8") as f:
        return json.load(f)


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
        for row in models():
            path = os.path.join(ARGS.ppd_dir, row["ppd"])
            res = subprocess.run(["cupstestppd", "-W", "all", path], capture_output=True, text=True, env=env)
            report = res.stdout + res.stderr
            if not cupskit.is_root():
                # cupstestppd wants filters owned by root; the test's own
                # copy of ours belongs to whoever runs the tests.
                report = "".join(line for line in report.splitlines(True)
                                 if not ("Bad permissions on cupsFilter file" in line and self.serverbin in line))
            self.assertEqual(res.returncode, 0, report)
            self.assertNotIn("FAIL", report)
            self.assertNotIn("WARN", report)

    def test_raster_format_filter_and_model(self):
        for row in models():
            name, dpi = row["ppd"], row["dpi"]
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
            self.assertEqual(model, row["number"], name)
        # The filter tells the models apart by number alone.
        numbers = [row["number"] for row in models()]
        self.assertEqual(len(set(numbers)), len(numbers))

    def test_options_have_decimal_choices_and_sane_defaults(self):
        for row in models():
            name = row["ppd"]
            opts = options_of(read_ppd(os.path.join(ARGS.ppd_dir, name)))
            self.assertEqual(set(opts), set(row["options"]), name)
            for key, (ui, default, choices) in opts.items():
                self.assertEqual(ui, "PickOne", key)
                self.assertIn(default, choices, key)
                if row["options"][key]["boolean"]:
                    self.assertEqual(sorted(choices), ["False", "True"])
                else:
                    for c in choices:
                        self.assertRegex(c, r"^-?[0-9]+$", key)
            self.assertEqual(opts["OP_HalfTone"][1], "True")
            self.assertEqual(opts["OP_PrintSpeed"][1], "4")
            # The header's density line reads OP_Density on sheets, OP_PrintDensity on labels.
            density = "OP_PrintDensity" if row["label"] else "OP_Density"
            self.assertEqual(opts[density][1], "8")

    def test_page_sizes(self):
        for row in models():
            text = read_ppd(os.path.join(ARGS.ppd_dir, row["ppd"]))
            sizes = re.findall(r"^\*PageSize ([^/]+)/", text, re.M)
            self.assertEqual(len(sizes), len(row["media"]), row["ppd"])
            # Labels come in any size the head takes; sheets in the listed ones.
            self.assertEqual("*CustomPageSize True:" in text, row["label"], row["ppd"])
            if not row["label"]:
                self.assertEqual(sizes, ["A4.Fullbleed", "Letter.Fullbleed"])
                self.assertIn("*DefaultPageSize: A4.Fullbleed", text)

    def test_translations(self):
        for row in models():
            name, expected = row["ppd"], row["options"]
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
