"""The web interface in every language the server picks, Add Printer with
a host:port, and the test page. Every page in each language (and in tags
that must map to one: zh-HK, zh-Hans-CN, fr-CA, a language the server
lacks, quality values) shows no raw key (`print-color-mode:`,
`quillet-mirror:`), no state number for the printer's state, none of a
few English words PAPPL used to leave, and the language's own label of
the printer's mirror option; a network printer added through the form
with a port of its own prints there; "Print Test Page" prints one page
of the printer's default size.

Usage: web_test.py APP DECODER [--keep]"""
import concurrent.futures
import http.client
import os
import re
import subprocess
import sys
import urllib.parse

import pappkit as kit

# Accept-Language value: the label of quillet-mirror the page must show.
MIRROR = {
    "en": "Mirror Image", "de": "Spiegeln", "es": "Imagen reflejada", "fr": "Image miroir",
    "it": "Immagine riflessa", "ja": "\u30df\u30e9\u30fc\u5370\u5237", "nb-NO": "Speilvendt",
    "pl": "Odbicie lustrzane", "tr": "Ayna g\u00f6r\u00fcnt\u00fcs\u00fc", "zh-CN": "\u955c\u50cf",
    "zh-TW": "\u93e1\u50cf", "zh-HK": "\u93e1\u50cf", "zh-Hans-CN": "\u955c\u50cf", "fr-CA": "Image miroir",
    "ko": "Mirror Image", "xx, de;q=0.5": "Spiegeln", "de;q=0.5, fr": "Image miroir",
}
PAGES = ["/", "/config", "/network", "/security", "/addprinter", "/logs"]
PRINTER_PAGES = ["/", "/media", "/printing", "/jobs", "/delete"]
# A text node that is an attribute key, or a keyword value, left as it is.
RAW_KEY = re.compile(r">\s*((?:print|printer|media|quillet|job|orientation|output)(?:-[a-z0-9]+)+(?:\.[\w.-]+)?)\s*:?\s*<")
# The printer's state as PAPPL's number ("3, 0 jobs").
STATE_NUMBER = re.compile(r'icon-md\.png">\s*\d')
ENGLISH = re.compile(r">\s*(?:Idle|Change|Add Printer|Printing Defaults|Draft|Mark|Main roll|Select Device|"
                     r"Driver Name|Print Test Page)\s*[:<]|\d jobs?\b")


def request(port, method, path, lang="en", form=None):
    conn = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    headers = {"Accept-Language": lang}
    body = None
    if form is not None:
        body = urllib.parse.urlencode(form)
        headers["Content-Type"] = "application/x-www-form-urlencoded"
    conn.request(method, path, body, headers)
    r = conn.getresponse()
    text = r.read().decode("utf-8", errors="replace")
    conn.close()
    return r.status, r.getheader("Location") or "", text


def post(port, path, form):
    """A web form sent as the browser sends it, with the page's session."""
    _, _, page = request(port, "GET", path)
    m = re.search(r'name="session" value="([0-9a-f]+)"', page)
    return request(port, "POST", path, form=dict(form, session=m.group(1) if m else ""))


