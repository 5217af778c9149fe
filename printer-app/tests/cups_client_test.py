"""A real client: a private cupsd with a driverless queue made by
`lpadmin -m everywhere` on the app's printer prints a PDF with lp; the
socket printer receives a decodable printer stream with the options asked
for.  With no option set, an A4 page and a 100 x 150 mm label (the label
printer's default) print at full size, a colour chart prints every colour
as a tone of its own and a colour photo as a halftone that follows it.
The printer's own settings (darkness, speed, mirror, negative, direction,
label gap) per job through `-m raw` queues, which forward every option.
Needs root (cupsd insists on it); otherwise reports itself skipped.

Usage: cups_client_test.py APP FILTER DECODER PPD_DIR TESTDOC [--keep]"""
import math
import os
import re
import shutil
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "filter", "tests", "cups"))

import cupskit  # noqa: E402
import cupsd_test  # noqa: E402
import pappkit as kit  # noqa: E402

sys.path.insert(0, os.path.join(HERE, "..", "..", "tools", "demo"))
import testdoc as td  # noqa: E402

SKIP = 77
MM = 72 / 25.4


def frame_pdf(path, width, length, inset):
    """A page of width x length points with a 1 mm black frame `inset` mm
    from its edges."""
    a, b = inset * MM, (inset + 1) * MM
    td.write_pdf(path, ["0 g %.2f %.2f %.2f %.2f re %.2f %.2f %.2f %.2f re f*\n"
                        % (a, a, width - 2 * a, length - 2 * a, b, b, width - 2 * b, length - 2 * b)],
                 size=(width, length))
    return path


CHART = [(1, 0, 0), (0, 1, 0), (0, 0, 1), (0, 1, 1), (1, 0, 1), (1, 1, 0)]  # 80 x 120 pt patches


def chart_pdf(path):
    td.write_pdf(path, ["".join("%d %d %d rg %d 600 80 120 re f\n" % (c + (40 + 88 * i,))
                                for i, c in enumerate(CHART))])
    return path


