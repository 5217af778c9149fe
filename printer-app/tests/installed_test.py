"""The installed quillet-printer-app as a user runs it: a server with its
own state on a loopback port, a printer on a socket "printer", and a PDF,
a PWG raster and a PNG document sent with the submit sub-command; what
the printer receives must decode with the installed quillet-decode and
hold the document's pages.

Usage: installed_test.py APP DECODER TESTDOC WORKDIR
WORKDIR is made and removed here; it holds server.pid while the server
runs, so a caller's exit trap can stop a server this script had no time
to stop.

       installed_test.py --service APP DECODER USER add ARGS...
(as root) The system's server, already running as the service user USER:
root, USER and nobody reach it (status), root adds a printer with the add
sub-command given (its -v replaced by a socket "printer" here), all three
see it (printers), and nobody prints a PNG on it, which must decode as
one page."""
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

import pappkit as kit


def main(argv):
    app, decoder, testdoc, work = argv[1:5]
    # A terminated run still stops its server (the finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    os.makedirs(work)
    listener = kit.Listener()
    server = None
    failures = []
    try:
        server = kit.Server(app, work, log_level="info")
        with open(os.path.join(work, "server.pid"), "w") as f:
            f.write("%d\n" % server.proc.pid)
        server.add("a4", "quillet_a4_203", "socket://127.0.0.1:%d" % listener.port)

        pdf = os.path.join(work, "demo.pdf")
        subprocess.run([sys.executable, testdoc, "demo", pdf], check=True)
        pwg = os.path.join(work, "pages.pwg")
        with open(pwg, "wb") as f:
            f.write(kit.pwg_raster([kit.test_page(400, 300, 1), kit.test_page(400, 200, 2)]))
        png = os.path.join(work, "photo.png")
        with open(png, "wb") as f:
            f.write(kit.png(300, 200))

        for path, pages in ((pdf, 3), (pwg, 2), (png, 1)):
            name = os.path.basename(path)
            r = server.run("submit", "-d", "a4", path)
            if r.returncode != 0:
                failures.append("submit %s: %s" % (name, r.stderr.strip()))
                continue
            stream = os.path.join(work, name + ".prn")
            with open(stream, "wb") as f:
                f.write(listener.take(timeout=120))
            d = subprocess.run([decoder, "--no-png", stream], capture_output=True, text=True)
            got = re.search(r"(\d+) page\(s\)", d.stderr)
            if d.returncode != 0 or not got or int(got.group(1)) != pages:
                failures.append("%s: the printer's stream is not %d good pages: %s"
                                % (name, pages, (d.stdout + d.stderr).strip()))
            else:
                print("%s: %d page(s) printed and decoded" % (name, pages))

        # The server kept its printer in the state folder it was given.
        state = os.path.join(work, "state", "quillet-printer-app.state")
        if not os.path.exists(state):
            failures.append("no state file in the private state folder")
    except AssertionError as e:
        failures.append(str(e))
    finally:
        if server:
            server.stop()
            if failures:
                print("server log:\n" + server.tail())
        listener.close()
        kit.cleanup(work)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


def service(argv):
    app, decoder, user = argv[2:5]
    add = list(argv[5:])
    listener = kit.Listener()
    add[add.index("-v") + 1] = "socket://127.0.0.1:%d" % listener.port
    name = add[add.index("-d") + 1]
    failures = []

    def run(as_user, *args):
        # No TMPDIR or SNAP_COMMON: the sub-commands find the service by
        # themselves, as a user's would.
        env = {k: v for k, v in os.environ.items() if k not in ("TMPDIR", "SNAP_COMMON")}
        prefix = ["runuser", "-u", as_user, "--"] if as_user != "root" else []
        return subprocess.run(prefix + [app] + list(args), env=env, capture_output=True,
                              text=True, timeout=60)

    work = tempfile.mkdtemp()
    try:
        os.chmod(work, 0o755)
        # status starts no server of its own when it finds none (the others
        # do, and that one would outlive the test): it goes first.
        for who in ("root", user, "nobody"):
            r = run(who, "status")
            if r.returncode != 0:
                raise AssertionError("status as %s does not reach the service: %s"
                                     % (who, (r.stdout + r.stderr).strip()))
        r = run("root", *add)
        if r.returncode != 0:
            failures.append("root's %s: %s" % (" ".join(add), r.stderr.strip()))
        for who in ("root", user, "nobody"):
            r = run(who, "printers")
            if r.returncode != 0 or name not in r.stdout.split():
                failures.append("printers as %s does not show %s: %s"
                                % (who, name, (r.stdout + r.stderr).strip()))
        png = os.path.join(work, "photo.png")
        with open(png, "wb") as f:
            f.write(kit.png(300, 200))
        os.chmod(png, 0o644)
        r = run("nobody", "submit", "-d", name, png)
        if r.returncode != 0:
            failures.append("submit as nobody: %s" % r.stderr.strip())
        else:
            stream = os.path.join(work, "photo.prn")
            with open(stream, "wb") as f:
                f.write(listener.take(timeout=120))
            d = subprocess.run([decoder, "--no-png", stream], capture_output=True, text=True)
            if d.returncode != 0 or "1 page(s)" not in d.stderr:
                failures.append("the service's printer stream: %s" % (d.stdout + d.stderr).strip())
            else:
                print("the service printed nobody's PNG: 1 page decoded")
    except (AssertionError, subprocess.TimeoutExpired) as e:
        failures.append(str(e))
    finally:
        listener.close()
        shutil.rmtree(work, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(service(sys.argv) if sys.argv[1:2] == ["--service"] else main(sys.argv))
