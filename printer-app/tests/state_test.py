"""What survives a crash or a full disk: `kill -9` under load keeps every
printer and acknowledged setting; an acknowledged setting or accepted job
is kept when the kill comes at once; after a restart jobs that were under
way print again (or end aborted with a reason), waiting ones start at once
in the order the server prints them, no spool file is left of a job that
is gone, and a restored job carries job-id once; on a full disk a change is
refused and the saved state stays as it was.

Usage: state_test.py APP [--kills N] [--keep]   (QUILLET_STATE_KILLS also sets N)"""
import os
import random
import re
import signal
import subprocess
import sys
import threading
import time

import pappkit as kit

STATE = "state/quillet-printer-app.state"
DRIVER = "quillet_label_203"


def get_printers(server, work):
    """{printer-name: quillet-stop-offset-default}, in two ipptool runs."""
    def run(blocks):
        path = os.path.join(work, "printers.test")
        with open(path, "w") as f:
            f.write("".join("{\n%s\n}\n" % b for b in blocks))
        return subprocess.run(["ipptool", "-tv", "-T", "30", "ipp://localhost:%d/ipp/system" % server.port, path],
                              capture_output=True, text=True, timeout=60).stdout
    head = kit.OPERATION_HEAD.replace("ATTR uri printer-uri $uri", "ATTR uri %s %s")
    out = run(["OPERATION Get-Printers\n" + head % ("system-uri", "$uri")])
    names = re.findall(r"^\s*printer-name \([^)]*\) = (.*)$", out.split("RECEIVED", 1)[-1], re.M)
    if not names:
        return {}
    out = run(["OPERATION Get-Printer-Attributes\n%s\nATTR keyword requested-attributes "
               "printer-name,quillet-stop-offset-default" % (head % ("printer-uri", server.uri(n))) for n in names])
    printers = {}
    for answer in out.split("RECEIVED")[1:]:
        name = re.search(r"^\s*printer-name \([^)]*\) = (.*)$", answer, re.M)
        offset = re.search(r"^\s*quillet-stop-offset-default \([^)]*\) = (.*)$", answer, re.M)
        if name:
            printers[name.group(1)] = offset.group(1) if offset else ""
    return printers


def set_offset(server, work, name, offset):
    body = ("OPERATION Set-Printer-Attributes\n%s\nGROUP printer-attributes-tag\n"
            "ATTR integer quillet-stop-offset-default %d" % (kit.OPERATION_HEAD, offset))
    return kit.ipp(server.uri(name), body, work).get("status")


def kill(server):
    server.proc.send_signal(signal.SIGKILL)
    server.proc.wait()
    os.rename(server.log, "%s.%d" % (server.log, server.proc.pid))  # the next one starts a new log


def label(work, seed):
    path = os.path.join(work, "label-%d.png" % seed)
    with open(path, "wb") as f:
        f.write(kit.png(64, 40, seed))
    return path


# Jobs told apart by their darkness: each comes out with its own DENSITY.
DARKNESS = {-53: 0, -20: 5, 10: 9, 47: 15}


def print_png(uri, work, path, darkness=0):
    return kit.print_job(uri, work, path, "image/png", "ATTR integer print-darkness %d" % darkness)


def densities(data):
    """The DENSITY values of a printer stream, one per job in a row."""
    out = []
    for d in re.findall(rb"DENSITY (\d+)", data):
        if not out or out[-1] != int(d):
            out.append(int(d))
    return out


def spool_files(root):
    spool = os.path.join(root, "state", "spool")
    return sorted(n for n in os.listdir(spool) if re.match(r"p\d{5}j\d{9}-", n)) if os.path.isdir(spool) else []


