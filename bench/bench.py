#!/usr/bin/env python3
"""Measures KORVANEL beside no proxy at all (DIRECT) and three peer proxies (tinyproxy,
Privoxy, Squid; for HTTPS inspection Privoxy, Squid's ssl-bump and mitmproxy), all on
loopback against one nginx origin, interleaved over several rounds, and prints one table of
medians. Exits 1 when a run failed (a tool's error, an answer that
was not 2xx, a wrong body, a process that died), 130 when interrupted, 0 otherwise; speed
never makes it fail. Every process it starts and its temporary directory are removed again,
also on Ctrl-C."""

import argparse
import hashlib
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ beside the script in the checkout

import clicks  # noqa: E402
import inspect_tls  # noqa: E402
import measure  # noqa: E402
import report  # noqa: E402
import servers  # noqa: E402
import tunnels  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(HERE)
LOOPBACK = servers.LOOPBACK
SMALL_SIZE = 1024
MIB = 1 << 20
BIG_FETCH_TIMEOUT_S = 120

K = "KORVANEL"
K_LOGS = "KORVANEL logs on"
K_TAGS = "KORVANEL SCRIPT+A"
K_INSPECT = "KORVANEL inspect"
# The decrypting targets of (h), (h2) and (hf), beside DIRECT.
INSPECTING = [K_INSPECT] + list(report.INSPECT_PEERS)
# The window (w): this build, and with --before another one, each with the four logs in
# their panes and with them off.
WINDOWS = [("window, panes on", False, True), ("window, panes off", False, False),
           ("before, panes on", True, True), ("before, panes off", True, False)]


class Interrupted(Exception):
    pass


def on_signal(signum, _frame):
    raise Interrupted(signal.Signals(signum).name)


def parse_args():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--requests", type=int, default=20000, help="ab requests in (a)")
    p.add_argument("--html-requests", type=int, default=10000, help="ab requests in (f)")
    p.add_argument("--tunnel-requests", type=int, default=2000,
                   help="TLS exchanges, each through a new tunnel, in (g)")
    p.add_argument("--inspect-requests", type=int, default=1000,
                   help="GETs, each on a new inspected TLS connection, in (h)")
    p.add_argument("--kept-requests", type=int, default=10000,
                   help="GETs over kept inspected TLS connections in (h2) (and a third of "
                   "that in (hf))")
    p.add_argument("--concurrency", type=int, default=50)
    p.add_argument("--duration", type=int, default=10, help="wrk seconds in (c)")
    p.add_argument("--body-mib", type=int, default=100, help="body size in (d)")
    p.add_argument("--quick", action="store_true",
                   help="a tenth of the requests, 2 s wrk runs and a 20 MiB body")
    p.add_argument("--only", default="", help="comma-separated targets to run (and DIRECT)")
    p.add_argument("--tests", default="a,c,d,f,g",
                   help="comma-separated measurements to run (of a, c, d, f, g, h, h2, w; e "
                   "always runs; h2 brings hf)")
    p.add_argument("--program", default=os.path.join(REPO, "build", "korvanel"))
    p.add_argument("--before", help="(w) also time the window of this build of korvanel")
    p.add_argument("--clicks", type=int, default=30, help="clicks per run in (w)")
    p.add_argument("--click-concurrency", type=int, default=8, help="ab -c under the clicks")
    p.add_argument("--click-busy", type=int, default=0,
                   help="processes that spin during (w), for a busy desktop")
    p.add_argument("--click-a11y", action="store_true",
                   help="(w) with the accessibility bridge on and a screen reader listening")
    p.add_argument("--json", help="also write every run's figures to this file")
    p.add_argument("--skip-install", action="store_true")
    args = p.parse_args()
    if args.quick:
        args.requests, args.html_requests = args.requests // 10, args.html_requests // 10
        args.tunnel_requests //= 10
        args.inspect_requests //= 10
        args.kept_requests //= 10
        args.duration, args.body_mib = 2, 20
    return args


