#!/usr/bin/env python3
"""quillet-printer-app side by side with LPrint (Debian's `lprint`, a
different product, run only as the comparison) on the same 4x6 inch
203 dpi PWG raster job (sgray_8, the demo's first page) to a socket
printer on 127.0.0.1: time from the start of Print-Job until the printer
connection closes at the end of the job, median of the runs, servers
taking turns; bytes sent to the printer.

Usage: bench/papp_vs_lprint.py BUILD_DIR [RUNS]"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "printer-app", "tests"))
import pappkit as kit  # noqa: E402


class TimedListener(kit.Listener):
    """Notes when each connection ends."""

    def _entry(self, data):
        return (time.perf_counter(), data)


def run_job(server_uri, work, doc, listener):
    start = time.perf_counter()
    job, status = kit.print_job(server_uri, work, doc, "image/pwg-raster")
    end, data = listener.take(60)
    return end - start, data


def main(argv):
    build = argv[1]
    runs = int(argv[2]) if len(argv) > 2 else 7
    if not shutil.which("lprint"):
        print("lprint is not installed")
        return 77
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    work = tempfile.mkdtemp(prefix="papp-lprint-")
    demo = os.path.join(work, "demo.pdf")
    doc = os.path.join(work, "label.pwg")
    subprocess.run([sys.executable, os.path.join(root, "tools", "demo", "testdoc.py"), "demo", demo], check=True)
    subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pwgraster", "-r203",
                    "-dcupsColorSpace=18", "-dcupsBitsPerColor=8", "-dDEVICEWIDTHPOINTS=288",
                    "-dDEVICEHEIGHTPOINTS=432", "-dFIXEDMEDIA", "-dPDFFitPage", "-dLastPage=1",
                    "-o", doc, demo], check=True, stderr=subprocess.DEVNULL)
    listener = TimedListener()
    printer = "socket://127.0.0.1:%d" % listener.port
    ours = kit.Server(os.path.join(build, "printer-app", "quillet-printer-app"), os.path.join(work, "ours"),
                      log_level="error")
    lp_root = os.path.join(work, "lprint")
    os.makedirs(lp_root)
    lp_port = kit.free_port()
    lp_env = dict(os.environ, SNAP_COMMON=lp_root, TMPDIR=lp_root, HOME=lp_root)
    lp = subprocess.Popen(["lprint", "server", "-o", "listen-hostname=localhost", "-o", "server-port=%d" % lp_port,
                           "-o", "spool-directory=" + os.path.join(lp_root, "spool"),
                           "-o", "log-file=" + os.path.join(lp_root, "log"), "-o", "log-level=error"],
                          env=lp_env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    results = {}
    try:
        deadline = time.time() + 20
        while time.time() < deadline:
            try:
                socket.create_connection(("127.0.0.1", lp_port), 0.2).close()
                break
            except OSError:
                time.sleep(0.1)
        ours.add("label", "quillet_label_203", printer)
        for name, driver in (("zpl", "zpl_4inch-203dpi-dt"), ("epl2", "epl2_4inch-203dpi-dt")):
            subprocess.run(["lprint", "add", "-d", name, "-m", driver, "-v", printer], env=lp_env,
                           check=True, capture_output=True)
        targets = [("quillet-printer-app (label 203 dpi, diffusion)", ours.uri("label")),
                   ("LPrint 1.1.0 ZPL 203 dpi", "ipp://localhost:%d/ipp/print/zpl" % lp_port),
                   ("LPrint 1.1.0 EPL2 203 dpi", "ipp://localhost:%d/ipp/print/epl2" % lp_port)]
        for name, uri in targets:  # one warm-up job each
            run_job(uri, work, doc, listener)
        for _ in range(runs):
            for name, uri in targets:
                seconds, data = run_job(uri, work, doc, listener)
                results.setdefault(name, []).append((seconds, len(data)))
    finally:
        ours.stop()
        lp.terminate()
        try:
            lp.wait(15)
        except subprocess.TimeoutExpired:
            lp.kill()
            lp.wait()
        listener.close()
        shutil.rmtree(work, ignore_errors=True)
    print("| Server | Print-Job to printer done, median ms | bytes to the printer |")
    print("|---|---|---|")
    for name, values in results.items():
        times = sorted(v[0] for v in values)
        print("| %s | %.1f | %d |" % (name, times[len(times) // 2] * 1000, values[0][1]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