def kills_under_load(app, work, kills, failures):
    """10 printers with settings, 10 clients printing, kill -9 at random
    moments, some at once after a setting's OK: all of it back each time."""
    root = os.path.join(work, "load")
    listener = kit.Listener()
    server = kit.Server(app, root, log_level="info")
    expected = {}
    for i in range(10):
        name = "p%d" % i
        server.add(name, DRIVER, "socket://127.0.0.1:%d" % listener.port)
        expected[name] = str(i - 10)
        if set_offset(server, work, name, i - 10) != "successful-ok":
            failures.append("setting the location of %s failed" % name)
    stop = threading.Event()
    ports = {"port": server.port}

    def client(i):
        doc, cwork = label(work, i), os.path.join(work, "c%d" % i)
        os.makedirs(cwork, exist_ok=True)
        while not stop.is_set():
            try:
                print_png("ipp://localhost:%d/ipp/print/p%d" % (ports["port"], i), cwork, doc)
            except Exception:  # the server is down for a moment
                pass
            time.sleep(0.1)

    threads = [threading.Thread(target=client, args=(i,), daemon=True) for i in range(10)]
    for t in threads:
        t.start()
    rnd = random.Random(7)
    try:
        for n in range(kills):
            name = "p%d" % rnd.randrange(10)
            offset = (int(expected[name]) + 11) % 21 - 10  # always a new value
            if set_offset(server, work, name, offset) == "successful-ok":
                expected[name] = str(offset)
            if n % 2:
                time.sleep(rnd.uniform(0, 0.5))
            kill(server)
            path = os.path.join(root, STATE)
            with open(path if os.path.exists(path) else path + ".old", "rb") as f:
                if not f.read().endswith(b"# end of state\n"):
                    failures.append("kill %d: the state file was left cut" % n)
            server = kit.Server(app, root, log_level="info")
            ports["port"] = server.port
            got = get_printers(server, work)
            if got != expected:
                missing = sorted(set(expected) - set(got))
                wrong = sorted(k for k in expected if k in got and got[k] != expected[k])
                failures.append("kill %d: printers missing %s, settings lost on %s" % (n, missing, wrong))
        stop.set()
        for t in threads:
            t.join(60)
        # Every job the kills left behind ends, and its spool files go.
        deadline = time.time() + 40
        while unfinished_jobs(server, work) and time.time() < deadline:
            time.sleep(0.5)
        left = unfinished_jobs(server, work)
        if left:
            failures.append("%d job(s) still waiting or processing after the kills" % left)
        elif spool_files(root):
            failures.append("spool files left after the kills: %s" % spool_files(root)[:5])
    finally:
        stop.set()
        server.stop()
        listener.close()
    print("%d kills under load" % kills)


def unfinished_jobs(server, work):
    path = os.path.join(work, "jobs.test")
    with open(path, "w") as f:
        for i in range(10):
            f.write("{\nOPERATION Get-Jobs\n%s\nATTR keyword which-jobs not-completed\n}\n"
                    % kit.OPERATION_HEAD.replace("$uri", server.uri("p%d" % i)))
    out = subprocess.run(["ipptool", "-tv", "-T", "30", server.uri("p0"), path], capture_output=True,
                         text=True, timeout=60).stdout
    return len(re.findall(r"^\s*job-id \(", out, re.M))


def jobs_across_a_kill(app, work, failures):
    """Jobs accepted while the printer is unreachable, then kill -9: the
    one printing and the waiting ones print after the restart without a new
    job; one whose document went is aborted with a reason; a stray spool
    file goes."""
    root = os.path.join(work, "jobs")
    port = kit.free_port()  # nobody listens yet: the printer is off
    server = kit.Server(app, root)
    server.add("lab", DRIVER, "socket://127.0.0.1:%d" % port)
    doc = label(work, 100)
    jobs = []
    darkness = sorted(DARKNESS)
    for i in range(4):
        job, status = print_png(server.uri("lab"), work, doc, darkness[i])
        if not job:
            failures.append("job %d refused: %s" % (i, status))
            return
        jobs.append(job)
    time.sleep(0.3)
    kill(server)  # job 1 is trying to reach the printer, the others wait
    lost = [n for n in spool_files(root) if n.startswith("p00001j%09d-" % jobs[3]) and not n.endswith(".ipp")]
    for n in lost:
        os.remove(os.path.join(root, "state", "spool", n))
    stray = os.path.join(root, "state", "spool", "p00001j000000999-gone.pwg")
    open(stray, "wb").close()
    listener = kit.Listener(port)
    server = kit.Server(app, root)
    try:
        states = [kit.wait_job(server.uri("lab"), work, j, 20) for j in jobs]
        for i in range(3):
            if states[i][0] != "completed":
                failures.append("job %d after the restart: %s" % (i + 1, states[i]))
        if not lost or states[3][0] != "aborted" or "aborted-by-system" not in states[3][1]:
            failures.append("the job without its document: %s" % (states[3],))
        restored = densities(listener.take(20))
        # The order the server prints waiting jobs in anyway (pause, submit, resume).
        pause = "OPERATION %s\n" + kit.OPERATION_HEAD
        kit.ipp(server.uri("lab"), pause % "Pause-Printer", work)
        live = [print_png(server.uri("lab"), work, doc, darkness[i])[0] for i in range(2)]
        kit.ipp(server.uri("lab"), pause % "Resume-Printer", work)
        first_in_first_out = densities(listener.take(20)) == [DARKNESS[d] for d in darkness[:2]]
        expected = [DARKNESS[d] for d in darkness[:3]]
        if not first_in_first_out:
            expected.reverse()
        if restored != expected:
            failures.append("restored jobs came out as %s, not %s (the server's own order)" % (restored, expected))
        for j in live:
            kit.wait_job(server.uri("lab"), work, j, 20)
        body = "OPERATION Get-Job-Attributes\n%s\nATTR integer job-id %d" % (kit.OPERATION_HEAD, jobs[1])
        path = os.path.join(work, "job.test")
        with open(path, "w") as f:
            f.write("{\n%s\n}\n" % body)
        out = subprocess.run(["ipptool", "-tv", server.uri("lab"), path], capture_output=True, text=True,
                             timeout=60).stdout.split("RECEIVED", 1)[-1]
        count = len(re.findall(r"^\s*job-id \(", out, re.M))
        if count != 1:
            failures.append("a restored job carries job-id %d times" % count)
        time.sleep(0.5)
        if spool_files(root):
            failures.append("spool files left: %s" % spool_files(root))
    except AssertionError as e:
        failures.append("jobs across a kill: %s" % e)
    finally:
        server.stop()
        listener.close()


