"""Shared pieces of the tests that run rastertoquillet inside real CUPS.

A private ServerBin holds links to the system's filters, backends and
daemons plus a copy of the filter under test, so nothing is installed
into the system.  Printer streams are checked with quillet-decode and its
1-bit PNG previews are read back here (standard library only).
"""
import argparse
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib


# cupsfilter, cupsd and lpadmin live in /usr/sbin on Debian, which a
# user's PATH (a sudo user running the tests) does not hold.
for _sbin in ("/usr/sbin", "/sbin"):
    if _sbin not in os.environ.get("PATH", "").split(os.pathsep):
        os.environ["PATH"] = os.environ.get("PATH", "") + os.pathsep + _sbin

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "README.md")


def parse_args(argv):
    p = argparse.ArgumentParser()
    p.add_argument("--installed", action="store_true",
                   help="test the installed filter and PPDs (system ServerBin and DataDir)")
    p.add_argument("--filter", help="built rastertoquillet")
    p.add_argument("--decoder", required=True, help="built quillet-decode")
    p.add_argument("--ppd-dir", help="folder of the generated PPDs")
    p.add_argument("--testdoc", required=True, help="tools/demo/testdoc.py")
    p.add_argument("--rastergen", help="built quillet-rastergen (random pages)")
    p.add_argument("--readme", default=README, help="README.md with the queue commands")
    p.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args, rest = p.parse_known_args(argv[1:])
    if args.installed:
        args.filter = os.path.join(system_serverbin(), "filter", "rastertoquillet")
    elif not (args.filter and args.ppd_dir):
        p.error("--filter and --ppd-dir are needed unless --installed")
    return args, [argv[0]] + rest


class ReadmeQueue:
    """The queue commands users are told to run, read from the README so
    that the tests run exactly those.

    add, serial, print, remove: the argument lists of the USB lpadmin line,
    the Bluetooth (serial:/dev/rfcomm) lpadmin line, the lp line and the
    lpadmin -x line (sudo dropped);
    model_args: every lpadmin -m value the README uses.
    """

    def __init__(self, path):
        self.model_args = []
        self.add = self.serial = self.print = self.remove = None
        with open(path, encoding="utf-8") as f:
            # A command continued with a backslash is one command.
            lines = f.read().replace("\\\n", " ").splitlines()
            for line in lines:
                if not re.match(r"    (sudo )?lp(admin)? ", line):
                    continue
                argv = shlex.split(line.strip(), comments=True)
                if argv[:1] == ["sudo"]:
                    argv = argv[1:]
                if argv[:1] == ["lpadmin"] and "-m" in argv:
                    self.model_args.append(argv[argv.index("-m") + 1])
                    if self.add is None and self.device(argv).startswith("usb:"):
                        self.add = argv
                    if self.serial is None and self.device(argv).startswith("serial:/dev/rfcomm"):
                        self.serial = argv
                elif argv[:1] == ["lpadmin"] and "-x" in argv and self.remove is None:
                    self.remove = argv
                elif argv[:1] == ["lp"] and self.print is None:
                    self.print = argv
        if not (self.add and self.serial and self.print and self.remove):
            raise AssertionError("%s: no lpadmin/lp/lpadmin -x lines" % path)

    @staticmethod
    def device(argv):
        return argv[argv.index("-v") + 1] if "-v" in argv else ""

    def queue(self):
        return self.add[self.add.index("-p") + 1]

    def add_with(self, host, device, *extra, line=None):
        """The lpadmin line (default: the USB one) for the scheduler at
        host, with device as -v."""
        argv = list(line or self.add)
        argv[argv.index("-v") + 1] = device
        return [argv[0], "-h", host] + argv[1:] + list(extra)

    def print_with(self, host, document, *extra):
        """The lp line for the scheduler at host, printing document."""
        return [self.print[0], "-h", host] + self.print[1:-1] + list(extra) + [document]

    def remove_with(self, host):
        return [self.remove[0], "-h", host] + self.remove[1:]


def system_serverbin():
    try:
        out = subprocess.run(["cups-config", "--serverbin"], capture_output=True, text=True, check=True)
        return out.stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "/usr/lib/cups"


def make_tempdir(prefix):
    # cupsd runs filters as user lp, which must reach everything here.
    d = tempfile.mkdtemp(prefix=prefix)
    os.chmod(d, 0o755)
    return d


