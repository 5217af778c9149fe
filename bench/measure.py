#!/usr/bin/env python3
"""Times rastertoquillet and the baseline filter as whole processes (page
read from a raster file, printer stream to /dev/null): median wall and CPU
time of several runs, peak resident memory from wait4, checks that both
write the same bytes, and prints the tables of RESULTS.md."""
import argparse
import os
import statistics
import subprocess
import tempfile
import time

PATHS = {"diffusion": "OP_HalfTone=True", "threshold": "OP_HalfTone=False"}


def run_once(prog, ppd, options, raster, out=os.devnull):
    """Wall ms, CPU ms and peak RSS MB of one run.  The peak comes from
    /usr/bin/time, whose small process execs the filter: a child forked
    from this interpreter would report the interpreter's size as its peak."""
    env = dict(os.environ, PPD=ppd, LANG="C")
    with tempfile.NamedTemporaryFile("r") as rss, open(out, "wb") as sink, \
            open(os.devnull, "wb") as err:
        start = time.perf_counter()
        p = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", rss.name, prog, "1", "bench",
                              "page", "1", options, raster], stdout=sink, stderr=err, env=env)
        _, status, ru = os.wait4(p.pid, 0)
        wall = time.perf_counter() - start
        peak_kb = int(rss.read().split()[-1])
    if status != 0:
        raise SystemExit(f"{prog} failed on {raster} [{options}]")
    return wall * 1e3, (ru.ru_utime + ru.ru_stime) * 1e3, peak_kb / 1024.0


def cpu_once(prog, ppd, options, raster):
    """CPU ms of one run, without /usr/bin/time in between (less noise)."""
    env = dict(os.environ, PPD=ppd, LANG="C")
    with open(os.devnull, "wb") as sink:
        p = subprocess.Popen([prog, "1", "bench", "page", "1", options, raster],
                             stdout=sink, stderr=sink, env=env)
        _, status, ru = os.wait4(p.pid, 0)
    if status != 0:
        raise SystemExit(f"{prog} failed on {raster} [{options}]")
    return (ru.ru_utime + ru.ru_stime) * 1e3


def cpu_through_pipe(prog, ppd, options, raster):
    """CPU ms of one run reading the page from a pipe, as the scheduler
    hands it over (only the filter's time counts, not the writer's)."""
    import threading
    env = dict(os.environ, PPD=ppd, LANG="C")
    with open(raster, "rb") as f:
        data = f.read()
    with open(os.devnull, "wb") as sink:
        p = subprocess.Popen([prog, "1", "bench", "page", "1", options], stdin=subprocess.PIPE,
                             stdout=sink, stderr=sink, env=env)

        def feed():
            try:
                p.stdin.write(data)
            except BrokenPipeError:
                pass
            p.stdin.close()
        writer = threading.Thread(target=feed)
        writer.start()
        _, status, ru = os.wait4(p.pid, 0)
        p.returncode = status
        writer.join()
    if status != 0:
        raise SystemExit(f"{prog} failed on {raster} through a pipe [{options}]")
    return (ru.ru_utime + ru.ru_stime) * 1e3


def measure_pair(prog, baseline, ppd, options, raster, runs):
    """Median wall ms, CPU ms and peak MB of each program; the two take
    turns, so that a busy spell on a shared machine weighs on both alike."""
    samples = [(run_once(prog, ppd, options, raster), run_once(baseline, ppd, options, raster))
               for _ in range(runs)]
    return tuple(tuple(statistics.median(s[k][i] for s in samples) for i in range(3))
                 for k in range(2))


def header_size(raster):
    """Width, height and RGB buffer bytes of the page, read through the filter's view."""
    import struct
    with open(raster, "rb") as f:
        head = f.read(4 + 1796)
    order = "<" if head[:4] in (b"3SaR", b"2SaR", b"tSaR") else ">"
    w, h = struct.unpack_from(order + "II", head, 4 + 256 + 4 * 29)  # cupsWidth, cupsHeight
    return w, h, w * h * 3


