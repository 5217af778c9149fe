#!/usr/bin/env python3
"""Renders the setup program's skin images from the vector drawings below.

Every image is written in three variants (base, @125, @150) into the image
folders of setup/archive/content/, together with the busy animation (GIF);
the 48x48 application icon goes to setup/archive/plovex.ico.  The output is checked in, so a build needs
neither librsvg nor ImageMagick; run this again after changing a drawing:

    tools/skin/make-skin.py            # writes into setup/archive/
    tools/skin/make-skin.py --check    # fails when the checked-in files differ

Needs rsvg-convert (librsvg2-bin) and ImageMagick's convert.
"""
import argparse
import math
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
ARCHIVE = os.path.join(ROOT, "setup", "archive")
CONTENT = os.path.join(ARCHIVE, "content")  # the archive's entries
SCALES = ((100, ""), (125, "@125"), (150, "@150"))

# Palette shared by the markup (keep in step with the colours in main.xml).
BLUE = "#2F6FEB"
BLUE_HOVER = "#4A82F0"
BLUE_DOWN = "#2458C6"
BLUE_PALE = "#EAF1FE"
INK = "#1F2937"
MUTED = "#6B7280"
LINE = "#CBD2DC"
WHITE = "#FFFFFF"
RED = "#E5484D"
GREEN = "#12A150"


def svg(w, h, body):
    """Wraps a drawing in an SVG document of the given size."""
    return (f'<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" '
            f'viewBox="0 0 {w} {h}">{body}</svg>')


def rrect(w, h, r, fill, stroke=None, sw=1):
    """A rounded rectangle filling the image, stroke kept inside the edge."""
    s = f' stroke="{stroke}" stroke-width="{sw}"' if stroke else ""
    o = sw / 2 if stroke else 0
    return (f'<rect x="{o}" y="{o}" width="{w - 2 * o}" height="{h - 2 * o}" '
            f'rx="{r}" fill="{fill}"{s}/>')


def stroke_path(d, color, width=1.6):
    """An open line drawing, used by the small icons."""
    return (f'<path d="{d}" fill="none" stroke="{color}" stroke-width="{width}" '
            'stroke-linecap="round" stroke-linejoin="round"/>')


def button(fill, border, w=96, h=30):
    return svg(w, h, rrect(w, h, 4, fill, border))


def radio(state):
    ring = BLUE if state != "normal" else "#9AA4B2"
    dot = f'<circle cx="8" cy="8" r="3.6" fill="{BLUE}"/>' if state == "selected" else ""
    return svg(16, 16, f'<circle cx="8" cy="8" r="7" fill="{WHITE}" stroke="{ring}" stroke-width="1.4"/>{dot}')


def check(state):
    if state == "selected":
        return svg(16, 16, rrect(16, 16, 3, BLUE) + stroke_path("M4 8.4 L7 11.2 L12.2 5", WHITE, 1.8))
    ring = BLUE if state == "hover" else "#9AA4B2"
    return svg(16, 16, rrect(16, 16, 3, WHITE, ring, 1.4))


def card(fill, border, sw=1):
    return svg(220, 120, rrect(220, 120, 8, fill, border, sw))


def sysbtn(glyph, state, danger=False):
    """A 28x28 title-bar button: white glyph, tinted square when hot."""
    bg = ""
    if state != "normal":
        if danger:
            bg = rrect(28, 28, 0, "#E81123" if state == "hover" else "#B40E1C")
        else:
            bg = rrect(28, 28, 4, WHITE).replace("<rect", f'<rect opacity="{0.18 if state == "hover" else 0.32}"')
    return svg(28, 28, bg + glyph)


