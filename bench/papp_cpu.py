#!/usr/bin/env python3
"""Per-page CPU and peak memory of quillet-printer-app against the filter
on the same A4 PWG raster pages (the demo document rendered by
Ghostscript as 8-bit sRGB at 203 and 300 dpi).

Per page: (CPU of a 27-page job - CPU of a 3-page job) / 24, which leaves
out the filter's process start and the app's per-job work alike.  The
filter's CPU is its process's user + system time; the app's is the server
process's, read from /proc before and after the job (the job is all it
does meanwhile).  Peak memory: the server's VmHWM growth over its first
job, against the page's RGB size.

Usage: bench/papp_cpu.py BUILD_DIR [RUNS]"""
import os
import resource
import struct
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "printer-app", "tests"))
import pappkit as kit  # noqa: E402

TICK = os.sysconf("SC_CLK_TCK")
LONG = 27  # pages of the long job: the demo's three pages nine times


def proc_cpu(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def hwm_kb(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return 0


def filter_cpu(build, ppd, options, path):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run([os.path.join(build, "filter", "rastertoquillet"), "1", "u", "t", "1", options, path],
                   env=dict(os.environ, PPD=ppd), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   check=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def page_rgb_bytes(path):
    """Width x height x 3 of the first page of a PWG raster file."""
    with open(path, "rb") as f:
        head = f.read(4 + 380)
    width, height = struct.unpack(">II", head[4 + 372:4 + 380])
    return width * height * 3


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def main(argv):
    build = argv[1]
    runs = int(argv[2]) if len(argv) > 2 else 5
    root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    work = tempfile.mkdtemp(prefix="papp-bench-")
    demo = os.path.join(work, "demo.pdf")
    subprocess.run([sys.executable, os.path.join(root, "tools", "demo", "testdoc.py"), "demo", demo], check=True)
    docs = {}
    for dpi in (203, 300):
        for copies, name in ((LONG // 3, "long"), (1, "one")):
            path = os.path.join(work, "%s-%d.pwg" % (name, dpi))
            subprocess.run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pwgraster",
                            "-r%d" % dpi, "-dcupsColorSpace=19", "-dcupsBitsPerColor=8",
                            "-sPAPERSIZE=a4", "-o", path] + [demo] * copies,
                           check=True, stderr=subprocess.DEVNULL)
            docs[(dpi, name)] = path
    listener = kit.Listener()
    rows = []
    for dpi, driver, ppd in ((203, "quillet_a4_203", "qa4-203.ppd"), (300, "quillet_a4_300", "qa4-300.ppd")):
        for road, attr, option in (("diffusion", "photo", "OP_HalfTone=True"),
                                   ("threshold", "text", "OP_HalfTone=False")):
            server = kit.Server(os.path.join(build, "printer-app", "quillet-printer-app"),
                                os.path.join(work, "srv-%d-%s" % (dpi, road)))
            try:
                server.add("p", driver, "socket://127.0.0.1:%d" % listener.port)
                pid = server.proc.pid
                attrs = "ATTR keyword print-content-optimize %s" % attr
                hwm0 = hwm_kb(pid)
                app = {"long": [], "one": []}
                filt = {"long": [], "one": []}
                for run in range(runs):
                    for name in ("long", "one"):
                        cpu0 = proc_cpu(pid)
                        job, _ = kit.print_job(server.uri("p"), work, docs[(dpi, name)], "image/pwg-raster", attrs)
                        kit.wait_job(server.uri("p"), work, job)
                        listener.take()
                        time.sleep(0.05)
                        app[name].append(proc_cpu(pid) - cpu0)
                        filt[name].append(filter_cpu(build, os.path.join(build, "filter", "ppd", "ppd", ppd),
                                                     option, docs[(dpi, name)]))
                hwm = hwm_kb(pid) - hwm0
            finally:
                server.stop()
            page_bytes = page_rgb_bytes(docs[(dpi, "one")])
            # The short job is the demo's three pages once.
            app_page = (median(app["long"]) - median(app["one"])) / (LONG - 3) * 1000
            filt_page = (median(filt["long"]) - median(filt["one"])) / (LONG - 3) * 1000
            rows.append("| A4 %d dpi | %s | %.1f | %.1f | %.2fx | %.2f |" %
                        (dpi, road, filt_page, app_page, app_page / filt_page if filt_page else 0,
                         hwm * 1024 / page_bytes))
    listener.close()
    print("| Page | Road | filter CPU ms/page | app CPU ms/page | app / filter | app peak memory / page RGB |")
    print("|---|---|---|---|---|---|")
    print("\n".join(rows))
    kit.cleanup(work)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
