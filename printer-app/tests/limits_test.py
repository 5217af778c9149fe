"""No request crashes or starves quillet-printer-app: an IPP request nested
8000 collections deep is refused and the server answers the next one;
thousands of stalled connections (silent, or stopped half-way through a
header) leave other clients answered within a second and their memory is
given back; a raster job whose data trickles ends with a reason and frees
its printer; three JPEG decompression bombs at once are refused with the
server's peak memory bounded. Every job after them prints.

Usage: limits_test.py APP [--keep]
Environment, for slower or bigger builds: QUILLET_LIMITS_CONNECTIONS
(default 10000), QUILLET_LIMITS_PEAK_MIB (the server's peak memory,
default 400), QUILLET_LIMITS_SLACK_MIB (memory still held once the
connections closed, default 32)."""
import os
import resource
import socket
import struct
import sys
import threading
import time

import pappkit as kit

CONNECTIONS = int(os.environ.get("QUILLET_LIMITS_CONNECTIONS", "10000"))
PEAK_MIB = int(os.environ.get("QUILLET_LIMITS_PEAK_MIB", "400"))
# Memory the server may still hold after the stalled connections closed.
SLACK_MIB = int(os.environ.get("QUILLET_LIMITS_SLACK_MIB", "32"))

# ---------------------------------------------------------------- raw IPP


def attr(tag, name, value):
    return (bytes([tag]) + struct.pack(">H", len(name)) + name + struct.pack(">H", len(value)) + value)


def ipp_message(op, uri, extra=b"", job_attrs=b""):
    body = b"\x02\x00" + struct.pack(">HI", op, 1) + b"\x01"
    body += attr(0x47, b"attributes-charset", b"utf-8")
    body += attr(0x48, b"attributes-natural-language", b"en")
    body += attr(0x45, b"printer-uri", uri.encode())
    body += attr(0x42, b"requesting-user-name", b"tester") + extra
    if job_attrs:
        body += b"\x02" + job_attrs
    return body + b"\x03"


def post_head(port, path, length):
    return ("POST %s HTTP/1.1\r\nHost: localhost:%d\r\nContent-Type: application/ipp\r\n"
            "Content-Length: %d\r\n\r\n" % (path, port, length)).encode()


def read_answer(sock):
    """The HTTP status and, for an IPP answer, its status code."""
    data = b""
    while b"\r\n\r\n" not in data:
        d = sock.recv(65536)
        if not d:
            raise ConnectionError("closed before an answer")
        data += d
    head, rest = data.split(b"\r\n\r\n", 1)
    status = int(head.split(b" ")[1])
    if b"application/ipp" not in head:
        return status, None
    chunked = b"chunked" in head.lower()
    while len(rest) < (16 if chunked else 4):
        d = sock.recv(65536)
        if not d:
            break
        rest += d
    if chunked:
        rest = rest.split(b"\r\n", 1)[1]
    return status, struct.unpack(">H", rest[2:4])[0]


def get_printer_attributes(port, name, timeout=10):
    """Seconds a Get-Printer-Attributes took on a new connection."""
    start = time.time()
    body = ipp_message(0x000B, "ipp://localhost:%d/ipp/print/%s" % (port, name),
                       attr(0x44, b"requested-attributes", b"printer-state"))
    with socket.create_connection(("127.0.0.1", port), timeout) as s:
        s.sendall(post_head(port, "/ipp/print/" + name, len(body)) + body)
        status, code = read_answer(s)
    assert status == 200 and code == 0, (status, code)
    return time.time() - start


def backlog(port):
    """Connections waiting in the server's accept queues."""
    waiting = 0
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        try:
            with open(table) as f:
                rows = f.readlines()[1:]
        except OSError:
            continue
        for row in rows:
            fields = row.split()
            if fields[3] == "0A" and int(fields[1].rsplit(":", 1)[1], 16) == port:
                waiting += int(fields[4].split(":")[1], 16)
    return waiting


def vm(pid, field):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])  # kB, or a count
    raise AssertionError(field)

# ---------------------------------------------------------------- documents


