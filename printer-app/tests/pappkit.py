"""Shared pieces of the printer application tests: a private server on a
loopback port, a socket "printer" that stores what it receives, IPP
requests through ipptool, and writers of PWG raster and PNG files
(standard library only)."""
import os
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
import zlib

# ---------------------------------------------------------------- documents

def pwg_raster(pages, copies=1, colour=True, black=False):
    """A PWG raster stream of 8-bit sRGB (or sGray, or with `black` device
    black, 0 white) pages; each page is (width, height, rows) with rows a
    list of bytes objects."""
    out = [b"RaS2"]
    for width, height, rows in pages:
        bpp = 3 if colour else 1
        h = bytearray(1796)
        h[0:9] = b"PwgRaster"
        struct.pack_into(">II", h, 276, 203, 203)          # HWResolution
        struct.pack_into(">I", h, 340, copies)              # NumCopies
        struct.pack_into(">II", h, 352, width * 72 // 203, height * 72 // 203)
        struct.pack_into(">IIIIIIII", h, 372, width, height, 0, 8, 8 * bpp, width * bpp, 0,
                         19 if colour else 3 if black else 18)
        struct.pack_into(">I", h, 420, bpp)                 # NumColors
        struct.pack_into(">I", h, 452, len(pages))          # TotalPageCount
        out.append(bytes(h))
        for row in rows:
            out.append(b"\x00" + _packbits(row, bpp))
    return b"".join(out)


def _packbits(row, bpp):
    px = [row[i:i + bpp] for i in range(0, len(row), bpp)]
    out, i = bytearray(), 0
    while i < len(px):
        j = i + 1
        while j < len(px) and j - i < 128 and px[j] == px[i]:
            j += 1
        if j - i > 1:
            out.append(j - i - 1)
            out += px[i]
            i = j
            continue
        j = i + 1
        while j < len(px) and j - i < 128 and (j + 1 >= len(px) or px[j] != px[j + 1]):
            j += 1
        out.append(257 - (j - i) if j - i > 1 else 0)
        for p in px[i:j]:
            out += p
        i = j
    return bytes(out)


def test_page(width, height, seed, blank_tail=0.3):
    """A page with text-like strokes, a gray ramp, noise and a blank tail."""
    import random
    rnd = random.Random(seed)
    rows = []
    inked = int(height * (1 - blank_tail))
    for y in range(height):
        if y >= inked:
            rows.append(b"\xff" * (3 * width))
            continue
        row = bytearray(b"\xff" * (3 * width))
        band = (y // 16) % 4
        for x in range(width):
            if band == 0:
                v = 255 * x // max(1, width - 1)
            elif band == 1:
                v = 0 if (x // 6 + y // 6) % 3 == 0 else 255
            elif band == 2:
                v = rnd.randrange(256)
            else:
                v = 255 if (x * 7 + y * 3) % 29 > 9 else 40
            row[3 * x:3 * x + 3] = bytes((v, min(255, v + 20), max(0, v - 20)))
        rows.append(bytes(row))
    return (width, height, rows)


def png(width, height, seed=1):
    """An RGB PNG of the test page."""
    return png_of(width, height, test_page(width, height, seed, blank_tail=0.2)[2])


def png_of(width, height, rows):
    """An RGB PNG of rows of 3-byte pixels."""
    raw = b"".join(b"\x00" + r for r in rows)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))

# ---------------------------------------------------------------- printer

class Listener:
    """A printer on 127.0.0.1: every connection's bytes are kept in order."""

    def __init__(self, port=0, drop_after=None):
        """drop_after: close each connection after that many bytes, as a
        printer that is switched off in the middle of a job."""
        self.drop_after = drop_after
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.jobs = []
        self.receiving = 0  # bytes of the connection still open
        self.cond = threading.Condition()
        threading.Thread(target=self._run, daemon=True).start()

    def _run(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            data = bytearray()
            while True:
                d = conn.recv(1 << 16)
                if not d:
                    break
                data += d
                self.receiving = len(data)
                if self.drop_after is not None and len(data) >= self.drop_after:
                    break
            conn.close()
            self.receiving = 0
            with self.cond:
                self.jobs.append(self._entry(bytes(data)))
                self.cond.notify_all()

    def _entry(self, data):
        """What is kept of a connection that ended."""
        return data

    def take(self, timeout=60):
        """The bytes of the next connection that ends."""
        with self.cond:
            if not self.cond.wait_for(lambda: self.jobs, timeout):
                raise AssertionError("the printer received nothing")
            return self.jobs.pop(0)

    def close(self):
        self.sock.close()

# ---------------------------------------------------------------- server

def drivers(app):
    """The app's drivers, a row of the model table each, as `drivers` lists them."""
    out = subprocess.run([app, "drivers"], capture_output=True, text=True, timeout=60, check=True).stdout
    return [line.split()[0] for line in out.splitlines() if line.strip()]


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


class Server:
    """quillet-printer-app on a loopback port with a private state folder."""

    def __init__(self, app, root, extra=(), env=None, host="127.0.0.1", log_level="debug"):
        self.app, self.root, self.host = app, root, host
        os.makedirs(root, exist_ok=True)
        self.port = free_port()
        self.env = dict(os.environ, SNAP_COMMON=root, TMPDIR=root, HOME=root)
        self.env.update(env or {})
        self.log = os.path.join(root, "server.log")
        self.state = os.path.join(root, "state")
        self.proc = subprocess.Popen(
            [app, "server", "-o", "listen-hostname=localhost", "-o", "server-port=%d" % self.port,
             "-o", "state-directory=" + self.state, "-o", "log-file=" + self.log,
             "-o", "log-level=" + log_level] + list(extra), env=self.env,
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(root, "server.stderr"), "wb"))
        deadline = time.time() + 20
        while time.time() < deadline:
            try:
                socket.create_connection((host, self.port), 0.2).close()
                return
            except OSError:
                if self.proc.poll() is not None:
                    break
                time.sleep(0.1)
        raise AssertionError("the server did not start; log:\n" + self.tail())

    def alive(self):
        return self.proc.poll() is None

    def tail(self, n=40):
        try:
            with open(self.log, errors="replace") as f:
                return "".join(f.readlines()[-n:])
        except OSError:
            return ""

    def command(self, *args):
        """A sub-command line for this server (its state folder picks it)."""
        return [self.app] + list(args) + ["-o", "state-directory=" + self.state]

    def run(self, *args):
        return subprocess.run(self.command(*args), env=self.env, capture_output=True,
                              text=True, timeout=60)

    def add(self, name, driver, uri):
        r = self.run("add", "-d", name, "-m", driver, "-v", uri)
        if r.returncode != 0:
            raise AssertionError("add %s failed: %s" % (name, r.stderr))

    def uri(self, name):
        return "ipp://localhost:%d/ipp/print/%s" % (self.port, name)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()

# ---------------------------------------------------------------- IPP

def ipp(uri, body, workdir, displays=()):
    """Runs one ipptool request; returns {attribute: value text} of the
    displayed attributes, with 'status' set to the status code text."""
    path = os.path.join(workdir, "request.test")
    with open(path, "w") as f:
        f.write("{\n%s\n%s\n}\n" % (body, "\n".join("DISPLAY " + d for d in displays)))
    r = subprocess.run(["ipptool", "-tv", "-T", "30", uri, path], capture_output=True, text=True,
                       timeout=60)
    result = {}
    for line in r.stdout.splitlines():
        line = line.strip()
        if " = " in line:
            key, value = line.split(" = ", 1)
            key = key.split(" (")[0]
            result.setdefault(key, value)
            if key == "status-code":
                result["status"] = value.split(" ")[0]
    return result


OPERATION_HEAD = """GROUP operation-attributes-tag
ATTR charset attributes-charset utf-8
ATTR naturalLanguage attributes-natural-language en
ATTR uri printer-uri $uri
ATTR name requesting-user-name tester"""


def print_job(uri, workdir, path, fmt, job_attrs=""):
    """Print-Job; returns the job id (or None) and the status text."""
    body = ("OPERATION Print-Job\n%s\nATTR mimeMediaType document-format %s\n"
            "GROUP job-attributes-tag\n%s\nFILE %s" % (OPERATION_HEAD, fmt, job_attrs, path))
    r = ipp(uri, body, workdir, ["job-id"])
    return (int(r["job-id"]) if "job-id" in r else None), r.get("status")


def wait_job(uri, workdir, job_id, timeout=60):
    """Waits until the job ends; returns its state, reasons and message."""
    body = ("OPERATION Get-Job-Attributes\n%s\nATTR integer job-id %d" % (OPERATION_HEAD, job_id))
    deadline = time.time() + timeout
    while True:
        r = ipp(uri, body, workdir, ["job-state", "job-state-reasons", "job-state-message"])
        state = r.get("job-state", "")
        if state in ("completed", "aborted", "canceled") or time.time() > deadline:
            return state, r.get("job-state-reasons", ""), r.get("job-state-message", "")
        time.sleep(0.1)


def tempdir(prefix):
    return tempfile.mkdtemp(prefix=prefix)


def cleanup(path, keep=False):
    if not keep:
        shutil.rmtree(path, ignore_errors=True)
