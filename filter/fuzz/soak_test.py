#!/usr/bin/env python3
"""Soak run: many jobs with random options and random page contents through
rastertoquillet.  Every job must succeed without an ERROR line, print every
page, decode cleanly, and match the plain baseline filter byte for byte.

usage: soak_test.py FILTER BASELINE RASTERGEN DECODER PPD... [--jobs N] [--seed S]
"""
import argparse
import os
import random
import re
import subprocess
import sys
import tempfile


def ppd_choices(path):
    """OP_ option keyword -> its choice keywords, from the PPD text."""
    choices = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"\*(OP_\w+) ([^/:\s]+)[/:]", line)
            if m:
                choices.setdefault(m.group(1), []).append(m.group(2))
    return choices


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("filter")
    ap.add_argument("baseline")
    ap.add_argument("rastergen")
    ap.add_argument("decoder")
    ap.add_argument("ppds", nargs="+")
    ap.add_argument("--jobs", type=int, default=200)
    ap.add_argument("--seed", type=int, default=20240501)
    args = ap.parse_args()

    rng = random.Random(args.seed)
    models = [(p, ppd_choices(p)) for p in args.ppds]
    failures = 0
    with tempfile.TemporaryDirectory() as tmp:
        raster = os.path.join(tmp, "job.ras")
        for job in range(args.jobs):
            ppd, choices = rng.choice(models)
            options = " ".join(f"{k}={rng.choice(v)}" for k, v in sorted(choices.items())
                               if rng.random() < 0.7)
            seed = rng.randrange(1 << 30)
            subprocess.run([args.rastergen, "random", raster, str(seed)], check=True)
            env = dict(os.environ, PPD=ppd, LANG="C")
            argv = ["1", "soak", "page", "1", options, raster]
            run = subprocess.run([args.filter] + argv, capture_output=True, env=env, timeout=120)
            base = subprocess.run([args.baseline] + argv, capture_output=True, env=env, timeout=120)
            dec = subprocess.run([args.decoder, "--no-png", "-"], input=run.stdout,
                                 capture_output=True, timeout=120)
            err = run.stderr.decode("utf-8", "replace")
            pages = len(re.findall(r"^PAGE: ", err, re.M))
            problems = []
            if run.returncode != 0:
                problems.append(f"status {run.returncode}")
            if "ERROR:" in err or re.search(r"Sanitizer|runtime error", err):
                problems.append("stderr: " + err.strip())
            if dec.returncode != 0:
                problems.append("does not decode: " + dec.stderr.decode(errors="replace").strip())
            if run.stdout.count(b"PRINT 1,") != pages or pages == 0:
                problems.append(f"{pages} PAGE lines, {run.stdout.count(b'PRINT 1,')} pages printed")
            if run.stdout != base.stdout:
                problems.append("differs from the baseline filter")
            if problems:
                failures += 1
                print(f"FAIL job {job}: {os.path.basename(ppd)} seed {seed} options '{options}'")
                for p in problems:
                    print("     " + p)
                if failures >= 5:
                    break
    print(f"{args.jobs} jobs, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
