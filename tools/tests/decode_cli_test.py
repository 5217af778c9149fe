#!/usr/bin/env python3
"""quillet-decode as a program: exit statuses, the error line with its
byte offset, standard input, and where the PNGs go."""
import os
import subprocess
import sys
import tempfile
import unittest

DECODER = None

PAPER = b"\x1f\x57\x12\x00\x30\x01\x0a\x00\x02\x00PAPERTYPE\x00" + b"1\x00\r\n"
PAGE = (b"SIZE 1 mm,1 mm\r\n" + PAPER + b"GAP 2 mm,2 mm\r\nDIRECTION 0\r\nREFERENCE 0,0\r\n"
        b"DENSITY 8\r\nSPEED 4\r\nCLS\r\nBITMAP 0,0,1,2,1,\x7f\xff\r\nPRINT 1,1\r\n")


def run(args, data=None, cwd=None):
    return subprocess.run([DECODER] + args, input=data, capture_output=True, cwd=cwd)


class DecoderProgram(unittest.TestCase):
    def test_good_stream_from_stdin_writes_pngs_into_a_folder(self):
        with tempfile.TemporaryDirectory() as d:
            res = run(["-o", d, "-"], PAGE + PAGE)
            self.assertEqual(res.returncode, 0, res.stderr)
            lines = res.stdout.decode().splitlines()
            self.assertEqual(len(lines), 2)
            self.assertIn("papertype=1(blackmark)", lines[0])
            self.assertTrue(lines[1].endswith("png=" + os.path.join(d, "page-002.png")))
            self.assertEqual(sorted(os.listdir(d)), ["page-001.png", "page-002.png"])
            with open(os.path.join(d, "page-001.png"), "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n")

    def test_prefix_quiet_and_no_png(self):
        with tempfile.TemporaryDirectory() as d:
            res = run(["--quiet", "-o", os.path.join(d, "job"), "-"], PAGE)
            self.assertEqual((res.returncode, res.stdout), (0, b""))
            self.assertEqual(os.listdir(d), ["job-001.png"])
            res = run(["--no-png"], PAGE, cwd=d)
            self.assertEqual(res.returncode, 0)
            self.assertNotIn(b"png=", res.stdout)
            self.assertEqual(os.listdir(d), ["job-001.png"])

    def test_malformed_and_truncated_input_fail_with_the_offset(self):
        bad = PAGE.replace(b"DIRECTION 0", b"DIRECTION 9")
        res = run(["--no-png"], PAGE + bad)
        self.assertEqual(res.returncode, 1)
        self.assertEqual(res.stdout.count(b"\n"), 1, "the good first page is still reported")
        offset = len(PAGE) + PAGE.index(b"DIRECTION 0") + len(b"DIRECTION ")
        self.assertIn(b"offset %d:" % offset, res.stderr)
        res = run(["--no-png"], PAGE[:-3])
        self.assertEqual(res.returncode, 1)
        self.assertIn(b"truncated", res.stderr)

    def test_usage_errors(self):
        self.assertEqual(run(["--bogus"]).returncode, 2)
        self.assertEqual(run(["--dpi", "0"]).returncode, 2)
        self.assertEqual(run(["a", "b"]).returncode, 2)
        res = run(["/nonexistent/stream.prn"])
        self.assertEqual(res.returncode, 1)
        self.assertIn(b"/nonexistent/stream.prn", res.stderr)

    def test_full_page_pads_to_the_size_height(self):
        with tempfile.TemporaryDirectory() as d:
            page = PAGE.replace(b"SIZE 1 mm,1 mm", b"SIZE 1 mm,10 mm")
            res = run(["--full-page", "-o", d], page)
            self.assertIn(b" height=80 ", res.stdout)


if __name__ == "__main__":
    DECODER = sys.argv.pop(1)
    unittest.main(verbosity=2)