def jpeg_bomb(size=16384, total=291):
    """A baseline JPEG declaring size x size RGB pixels, with a few
    blocks of scan data; libjpeg fills in the rest."""
    def seg(marker, payload):
        return b"\xff" + bytes([marker]) + struct.pack(">H", len(payload) + 2) + payload
    dqt = seg(0xDB, b"\x00" + b"\x01" * 64)
    sof = seg(0xC0, b"\x08" + struct.pack(">HH", size, size) + b"\x03" +
              b"\x01\x11\x00\x02\x11\x00\x03\x11\x00")
    # One code of length 1 each: DC difference 0, AC end-of-block.
    dht = seg(0xC4, b"\x00" + b"\x01" + b"\x00" * 15 + b"\x00" +
              b"\x10" + b"\x01" + b"\x00" * 15 + b"\x00")
    sos = seg(0xDA, b"\x03\x01\x00\x02\x00\x03\x00\x00\x3f\x00")
    head = b"\xff\xd8" + dqt + sof + dht + sos
    return head + b"\x00" * (total - len(head) - 2) + b"\xff\xd9"


def deep_request(port, depth):
    member = b"\x4a\x00\x00\x00\x01m" + b"\x34\x00\x00\x00\x00"
    nested = (b"\x34" + struct.pack(">H", 9) + b"media-col" + b"\x00\x00" + member * (depth - 1) +
              b"\x37\x00\x00\x00\x00" * depth)
    return ipp_message(0x000B, "ipp://localhost:%d/ipp/print/a4" % port, nested)

# ---------------------------------------------------------------- checks


def check_deep_request(server):
    body = deep_request(server.port, 8000)
    with socket.create_connection(("127.0.0.1", server.port), 10) as s:
        s.sendall(post_head(server.port, "/ipp/print/a4", len(body)) + body)
        try:
            status, _ = read_answer(s)
        except (ConnectionError, OSError):
            status = None
    assert server.alive(), "the server died of a deeply nested request:\n" + server.tail()
    assert status in (400, None), status
    took = get_printer_attributes(server.port, "a4")
    assert took < 1, "next request took %.2f s" % took
    # Nesting a real client uses is still read.
    body = deep_request(server.port, 3)
    with socket.create_connection(("127.0.0.1", server.port), 10) as s:
        s.sendall(post_head(server.port, "/ipp/print/a4", len(body)) + body)
        assert read_answer(s) == (200, 0)
    print("deep request: refused (%s), next answered in %.3f s" % (status, took))


def check_stalled_connections(server):
    pid = server.proc.pid
    base_rss, base_threads = vm(pid, "VmRSS"), vm(pid, "Threads")
    half = ("POST /ipp/print/a4 HTTP/1.1\r\nHost: localhost:%d\r\nContent-Ty" % server.port).encode()
    socks, start = [], time.time()
    for i in range(CONNECTIONS):
        s = socket.socket()
        s.settimeout(10)
        s.connect(("127.0.0.1", server.port))
        if i % 2:
            s.send(half)
        socks.append(s)
        assert time.time() - start < 60, "opening connections took too long (%d)" % i
    # Until the server has taken them all in.
    while backlog(server.port) and time.time() - start < 90:
        time.sleep(0.1)
    opened = time.time() - start
    time.sleep(0.5)
    took = max(get_printer_attributes(server.port, "a4") for _ in range(3))
    peak_rss, peak_threads = vm(pid, "VmRSS"), vm(pid, "Threads")
    for s in socks:
        s.close()
    deadline = time.time() + 20
    while time.time() < deadline and vm(pid, "Threads") > base_threads + 2:
        time.sleep(0.2)
    time.sleep(1)
    end_rss, end_threads = vm(pid, "VmRSS"), vm(pid, "Threads")
    print("%d stalled connections opened in %.1f s; another client answered in %.3f s; "
          "RSS %d -> %d -> %d KiB, threads %d -> %d -> %d" %
          (CONNECTIONS, opened, took, base_rss, peak_rss, end_rss, base_threads, peak_threads,
           end_threads))
    assert took < 1, "a client waited %.2f s behind stalled connections" % took
    assert peak_threads < base_threads + 600, peak_threads
    assert end_threads <= base_threads + 2, end_threads
    assert end_rss < base_rss + SLACK_MIB * 1024, "memory held after the connections closed"


def slow_raster_job(server, result):
    """Print-Job whose PWG raster comes at one byte every two seconds."""
    page = kit.test_page(200, 200, 3)
    data = kit.pwg_raster([page], colour=True)
    body = ipp_message(0x0002, server.uri("a4"), attr(0x49, b"document-format", b"image/pwg-raster"))
    s = socket.create_connection(("127.0.0.1", server.port), 10)
    s.sendall(post_head(server.port, "/ipp/print/a4", len(body) + len(data)) + body + data[:2000])
    start = time.time()
    try:
        for b in data[2000:]:
            time.sleep(2)
            s.send(bytes([b]))
            if time.time() - start > 90:
                break
    except OSError:
        pass
    result["cut_after"] = time.time() - start
    s.close()