def main(argv):
    app, decoder = argv[1], argv[2]
    keep = "--keep" in argv
    work = kit.tempdir("quillet-web-")
    listener = kit.Listener()
    other = kit.Listener()  # a printer on a port other than 9100
    server = kit.Server(app, work)
    failures = []

    def check(ok, what):
        if not ok:
            failures.append(what)
            print("FAIL:", what)

    try:
        server.add("a4", "quillet_a4_203", "socket://127.0.0.1:%d" % listener.port)
        server.add("label", "quillet_label_203", "socket://127.0.0.1:%d" % listener.port)
        paths = PAGES + ["/%s%s" % (p, page) for p in ("a4", "label") for page in PRINTER_PAGES]
        # Fetched side by side: the Add Printer page waits for its device
        # search (2 s).
        with concurrent.futures.ThreadPoolExecutor(16) as pool:
            pages = pool.map(lambda job: (job, request(server.port, "GET", job[1], job[0])),
                             [(lang, path) for lang in MIRROR for path in paths])
        for (lang, path), (status, _, page) in pages:
            check(status == 200, "%s %s: HTTP %s" % (lang, path, status))
            raw = RAW_KEY.findall(page)
            check(not raw, "%s %s: raw keys %s" % (lang, path, sorted(set(raw))[:8]))
            check(not STATE_NUMBER.search(page), "%s %s: the state as a number" % (lang, path))
            english = ENGLISH.findall(page)
            if MIRROR[lang] != "Mirror Image":
                check(not english, "%s %s: English left: %s" % (lang, path, sorted(set(english))))
            if path == "/label/printing":
                check(">%s:<" % MIRROR[lang] in page, "%s: the mirror option is not labelled %r" % (lang, MIRROR[lang]))

        # The host field takes a port (and IPv6 addresses); PAPPL's own
        # pattern let the browser send a bare host only.
        _, _, page = request(server.port, "GET", "/addprinter")
        pattern = re.search(r'name="hostname"[^>]*pattern="([^"]*)"', page).group(1)
        pattern = pattern.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">")
        for host, ok in (("127.0.0.1:9101", True), ("printer.example:9100", True), ("[::1]:631", True),
                         ("fe80::1", True), ("printer", True), ("bad host", False), ("a:b:c]", False)):
            check(bool(re.fullmatch("(?:%s)" % pattern, host)) == ok, "host pattern and %r" % host)
        status, location, page = post(server.port, "/addprinter", {
            "printer_name": "port", "device_uri": "socket", "hostname": "127.0.0.1:%d" % other.port,
            "driver_name": "quillet_a4_300"})
        check(status == 302 and location.endswith("/port"),
              "Add Printer with host:port: HTTP %s %s %s" % (status, location, re.findall(r'banner">([^<]*)', page)))

        # The test page: one page of the default media, through the
        # printer's own port for the one added above.
        for printer, printed, size, dpi in (("label", listener, (50, 30), 203), ("a4", listener, (210, 297), 203),
                                            ("port", other, (210, 297), 300)):
            status, _, page = post(server.port, "/%s/" % printer, {"action": "print-test-page"})
            check(status == 200, "%s test page: HTTP %s" % (printer, status))
            try:
                data = printed.take(60)
            except AssertionError as e:
                check(False, "%s test page: %s" % (printer, e))
                continue
            path = os.path.join(work, "%s.prn" % printer)
            with open(path, "wb") as f:
                f.write(data)
            r = subprocess.run([decoder, "--no-png", path], capture_output=True, text=True)
            pages = [l for l in r.stdout.splitlines() if l.startswith("page=")]
            m = re.search(r" width=(\d+) height=(\d+) ink=[1-9]", pages[0]) if len(pages) == 1 else None
            wide, tall = (round(mm / 25.4 * dpi) for mm in size)
            # The stream rounds the width to whole bytes, the height to bands;
            # the page fits within the size's margins (3 mm, 1.5 mm on a
            # label), and on continuous paper the page ends at its last ink.
            margins = round((3 if size[0] > 100 else 1.5) * 2 / 25.4 * dpi)
            check(r.returncode == 0 and m and wide <= int(m.group(1)) < wide + 8 and
                  tall - margins - 24 < int(m.group(2)) < tall + 24,
                  "%s test page: %s" % (printer, r.stdout + r.stderr))
        check(not [n for n in os.listdir(work) if n.startswith("quillet-test-page")],
              "test page files left behind: %s" % os.listdir(work))
        # The printers' icons are the program's, not PAPPL's.
        for path in ("/a4/icon-lg.png", "/label/icon-sm.png", "/navicon.png"):
            conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=30)
            conn.request("GET", path)
            data = conn.getresponse().read()
            conn.close()
            check(data[:8] == b"\x89PNG\r\n\x1a\n" and data[16:24] in (b"\0\0\0\x30\0\0\0\x30", b"\0\0\x02\0\0\0\x02\0")
                  and data[25] == 6, "%s is not the program's icon" % path)
    finally:
        server.stop()
        listener.close()
        other.close()
        if failures:
            print(server.tail(40))
        kit.cleanup(work, keep)
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
