#!/usr/bin/env python3
"""Deterministic PDF documents for the demo and the CUPS tests.

Writes small PDF 1.4 files by hand (standard library only) so the same
bytes come out on every machine: no dates, no random ids.

  testdoc.py demo OUT.pdf     the three-page demo document
  testdoc.py markers OUT.pdf  the marker pages the tests measure
"""
import sys

A4 = (595, 842)


def write_pdf(path, pages, size=A4):
    """pages: list of PDF content streams (str); one page each."""
    objects = []  # object bodies, numbered from 1

    def add(body):
        objects.append(body)
        return len(objects)

    font = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>")
    font_bold = add(b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica-Bold /Encoding /WinAnsiEncoding >>")
    # Axial and radial shadings for the photo-like parts: gray ramp white->black.
    ramp = b"<< /FunctionType 2 /Domain [0 1] /C0 [1] /C1 [0] /N 1 >>"
    axial = add(b"<< /ShadingType 2 /ColorSpace /DeviceGray /Coords [0 0 1 0] /Function " + ramp +
                b" /Extend [true true] >>")
    radial = add(b"<< /ShadingType 3 /ColorSpace /DeviceGray /Coords [0.35 0.65 0 0.5 0.5 0.6] /Function " +
                 b"<< /FunctionType 2 /Domain [0 1] /C0 [0.95] /C1 [0.1] /N 1.5 >>" +
                 b" /Extend [true true] >>")
    resources = ("<< /Font << /F1 %d 0 R /F2 %d 0 R >> /Shading << /Ax %d 0 R /Rad %d 0 R >> >>"
                 % (font, font_bold, axial, radial)).encode()
    pages_id = len(objects) + 1 + 2 * len(pages)
    kids = []
    for content in pages:
        data = content.encode("latin-1")
        stream = add(b"<< /Length %d >>\nstream\n" % len(data) + data + b"\nendstream")
        kids.append(add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] /Resources %s /Contents %d 0 R >>"
                        % (pages_id, size[0], size[1], resources, stream)))
    assert add(b"<< /Type /Pages /Kids [" + b" ".join(b"%d 0 R" % k for k in kids) +
               b"] /Count %d >>" % len(kids)) == pages_id
    catalog = add(b"<< /Type /Catalog /Pages %d 0 R >>" % pages_id)

    out = bytearray(b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, catalog, xref)
    with open(path, "wb") as f:
        f.write(out)


def text(x, y, size, s, bold=False):
    s = s.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")
    return "BT /%s %d Tf %d %d Td (%s) Tj ET\n" % ("F2" if bold else "F1", size, x, y, s)


def marker_pages():
    """Three A4 pages with known black boxes (PDF y counts from the bottom).

    1: a box at the top left and a 50% gray field (halftone shows there);
    2: a box at the right, ending halfway down (the tail is blank);
    3: a thin box across the top only.
    """
    p1 = ("0 g 40 692 120 110 re f\n"
          "0.5 g 300 500 200 200 re f\n") + text(40, 640, 14, "Marker page 1")
    p2 = "0 g 435 421 120 120 re f\n" + text(40, 560, 14, "Marker page 2")
    p3 = "0 g 40 780 515 20 re f\n"
    return [p1, p2, p3]


def demo_pages():
    """Text, a photo-like shaded picture and line art over three pages."""
    body = [
        "This page was printed by rastertoquillet, the CUPS filter of the",
        "thermal printer. Every page becomes one printer job: a header with",
        "size, paper, density and speed, bitmap bands 24 dots high, and PRINT.",
        "",
        "Photographs and shaded areas are error-diffused into dots; text and",
        "line art stay sharp. Blank space at the end of a page is not sent,",
        "so a short page feeds only as far as its last printed line.",
    ]
    p1 = text(50, 780, 26, "Thermal printer demo", bold=True)
    p1 += "0 g 2 w 50 765 m 545 765 l S\n"
    for i, line in enumerate(body):
        p1 += text(50, 730 - 18 * i, 12, line)
    # Photo-like: a smooth ramp, then a shaded "sphere" (both clipped to
    # their frames, since sh paints the whole clip area).
    p1 += "q 50 560 495 50 re W n 495 0 0 50 50 560 cm /Ax sh Q\n"
    p1 += "0 G 1 w 50 560 495 50 re S\n"
    p1 += text(50, 545, 10, "Smooth gray ramp")
    p1 += "q 50 320 495 210 re W n 300 0 0 300 150 275 cm /Rad sh Q\n"
    p1 += "0 G 1 w 50 320 495 210 re S\n"
    p1 += text(50, 305, 10, "A shaded sphere: photographs are error-diffused into dots")
    for i in range(11):
        g = i / 10.0
        p1 += "%.1f g %d 230 45 45 re f\n" % (g, 50 + 45 * i)
    p1 += "0 G 0.5 w 50 230 495 45 re S\n"
    p1 += text(50, 210, 10, "Eleven gray steps from black to white")

    # Line art: grid, circles from Bezier curves, a star and hairlines.
    p2 = text(50, 780, 22, "Line art", bold=True)
    p2 += "0 G 0.5 w\n"
    for i in range(11):
        p2 += "%d 400 m %d 700 l S\n" % (50 + 30 * i, 50 + 30 * i)
        p2 += "50 %d m 350 %d l S\n" % (400 + 30 * i, 400 + 30 * i)
    k = 0.5523
    for r in (20, 40, 60, 80, 100):
        cx, cy = 460, 550
        p2 += ("%.2f w %d %d m %.1f %.1f %.1f %.1f %d %d c %.1f %.1f %.1f %.1f %d %d c "
               "%.1f %.1f %.1f %.1f %d %d c %.1f %.1f %.1f %.1f %d %d c S\n"
               % (r / 40.0, cx + r, cy, cx + r, cy + k * r, cx + k * r, cy + r, cx, cy + r,
                  cx - k * r, cy + r, cx - r, cy + k * r, cx - r, cy,
                  cx - r, cy - k * r, cx - k * r, cy - r, cx, cy - r,
                  cx + k * r, cy - r, cx + r, cy - k * r, cx + r, cy))
    p2 += "0 g 300 120 m 330 210 l 420 210 l 348 265 l 375 350 l 300 298 l 225 350 l 252 265 l 180 210 l 270 210 l h f\n"
    for i, w in enumerate((0.25, 0.5, 1, 2, 4)):
        p2 += "%.2f w 50 %d m 150 %d l S\n" % (w, 300 - 25 * i, 300 - 25 * i)
    p2 += text(50, 160, 10, "Hairlines of 0.25 to 4 points")

    # Short page: its blank tail is trimmed.
    p3 = text(50, 780, 22, "A short page", bold=True)
    p3 += text(50, 750, 12, "Only the top of this page carries ink, so the printer")
    p3 += text(50, 732, 12, "receives just the bands down to this line.")
    p3 += "0 G 1 w 50 720 m 545 720 l S\n"
    return [p1, p2, p3]


def main(argv):
    if len(argv) != 3 or argv[1] not in ("demo", "markers"):
        sys.stderr.write(__doc__)
        return 2
    write_pdf(argv[2], demo_pages() if argv[1] == "demo" else marker_pages())
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
