#!/usr/bin/env python3
"""The printer application's peak memory while it prints: a server on a
loopback port prints a 3-page A4 colour PWG raster job and a PNG to a
socket printer; /usr/bin/time -v gives the server's maximum resident set
size (under qemu-user that includes the emulator's own).

Usage: papp-peak-memory.py APP"""
import os
import re
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "printer-app", "tests"))
import pappkit as kit  # noqa: E402


def main():
    app = os.path.abspath(sys.argv[1])
    work = kit.tempdir("papp-peak-")
    report = os.path.join(work, "time.txt")
    # Only the server runs under time(1), not the add command.
    wrapper = os.path.join(work, "app")
    with open(wrapper, "w") as f:
        f.write('#!/bin/sh\n[ "$1" = server ] && exec /usr/bin/time -v -o "%s" "%s" "$@"\nexec "%s" "$@"\n'
                % (report, app, app))
    os.chmod(wrapper, 0o755)
    printer = kit.Listener()
    server = kit.Server(wrapper, os.path.join(work, "server"), log_level="warn")
    try:
        server.add("a4", "quillet_a4_203", "socket://127.0.0.1:%d" % printer.port)
        # Drawing a page in Python is slow (under a minute here): the PNG
        # is the same page.
        page = kit.test_page(1680, 2376, 1, blank_tail=0.2)
        kit.test_page = lambda *args, **kwargs: page
        docs = [("job.pwg", kit.pwg_raster([page] * 3), "image/pwg-raster"),
                ("page.png", kit.png(1680, 2376), "image/png")]
        for name, data, fmt in docs:
            path = os.path.join(work, name)
            with open(path, "wb") as f:
                f.write(data)
            job, status = kit.print_job(server.uri("a4"), work, path, fmt)
            if job is None:
                raise SystemExit("%s: Print-Job failed: %s" % (name, status))
            state = kit.wait_job(server.uri("a4"), work, job, timeout=300)
            if state[0] != "completed":
                raise SystemExit("%s: job ended %s\n%s" % (name, state, server.tail()))
            printer.take(timeout=60)
        # time(1) reports only when its program ends by itself.
        server.run("shutdown")
        server.proc.wait(60)
    finally:
        server.stop()
        printer.close()
    with open(report) as f:
        text = f.read()
    kib = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", text).group(1))
    print("quillet-printer-app peak RSS while printing: %d KiB (%.1f MiB)" % (kib, kib / 1024))
    kit.cleanup(work)


if __name__ == "__main__":
    main()
