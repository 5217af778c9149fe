"""The queue of a real server: jobs print first in, first out, once each;
a broken printer connection fails only the job it cut; Cancel-Job stops a
job whose printer stopped reading; the log rotates without hanging; an
encrypted PDF and a full spool are reported as such.

Jobs are in the printer's own language, so what a printer receives is the
documents themselves, byte for byte.

Usage: jobs_test.py APP [--keep]
QUILLET_JOBS_RANDOM: jobs of the random run (default 5000)."""
import os
import random
import re
import socket
import subprocess
import sys
import threading
import time

import pappkit as kit

RAW = "application/vnd.quillet-commands"
DRIVER = "quillet_label_203"


class Printer:
    """A socket printer on 127.0.0.1 that can stop reading: each connection
    waits for `gate` before it reads, and with `drop_after` the first
    connection is cut (reset) after that many bytes."""

    def __init__(self, port=0, drop_after=None, gated=False):
        self.drop_after = drop_after
        self.gate = threading.Event()
        if not gated:
            self.gate.set()
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        # A small window, so a printer that stops reading soon stops the writer.
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 65536)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.connections = []  # bytes of each ended connection, in order of ending
        self.cond = threading.Condition()
        threading.Thread(target=self._accept, daemon=True).start()

    def _accept(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self._read, args=(conn,), daemon=True).start()

    def _read(self, conn):
        self.gate.wait()
        limit, self.drop_after = self.drop_after, None
        data = bytearray()
        try:
            while True:
                d = conn.recv(1 << 16)
                if not d:
                    break
                data += d
                if limit is not None and len(data) >= limit:
                    # Unread data makes the close a reset, as a printer switched off.
                    break
        except OSError:
            pass
        conn.close()
        with self.cond:
            self.connections.append(bytes(data))
            self.cond.notify_all()

    def received(self, total, timeout=60):
        """Waits until the ended connections hold `total` bytes; all of them."""
        deadline = time.time() + timeout
        with self.cond:
            while sum(map(len, self.connections)) < total and time.time() < deadline:
                self.cond.wait(0.2)
            return list(self.connections)

    def close(self):
        self.sock.close()


class Server(kit.Server):
    """kit.Server that does not leave a server behind that failed to answer."""

    def __init__(self, *args, **kwargs):
        try:
            super().__init__(*args, **kwargs)
        except AssertionError:
            if getattr(self, "proc", None) and self.proc.poll() is None:
                self.proc.kill()
                self.proc.wait()
            raise


def document(token, size):
    """A job in the printer's language, named by `token` at both ends."""
    head = ("SIZE 50 mm,30 mm\r\nCLS\r\nTEXT 10,10,\"1\",0,1,1,\"%s\"\r\n" % token).encode()
    tail = ("PRINT 1,1\r\n; end %s\r\n" % token).encode()
    filler = bytes((i * 7 + len(token)) & 0xFF for i in range(max(0, size - len(head) - len(tail))))
    return head + filler + tail


def encrypted_pdf():
    """A one-page PDF whose standard security handler wants a password no
    one has (its O and U entries match none)."""
    objs = [b"<< /Type /Catalog /Pages 2 0 R >>",
            b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 144 72] >>",
            b"<< /Filter /Standard /V 1 /R 2 /O <" + b"41" * 32 + b"> /U <" + b"42" * 32 + b"> /P -4 >>"]
    out, offsets = bytearray(b"%PDF-1.4\n"), []
    for i, body in enumerate(objs, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % i + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objs) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    out += (b"trailer\n<< /Size %d /Root 1 0 R /Encrypt 4 0 R /ID [<00112233445566778899aabbccddeeff> "
            b"<00112233445566778899aabbccddeeff>] >>\nstartxref\n%d\n%%%%EOF\n" % (len(objs) + 1, xref))
    return bytes(out)


def write(work, name, data):
    path = os.path.join(work, name)
    with open(path, "wb") as f:
        f.write(data)
    return path


def job_state(uri, work, job_id):
    body = ("OPERATION Get-Job-Attributes\n%s\nATTR integer job-id %d" % (kit.OPERATION_HEAD, job_id))
    r = kit.ipp(uri, body, work, ["job-state", "job-state-message"])
    return r.get("job-state", ""), r.get("job-state-message", "")


