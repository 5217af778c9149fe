"""IPP conformance of quillet-printer-app: the IPP Everywhere test file of
cups-ipp-utils (which includes ipp-2.0.test and ipp-1.1.test) against
every model, with the sample documents it prints generated here (Debian
does not ship them), so the print tests run instead of skipping.

Usage: conformance_test.py APP TESTDOC [--keep]
Exit status: 0 when no test fails, 77 when ipptool or its test files are
missing."""
import os
import re
import shutil
import subprocess
import sys
import time

import pappkit as kit

TESTS = "/usr/share/cups/ipptool"
# The model resolutions the test file knows (it has no 203 dpi samples).
SAMPLE_DPI = (300,)
# Failures that come from PAPPL 1.3.1 itself or from what the printer cannot
# do; README.md explains each.  Any other failure fails this test.
KNOWN = {
    # identify-actions (the printer cannot identify itself), overrides,
    # preferred-attributes, print-rendering-intent, printer-supply.
    "PWG 5100.14 section 5.1/5.2 - Required Operations and Attributes",
}


def gs(*args):
    subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE"] + list(args), check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_documents(work, testdoc):
    """The documents the test files print, from the project's demo PDF."""
    a4 = os.path.join(work, "document-a4.pdf")
    subprocess.run([sys.executable, testdoc, "demo", a4], check=True)
    gs("-sDEVICE=pdfwrite", "-sPAPERSIZE=letter", "-dFIXEDMEDIA", "-dPDFFitPage",
       "-o", os.path.join(work, "document-letter.pdf"), a4)
    gs("-sDEVICE=jpeg", "-r50", "-dLastPage=1", "-o", os.path.join(work, "color.jpg"), a4)
    gs("-sDEVICE=jpeggray", "-r50", "-dLastPage=1", "-o", os.path.join(work, "gray.jpg"), a4)
    for dpi in SAMPLE_DPI:
        for kind, space in (("sgray-8", 18), ("srgb-8", 19)):
            folder = os.path.join(work, "pwg-raster-samples-%ddpi" % dpi, kind)
            os.makedirs(folder)
            common = ["-sDEVICE=pwgraster", "-r%d" % dpi, "-dcupsColorSpace=%d" % space,
                      "-dcupsBitsPerColor=8", "-dFIXEDMEDIA", "-dPDFFitPage"]
            name = lambda doc: os.path.join(folder, "%s-%s-%ddpi.pwg" % (doc, kind, dpi))
            for paper in ("a4", "letter"):
                src = os.path.join(work, "document-%s.pdf" % paper)
                gs(*common, "-sPAPERSIZE=" + paper, "-o", name("document-" + paper), src)
                gs(*common, "-sPAPERSIZE=" + paper, "-dLastPage=1", "-o", name("onepage-" + paper), src)
            for photo in ("color.jpg", "gray.jpg"):
                gs(*common, "-dDEVICEWIDTHPOINTS=288", "-dDEVICEHEIGHTPOINTS=432", "-dLastPage=1",
                   "-o", name(photo + "-4x6"), a4)


def add_placeholders(work):
    """ipptool stops at the first FILE it cannot find, even in a test it
    skips; the samples for resolutions and types no model offers are only
    named, never printed, so empty files stand in for them."""
    for name in ("ipp-everywhere.test", "ipp-2.0.test", "ipp-1.1.test"):
        with open(os.path.join(TESTS, name)) as f:
            for line in f:
                m = re.match(r"\s*FILE\s+(\S+)", line)
                if not m or m.group(1).startswith("$"):
                    continue
                path = os.path.join(work, m.group(1))
                if not os.path.exists(path):
                    os.makedirs(os.path.dirname(path), exist_ok=True)
                    open(path, "wb").close()


def run_suite(uri, work):
    r = subprocess.run(["ipptool", "-t", "-I", "-T", "60", "-f", "document-a4.pdf", uri,
                        os.path.join(TESTS, "ipp-everywhere.test")],
                       cwd=work, capture_output=True, text=True, timeout=900)
    counts = {"PASS": 0, "FAIL": 0, "SKIP": 0}
    failed = []
    for line in r.stdout.splitlines():
        m = re.match(r"\s+(.*?)\s+\[(PASS|FAIL|SKIP)\]$", line)
        if m:
            counts[m.group(2)] += 1
            if m.group(2) == "FAIL":
                failed.append(m.group(1))
        elif failed and line.startswith("        ") and "EXPECTED" in line or "GOT" in line:
            failed[-1] += "\n      " + line.strip()
    return counts, failed, r.stdout


def main(argv):
    app, testdoc = argv[1:3]
    keep = "--keep" in argv
    if not shutil.which("ipptool") or not os.path.exists(os.path.join(TESTS, "ipp-everywhere.test")):
        print("ipptool or its test files are missing (cups-ipp-utils); skipped")
        return 77
    work = kit.tempdir("papp-conformance-")
    listener = kit.Listener()
    server = kit.Server(app, work)
    status = 0
    try:
        make_documents(work, testdoc)
        add_placeholders(work)
        # A printer of every driver, named after it.
        printers = kit.drivers(app)
        for name in printers:
            server.add(name, name, "socket://127.0.0.1:%d" % listener.port)
        time.sleep(1.1)  # printer-up-time must be above 0
        for name in printers:
            counts, failed, text = run_suite(server.uri(name), work)
            print("%s: %d pass, %d fail, %d skip" % (name, counts["PASS"], counts["FAIL"], counts["SKIP"]))
            for f in failed:
                print("  FAIL:", f)
            unknown = [f for f in failed if f.split("\n")[0] not in KNOWN]
            if unknown or counts["PASS"] == 0:
                status = 1
                if "--verbose" in argv:
                    print(text)
            if not server.alive():
                print("the server died (status %s)" % server.proc.returncode)
                return 1
    finally:
        server.stop()
        listener.close()
        kit.cleanup(work, keep)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv))