GLYPHS = {
    "close": stroke_path("M9.5 9.5 L18.5 18.5 M18.5 9.5 L9.5 18.5", WHITE),
    "min": stroke_path("M9 14.5 L19 14.5", WHITE),
    "max": f'<rect x="9.5" y="9.5" width="9" height="9" fill="none" stroke="{WHITE}" stroke-width="1.5"/>',
    "restore": (f'<rect x="9" y="11.5" width="7.5" height="7.5" fill="none" stroke="{WHITE}" stroke-width="1.4"/>'
                + stroke_path("M11.5 11.5 L11.5 9 L19 9 L19 16.5 L16.5 16.5", WHITE, 1.4)),
    "skin": stroke_path("M9 10 L12 8 Q14 10 16 8 L19 10 L20 13 L17.5 13.5 L17.5 20 L10.5 20 "
                        "L10.5 13.5 L8 13 Z", WHITE, 1.4),
    "lan": (f'<circle cx="14" cy="14" r="6" fill="none" stroke="{WHITE}" stroke-width="1.4"/>'
            + stroke_path("M8 14 L20 14 M14 8 Q10.5 14 14 20 M14 8 Q17.5 14 14 20", WHITE, 1.2)),
    "about": (f'<circle cx="14" cy="14" r="6.2" fill="none" stroke="{WHITE}" stroke-width="1.4"/>'
              + stroke_path("M14 13 L14 17.5", WHITE, 1.6)
              + f'<circle cx="14" cy="10.6" r="0.95" fill="{WHITE}"/>'),
}


def printer_glyph(size, color, width=2.0):
    """A printer outline drawn on a 48-unit grid, scaled to size x size."""
    k = size / 48.0
    w = width / k
    return (f'<g transform="scale({k:.4f})">'
            + stroke_path("M14 18 L14 7 L34 7 L34 18", color, w)
            + stroke_path("M10 34 L6 34 L6 20 Q6 18 8 18 L40 18 Q42 18 42 20 L42 34 L38 34", color, w)
            + stroke_path("M14 28 L34 28 L34 42 L14 42 Z", color, w)
            + stroke_path("M18 33 L30 33 M18 37 L26 37", color, w) + "</g>")


def logo(size):
    """The application mark: a white printer on a blue rounded square."""
    return svg(size, size, rrect(size, size, size * 0.22, BLUE) +
               f'<g transform="translate({size * 0.14:.2f},{size * 0.14:.2f}) scale(0.72)">'
               + printer_glyph(size, WHITE, max(1.6, size / 16)) + "</g>")


# The connection cards' 28x28 glyphs by port kind (the kind's row in
# setup/engine/src/port_kinds.cpp names main/port_<kind>.png); a new kind
# needs only its drawing here.
PORT_GLYPHS = {}


def port_glyph(kind):
    def register(draw):
        PORT_GLYPHS[kind] = draw
        return draw
    return register


@port_glyph("usb")
def _usb_glyph(c):
    return (stroke_path("M14 4 L14 22 M14 10 L9 13 L9 16 M14 13 L19 10 L19 8", c)
            + f'<circle cx="14" cy="23" r="2.4" fill="{c}"/>'
            + f'<rect x="7.5" y="15.5" width="3" height="3" fill="{c}"/>'
            + f'<circle cx="19" cy="7" r="1.7" fill="{c}"/>' + stroke_path("M12 6 L14 3.5 L16 6", c))


@port_glyph("net")
def _net_glyph(c):
    return (f'<rect x="9" y="3.5" width="10" height="7" rx="1.5" fill="none" stroke="{c}" stroke-width="1.6"/>'
            + stroke_path("M14 10.5 L14 15 M5 15 L23 15 M7 15 L7 19 M21 15 L21 19", c)
            + f'<rect x="4" y="19" width="6" height="5" rx="1" fill="{c}"/>'
            + f'<rect x="18" y="19" width="6" height="5" rx="1" fill="{c}"/>')


@port_glyph("bluetooth")
def _bluetooth_glyph(c):
    return stroke_path("M9 9 L19 18 L14 23 L14 5 L19 10 L9 19", c, 1.8)


@port_glyph("lpt")
def _lpt_glyph(c):
    return (stroke_path("M4 9 L24 9 L21 19 L7 19 Z", c)
            + "".join(f'<circle cx="{x}" cy="12.4" r="1" fill="{c}"/>' for x in (9, 12, 15, 18))
            + "".join(f'<circle cx="{x}" cy="15.6" r="1" fill="{c}"/>' for x in (10.5, 13.5, 16.5)))


@port_glyph("com")
def _com_glyph(c):
    return (stroke_path("M5 9 L23 9 L20.5 19 L7.5 19 Z", c)
            + "".join(f'<circle cx="{x}" cy="12.5" r="1.1" fill="{c}"/>' for x in (10, 14, 18))
            + "".join(f'<circle cx="{x}" cy="15.8" r="1.1" fill="{c}"/>' for x in (12, 16)))


