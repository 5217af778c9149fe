"""A real client: a private cupsd with a driverless queue made by
`lpadmin -m everywhere` on the app's printer prints a PDF with lp; the
socket printer receives a decodable printer stream with the options asked
for.  Needs root (cupsd insists on it); otherwise reports itself skipped.

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


def ink(decoder, data, work):
    """quillet-decode's summary of each page: (ink dots, PRINT copies)."""
    path = os.path.join(work, "out.prn")
    with open(path, "wb") as f:
        f.write(data)
    r = subprocess.run([decoder, "--no-png", path], capture_output=True, text=True)
    if r.returncode != 0:
        raise AssertionError("the stream does not decode: " + r.stderr)
    return [(int(re.search(r" ink=(\d+)", l).group(1)), re.search(r" print=(\S+)", l).group(1))
            for l in r.stdout.splitlines() if l.startswith("page=")]


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
        cupsd = cupsd_test.Scheduler(work, cupskit.make_serverbin(work, filter_path),
                                     cupsd_test.private_datadir(work, ppd_dir, ()))
        cupsd.start()
        cupsd.run("lpadmin", "-h", cupsd.host, "-p", "q", "-E", "-v", server.uri("a4"), "-m", "everywhere")
        pdf = cupskit.generate_doc(testdoc, "demo", os.path.join(work, "demo.pdf"))
        results = {}
        jobs = (("plain", []), ("text", ["-o", "cupsPrintQuality=Draft", "-n", "2"]),
                ("negative", []))
        for name, options in jobs:
            if name == "negative":
                # The printer's own settings reach a driverless queue as the
                # app's printer defaults (set here as the web page sets them).
                body = ("OPERATION Set-Printer-Attributes\n" + kit.OPERATION_HEAD +
                        "\nGROUP printer-attributes-tag\nATTR boolean quillet-negative-default true")
                status = kit.ipp(server.uri("a4"), body, work).get("status")
                if status != "successful-ok":
                    failures.append("Set-Printer-Attributes: %s" % status)
            out = cupsd.run("lp", "-h", cupsd.host, "-d", "q", *options, pdf)
            job = int(re.search(r"request id is q-(\d+)", out).group(1))
            deadline = time.time() + 60
            state = cupsd.job_state("q", job)
            while state not in ("completed", "aborted", "canceled") and time.time() < deadline:
                time.sleep(0.3)
                state = cupsd.job_state("q", job)
            if state != "completed":
                failures.append("%s job: %s\n%s" % (name, state, cupsd.error_log()))
                continue
            results[name] = ink(decoder, listener.take(60), work)
        if len(results) == 3:
            plain, text, negative = results["plain"], results["text"], results["negative"]
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