def full_disk(app, work, failures):
    """The state folder on a small tmpfs, filled: adding a printer and
    changing a setting are refused, the saved state is as before; once
    there is room again both work."""
    root = os.path.join(work, "full")
    state_dir = os.path.join(root, "state")
    os.makedirs(state_dir)
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k,mode=0700", "tmpfs", state_dir],
                      capture_output=True).returncode != 0:
        print("SKIP: cannot mount a tmpfs (not root?)")
        return 77
    spool = os.path.join(work, "full-spool")
    server = None
    try:
        server = kit.Server(app, root, extra=["-o", "spool-directory=" + spool], log_level="info")
        server.add("first", DRIVER, "socket://127.0.0.1:9")
        with open(os.path.join(root, STATE), "rb") as f:
            before = f.read()
        filler = os.path.join(state_dir, "filler")
        fd = os.open(filler, os.O_WRONLY | os.O_CREAT, 0o600)
        try:
            while os.write(fd, b"\0" * 512):
                pass
        except OSError:
            pass
        os.close(fd)
        r = server.run("add", "-d", "second", "-m", DRIVER, "-v", "socket://127.0.0.1:9")
        if r.returncode == 0:
            failures.append("add on a full disk exited 0")
        status = set_offset(server, work, "first", 3)
        if status == "successful-ok":
            failures.append("a setting was acknowledged on a full disk")
        with open(os.path.join(root, STATE), "rb") as f:
            if f.read() != before:
                failures.append("the saved state changed on a full disk")
        if "second" in get_printers(server, work):
            failures.append("the printer refused on a full disk is there anyway")
        os.remove(filler)
        server.add("third", DRIVER, "socket://127.0.0.1:9")
        if set_offset(server, work, "first", 7) != "successful-ok":
            failures.append("a setting failed once there was room again")
        kill(server)
        server = kit.Server(app, root, extra=["-o", "spool-directory=" + spool], log_level="info")
        got = get_printers(server, work)
        if got != {"first": "7", "third": "0"}:
            failures.append("after the full disk and a restart: %s" % got)
    finally:
        if server:
            server.stop()
        subprocess.run(["umount", state_dir])
    return 0


def private_mounts():
    """A mount namespace of this test's own, so that its tmpfs goes with it
    even when the test is killed; before any thread starts."""
    import ctypes
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(0x00020000) != 0:  # CLONE_NEWNS
        return
    subprocess.run(["mount", "--make-rprivate", "/"], capture_output=True)


def main(argv):
    app = argv[1]
    private_mounts()
    kills = int(argv[argv.index("--kills") + 1]) if "--kills" in argv else \
        int(os.environ.get("QUILLET_STATE_KILLS", "20"))
    work = kit.tempdir("papp-state-")
    failures = []
    skipped = 0
    try:
        for part in (jobs_across_a_kill, full_disk, lambda *a: kills_under_load(app, work, kills, failures)):
            started = time.time()
            skipped = part(app, work, failures) or skipped
            print("%.1f s" % (time.time() - started))
    finally:
        kit.cleanup(work, "--keep" in argv)
    for f in failures:
        print("FAIL:", f)
    print("%d failure(s)" % len(failures))
    return 1 if failures else skipped


if __name__ == "__main__":
    sys.exit(main(sys.argv))