@port_glyph("custom")
def _custom_glyph(c):
    return (f'<circle cx="14" cy="14" r="3.2" fill="none" stroke="{c}" stroke-width="1.6"/>'
            + stroke_path(" ".join(
                f"M{14 + 6 * math.cos(a):.2f} {14 + 6 * math.sin(a):.2f} "
                f"L{14 + 9.5 * math.cos(a):.2f} {14 + 9.5 * math.sin(a):.2f}"
                for a in (i * math.pi / 4 for i in range(8))), c, 2.2)
            + f'<circle cx="14" cy="14" r="6.4" fill="none" stroke="{c}" stroke-width="1.6"/>')


def port_icon(kind):
    """28x28 glyphs for the connection choices."""
    return svg(28, 28, PORT_GLYPHS[kind](BLUE))


def start_icon(kind):
    """48x48 pictures of the two start-page cards."""
    body = f'<circle cx="24" cy="24" r="23" fill="{BLUE_PALE}"/>' + printer_glyph(48, BLUE, 2.2)
    if kind == "install":
        body += (f'<circle cx="36" cy="36" r="8" fill="{GREEN}"/>'
                 + stroke_path("M36 31.5 L36 40.5 M31.5 36 L40.5 36", WHITE, 2))
    else:
        body += (f'<circle cx="36" cy="36" r="8" fill="{RED}"/>'
                 + stroke_path("M31.5 36 L40.5 36", WHITE, 2))
    return svg(48, 48, body)


def status_icon(kind, size=16):
    color = {"ok": GREEN, "error": RED, "info": BLUE}[kind]
    glyph = {"ok": "M4.6 8.4 L7 10.8 L11.4 5.6", "error": "M5.5 5.5 L10.5 10.5 M10.5 5.5 L5.5 10.5",
             "info": "M8 7.4 L8 11.6"}[kind]
    dot = f'<circle cx="8" cy="4.9" r="1" fill="{WHITE}"/>' if kind == "info" else ""
    return svg(size, size, f'<circle cx="8" cy="8" r="8" fill="{color}"/>' + stroke_path(glyph, WHITE, 1.7) + dot)


def background(n, w=560, h=400):
    """Skin backgrounds: a soft gradient with large translucent shapes."""
    stops = {1: ("#F7F9FC", "#E8EEF8", BLUE), 2: ("#FBF7F2", "#F3E6D6", "#D97706"),
             3: ("#F3FAF6", "#DDF1E6", GREEN), 4: ("#F6F4FB", "#E6E0F5", "#7C3AED")}[n]
    shapes = "".join(
        f'<circle cx="{cx}" cy="{cy}" r="{r}" fill="{stops[2]}" opacity="{o}"/>'
        for cx, cy, r, o in ((w * 0.92, h * 0.10, 150, 0.07), (w * 0.05, h * 0.98, 120, 0.06),
                             (w * 0.75, h * 1.05, 90, 0.05)))
    return svg(w, h, '<defs><linearGradient id="g" x1="0" y1="0" x2="1" y2="1">'
               f'<stop offset="0" stop-color="{stops[0]}"/><stop offset="1" stop-color="{stops[1]}"/>'
               f'</linearGradient></defs><rect width="{w}" height="{h}" fill="url(#g)"/>{shapes}')


def thumb(n):
    return svg(64, 44, f'<g transform="scale({64 / 560:.5f},{44 / 400:.5f})">'
               + background(n).split(">", 1)[1].rsplit("</svg>", 1)[0] + "</g>"
               + f'<rect x="0.5" y="0.5" width="63" height="43" fill="none" stroke="{LINE}"/>')