def make_serverbin(root, filter_path):
    """A ServerBin with the system's programs linked and our filter copied.

    CUPS refuses programs that are group- or world-writable and, when run
    as root, programs not owned by root; a fresh copy with mode 755 passes.
    """
    sysbin = system_serverbin()
    sb = os.path.join(root, "serverbin")
    os.makedirs(sb)
    for entry in sorted(os.listdir(sysbin)):
        src = os.path.join(sysbin, entry)
        if entry == "filter" or not os.path.isdir(src):
            continue
        os.symlink(src, os.path.join(sb, entry))
    fdir = os.path.join(sb, "filter")
    os.makedirs(fdir)
    for entry in sorted(os.listdir(os.path.join(sysbin, "filter"))):
        if entry != "rastertoquillet":
            os.symlink(os.path.join(sysbin, "filter", entry), os.path.join(fdir, entry))
    ours = os.path.join(fdir, "rastertoquillet")
    shutil.copyfile(filter_path, ours)
    os.chmod(ours, 0o755)
    for d in (root, sb, fdir):
        os.chmod(d, 0o755)
    return sb


def ppd_choices(path):
    """OP_ option keyword -> its choice keywords, from the PPD text."""
    choices = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            m = re.match(r"\*(OP_\w+) ([^/:\s]+)[/:]", line)
            if m:
                choices.setdefault(m.group(1), []).append(m.group(2))
    return choices


def generate_doc(testdoc, kind, path):
    subprocess.run([sys.executable, testdoc, kind, path], check=True)
    return path


def write_label_pdf(testdoc, path):
    """A 50 x 30 mm label with a black box in its left third."""
    sys.path.insert(0, os.path.dirname(testdoc))
    import testdoc as td  # noqa: E402 (path set just above)
    td.write_pdf(path, ["0 g 10 20 30 45 re f\n"], size=(142, 85))
    return path


class Page:
    """One decoded page: the summary fields and the bitmap rows."""

    def __init__(self, fields, width, height, rows):
        self.fields = fields
        self.width = width
        self.height = height
        self.rows = rows  # bytes per row, 1 bit per dot, 0 = dot

    def __getitem__(self, key):
        return self.fields[key]

    def is_dot(self, x, y):
        return not (self.rows[y][x >> 3] & (0x80 >> (x & 7)))

    def ink_ratio(self, x0, y0, x1, y1):
        """Share of dots in the box [x0, x1) x [y0, y1), clipped to the image."""
        x0, y0 = max(0, x0), max(0, y0)
        x1, y1 = min(self.width, x1), min(self.height, y1)
        if x1 <= x0 or y1 <= y0:
            return 0.0
        dots = sum(1 for y in range(y0, y1) for x in range(x0, x1) if self.is_dot(x, y))
        return dots / float((x1 - x0) * (y1 - y0))

    def column_extent(self, y0, y1):
        """First and last column with a dot in rows [y0, y1), or None."""
        first, last = None, None
        for y in range(max(0, y0), min(self.height, y1)):
            row = self.rows[y]
            for i, b in enumerate(row):
                if b != 0xFF:
                    x = i * 8 + next(k for k in range(8) if not b & (0x80 >> k))
                    first = x if first is None else min(first, x)
                    break
            for i in range(len(row) - 1, -1, -1):
                b = row[i]
                if b != 0xFF:
                    x = i * 8 + max(k for k in range(8) if not b & (0x80 >> k))
                    last = x if last is None else max(last, x)
                    break
        return None if first is None else (first, last)


def read_png_1bit(path):
    """Width, height and rows of a 1-bit grayscale PNG with unfiltered rows."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(path + ": not a PNG")
    pos, idat, width, height = 8, bytearray(), None, None
    while pos < len(data):
        length, ctype = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if ctype == b"IHDR":
            width, height, depth, color, _, _, interlace = struct.unpack(">IIBBBBB", body)
            if depth != 1 or color != 0 or interlace != 0:
                raise ValueError(path + ": not 1-bit gray")
        elif ctype == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(bytes(idat))
    stride = (width + 7) // 8 + 1
    rows = []
    for y in range(height):
        line = raw[y * stride:(y + 1) * stride]
        if line[0] != 0:
            raise ValueError(path + ": filtered PNG row")
        rows.append(line[1:])
    return width, height, rows


def parse_summary(line):
    fields = {}
    for item in line.split():
        key, _, value = item.partition("=")
        fields[key] = value
    return fields


def decode(decoder, stream_path, out_prefix):
    """Runs quillet-decode; returns the pages or raises with its message."""
    res = subprocess.run([decoder, "-o", out_prefix, stream_path], capture_output=True, text=True)
    if res.returncode != 0:
        raise AssertionError("quillet-decode failed (%d): %s" % (res.returncode, res.stderr.strip()))
    pages = []
    for line in res.stdout.splitlines():
        fields = parse_summary(line)
        png = fields.get("png", "none")
        if png == "none":
            pages.append(Page(fields, 0, 0, []))
        else:
            pages.append(Page(fields, *read_png_1bit(png)))
    return pages


def dots(points, dpi):
    return int(round(points * dpi / 72.0))


def is_root():
    return os.geteuid() == 0