def make_files(www, body_mib):
    """The origin's files and, per path, the size and sha256 of what it serves."""
    os.makedirs(www)
    files = {}

    def put(name, data):
        with open(os.path.join(www, name), "wb") as f:
            f.write(data)
        files[name] = (len(data), hashlib.sha256(data).hexdigest())

    put("1k.bin", os.urandom(SMALL_SIZE))
    with open(os.path.join(HERE, "fixtures", "page-50k.html"), "rb") as f:
        put("page-50k.html", f.read())
    digest = hashlib.sha256()
    with open(os.path.join(www, "big.bin"), "wb") as f:
        for _ in range(body_mib):
            chunk = os.urandom(MIB)
            digest.update(chunk)
            f.write(chunk)
    files["big.bin"] = (body_mib * MIB, digest.hexdigest())
    for name in os.listdir(www):
        os.chmod(os.path.join(www, name), 0o644)
    return files


class Bench:
    def __init__(self, args, workdir):
        self.args = args
        self.workdir = workdir
        self.results = report.Results()
        self.runs = []
        self.procs = {}  # target -> Server
        self.broken = {}  # target -> why it stopped answering
        self.notes = {}  # (target, test) -> what the table's reader should know

    def start(self):
        w, a = self.workdir, self.args
        self.files = make_files(os.path.join(w, "www"), a.body_mib)
        chosen = set(filter(None, a.tests.split(",")))
        inspecting = bool(chosen & {"h", "h2"})
        self.tls_dir = tunnels.make_certificates(w) if chosen & {"g", "h", "h2"} else None
        self.origin = servers.start_origin(w, os.path.join(w, "www"), self.tls_dir)
        tls_port = self.origin.tls_port
        wanted = set(filter(None, a.only.split(","))) or None
        windows = [
            (name, lambda n=name, b=before, p=panes: clicks.start_window(
                w, a.before if b else a.program, n, p, a.click_a11y))
            for name, before, panes in WINDOWS if "w" in chosen and (a.before or not before)]
        starters = [] if chosen <= {"w"} else [
            (K, lambda: servers.start_korvanel(w, a.program, K, "3", tunnel_port=tls_port)),
            (K_LOGS, lambda: servers.start_korvanel(w, a.program, K_LOGS, "0")),
            (K_TAGS, lambda: servers.start_korvanel(
                w, a.program, K_TAGS, "3", list(servers.TAG_ROWS_SCRIPT) +
                list(servers.TAG_ROWS_A))),
            ("tinyproxy", lambda: servers.start_tinyproxy(w)),
            ("privoxy", lambda: servers.start_privoxy(w, tls_port)),
            ("squid", lambda: servers.start_squid(w)),
        ]
        if inspecting:
            tls = self.tls_dir
            starters += [
                (K_INSPECT, lambda: inspect_tls.start_korvanel(
                    w, a.program, K_INSPECT, tls, tls_port, list(servers.TAG_ROWS_SCRIPT))),
                ("privoxy TLS", lambda: inspect_tls.start_privoxy(w, tls, tls_port)),
                ("squid bump", lambda: inspect_tls.start_squid(w, tls)),
                ("mitmproxy", lambda: inspect_tls.start_mitmproxy(w, tls)),
            ]
        for name, starter in starters + windows:
            if wanted and name not in wanted:
                continue
            try:
                self.procs[name] = starter()
            except (RuntimeError, OSError) as e:
                self.broken[name] = str(e)
                print(f"bench: {name} did not start: {e}", file=sys.stderr)

    def stop(self):
        """Ends every started process, all at once, within servers.STOP_TIMEOUT_S."""
        started = [s for s in list(self.procs.values()) + [getattr(self, "origin", None)] if s]
        for server in started:
            server.terminate()
        deadline = time.monotonic() + servers.STOP_TIMEOUT_S
        for server in started:
            server.finish(deadline)

    def url(self, name):
        return f"http://{LOOPBACK}:{self.origin.port}/{name}"

    def port(self, target):
        return self.procs[target].port if target != "DIRECT" else None

    def targets(self, extra):
        names = ["DIRECT", K] + list(extra) + list(report.PEERS)
        known = set(self.procs) | set(self.broken)
        return [n for n in names if n == "DIRECT" or n in known]

    def measure_idle(self):
        time.sleep(1)
        for name, server in self.procs.items():
            if name != K_TAGS:
                rss = measure.rss_bytes(server.pids())
                self.results.add("hm" if name in INSPECTING else "e", name,
                                 {"idle RSS MB": rss})
                self.runs.append({"test": "e", "target": name, "idle RSS B": rss})

    def one(self, round_no, test, target, run, elsewhere=None):
        """Runs one measurement, records its figures or its failure, and reports it. A
        figure named in `elsewhere` is recorded under the test it maps to."""
        label = f"[round {round_no} {test} {target}]"
        try:
            if target in self.broken:
                raise measure.Failure(f"not running: {self.broken[target]}")
            figures = run()
            server = self.procs.get(target)
            if server and not server.alive():
                raise measure.Failure(f"the process ended: {server.output_tail()}")
        except measure.Failure as e:
            server = self.procs.get(target)
            if server and not server.alive():
                self.broken[target] = f"exited with status {server.proc.returncode}"
            self.results.fail(test, target, round_no, str(e),
                              also=set((elsewhere or {}).values()))
            print(f"{label} FAILED: {e}", file=sys.stderr, flush=True)
            return
        for metric, value in figures.items():
            self.results.add((elsewhere or {}).get(metric, test), target, {metric: value})
        self.runs.append({"round": round_no, "test": test, "target": target, **figures})
        shown = ", ".join(f"{report.number(v, m)} {m}" for m, v in figures.items())
        print(f"{label} {shown}", file=sys.stderr, flush=True)

    def check(self, target, name):
        size, sha = self.files[name]
        measure.check_body(self.url(name), self.port(target), size, sha)

    def check_filtered(self, target, name):
        """The size of the filtered page, after checking that it is the page with some tags
        turned into comments and nothing else changed."""
        size, sha = self.files[name]
        got, _, body = measure.fetch(self.url(name), self.port(target))
        if got > len(body):
            raise measure.Failure(f"filtered /{name}: {got} bytes, more than expected")
        unfiltered = body.replace(b"<!--<", b"<").replace(b">-->", b">")
        if body == unfiltered:
            raise measure.Failure(f"filtered /{name}: no tag was turned into a comment")
        if len(unfiltered) != size or hashlib.sha256(unfiltered).hexdigest() != sha:
            raise measure.Failure(f"filtered /{name}: the page changed beyond its tags")
        return got

    def test_a(self, round_no, target):
        a = self.args

        def run():
            self.check(target, "1k.bin")
            if target == "DIRECT":
                return measure.ab(self.url("1k.bin"), None, a.requests, a.concurrency,
                                  SMALL_SIZE, self.workdir)
            with measure.PeakSampler(self.procs[target].pids) as peak:
                figures = measure.ab(self.url("1k.bin"), self.port(target), a.requests,
                                     a.concurrency, SMALL_SIZE, self.workdir)
            figures["peak RSS MB"] = peak.peak
            return figures

        # The peak belongs with the memory figures in the table.
        self.one(round_no, "a", target, run, elsewhere={"peak RSS MB": "e"})

    def test_c(self, round_no, target):
        a = self.args

        def run():
            size, sha = self.files["1k.bin"]
            self.check(target, "1k.bin")
            kept = measure.keeps_alive(self.url("1k.bin"), self.port(target), size, sha,
                                       self.workdir)
            server = self.procs.get(target)
            used = measure.cpu_ms(server.pids()) if server else 0
            figures = measure.wrk(self.url("1k.bin"), self.port(target), a.duration,
                                  a.concurrency, 2, closes_connections=not kept)
            requests = figures.pop("requests")
            if server:
                used = measure.cpu_ms(server.pids()) - used
                figures["CPU ms/1k"] = used * 1000 / requests
            if not kept:
                self.notes[(target, "c")] = (
                    f"{target} closes each client connection after one answer without "
                    "saying so; wrk reconnected (and counted read errors)")
            figures.pop("reconnects", None)
            return figures

        self.one(round_no, "c", target, run)

    def test_d(self, round_no, target):
        size, sha = self.files["big.bin"]
        url = self.url("big.bin")

        def checked(count):
            def run():
                port = self.port(target)
                self.check(target, "1k.bin")
                if count == 1:
                    measure.check_body(url, port, size, sha, BIG_FETCH_TIMEOUT_S)
                return {"MB/s": measure.downloads(url, port, count, size, BIG_FETCH_TIMEOUT_S)}
            return run

        self.one(round_no, "d1", target, checked(1))
        self.one(round_no, "d4", target, checked(4))

    def test_f(self, round_no, target):
        a = self.args
        size, sha = self.files["page-50k.html"]

        def run():
            if target == K_TAGS:
                size_now = self.check_filtered(target, "page-50k.html")
            else:
                self.check(target, "page-50k.html")
                size_now = size
            return measure.ab(self.url("page-50k.html"), self.port(target), a.html_requests,
                              a.concurrency, size_now, self.workdir)

        self.one(round_no, "f", target, run)

    def tls_url(self, name):
        return f"https://{LOOPBACK}:{self.origin.tls_port}/{name}"

    def test_g(self, round_no, target):
        a = self.args
        cafile = os.path.join(self.tls_dir, "ca.pem")
        port = self.port(target)

        def exchanges():
            return tunnels.short_exchanges(self.tls_url("1k.bin"), port, cafile,
                                           a.tunnel_requests, a.concurrency, SMALL_SIZE,
                                           self.workdir)

        def download():
            size, _ = self.files["big.bin"]
            return {"MB/s": tunnels.download(self.tls_url("big.bin"), port, cafile, size,
                                             BIG_FETCH_TIMEOUT_S)}

        def idle():
            return tunnels.idle_tunnel_memory(port, f"{LOOPBACK}:{self.origin.tls_port}",
                                              self.procs[target].pids)

        self.one(round_no, "g", target, exchanges)
        self.one(round_no, "g1", target, download)
        if target != "DIRECT":
            self.one(round_no, "g200", target, idle)

    def inspect_url(self, name):
        # By name: Privoxy's mbedTLS checks an origin's IP address against the certificate's
        # name only, not its IP SAN.
        return f"https://localhost:{self.origin.tls_port}/{name}"

    def inspect_cafile(self, target):
        """What the client trusts: the proxy's own CA, or for DIRECT the origin's."""
        if target == "DIRECT":
            return os.path.join(self.tls_dir, "ca.pem")
        return self.procs[target].cafile

    def inspect_check(self, target, name, filtered=False):
        size, sha = self.files[name]
        return inspect_tls.check_page(self.inspect_url(name), self.port(target),
                                      self.inspect_cafile(target), size, sha, filtered)

    def measured(self, target, run):
        """run()'s figures with the proxy's CPU time per 1,000 answers and its peak memory."""
        server = self.procs.get(target)
        if not server:
            figures = run()
            figures.pop("requests")
            return figures
        used = measure.cpu_ms(server.pids())
        with measure.PeakSampler(server.pids) as peak:
            figures = run()
        figures["CPU ms/1k"] = (measure.cpu_ms(server.pids()) - used) * 1000 / figures.pop(
            "requests")
        figures["peak RSS MB"] = peak.peak
        return figures

    def kept(self, target, name, test):
        """Whether the target keeps an inspected connection; a note for the table if not."""
        if target == "DIRECT" or inspect_tls.keeps_alive(
                self.inspect_url(name), self.port(target), self.inspect_cafile(target)):
            return True
        self.notes[(target, test)] = (
            f"{target} closes each inspected connection after one answer (while its answer "
            "says keep-alive), so kept connections cannot be measured for it")
        return False

    def test_h(self, round_no, target):
        a = self.args

        def run():
            self.inspect_check(target, "1k.bin")
            return self.measured(target, lambda: dict(tunnels.short_exchanges(
                self.inspect_url("1k.bin"), self.port(target), self.inspect_cafile(target),
                a.inspect_requests, a.concurrency, SMALL_SIZE, self.workdir),
                requests=a.inspect_requests))

        self.one(round_no, "h", target, run, elsewhere={"peak RSS MB": "hm"})

    def test_h2(self, round_no, target):
        a = self.args
        if target in self.broken:
            return self.one(round_no, "h2", target, lambda: {})
        if not self.kept(target, "1k.bin", "h2"):
            return

        def run():
            self.inspect_check(target, "1k.bin")
            figures = self.measured(target, lambda: inspect_tls.kept_exchanges(
                self.inspect_url("1k.bin"), self.port(target), self.inspect_cafile(target),
                a.kept_requests, a.concurrency, SMALL_SIZE, self.workdir))
            figures.pop("connections")
            return figures

        self.one(round_no, "h2", target, run, elsewhere={"peak RSS MB": "hm"})

        def page():
            size = self.inspect_check(target, "page-50k.html", filtered=target == K_INSPECT)
            figures = inspect_tls.kept_exchanges(
                self.inspect_url("page-50k.html"), self.port(target),
                self.inspect_cafile(target), a.kept_requests // 3, a.concurrency, size,
                self.workdir)
            figures.pop("connections")
            figures.pop("requests")
            return figures

        self.one(round_no, "hf", target, page)

    def test_w(self, round_no, target):
        a = self.args

        def run():
            self.check(target, "1k.bin")
            return clicks.click_latencies(self.procs[target], self.url("1k.bin"),
                                          a.click_concurrency, a.clicks, self.workdir,
                                          a.click_busy)

        self.one(round_no, "w", target, run)

    def rounds(self):
        chosen = set(filter(None, self.args.tests.split(",")))
        tests = [(test, extra) for name, test, extra in (
            ("a", self.test_a, [K_LOGS]), ("c", self.test_c, [K_LOGS]),
            ("d", self.test_d, []), ("f", self.test_f, [K_TAGS]), ("g", self.test_g, []),
            ("h", self.test_h, INSPECTING), ("h2", self.test_h2, INSPECTING),
            ("w", self.test_w, None)) if name in chosen]
        windows = [n for n, _, _ in WINDOWS if n in self.procs or n in self.broken]
        for round_no in range(1, self.args.rounds + 1):
            for test, extra in tests:
                if extra is None:
                    targets = windows
                elif extra is INSPECTING:
                    known = set(self.procs) | set(self.broken)
                    targets = ["DIRECT"] + [n for n in INSPECTING if n in known]
                else:
                    targets = self.targets(extra)
                # A different target goes first in each round.
                shift = (round_no - 1) % len(targets)
                for target in targets[shift:] + targets[:shift]:
                    test(round_no, target)