def photo_pixels(w, h):
    """A landscape: sky, sun, a green hill and a red house (RGB rows)."""
    rows = []
    for y in range(h):
        row = bytearray()
        for x in range(w):
            p = (120 + 100 * y // h, 170 + 60 * y // h, 255)
            if (x - 0.75 * w) ** 2 + (y - 0.25 * h) ** 2 < (0.12 * w) ** 2:
                p = (255, 230, 80)
            if y > h * (0.62 + 0.08 * math.sin(x * 6.0 / w)):
                p = (40, 140, 50)
            if 0.2 * w < x < 0.43 * w and 0.5 * h < y < 0.85 * h:
                p = (200, 40, 40)
            row += bytes(p)
        rows.append(bytes(row))
    return rows


PHOTO_BOX = (57, 400, 480, 320)  # x, y (from the bottom), width, height in points


def photo_pdf(path, rows):
    x, y, w, h = PHOTO_BOX
    data = b"".join(rows).hex()
    td.write_pdf(path, ["q %d 0 0 %d %d %d cm BI /W %d /H %d /CS /RGB /BPC 8 /F /AHx ID\n%s>\nEI Q\n"
                        % (w, h, x, y, len(rows[0]) // 3, len(rows), data)])
    return path


def correlation(a, b):
    ma, mb = sum(a) / len(a), sum(b) / len(b)
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    va, vb = sum((x - ma) ** 2 for x in a), sum((y - mb) ** 2 for y in b)
    return cov / math.sqrt(va * vb) if va and vb else 0.0


def frame_error(page, width, length, inset, dpi=203):
    """The largest distance in mm of the frame's four outer edges from
    where they are on the document page."""
    inked = [y for y in range(page.height) if any(b != 0xFF for b in page.rows[y])]
    left, right = page.column_extent(page.height // 2 - 8, page.height // 2 + 8)
    mm = 25.4 / dpi
    want = inset * dpi / 25.4
    return max(abs(left - want), abs(width * dpi / 72.0 - 1 - right - want),
               abs(inked[0] - want), abs(length * dpi / 72.0 - 1 - inked[-1] - want)) * mm


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

    def lp(queue, path, *options):
        """Prints with lp; the pages the printer got, or None."""
        out = cupsd.run("lp", "-h", cupsd.host, "-d", queue, *options, path)
        job = int(re.search(r"request id is %s-(\d+)" % queue, out).group(1))
        deadline = time.time() + 60
        state = cupsd.job_state(queue, job)
        while state not in ("completed", "aborted", "canceled") and time.time() < deadline:
            time.sleep(0.3)
            state = cupsd.job_state(queue, job)
        if state != "completed":
            failures.append("%s: %s\n%s" % (os.path.basename(path), state, cupsd.error_log()))
            return None
        stream = os.path.join(work, "out.prn")
        with open(stream, "wb") as f:
            f.write(listener.take(60))
        return cupskit.decode(decoder, stream, os.path.join(work, "page"))

    try:
        server.add("a4", "quillet_a4_203", "socket://127.0.0.1:%d" % listener.port)
        server.add("label", "quillet_label_203", "socket://127.0.0.1:%d" % listener.port)
        body = ("OPERATION Set-Printer-Attributes\n" + kit.OPERATION_HEAD + "\nGROUP printer-attributes-tag"
                "\nATTR keyword media-default om_label-100x150mm_100x150mm")
        status = kit.ipp(server.uri("label"), body, work).get("status")
        if status != "successful-ok":
            failures.append("label media-default: %s" % status)
        cupsd = cupsd_test.Scheduler(work, cupskit.make_serverbin(work, filter_path),
                                     cupsd_test.private_datadir(work, ppd_dir, []))
        cupsd.start()
        cupsd.run("lpadmin", "-h", cupsd.host, "-p", "q", "-E", "-v", server.uri("a4"), "-m", "everywhere")
        for queue, printer, model in (("ql", "label", "everywhere"), ("raw", "a4", "raw"),
                                      ("rawlabel", "label", "raw")):
            cupsd.run("lpadmin", "-h", cupsd.host, "-p", queue, "-E", "-v", server.uri(printer), "-m", model)

        # The queue's default size is the printer's, so pages are not
        # shrunk onto Letter: frames land where the document has them.
        for queue, size, inset in (("q", (595, 842), 10), ("ql", (283, 425), 5)):
            pages = lp(queue, frame_pdf(os.path.join(work, "frame.pdf"), size[0], size[1], inset))
            error = pages and frame_error(pages[0], size[0], size[1], inset)
            if pages is not None and not error <= 0.5:
                failures.append("%s: the frame is %.2f mm from its place (%s)" % (queue, error, pages[0].fields))

        # Colours print as tones of gray, each its own.
        chart = chart_pdf(os.path.join(work, "chart.pdf"))
        dots = lambda pt: int(round(pt * 203 / 72.0))
        for options in ([], ["-o", "print-color-mode=monochrome"]):
            pages = lp("q", chart, *options)
            if pages:
                inks = [pages[0].ink_ratio(dots(50 + 88 * i), dots(842 - 710), dots(110 + 88 * i), dots(842 - 610))
                        for i in range(len(CHART))]
                if not all(0.05 < a < 0.95 for a in inks) or len(set(round(a, 2) for a in inks)) < len(inks):
                    failures.append("colour chart %s: inks %s" % (options, ["%.2f" % a for a in inks]))

        # A colour photo: the ink of each part follows its lightness.
        rows = photo_pixels(48, 32)
        pages = lp("q", photo_pdf(os.path.join(work, "photo.pdf"), rows))
        if pages:
            x, y, w, h = PHOTO_BOX
            light, inks = [], []
            for cy in range(0, 32, 4):
                for cx in range(0, 48, 4):
                    px = [rows[yy][3 * xx:3 * xx + 3] for yy in range(cy, cy + 4) for xx in range(cx, cx + 4)]
                    light.append(sum(0.3 * p[0] + 0.59 * p[1] + 0.11 * p[2] for p in px) / len(px))
                    inks.append(pages[0].ink_ratio(dots(x + w * cx / 48.0), dots(842 - y - h + h * cy / 32.0),
                                                   dots(x + w * (cx + 4) / 48.0), dots(842 - y - h + h * (cy + 4) / 32.0)))
            r = correlation(light, inks)
            if r > -0.9 or max(inks) > 0.97:
                failures.append("photo: lightness and ink correlate %.2f, darkest part %.2f" % (r, max(inks)))

        pdf = cupskit.generate_doc(testdoc, "demo", os.path.join(work, "demo.pdf"))
        # A 100 x 150 mm label (the label printer's size) with a box in its left third.
        label_pdf = os.path.join(work, "label.pdf")
        td.write_pdf(label_pdf, ["0 g 20 40 60 300 re f\n"], size=(283, 425))
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
            pages = lp(queue, doc, *options)
            if pages is None:
                continue
            results[name] = pages
            if name == "label":
                # The box in the label's left third comes out in its right third.
                extent = pages[0].column_extent(0, pages[0].height)
                if not extent or extent[0] < pages[0].width // 2:
                    failures.append("label not mirrored: ink in columns %s of %d" % (extent, pages[0].width))
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