def check_jpeg_bombs(server, work, names):
    path = os.path.join(work, "bomb.jpg")
    with open(path, "wb") as f:
        f.write(jpeg_bomb())
    assert os.path.getsize(path) == 291
    ids = {}

    def submit(name):
        sub = os.path.join(work, name)
        os.makedirs(sub, exist_ok=True)
        ids[name] = kit.print_job(server.uri(name), sub, path, "image/jpeg")
    threads = [threading.Thread(target=submit, args=(n,)) for n in names]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for name in names:
        job_id, status = ids[name]
        if job_id is None:
            print("bomb on %s refused at submission: %s" % (name, status))
            continue
        state, reasons, message = kit.wait_job(server.uri(name), work, job_id)
        assert state == "aborted", (name, state, reasons)
        assert "document-unprintable-error" in reasons, reasons
        print("bomb on %s: %s, %s, %s" % (name, state, reasons, message))
    hwm = vm(server.proc.pid, "VmHWM")
    print("server peak memory %d MiB (bound %d MiB)" % (hwm // 1024, PEAK_MIB))
    assert hwm < PEAK_MIB * 1024, hwm


def prints(server, work, printer, listener):
    page = kit.test_page(120, 80, 7)
    path = os.path.join(work, "next.pwg")
    with open(path, "wb") as f:
        f.write(kit.pwg_raster([page]))
    job_id, status = kit.print_job(server.uri(printer), work, path, "image/pwg-raster")
    assert job_id, status
    state, reasons, message = kit.wait_job(server.uri(printer), work, job_id)
    assert state == "completed", (printer, state, reasons, message)
    # Refused jobs opened the printer too, and sent it nothing.
    deadline = time.time() + 30
    while not listener.take(max(1, deadline - time.time())):
        pass


def main():
    app = sys.argv[1]
    keep = "--keep" in sys.argv
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = CONNECTIONS + 512
    if soft < want:
        try:
            resource.setrlimit(resource.RLIMIT_NOFILE, (max(want, hard), max(want, hard)))
        except (ValueError, OSError):
            resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    work = kit.tempdir("quillet-limits-")
    server = None
    try:
        server = kit.Server(app, os.path.join(work, "server"), log_level="info")
        printers = {"a4": "quillet_a4_203", "a4-300": "quillet_a4_300", "label": "quillet_label_203",
                    "a4-second": "quillet_a4_203"}
        listeners = {}
        for name, driver in printers.items():
            listeners[name] = kit.Listener()
            server.add(name, driver, "socket://127.0.0.1:%d" % listeners[name].port)
        # The trickling job runs alongside the other checks.
        slow = {}
        slow_thread = threading.Thread(target=slow_raster_job, args=(server, slow))
        slow_thread.start()
        check_deep_request(server)
        check_jpeg_bombs(server, work, ["a4-300", "label", "a4-second"])
        check_stalled_connections(server)
        slow_thread.join(120)
        assert not slow_thread.is_alive(), "the trickling job was never cut off"
        listeners["a4"].take(30)  # what the trickling job printed
        jobs = kit.ipp(server.uri("a4"), "OPERATION Get-Jobs\n%s\nATTR keyword which-jobs completed\n"
                       "ATTR keyword requested-attributes job-state,job-state-reasons,"
                       "job-state-message" % kit.OPERATION_HEAD, work,
                       ["job-state", "job-state-reasons", "job-state-message"])
        print("trickling job cut after %.0f s: %s" % (slow["cut_after"], jobs))
        assert slow["cut_after"] < 60, slow
        assert jobs.get("job-state") == "aborted", jobs
        assert "aborted-by-system" in jobs.get("job-state-reasons", ""), jobs
        for name in printers:
            prints(server, work, name, listeners[name])
        assert server.alive()
        print("PASS")
    finally:
        status = None
        if server:
            server.stop()
            status = server.proc.returncode
            if status not in (0, -15):
                print("server exit status %s; log:\n%s" % (status, server.tail()))
        kit.cleanup(work, keep)
    # Under the sanitizers a report ends the server with another status.
    assert status in (0, -15), "server exit status %s" % status


if __name__ == "__main__":
    main()