def main():
    args = parse_args()
    for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(s, on_signal)
    began = time.monotonic()
    if not args.skip_install:
        subprocess.run(["bash", os.path.join(HERE, "install.sh")], check=True)
    if not os.access(args.program, os.X_OK):
        print(f"bench: {args.program} is missing; build it first (make build)", file=sys.stderr)
        return 2
    workdir = tempfile.mkdtemp(prefix="korvanel-bench-")
    os.chmod(workdir, 0o755)  # nginx's workers and Squid read and write as other users.
    bench = Bench(args, workdir)
    status = 0
    try:
        bench.start()
        bench.measure_idle()
        bench.rounds()
    except RuntimeError as e:
        print(f"bench: {e}", file=sys.stderr)
        status = 1
    except Interrupted as e:
        print(f"bench: interrupted ({e}); stopping everything", file=sys.stderr)
        status = 130
    finally:
        for s in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(s, signal.SIG_IGN)
        bench.stop()
        shutil.rmtree(workdir, ignore_errors=True)
    if status:
        return status
    print()
    print(report.table(bench.results, args.rounds))
    print()
    print("\n".join(report.goal_lines(bench.results)))
    if bench.notes:
        print("\nNotes:")
        for (target, test), note in sorted(bench.notes.items()):
            print(f"  ({test}) {note}")
    errors = bench.results.errors
    if errors:
        print(f"\n{len(errors)} failed runs:")
        for test, target, round_no, message in errors:
            print(f"  round {round_no} ({test}) {target}: {message}")
    print(f"\nTook {time.monotonic() - began:.0f} s.")
    if args.json:
        with open(args.json, "w") as f:
            json.dump({"runs": bench.runs, "errors": errors}, f, indent=1)
    return 1 if errors or bench.broken else 0


if __name__ == "__main__":
    sys.exit(main())
