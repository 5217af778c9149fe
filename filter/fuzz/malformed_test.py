#!/usr/bin/env python3
"""Runs rastertoquillet on every malformed raster stream of the corpus and
checks each outcome: exit status, the ERROR line that explains it, the
number of pages printed, and that standard output decodes cleanly.

usage: malformed_test.py FILTER RASTERGEN DECODER PPD
"""
import os
import re
import subprocess
import sys
import tempfile

# name: (exit status, ERROR pattern or None for no ERROR line, pages printed)
# Streams that carry a good page after the bad one show that the job goes on.
CASES = {
    "empty.ras": (1, r"Unable to read the print data", 0),
    "bad-sync.ras": (1, r"Unable to read the print data", 0),
    "truncated-sync.ras": (1, r"Unable to read the print data", 0),
    "truncated-header.ras": (1, r"holds no pages", 0),
    "truncated-page.ras": (0, None, 1),
    "truncated-second-header.ras": (0, None, 1),
    "compressed-truncated.ras": (0, None, 1),
    "compressed-garbled.ras": (0, None, 1),
    # libcups itself refuses headers with a zero size: the stream ends there.
    "zero-width.ras": (1, r"holds no pages", 0),
    "zero-height.ras": (1, r"holds no pages", 0),
    "huge.ras": (0, r"70000 x 70000 dots is too large", 0),
    "wrapping-width.ras": (0, r"Unsupported raster page", 1),
    "padded-rows.ras": (0, r"Unsupported raster page", 1),
    "short-rows.ras": (0, r"Unsupported raster page", 1),
    "rgb16.ras": (0, r"Unsupported raster page \(16 bits", 1),
    "gray1.ras": (0, r"Unsupported raster page \(8 bits per colour, 1 colours", 1),
    "cmyk.ras": (0, r"Unsupported raster page \(8 bits per colour, 4 colours, colour space 6", 1),
    "rgbw4.ras": (0, r"Unsupported raster page \(8 bits per colour, 4 colours", 1),
    "bits1.ras": (0, r"Unsupported raster page \(1 bits", 1),
    "rgb-colours-17.ras": (0, r"Unsupported raster page", 1),
    # Three 8-bit colours print whatever colour space the header names.
    "colour-space-99.ras": (0, None, 2),
    "planar.ras": (0, r"Unsupported raster page", 1),
}
# Known faults with a proposed fix; reported, not failed, until it is in.
XFAIL = {}


def main():
    filt, rastergen, decoder, ppd = sys.argv[1:5]
    failures = []
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([rastergen, "malformed", tmp], check=True)
        made = sorted(f for f in os.listdir(tmp) if f.endswith(".ras"))
        if sorted(CASES) != made:
            failures.append(f"corpus and expectations differ: {sorted(set(made) ^ set(CASES))}")
        env = dict(os.environ, PPD=ppd, LANG="C")
        env.pop("APPLE_LANGUAGE", None)
        for name, (status, error, pages) in sorted(CASES.items()):
            run = subprocess.run([filt, "1", "user", "title", "1", "", os.path.join(tmp, name)],
                                 capture_output=True, env=env, timeout=60)
            err = run.stderr.decode("utf-8", "replace")
            problems = []
            if run.returncode != status:
                problems.append(f"status {run.returncode}, expected {status}")
            errors = [l for l in err.splitlines() if l.startswith("ERROR: ")]
            if error is None and errors:
                problems.append(f"unexpected {errors}")
            if error is not None and not any(re.search(error, l) for l in errors):
                problems.append(f"no ERROR line matching {error!r}")
            if re.search(r"AddressSanitizer|runtime error|LeakSanitizer", err):
                problems.append("sanitizer report")
            printed = run.stdout.count(b"PRINT 1,")
            if printed != pages:
                problems.append(f"{printed} pages printed, expected {pages}")
            dec = subprocess.run([decoder, "--no-png", "-q", "-"], input=run.stdout,
                                 capture_output=True, timeout=60)
            if dec.returncode != 0:
                problems.append("output does not decode: " + dec.stderr.decode(errors="replace"))
            if problems and name in XFAIL:
                print(f"XFAIL {name}: {'; '.join(problems)} (fix: {XFAIL[name]})")
            elif problems:
                failures.append(f"{name}: {'; '.join(problems)}\n  stderr: {err.strip()}")
            elif name in XFAIL:
                print(f"XPASS {name}: the fix is in; drop its XFAIL mark")
            else:
                print(f"ok    {name}")
    for f in failures:
        print("FAIL  " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