def main():
    ap = argparse.ArgumentParser()
    for a in ("--ppds", "--pages", "--filter", "--baseline"):
        ap.add_argument(a, required=True)
    ap.add_argument("--runs", type=int, default=9)
    a = ap.parse_args()
    ppd = {dpi: os.path.join(a.ppds, f"qa4-{dpi}.ppd") for dpi in ("203", "300")}
    pages = [("testprint-203", "203"), ("text-203", "203"), ("testprint-300", "300"),
             ("text-300", "300")]

    # Identical output first: every page, both paths, with mirror, negative and rotation.
    mismatches = 0
    with tempfile.TemporaryDirectory() as tmp:
        for name, dpi in pages + [("long-203", "203")]:
            raster = os.path.join(a.pages, name + ".ras")
            for path, opt in PATHS.items():
                for extra in ("", "OP_Mirror=1 OP_ReversePhase=1", "OP_Rotate=1",
                              "OP_Rotate=1 OP_Mirror=1 OP_ReversePhase=1"):
                    outs = []
                    for prog in (a.filter, a.baseline):
                        out = os.path.join(tmp, os.path.basename(prog))
                        run_once(prog, ppd[dpi], f"{opt} {extra}", raster, out)
                        with open(out, "rb") as f:
                            outs.append(f.read())
                    if outs[0] != outs[1]:
                        mismatches += 1
                        print(f"DIFFERENT: {name} {path} [{extra}]")
    print(f"Identical output: {'yes' if mismatches == 0 else f'NO ({mismatches} cases differ)'}"
          " (4 A4 pages + the 1.5 m page, both paths, plain / mirror+negative / rotated /"
          " rotated+mirror+negative)\n")

    print("| Page | Path | filter wall ms | baseline wall ms | filter CPU ms | baseline CPU ms "
          "| speed-up (CPU) |")
    print("|---|---|---|---|---|---|---|")
    for name, dpi in pages:
        raster = os.path.join(a.pages, name + ".ras")
        for path, opt in PATHS.items():
            (fw, fc, _), (bw, bc, _) = measure_pair(a.filter, a.baseline, ppd[dpi], opt, raster,
                                                    a.runs)
            print(f"| {name} | {path} | {fw:.1f} | {bw:.1f} | {fc:.1f} | {bc:.1f} | {bc / fc:.2f}x |")

    print("\nThe same pages through a pipe, as the scheduler hands them over (CPU ms, median):\n")
    print("| Page | Path | filter CPU ms | baseline CPU ms | speed-up (CPU) |")
    print("|---|---|---|---|---|")
    for name, dpi in pages[::2]:
        raster = os.path.join(a.pages, name + ".ras")
        for path, opt in PATHS.items():
            runs = [(cpu_through_pipe(a.filter, ppd[dpi], opt, raster),
                     cpu_through_pipe(a.baseline, ppd[dpi], opt, raster)) for _ in range(a.runs)]
            fc = statistics.median(r[0] for r in runs)
            bc = statistics.median(r[1] for r in runs)
            print(f"| {name} | {path} | {fc:.1f} | {bc:.1f} | {bc / fc:.2f}x |")

    print("\nPeak resident memory of the filter, less the same command on a 4x4 page, "
          "per page RGB buffer:\n")
    print("| Page | Path | Rotate | peak RSS MB | extra over 4x4 MB | RGB buffer MB | ratio "
          "| baseline ratio |")
    print("|---|---|---|---|---|---|---|---|")
    tiny = os.path.join(a.pages, "tiny.ras")
    for name, dpi in pages:
        raster = os.path.join(a.pages, name + ".ras")
        buf = header_size(raster)[2] / 2**20
        for path, opt in PATHS.items():
            for rot in ("0", "1"):
                o = f"{opt} OP_Rotate={rot}"
                rows = []
                for prog in (a.filter, a.baseline):
                    peak = max(run_once(prog, ppd[dpi], o, raster)[2] for _ in range(3))
                    small = max(run_once(prog, ppd[dpi], o, tiny)[2] for _ in range(3))
                    rows.append((peak, peak - small))
                print(f"| {name} | {path} | {rot} | {rows[0][0]:.1f} | {rows[0][1]:.1f} | {buf:.1f} "
                      f"| {rows[0][1] / buf:.2f} | {rows[1][1] / buf:.2f} |")

    # Per-dot cost is a small difference of noisy times: the three pages
    # take turns, so a busy spell on the machine hits all of them alike.
    scale_runs = max(a.runs, 41)
    print(f"\nCost per pixel, A4 page against the 1.5 m continuous page (203 dpi), "
          f"median CPU of {scale_runs} runs taking turns:\n")
    print("| Page | Path | pixels | CPU ms | ns per pixel | ns per pixel less the 4x4 run |")
    print("|---|---|---|---|---|---|")
    names = ("testprint-203", "long-203", "tiny")
    for path, opt in PATHS.items():
        cpu = {n: [] for n in names}
        for _ in range(scale_runs):
            for n in names:
                cpu[n].append(cpu_once(a.filter, ppd["203"], opt,
                                       os.path.join(a.pages, n + ".ras")))
        fixed = statistics.median(cpu["tiny"])
        for n in names[:2]:
            w, h, _ = header_size(os.path.join(a.pages, n + ".ras"))
            c = statistics.median(cpu[n])
            print(f"| {n} | {path} | {w}x{h} | {c:.1f} | {c * 1e6 / (w * h):.2f} "
                  f"| {(c - fixed) * 1e6 / (w * h):.2f} |")
    return 1 if mismatches else 0


if __name__ == "__main__":
    raise SystemExit(main())
