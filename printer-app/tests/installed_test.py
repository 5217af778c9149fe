"""The installed quillet-printer-app as a user runs it: a server with its
own state on a loopback port, a printer on a socket "printer", and a PDF,
a PWG raster and a PNG document sent with the submit sub-command; what
the printer receives must decode with the installed quillet-decode and
hold the document's pages.

Usage: installed_test.py APP DECODER TESTDOC WORKDIR
WORKDIR is made and removed here; it holds server.pid while the server
runs, so a caller's exit trap can stop a server this script had no time
to stop."""
import os
import re
import signal
import subprocess
import sys

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


if __name__ == "__main__":
    sys.exit(main(sys.argv))