def wait_state(uri, work, job_id, states, timeout=60):
    deadline = time.time() + timeout
    while time.time() < deadline:
        state, _ = job_state(uri, work, job_id)
        if state in states:
            return state
        time.sleep(0.05)
    return job_state(uri, work, job_id)[0]


def spool_files(server_root):
    spool = os.path.join(server_root, "state", "spool")
    return [f for f in os.listdir(spool) if not f.startswith(".")] if os.path.isdir(spool) else []


def submit_all(server, work, jobs, name):
    """Print-Job for each (printer, job-name, path) in one ipptool run;
    returns the number of requests that were accepted."""
    blocks = []
    for printer, job_name, path in jobs:
        blocks.append("{\nOPERATION Print-Job\nGROUP operation-attributes-tag\n"
                      "ATTR charset attributes-charset utf-8\n"
                      "ATTR naturalLanguage attributes-natural-language en\n"
                      "ATTR uri printer-uri %s\nATTR name requesting-user-name tester\n"
                      "ATTR name job-name %s\nATTR mimeMediaType document-format %s\n"
                      "FILE %s\nSTATUS successful-ok\n}\n" % (server.uri(printer), job_name, RAW, path))
    test = write(work, name + ".test", "".join(blocks).encode())
    r = subprocess.run(["ipptool", "-t", "-T", "30", server.uri(jobs[0][0]), test], capture_output=True,
                       text=True, timeout=600)
    return r.stdout.count("[PASS]")


def job_states(server, work, printer):
    """{job-name: job-state} of the printer's completed (ended) jobs."""
    test = write(work, "get-jobs-%s.test" % printer, (
        "{\nOPERATION Get-Jobs\n%s\nATTR keyword which-jobs completed\n"
        "ATTR keyword requested-attributes job-name,job-state\n}\n" % kit.OPERATION_HEAD).encode())
    r = subprocess.run(["ipptool", "-tv", "-T", "30", server.uri(printer), test], capture_output=True,
                       text=True, timeout=120)
    states, name = {}, None
    for line in r.stdout.splitlines():
        m = re.match(r"\s*(job-name|job-state) \([^)]*\) = (.*)", line)
        if not m:
            continue
        if m.group(1) == "job-name":
            name = m.group(2)
        elif name:
            states[name] = m.group(2)
            name = None
    return states


