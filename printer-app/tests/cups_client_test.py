"""A real client: a private cupsd with a driverless queue made by
`lpadmin -m everywhere` on the app's printer prints a PDF with lp; the
socket printer receives a decodable printer stream with the options asked
for.  The printer's own settings (darkness, speed, mirror, negative,
direction, label gap) per job through `-m raw` queues, which forward every
option.  Needs root (cupsd insists on it); otherwise reports itself
skipped.

Usage: cups_client_test.py APP FILTER DECODER PPD_DIR TESTDOC [--keep]"""
import os
import re
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "filter", "tests", "cups"))

import cupskit  # noqa: E402
import cupsd_test  # noqa: E402
import pappkit as kit  # noqa: E402

SKIP = 77


def decode(decoder, data, work):
    """quillet-decode's summary fields of each page; page PNGs in `work`."""
    path = os.path.join(work, "out.prn")
    with open(path, "wb") as f:
        f.write(data)
    r = subprocess.run([decoder, "-o", os.path.join(work, "page"), path], capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError("the stream does not decode: " + r.stderr)
    return [dict(kv.split("=", 1) for kv in l.split()) for l in r.stdout.splitlines()
            if l.startswith("page=")]


def ink(pages):
    """(ink dots, PRINT copies) of each page."""
    return [(int(p["ink"]), p["print"]) for p in pages]


def settings(pages):
    """The printer settings a page was sent with."""
    return [(p["density"], p["speed"], p["direction"], p["gap"]) for p in pages]


def main(argv):
    app, filter_path, decoder, ppd_dir, testdoc = argv[1:6]
    keep = "--keep" in argv
    if not cupskit.is_root() or not shutil.which("cupsd"):
        print("cupsd needs root; skipped")
        return SKIP
    work = cupskit.make_tempdir("papp-cups-")
    listener = kit.Listener()
    os.makedirs(os.path.join(work, "app"))
    server = kit.Server(app, os.path.join(work, "app"))
    cupsd = None
    failures = []
    try:
        server.add("a4", "quillet_a4_203", "socket://127.0.0.1:%d" % listener.port)
        server.add("label", "quillet_label_203", "socket://127.0.0.1:%d" % listener.port)
        cupsd = cupsd_test.Scheduler(work, cupskit.make_serverbin(work, filter_path),
                                     cupsd_test.private_datadir(work, ppd_dir, []))
        cupsd.start()
        for queue, printer, model in (("q", "a4", "everywhere"), ("raw", "a4", "raw"),
                                      ("rawlabel", "label", "raw")):
            cupsd.run("lpadmin", "-h", cupsd.host, "-p", queue, "-E", "-v", server.uri(printer),
                      "-m", model)
        pdf = cupskit.generate_doc(testdoc, "demo", os.path.join(work, "demo.pdf"))
        label_pdf = cupskit.write_label_pdf(testdoc, os.path.join(work, "label.pdf"))
        results = {}
        own = ["-o", "print-darkness=100", "-o", "print-speed=2540"]
        jobs = (("plain", "q", pdf, []), ("text", "q", pdf, ["-o", "cupsPrintQuality=Draft", "-n", "2"]),
                ("own", "raw", pdf, own + ["-o", "quillet-negative=true", "-o", "quillet-direction=reversed"]),
                ("label", "rawlabel", label_pdf, own + ["-o", "quillet-mirror=true", "-o", "quillet-label-gap=5"]),
                ("negative", "q", pdf, []))
        for name, queue, doc, options in jobs:
            if name == "negative":
                # The printer's own settings reach a driverless queue as the
                # app's printer defaults (set here as the web page sets them).
                body = ("OPERATION Set-Printer-Attributes\n" + kit.OPERATION_HEAD +
                        "\nGROUP printer-attributes-tag\nATTR boolean quillet-negative-default true")
                status = kit.ipp(server.uri("a4"), body, work).get("status")
                if status != "successful-ok":
                    failures.append("Set-Printer-Attributes: %s" % status)
            out = cupsd.run("lp", "-h", cupsd.host, "-d", queue, *options, doc)
            job = int(re.search(r"request id is %s-(\d+)" % queue, out).group(1))
            deadline = time.time() + 60
            state = cupsd.job_state(queue, job)
            while state not in ("completed", "aborted", "canceled") and time.time() < deadline:
                time.sleep(0.3)
                state = cupsd.job_state(queue, job)
            if state != "completed":
                failures.append("%s job: %s\n%s" % (name, state, cupsd.error_log()))
                continue
            results[name] = decode(decoder, listener.take(60), work)
            if name == "label":
                # The box in the label's left third comes out in its right third.
                width, height, rows = cupskit.read_png_1bit(os.path.join(work, "page-001.png"))
                bitmap = cupskit.Page(results[name][0], width, height, rows)
                extent = bitmap.column_extent(0, bitmap.height)
                if not extent or extent[0] < bitmap.width // 2:
                    failures.append("label not mirrored: ink in columns %s of %d" % (extent, bitmap.width))
        if len(results) == 5:
            if settings(results["plain"])[0] != ("8", "4", "0", "0,0mm"):
                failures.append("plain job: %s" % settings(results["plain"]))
            if settings(results["own"])[0][:3] != ("15", "1", "1"):
                failures.append("darkness, speed, direction per job: %s" % settings(results["own"]))
            label = settings(results["label"])[0]
            if label[:2] != ("15", "1") or not label[3].startswith("5,"):
                failures.append("label darkness, speed, gap per job: %s" % (label,))
            if not all(o[0] > 2 * p[0] for p, o in zip(ink(results["plain"]), ink(results["own"]))):
                failures.append("negative per job did not apply: %s" % ink(results["own"]))
            plain, text, negative = ink(results["plain"]), ink(results["text"]), ink(results["negative"])
            if [len(plain), len(text), len(negative)] != [3, 3, 3]:
                failures.append("pages: %s" % results)
            elif not all(n[0] > 2 * p[0] for p, n in zip(plain, negative)):
                failures.append("the negative default did not apply: %s vs %s" % (plain, negative))
            elif plain == [(t[0], "1,1") for t in text]:
                failures.append("draft quality (threshold) changed nothing: %s" % text)
            elif not all(p[1] == "1,1" for p in plain) or not all(t[1] == "1,2" for t in text):
                failures.append("copies: %s vs %s" % (plain, text))
    finally:
        if cupsd:
            cupsd.stop()
        server.stop()
        listener.close()
        if not keep:
            shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
