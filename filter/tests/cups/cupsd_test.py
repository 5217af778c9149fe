#!/usr/bin/env python3
"""Jobs through a private CUPS scheduler.

Starts cupsd in the foreground with its own ServerRoot, spool, cache,
state and log folders on a free loopback port, finds our models with
lpinfo -m, creates a queue with a file: device, prints a PDF with
options, waits for the job to end, decodes what the queue wrote and
deletes the queue; then a short soak: random raster jobs with random
options through a queue for each model (a row of the model table
each).  The queue commands are the README's.

By default the filter and PPDs come from the build tree (a private
ServerBin and DataDir); with --installed the scheduler uses the system's
ServerBin and DataDir, so it runs what an install put there.

cupsd runs as root but drops to user lp for filters, so every folder the
filter needs is made readable for lp; the file: device is written by the
scheduler itself.  Needs root (cupsd insists on it for the User switch);
otherwise the test reports itself skipped.
"""
import ctypes
import json
import os
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time
import unittest

import cupskit

ARGS = None
SKIP = 77
JOB_TIMEOUT = 45
SOAK_JOBS = 24


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def die_with_parent():
    """Lets the kernel stop cupsd if this script is killed (a CTest timeout)
    before it could stop cupsd itself."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGTERM)


def system_datadir():
    try:
        out = subprocess.run(["cups-config", "--datadir"], capture_output=True, text=True, check=True)
        return out.stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return "/usr/share/cups"


def model_names():
    """The lpadmin -m names of the models: one a row of the model table
    (listed beside the built PPDs), else those installed."""
    if not ARGS.installed:
        with open(os.path.join(ARGS.ppd_dir, "models.json"), encoding="utf-8") as f:
            return ["quillet/" + row["ppd"] for row in json.load(f)]
    folder = os.path.join(system_datadir(), "model", "quillet")
    return sorted("quillet/" + name for name in os.listdir(folder) if name.endswith(".ppd"))


def private_datadir(root, ppd_dir, models):
    """The system DataDir with a model folder holding our PPDs under their
    model names, where an install puts them."""
    sysdata = system_datadir()
    data = os.path.join(root, "data")
    os.makedirs(os.path.join(data, "model"))
    for entry in sorted(os.listdir(sysdata)):
        if entry != "model":
            os.symlink(os.path.join(sysdata, entry), os.path.join(data, entry))
    for model in models:
        path = os.path.join(data, "model", model)
        os.makedirs(os.path.dirname(path), mode=0o755, exist_ok=True)
        shutil.copyfile(os.path.join(ppd_dir, os.path.basename(model)), path)
    for top, dirs, _ in os.walk(data):
        for d in dirs:
            if not os.path.islink(os.path.join(top, d)):
                os.chmod(os.path.join(top, d), 0o755)
    os.chmod(data, 0o755)
    return data


class Scheduler:
    """A private cupsd; stop() is safe to call more than once."""

    def __init__(self, root, serverbin, datadir):
        self.root = root
        self.port = free_port()
        self.host = "127.0.0.1:%d" % self.port
        conf = os.path.join(root, "conf")
        self.logdir = os.path.join(root, "log")
        for d in ("conf", "conf/ppd", "conf/ssl", "spool", "spool/tmp", "cache", "state", "log"):
            os.makedirs(os.path.join(root, d))
            os.chmod(os.path.join(root, d), 0o755)
        self.cupsd_conf = os.path.join(conf, "cupsd.conf")
        with open(self.cupsd_conf, "w") as f:
            f.write("LogLevel debug\n"
                    "Listen 127.0.0.1:%d\n"
                    "Browsing No\nWebInterface No\nDefaultAuthType None\n"
                    "<Location />\n  Order allow,deny\n  Allow from 127.0.0.1\n</Location>\n"
                    "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n"
                    % self.port)
        self.files_conf = os.path.join(conf, "cups-files.conf")
        with open(self.files_conf, "w") as f:
            f.write("ServerRoot %s\nServerBin %s\nDataDir %s\n"
                    "RequestRoot %s/spool\nTempDir %s/spool/tmp\nCacheDir %s/cache\nStateDir %s/state\n"
                    "AccessLog %s/access_log\nErrorLog %s/error_log\nPageLog %s/page_log\n"
                    "Printcap %s/printcap\nFileDevice Yes\nUser lp\nGroup lp\nSystemGroup root\n"
                    % (conf, serverbin, datadir, root, root, root, root,
                       self.logdir, self.logdir, self.logdir, root))
        self.proc = None

    def start(self):
        self.log = open(os.path.join(self.logdir, "cupsd.out"), "w")
        self.proc = subprocess.Popen(["cupsd", "-f", "-c", self.cupsd_conf, "-s", self.files_conf],
                                     stdout=self.log, stderr=subprocess.STDOUT, preexec_fn=die_with_parent)
        deadline = time.time() + 15
        while time.time() < deadline:
            if self.proc.poll() is not None:
                raise AssertionError("cupsd exited at start:\n" + self.error_log())
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=0.5):
                    return
            except OSError:
                time.sleep(0.2)
        raise AssertionError("cupsd did not listen on %s:\n%s" % (self.host, self.error_log()))

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc:
            self.log.close()
        self.proc = None

    def error_log(self, tail=6000):
        path = os.path.join(self.logdir, "error_log")
        text = ""
        for p in (path, os.path.join(self.logdir, "cupsd.out")):
            if os.path.exists(p):
                with open(p, errors="replace") as f:
                    text += f.read()
        return text[-tail:]

    def run(self, *cmd):
        res = subprocess.run(list(cmd), capture_output=True, text=True, timeout=60)
        if res.returncode != 0:
            raise AssertionError("%s failed (%d): %s\n%s" % (" ".join(cmd), res.returncode,
                                                             res.stderr.strip(), self.error_log()))
        return res.stdout

    def job_state(self, queue, job_id):
        """IPP job-state (3 pending ... 7 canceled, 8 aborted, 9 completed)."""
        test = os.path.join(self.root, "job-state.test")
        if not os.path.exists(test):
            with open(test, "w") as f:
                f.write("{\n OPERATION Get-Job-Attributes\n GROUP operation-attributes-tag\n"
                        " ATTR charset attributes-charset utf-8\n"
                        " ATTR naturalLanguage attributes-natural-language en\n"
                        " ATTR uri printer-uri $uri\n ATTR integer job-id $job_id\n"
                        " ATTR keyword requested-attributes job-state\n"
                        " STATUS successful-ok\n DISPLAY job-state\n}\n")
        out = self.run("ipptool", "-d", "job_id=%d" % job_id, "-c",
                       "ipp://%s/printers/%s" % (self.host, queue), test)
        m = re.search(r"^(\w[\w-]*)$", out.strip().splitlines()[-1])
        return m.group(1) if m else out


class SchedulerJob(unittest.TestCase):
    def setUp(self):
        if not cupskit.is_root():
            self.skipTest("cupsd needs root")
        self.readme = cupskit.ReadmeQueue(ARGS.readme)
        self.models = model_names()
        self.tmp = cupskit.make_tempdir("quillet-cupsd-")
        if ARGS.installed:
            serverbin, self.datadir = cupskit.system_serverbin(), system_datadir()
        else:
            serverbin = cupskit.make_serverbin(self.tmp, ARGS.filter)
            self.datadir = private_datadir(self.tmp, ARGS.ppd_dir, self.models)
        self.cupsd = Scheduler(self.tmp, serverbin, self.datadir)
        self.addCleanup(self.cleanup)
        self.cupsd.start()

    def cleanup(self):
        self.cupsd.stop()
        if not ARGS.keep:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def wait_for(self, queue, job_id):
        deadline = time.time() + JOB_TIMEOUT
        state = self.cupsd.job_state(queue, job_id)
        while state not in ("completed", "aborted", "canceled") and time.time() < deadline:
            time.sleep(0.3)
            state = self.cupsd.job_state(queue, job_id)
        return state

    def ppd(self, model):
        """The PPD file the scheduler uses for a model name."""
        return os.path.join(self.datadir, "model", model)

    def test_print_job_through_a_queue(self):
        """The README's commands: its model names are listed, its queue
        prints (with a queue default and two job options added) and its
        removal leaves no queue."""
        c, readme = self.cupsd, self.readme
        models = c.run("lpinfo", "-h", c.host, "-m")
        listed = {line.split()[0] for line in models.splitlines() if line}
        for model in self.models + readme.model_args:
            self.assertIn(model, listed)
        self.assertRegex(models, r"(?m)^quillet/qa4-203\.ppd Quillet A4 203dpi")
        self.assertRegex(models, r"(?m)^quillet/qlbl-203\.ppd Quillet Label 203dpi")
        # The page checks below are for the A4 203 dpi model.
        self.assertEqual(readme.model_args[0], "quillet/qa4-203.ppd")
        queue = readme.queue()

        out = os.path.join(self.tmp, "out.prn")
        c.run(*readme.add_with(c.host, "file://" + out, "-o", "OP_PaperType-default=0"))
        doc = cupskit.generate_doc(ARGS.testdoc, "markers", os.path.join(self.tmp, "markers.pdf"))
        reply = c.run(*readme.print_with(c.host, doc, "-n", "2", "-o", "OP_Density=10"))
        job_id = int(re.search(r"request id is %s-(\d+)" % queue, reply).group(1))

        self.assertEqual(self.wait_for(queue, job_id), "completed", c.error_log())

        pages = cupskit.decode(ARGS.decoder, out, os.path.join(self.tmp, "page"))
        self.assertEqual(len(pages), 3)
        for page in pages:
            self.assertEqual(page["header"], "a4")
            self.assertEqual(page["papertype"], "1(blackmark)")  # queue default
            self.assertEqual(page["density"], "10")               # job option
            self.assertEqual(page["print"], "1,2")
        # Mirrored: the top-left box of page 1 is at the right edge.
        first, last = pages[0].column_extent(cupskit.dots(60, 203), cupskit.dots(130, 203))
        self.assertAlmostEqual(last, 1677 - cupskit.dots(40, 203), delta=3)

        c.run(*readme.remove_with(c.host))
        self.assertNotIn(queue, c.run("lpstat", "-h", c.host, "-e").split())
        self.assertFalse(os.path.exists(os.path.join(self.tmp, "conf", "ppd", queue + ".ppd")))

    def test_serial_queue(self):
        """The README's Bluetooth queue with a pseudo-terminal in place of
        /dev/rfcomm0: the serial back end takes the URI's line settings
        and passes the printer stream through unchanged (the same bytes as
        a file queue with the same job)."""
        c, readme = self.cupsd, self.readme
        master, slave = os.openpty()
        self.addCleanup(os.close, master)
        device = readme.device(readme.serial)
        device = "serial:" + os.ttyname(slave) + device[device.index("?"):]
        os.close(slave)
        received = bytearray()

        def drain():
            while True:
                ready, _, _ = select.select([master], [], [], 0.2)
                if done.is_set() and not ready:
                    return
                if ready:
                    try:
                        received.extend(os.read(master, 65536))
                    except OSError:  # EIO while no one holds the other side
                        if done.is_set():
                            return
                        time.sleep(0.05)
        done = threading.Event()
        reader = threading.Thread(target=drain)
        reader.start()
        doc = cupskit.generate_doc(ARGS.testdoc, "markers", os.path.join(self.tmp, "serial.pdf"))
        by_file = os.path.join(self.tmp, "file.prn")

        def print_on(line, device):
            queue = line[line.index("-p") + 1]
            c.run(*readme.add_with(c.host, device, line=line))
            reply = c.run(*readme.print_with(c.host, doc))
            job_id = int(re.search(r"request id is %s-(\d+)" % queue, reply).group(1))
            self.assertEqual(self.wait_for(queue, job_id), "completed", c.error_log())
            c.run(*readme.remove_with(c.host))
        try:
            print_on(readme.serial, device)
        finally:
            done.set()
            reader.join()
        print_on(readme.add, "file://" + by_file)
        with open(by_file, "rb") as f:
            expected = f.read()
        self.assertEqual(len(cupskit.decode(ARGS.decoder, by_file, os.path.join(self.tmp, "serial"))), 3)
        self.assertTrue(received == expected, "%d bytes over the serial line, %d to the file"
                        % (len(received), len(expected)))

    def test_random_jobs_through_queues(self):
        """Raster jobs with random pages and options through one queue per
        model: each completes, and the queue writes exactly what the filter
        writes when run by hand with the same options."""
        if not ARGS.rastergen:
            self.skipTest("needs --rastergen")
        c = self.cupsd
        rng = random.Random(20261207)
        queues = []
        for model in self.models:
            ppd = os.path.splitext(os.path.basename(model))[0]
            out = os.path.join(self.tmp, ppd + ".prn")
            c.run("lpadmin", "-h", c.host, "-p", ppd, "-E", "-v", "file://" + out, "-m", model)
            queues.append((ppd, out, self.ppd(model)))
        for job in range(SOAK_JOBS):
            ppd, out, ppd_path = queues[job % len(queues)]
            choices = cupskit.ppd_choices(ppd_path)
            options = ["%s=%s" % (k, rng.choice(v)) for k, v in sorted(choices.items())
                       if rng.random() < 0.5]
            copies = rng.choice((1, 1, 2, 3))
            seed = rng.randrange(1 << 30)
            raster = os.path.join(self.tmp, "job%d.ras" % job)
            subprocess.run([ARGS.rastergen, "random", raster, str(seed)], check=True)
            os.chmod(raster, 0o644)
            cmd = ["lp", "-h", c.host, "-d", ppd, "-n", str(copies),
                   "-o", "document-format=application/vnd.cups-raster"]
            for o in options:
                cmd += ["-o", o]
            reply = c.run(*(cmd + [raster]))
            job_id = int(re.search(r"request id is %s-(\d+)" % ppd, reply).group(1))
            what = "job %d (%s, seed %d, %d copies, %s)" % (job, ppd, seed, copies, " ".join(options))
            self.assertEqual(self.wait_for(ppd, job_id), "completed", what + "\n" + c.error_log())

            by_hand = subprocess.run(
                [ARGS.filter, "1", "soak", "page", str(copies), " ".join(options), raster],
                capture_output=True, timeout=60,
                env=dict(os.environ, PPD=ppd_path, LANG="C"))
            self.assertEqual(by_hand.returncode, 0, what)
            with open(out, "rb") as f:
                written = f.read()
            self.assertTrue(by_hand.stdout, what)
            self.assertEqual(written, by_hand.stdout, what)
            self.assertGreater(len(cupskit.decode(ARGS.decoder, out, os.path.join(self.tmp, "p"))), 0)


if __name__ == "__main__":
    ARGS, rest = cupskit.parse_args(sys.argv)
    if not cupskit.is_root():
        print("skipped: the scheduler test needs root")
        sys.exit(SKIP)
    unittest.main(argv=rest, verbosity=2)
