"""A soak through one server: random PWG raster jobs with random
attributes on random models, each equal byte for byte to the filter's
output for the same pages and options; nothing lost, the server alive.

Usage: soak_test.py APP FILTER PPD_DIR [--jobs N] [--seed S] [--keep]"""
import math
import os
import random
import sys

import pappkit as kit
from papp_test import PRINTERS, run_filter


def lround(x):
    return int(math.floor(x + 0.5)) if x >= 0 else -int(math.floor(-x + 0.5))


def random_job(rnd, label):
    """IPP attribute lines, the filter's options and the copy count."""
    attrs, opts, media = [], [], []
    if rnd.random() < 0.5:
        text = rnd.random() < 0.5
        attrs.append("ATTR keyword print-content-optimize %s" % ("text" if text else "photo"))
        opts.append("OP_HalfTone=%s" % ("False" if text else "True"))
    for attr, op in (("quillet-mirror", "OP_Mirror"), ("quillet-negative", "OP_ReversePhase")):
        if rnd.random() < 0.4:
            on = rnd.random() < 0.5
            attrs.append("ATTR boolean %s %s" % (attr, "true" if on else "false"))
            opts.append("%s=%d" % (op, on))
    if rnd.random() < 0.5:
        orient = rnd.choice((3, 4, 5, 6))
        attrs.append("ATTR enum orientation-requested %d" % orient)
        rotate = {3: 0, 4: 1, 5: 3, 6: 2}[orient] if label else {3: 0, 4: 1, 5: 1, 6: 0}[orient]
        opts.append("OP_Rotate=%d" % rotate)
    if rnd.random() < 0.5:
        darkness = rnd.randint(-53, 47)
        attrs.append("ATTR integer print-darkness %d" % darkness)
        opts.append("%s=%d" % ("OP_PrintDensity" if label else "OP_Density", ((53 + darkness) * 15 + 50) // 100))
    if rnd.random() < 0.5:
        level = rnd.randint(1, 8)
        attrs.append("ATTR integer print-speed %d" % (level * 2540))
        opts.append("OP_PrintSpeed=%d" % level)
    if label:
        if rnd.random() < 0.5:
            tracking = rnd.randint(0, 2)
            media.append("MEMBER keyword media-tracking %s" % ("continuous", "gap", "mark")[tracking])
            opts.append("OP_PaperSel=%d" % tracking)
        for member, op in (("media-left-offset", "OP_HorizontalOffset"), ("media-top-offset", "OP_VerticalOffset")):
            if rnd.random() < 0.3:
                value = rnd.randint(-200, 200)
                media.append("MEMBER integer %s %d" % (member, value))
                opts.append("%s=%d" % (op, max(-16, min(16, lround(value * 203 / 2540)))))
        for attr, op, low, high in (("quillet-label-gap", "OP_LabelGAP", 0, 10),
                                    ("quillet-stop-offset", "OP_OFFSet", -10, 10)):
            if rnd.random() < 0.3:
                value = rnd.randint(low, high)
                attrs.append("ATTR integer %s %d" % (attr, value))
                opts.append("%s=%d" % (op, value))
    else:
        if rnd.random() < 0.4:
            paper = rnd.randint(0, 2)
            media.append("MEMBER keyword media-type %s" % ("black-mark", "continuous", "tattoo-transfer")[paper])
            opts.append("OP_PaperType=%d" % paper)
        if rnd.random() < 0.3:
            reversed_ = rnd.random() < 0.5
            attrs.append("ATTR keyword quillet-direction %s" % ("reversed" if reversed_ else "normal"))
            opts.append("OP_Direction=%d" % reversed_)
    if media:
        size = "om_label-50x30mm_50x30mm" if label else "iso_a4_210x297mm"
        attrs.append("ATTR collection media-col { MEMBER keyword media-size-name %s %s }"
                     % (size, " ".join(media)))
    copies = rnd.choice((1, 1, 2, 3))
    if copies > 1:
        attrs.append("ATTR integer copies %d" % copies)
    return "\n".join(attrs), " ".join(opts), copies


def random_pages(rnd):
    pages = []
    for _ in range(rnd.randint(1, 2)):
        w, h = rnd.randint(8, 240), rnd.randint(1, 160)
        blank = rnd.randint(0, h)
        rows = [bytes(rnd.getrandbits(8) for _ in range(3 * w)) for _ in range(min(8, h))]
        pages.append((w, h, [rows[y % len(rows)] if y < blank else b"\xff" * (3 * w) for y in range(h)]))
    return pages


def main(argv):
    app, filter_path, ppd_dir = argv[1:4]
    jobs = int(argv[argv.index("--jobs") + 1]) if "--jobs" in argv else 100
    seed = int(argv[argv.index("--seed") + 1]) if "--seed" in argv else 12
    rnd = random.Random(seed)
    work = kit.tempdir("papp-soak-")
    listener = kit.Listener()
    server = kit.Server(app, work)
    failures = []
    try:
        for name, (driver, _) in PRINTERS.items():
            server.add(name, driver, "socket://127.0.0.1:%d" % listener.port)
        for n in range(jobs):
            printer = rnd.choice(sorted(PRINTERS))
            attrs, opts, copies = random_job(rnd, printer == "label")
            pages = random_pages(rnd)
            app_doc, ref_doc = os.path.join(work, "app.pwg"), os.path.join(work, "ref.pwg")
            with open(app_doc, "wb") as f:
                f.write(kit.pwg_raster(pages))
            with open(ref_doc, "wb") as f:
                f.write(kit.pwg_raster(pages, copies=copies))
            expected = run_filter(filter_path, os.path.join(ppd_dir, PRINTERS[printer][1]), opts,
                                  copies, ref_doc)
            job, status = kit.print_job(server.uri(printer), work, app_doc, "image/pwg-raster", attrs)
            state = kit.wait_job(server.uri(printer), work, job)[0] if job else status
            got = listener.take() if job else b""
            if state != "completed" or got != expected:
                failures.append("job %d on %s (%s): %s, %d bytes, filter %d" %
                                (n, printer, opts or "defaults", state, len(got), len(expected)))
        if not server.alive():
            failures.append("the server died")
    finally:
        server.stop()
        listener.close()
        kit.cleanup(work, "--keep" in argv)
    for f in failures:
        print("FAIL:", f)
    print("%d jobs, %d failure(s)" % (jobs, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