def images():
    """Every still image: archive path (without variant) -> SVG text."""
    out = {}
    # common/: buttons, choice marks, edits, list rows, cards, scroll thumb
    for st, (f, b) in {"normal": (WHITE, LINE), "hover": ("#F4F7FE", BLUE), "pushed": ("#E3ECFD", BLUE_DOWN),
                       "disabled": ("#F3F4F6", "#E5E7EB")}.items():
        out[f"common/button_{st}.png"] = button(f, b)
    for st, f in {"normal": BLUE, "hover": BLUE_HOVER, "pushed": BLUE_DOWN, "disabled": "#A9C0F2"}.items():
        out[f"common/button_primary_{st}.png"] = button(f, f)
    for st in ("normal", "hover", "selected"):
        out[f"common/radio_{st}.png"] = radio(st)
        out[f"common/check_{st}.png"] = check(st)
    out["common/edit_normal.png"] = svg(60, 28, rrect(60, 28, 4, WHITE, LINE))
    out["common/edit_hover.png"] = svg(60, 28, rrect(60, 28, 4, WHITE, BLUE))
    out["common/list_hover.png"] = svg(40, 30, f'<rect width="40" height="30" fill="#F1F5FD"/>')
    out["common/list_selected.png"] = svg(40, 30, f'<rect width="40" height="30" fill="{BLUE_PALE}"/>'
                                          f'<rect width="3" height="30" fill="{BLUE}"/>')
    out["common/card_normal.png"] = card(WHITE, LINE)
    out["common/card_hover.png"] = card("#F7FAFF", BLUE_HOVER)
    out["common/card_selected.png"] = card(BLUE_PALE, BLUE, 2)
    out["common/scroll_thumb.png"] = svg(8, 40, rrect(8, 40, 4, "#C3CAD5"))
    out["common/panel.png"] = svg(40, 40, rrect(40, 40, 6, WHITE, "#DDE3EB"))
    # sysbtn/: title-bar buttons in three states
    for name, glyph in GLYPHS.items():
        for st in ("normal", "hover", "pushed"):
            out[f"sysbtn/{name}_{st}.png"] = sysbtn(glyph, st, danger=(name == "close"))
    # skin/: window backgrounds and their chooser thumbnails
    for n in (1, 2, 3, 4):
        out[f"skin/bg_{n}.png"] = background(n)
        out[f"skin/thumb_{n}.png"] = thumb(n)
    # menu/: popup menu frame, hot row, check mark, sub-menu arrow
    out["menu/menu_bg.png"] = svg(40, 40, rrect(40, 40, 4, WHITE, LINE))
    out["menu/menu_hover.png"] = svg(40, 26, f'<rect width="40" height="26" fill="{BLUE_PALE}"/>')
    out["menu/menu_check.png"] = svg(16, 16, stroke_path("M3.5 8.5 L6.5 11.5 L12.5 4.5", BLUE, 1.8))
    out["menu/menu_arrow.png"] = svg(16, 16, stroke_path("M6 4 L10 8 L6 12", MUTED, 1.6))
    # main/: window mark, start cards, connection kinds, scan picture
    out["main/logo.png"] = logo(20)
    out["main/start_install.png"] = start_icon("install")
    out["main/start_delete.png"] = start_icon("delete")
    for kind in PORT_GLYPHS:
        out[f"main/port_{kind}.png"] = port_icon(kind)
    out["main/printer.png"] = svg(64, 64, f'<circle cx="32" cy="32" r="31" fill="{BLUE_PALE}"/>'
                                  '<g transform="translate(8,8)">' + printer_glyph(48, BLUE, 2.2) + "</g>")
    # other/: about mark and small status icons
    out["other/about_logo.png"] = logo(64)
    out["other/bt_paired.png"] = svg(16, 16, f'<circle cx="8" cy="8" r="8" fill="{BLUE}"/>'
                                     + stroke_path("M5.2 5.8 L10.6 10.4 L8 13 L8 3 L10.6 5.6 L5.2 10.2", WHITE, 1.3))
    for kind in ("ok", "error", "info"):
        out[f"other/{kind}.png"] = status_icon(kind)
    # xml/: pictures used by the row and item templates
    out["xml/row_usb.png"] = svg(20, 20, f'<g transform="scale({20 / 28:.4f})">'
                                 + port_icon("usb").split(">", 1)[1].rsplit("</svg>", 1)[0] + "</g>")
    out["xml/row_bluetooth.png"] = svg(20, 20, f'<g transform="scale({20 / 28:.4f})">'
                                       + port_icon("bluetooth").split(">", 1)[1].rsplit("</svg>", 1)[0] + "</g>")
    out["xml/row_printer.png"] = svg(20, 20, '<g transform="scale(0.4167)">' + printer_glyph(48, BLUE, 2.6) + "</g>")
    out["xml/row_port.png"] = svg(20, 20, f'<g transform="scale({20 / 28:.4f})">'
                                  + port_icon("com").split(">", 1)[1].rsplit("</svg>", 1)[0] + "</g>")
    out["xml/tree_collapsed.png"] = svg(12, 12, stroke_path("M4.5 2.5 L8 6 L4.5 9.5", MUTED, 1.5))
    out["xml/tree_expanded.png"] = svg(12, 12, stroke_path("M2.5 4.5 L6 8 L9.5 4.5", MUTED, 1.5))
    out["xml/tile_bg.png"] = svg(100, 80, rrect(100, 80, 6, WHITE, LINE))
    return out