def main(argv):
    app = argv[1]
    keep = "--keep" in argv
    work = kit.tempdir("quillet-jobs-")
    failures = []

    def check(ok, what):
        print(("ok   " if ok else "FAIL ") + what, flush=True)
        if not ok:
            failures.append(what)

    server = None
    try:
        server = Server(app, os.path.join(work, "server"), log_level="info")

        # A long job, then five that wait: they print 1..5 after it.
        p = Printer(gated=True)
        server.add("long", DRIVER, "socket://127.0.0.1:%d" % p.port)
        uri = server.uri("long")
        docs = [document("long", 4 << 20)] + [document("wait-%d" % i, 3000) for i in range(1, 6)]
        ids = []
        for i, d in enumerate(docs):
            ids.append(kit.print_job(uri, work, write(work, "long%d" % i, d), RAW)[0])
            if i == 0:
                check(wait_state(uri, work, ids[0], ("processing",), 20) == "processing",
                      "the long job is printing while the others are sent")
        p.gate.set()
        got = p.received(sum(map(len, docs)))
        check(b"".join(got) == b"".join(docs), "after a long job the waiting jobs print 1..5, each complete")
        p.close()

        # The printer is away while 8 jobs come; when it answers they print in order.
        port = kit.free_port()
        server.add("away", DRIVER, "socket://127.0.0.1:%d" % port)
        uri = server.uri("away")
        docs = [document("away-%d" % i, 2000 + 100 * i) for i in range(1, 9)]
        ids = [kit.print_job(uri, work, write(work, "away%d" % i, d), RAW)[0] for i, d in enumerate(docs)]
        time.sleep(1)
        p = Printer(port=port)
        got = p.received(sum(map(len, docs)), 30)
        check(b"".join(got) == b"".join(docs), "a printer that comes back prints the 8 waiting jobs in order")
        check(all(wait_state(uri, work, j, ("completed", "aborted", "canceled")) == "completed" for j in ids),
              "and all 8 are completed")
        p.close()

        # The connection is reset in the first job: only that job fails, the
        # 4 waiting ones print complete over a new connection.
        p = Printer(drop_after=65536, gated=True)
        server.add("reset", DRIVER, "socket://127.0.0.1:%d" % p.port)
        uri = server.uri("reset")
        docs = [document("cut", 16 << 20)] + [document("after-%d" % i, 5000) for i in range(1, 5)]
        ids = [kit.print_job(uri, work, write(work, "reset%d" % i, d), RAW)[0] for i, d in enumerate(docs)]
        p.gate.set()
        states = [wait_state(uri, work, j, ("completed", "aborted", "canceled")) for j in ids]
        _, message = job_state(uri, work, ids[0])
        check(states[0] == "aborted" and "connection" in message,
              "the cut job is aborted with a reason (%s: %s)" % (states[0], message))
        check(states[1:] == ["completed"] * 4, "the 4 waiting jobs are completed (%s)" % states[1:])
        got = p.received(65536 + sum(map(len, docs[1:])), 20)
        check(len(got) == 2 and got[1] == b"".join(docs[1:]),
              "and arrive byte for byte over a new connection")
        p.close()

        # Cancel-Job while the printer has stopped reading: the job ends at
        # once, leaves no spool file, and the next job prints.
        p = Printer(gated=True)
        server.add("stuck", DRIVER, "socket://127.0.0.1:%d" % p.port)
        uri = server.uri("stuck")
        stuck = kit.print_job(uri, work, write(work, "stuck", document("stuck", 16 << 20)), RAW)[0]
        check(wait_state(uri, work, stuck, ("processing",), 20) == "processing", "the blocked job is printing")
        waiting = kit.print_job(uri, work, write(work, "waiting", document("waiting", 4000)), RAW)[0]
        body = "OPERATION Cancel-Job\n%s\nATTR integer job-id %d" % (kit.OPERATION_HEAD, waiting)
        kit.ipp(uri, body, work)
        time.sleep(1)
        start = time.time()
        body = "OPERATION Cancel-Job\n%s\nATTR integer job-id %d" % (kit.OPERATION_HEAD, stuck)
        status = kit.ipp(uri, body, work).get("status")
        state = wait_state(uri, work, stuck, ("canceled", "aborted", "completed"), 10)
        took = time.time() - start
        check(status == "successful-ok" and state == "canceled" and took < 3,
              "Cancel-Job stops a blocked job (%s, %s in %.1f s)" % (status, state, took))
        after = document("after-cancel", 4000)
        next_id = kit.print_job(uri, work, write(work, "after-cancel", after), RAW)[0]
        p.gate.set()
        check(wait_state(uri, work, next_id, ("completed", "aborted", "canceled"), 30) == "completed",
              "the next job prints")
        got = p.received(len(after), 20)
        check(after in got, "complete, over a new connection")
        check(not spool_files(server.root), "no spool file is left (%s)" % spool_files(server.root))
        p.close()

        # Many clients, jobs to random printers: each prints once, none is
        # lost, none that printed is reported otherwise than completed.
        total = int(os.environ.get("QUILLET_JOBS_RANDOM", "5000"))
        printers = [Printer() for _ in range(10)]
        names = ["r%d" % i for i in range(10)]
        for name, pr in zip(names, printers):
            server.add(name, DRIVER, "socket://127.0.0.1:%d" % pr.port)
        rnd = random.Random(7)
        plan = [[] for _ in range(10)]
        docs = {}
        for n in range(total):
            client, target = n % 10, rnd.randrange(10)
            token = "j%05d" % n
            docs[token] = (target, document(token, rnd.randint(200, 1500)))
            plan[client].append((names[target], token, write(work, token, docs[token][1])))
        accepted = [0] * 10
        started = time.time()

        def client(c):
            accepted[c] = submit_all(server, work, plan[c], "client%d" % c)
        threads = [threading.Thread(target=client, args=(c,)) for c in range(10)]
        for t in threads:
            t.start()
        seen, last = {}, time.time()
        # Ended jobs stay listed for a minute at least.
        while any(t.is_alive() for t in threads):
            time.sleep(1)
            if time.time() - last < 20:
                continue
            last = time.time()
            for name in names:
                seen.update(job_states(server, work, name))
        for t in threads:
            t.join()
        expected = [sum(len(d) for tg, d in docs.values() if tg == i) for i in range(10)]
        for i, name in enumerate(names):
            printers[i].received(expected[i], 60)
        for name in names:
            seen.update(job_states(server, work, name))
        check(sum(accepted) == total, "%d of %d jobs accepted" % (sum(accepted), total))
        doubled, lost, misreported = [], [], []
        for i, pr in enumerate(printers):
            data = b"".join(pr.connections)
            for token, (target, d) in docs.items():
                if target != i:
                    continue
                count = data.count(d)
                if count > 1:
                    doubled.append(token)
                elif count == 0:
                    lost.append(token)
                elif seen.get(token) != "completed":
                    misreported.append((token, seen.get(token)))
        check(not doubled, "no job printed twice %s" % doubled[:5])
        check(not lost, "no job lost %s" % lost[:5])
        check(not misreported, "every printed job is reported completed %s" % misreported[:5])
        print("     %d jobs in %.1f s" % (total, time.time() - started))

        # A PDF that wants a password: the reason says so, not "damaged".
        uri = server.uri("r0")
        enc = kit.print_job(uri, work, write(work, "enc.pdf", encrypted_pdf()), "application/pdf")[0]
        state = wait_state(uri, work, enc, ("completed", "aborted", "canceled"), 60)
        _, message = job_state(uri, work, enc)
        check(state == "aborted" and "password" in message, "an encrypted PDF: %s (%s)" % (message, state))
        for pr in printers:
            pr.close()
        server.stop()
        server = None

        # A spool on a full file system: the answer gives the real reason.
        spool = os.path.join(work, "fullspool")
        os.makedirs(spool)
        wrapper = write(work, "in-small-spool.sh", (
            "#!/bin/sh\nexec unshare -m sh -c 'mount -t tmpfs -o size=256k tmpfs \"$0\" && exec \"$@\"' "
            "%s %s \"$@\"\n" % (spool, app)).encode())
        os.chmod(wrapper, 0o755)
        if subprocess.run([wrapper, "--help"], capture_output=True).returncode != 0:
            print("skip a full spool: no mount namespace here")
        else:
            server = Server(wrapper, os.path.join(work, "spoolserver"), extra=["-o", "spool-directory=" + spool])
            server.add("full", DRIVER, "socket://127.0.0.1:%d" % kit.free_port())
            path = write(work, "big", document("big", 1 << 20))
            body = ("OPERATION Print-Job\n%s\nATTR mimeMediaType document-format %s\nFILE %s"
                    % (kit.OPERATION_HEAD, RAW, path))
            r = kit.ipp(server.uri("full"), body, work, ["status-message"])
            check("No space left on device" in r.get("status-message", ""),
                  "a full spool: %s" % r.get("status-message"))
            server.stop()
            server = None

        # A log over its limit at start, whose backup name is taken (PAPPL's
        # rename fails), then growing past it again: the server answers.
        root = os.path.join(work, "logserver")
        os.makedirs(os.path.join(root, "server.log.O", "taken"))
        with open(os.path.join(root, "server.log"), "wb") as f:
            f.write(b"x" * (1100 << 10))
        try:
            server = Server(app, root)
        except AssertionError:
            check(False, "the server starts with an oversized log")
            raise
        with open(server.log, "ab") as f:
            f.write(b"y" * (1100 << 10))
        end = time.time() + 3
        answered = 0
        while time.time() < end:
            try:
                socket.create_connection(("127.0.0.1", server.port), 2).close()
                r = server.run("status")
                answered += r.returncode == 0
            except OSError:
                pass
        size = os.path.getsize(server.log)
        check(server.alive() and answered > 0 and size < (1 << 20),
              "an oversized log rotates and the server answers (%d answers, log %d bytes)" % (answered, size))
    finally:
        if server:
            if failures:
                print(server.tail(30))
            server.stop()
        kit.cleanup(work, keep)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