def spinner_frame(i, frames=12):
    """One frame of the busy indicator: twelve spokes, the lead one darkest."""
    spokes = []
    for k in range(frames):
        a = 2 * math.pi * k / frames
        age = (i - k) % frames
        opacity = max(0.15, 1.0 - age / frames)
        x1, y1 = 16 + 7 * math.sin(a), 16 - 7 * math.cos(a)
        x2, y2 = 16 + 13 * math.sin(a), 16 - 13 * math.cos(a)
        spokes.append(f'<line x1="{x1:.2f}" y1="{y1:.2f}" x2="{x2:.2f}" y2="{y2:.2f}" stroke="{BLUE}" '
                      f'stroke-width="3" stroke-linecap="round" opacity="{opacity:.2f}"/>')
    return svg(32, 32, f'<rect width="32" height="32" fill="{WHITE}"/>' + "".join(spokes))


def render(svg_text, w, h, out_png, tmp):
    src = os.path.join(tmp, "in.svg")
    with open(src, "w", encoding="utf-8") as f:
        f.write(svg_text)
    subprocess.run(["rsvg-convert", "-w", str(w), "-h", str(h), "-o", out_png, src], check=True)


def size_of(svg_text):
    head = svg_text.split(">", 1)[0]
    w = float(head.split('width="', 1)[1].split('"', 1)[0])
    h = float(head.split('height="', 1)[1].split('"', 1)[0])
    return w, h


def variant(path, suffix):
    stem, ext = os.path.splitext(path)
    return f"{stem}{suffix}{ext}"


def build(dest, tmp):
    """Writes every file into dest (a folder laid out like setup/archive)."""
    written = []
    for path, text in sorted(images().items()):
        w, h = size_of(text)
        for pct, suffix in SCALES:
            out = os.path.join(dest, variant(path, suffix))
            os.makedirs(os.path.dirname(out), exist_ok=True)
            render(text, round(w * pct / 100), round(h * pct / 100), out, tmp)
            written.append(out)
    # The animation: frames rendered per scale, joined by ImageMagick.
    for pct, suffix in SCALES:
        side = round(32 * pct / 100)
        frames = []
        for i in range(12):
            f = os.path.join(tmp, f"f{i:02d}.png")
            render(spinner_frame(i), side, side, f, tmp)
            frames.append(f)
        out = os.path.join(dest, variant("common/busy.gif", suffix))
        subprocess.run(["convert", "-delay", "8", "-loop", "0", *frames, out], check=True)
        written.append(out)
    # The program icon (not part of the archive: it goes into the .rc).
    png = os.path.join(tmp, "icon48.png")
    render(logo(48), 48, 48, png, tmp)
    ico = os.path.join(dest, "..", "plovex.ico")
    subprocess.run(["convert", png, "-strip", ico], check=True)
    written.append(ico)
    return written


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--check", action="store_true", help="compare with the checked-in files instead of writing")
    args = ap.parse_args()
    for tool in ("rsvg-convert", "convert"):
        if not shutil.which(tool):
            sys.exit(f"make-skin: {tool} is missing (tools/deps.sh all installs it)")
    with tempfile.TemporaryDirectory() as tmp:
        dest = os.path.join(tmp, "out", "content") if args.check else CONTENT
        work = os.path.join(tmp, "work")
        os.makedirs(work)
        written = build(dest, work)
        if args.check:
            stale = [os.path.relpath(p, dest) for p in written
                     if not os.path.exists(os.path.join(CONTENT, os.path.relpath(p, dest)))
                     or open(p, "rb").read() != open(os.path.join(CONTENT, os.path.relpath(p, dest)), "rb").read()]
            if stale:
                sys.exit("make-skin: out of date: " + ", ".join(stale))
        print(f"make-skin: {len(written)} files")


if __name__ == "__main__":
    main()
