"""One measurement each: ab (new connection per request), wrk (keep-alive), curl downloads,
a checked fetch, and the resident memory of a process tree. A run that went wrong raises
Failure with what went wrong; speed never counts as wrong."""

import hashlib
import os
import re
import subprocess
import threading
import time

LOOPBACK = "127.0.0.1"
PROBE_TIMEOUT_S = 5
AB_SOCKET_TIMEOUT_S = 20
WRK_TIMEOUT = "5s"
RSS_SAMPLE_INTERVAL_S = 0.02
FETCH_HEAD_BYTES = 1 << 16
LUA_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "absolute_url.lua")


class Failure(Exception):
    pass


def run_tool(argv, timeout_s, env=None):
    try:
        done = subprocess.run(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=timeout_s, env=env)
    except subprocess.TimeoutExpired:
        raise Failure(f"{argv[0]} did not finish within {timeout_s:.0f} s")
    return done.returncode, done.stdout.decode(errors="replace"), \
        done.stderr.decode(errors="replace")


def last_line(text):
    lines = [line for line in text.strip().splitlines() if line.strip()]
    return lines[-1].strip() if lines else "(no output)"


def number_after(label, text):
    m = re.search(re.escape(label) + r"\s*([0-9.]+)", text)
    return float(m.group(1)) if m else None


def ab(url, proxy_port, requests, concurrency, expected_length, workdir):
    """req/s, p50 ms, p99 ms of `ab -n requests -c concurrency` with a new connection per
    request; every answer must be a 2xx of expected_length bytes."""
    csv = os.path.join(workdir, "ab-percentiles.csv")
    argv = ["ab", "-q", "-n", str(requests), "-c", str(concurrency),
            "-s", str(AB_SOCKET_TIMEOUT_S), "-e", csv]
    if proxy_port:
        argv += ["-X", f"{LOOPBACK}:{proxy_port}"]
    rc, out, err = run_tool(argv + [url], 60 + requests / 100)
    if rc != 0:
        raise Failure(f"ab exit status {rc}: {last_line(err or out)}")
    complete = number_after("Complete requests:", out)
    failed = number_after("Failed requests:", out)
    non_2xx = number_after("Non-2xx responses:", out)
    length = number_after("Document Length:", out)
    if complete != requests:
        raise Failure(f"ab completed {complete} of {requests} requests")
    if failed:
        detail = re.search(r"\(Connect: .*\)", out)
        raise Failure(f"ab: {failed:.0f} failed requests {detail.group(0) if detail else ''}")
    if non_2xx:
        raise Failure(f"ab: {non_2xx:.0f} answers were not 2xx")
    if length != expected_length:
        raise Failure(f"ab: body of {length} bytes, expected {expected_length}")
    percentiles = {}
    with open(csv) as f:
        for line in f.read().splitlines()[1:]:
            pct, ms = line.split(",")
            percentiles[int(float(pct))] = float(ms)
    return {"req/s": number_after("Requests per second:", out),
            "p50 ms": percentiles[50], "p99 ms": percentiles[99]}


WRK_UNITS_MS = {"us": 0.001, "ms": 1.0, "s": 1000.0, "m": 60000.0}


def wrk_latency(pct, text):
    m = re.search(rf"^\s*{pct}%\s+([0-9.]+)(us|ms|s|m)\s*$", text, re.M)
    if not m:
        raise Failure(f"wrk printed no {pct}% latency")
    return float(m.group(1)) * WRK_UNITS_MS[m.group(2)]


def wrk(url, proxy_port, duration_s, connections, threads, closes_connections=False):
    """req/s, p50 ms, p99 ms over HTTP/1.1 keep-alive. Through a proxy, wrk connects to the
    proxy and its requests carry the absolute URL. wrk counts a connection the server
    closed as a read error; for a server known to close its connections after each answer
    (closes_connections) those are reconnects and returned as "reconnects"; otherwise
    every socket error fails the run."""
    argv = ["wrk", f"-t{threads}", f"-c{connections}", f"-d{duration_s}s", "--latency",
            "--timeout", WRK_TIMEOUT]
    env = dict(os.environ)
    if proxy_port:
        env["BENCH_ABSOLUTE_URL"] = url
        env["BENCH_ORIGIN_HOST"] = url.split("/")[2]
        argv += ["-s", LUA_SCRIPT, f"http://{LOOPBACK}:{proxy_port}/"]
    else:
        argv += [url]
    rc, out, err = run_tool(argv, duration_s + 30, env)
    if rc != 0:
        raise Failure(f"wrk exit status {rc}: {last_line(err or out)}")
    errors = re.search(r"Socket errors: connect (\d+), read (\d+), write (\d+), timeout (\d+)",
                       out)
    counts = [int(n) for n in errors.groups()] if errors else [0, 0, 0, 0]
    reconnects_only = closes_connections and counts[0] == counts[2] == counts[3] == 0
    if any(counts) and not reconnects_only:
        raise Failure(f"wrk: {errors.group(0)}")
    bad = number_after("Non-2xx or 3xx responses:", out)
    if bad:
        raise Failure(f"wrk: {bad:.0f} answers were not 2xx or 3xx")
    total = re.search(r"(\d+) requests in", out)
    if not total or int(total.group(1)) == 0:
        raise Failure("wrk: no request was answered")
    figures = {"req/s": number_after("Requests/sec:", out), "p50 ms": wrk_latency(50, out),
               "p99 ms": wrk_latency(99, out), "requests": int(total.group(1))}
    if counts[1]:
        figures["reconnects"] = counts[1]
    return figures


def curl_argv(url, proxy_port, max_time_s):
    argv = ["curl", "-s", "-S", "--max-time", str(max_time_s), "--noproxy", ""]
    if proxy_port:
        argv += ["-x", f"http://{LOOPBACK}:{proxy_port}"]
    return argv + [url]


def downloads(url, proxy_port, count, size, max_time_s):
    """MB/s (10^6 bytes per second) of `count` downloads in parallel, all of them together:
    count * size over the time of the slowest. Each must be a 200 of `size` bytes."""
    procs = []
    try:
        for _ in range(count):
            argv = curl_argv(url, proxy_port, max_time_s)
            argv[1:1] = ["-o", "/dev/null", "-w", "%{http_code} %{size_download} %{time_total}"]
            procs.append(subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE))
        results = [p.communicate() for p in procs]
    finally:
        for p in procs:
            if p.poll() is None:
                p.kill()
                p.wait()
    slowest = 0.0
    for p, (out, err) in zip(procs, results):
        if p.returncode != 0:
            raise Failure(f"curl exit status {p.returncode}: {last_line(err.decode())}")
        code, got, seconds = out.decode().split()
        if code != "200" or int(got) != size:
            raise Failure(f"curl: status {code}, {got} of {size} bytes")
        slowest = max(slowest, float(seconds))
    return count * size / slowest / 1e6


def fetch(url, proxy_port, max_time_s=PROBE_TIMEOUT_S):
    """The size and sha256 of the body of a 200 answer, hashed as it arrives, and its first
    FETCH_HEAD_BYTES bytes."""
    argv = curl_argv(url, proxy_port, max_time_s)
    argv[1:1] = ["-w", "%{stderr}\n%{http_code}"]
    digest = hashlib.sha256()
    size = 0
    head = b""
    p = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    try:
        while True:
            chunk = p.stdout.read(1 << 20)
            if not chunk:
                break
            if len(head) < FETCH_HEAD_BYTES:
                head += chunk[:FETCH_HEAD_BYTES - len(head)]
            digest.update(chunk)
            size += len(chunk)
        err = p.stderr.read().decode(errors="replace")
    finally:
        if p.poll() is None:
            p.kill()
        p.wait()
        p.stdout.close()
        p.stderr.close()
    path = "/" + url.split("/", 3)[3]
    if p.returncode != 0:
        raise Failure(f"checked fetch of {path}: {last_line(err.rsplit(chr(10), 1)[0])}")
    if last_line(err) != "200":
        raise Failure(f"checked fetch of {path}: status {last_line(err)} instead of 200")
    return size, digest.hexdigest(), head


def check_body(url, proxy_port, size, sha256, max_time_s=PROBE_TIMEOUT_S):
    got_size, got_sha, _ = fetch(url, proxy_port, max_time_s)
    if got_size != size or got_sha != sha256:
        raise Failure(f"wrong body for /{url.split('/', 3)[3]}: {got_size} bytes, sha256 {got_sha[:12]}…, expected "
                      f"{size} bytes, sha256 {sha256[:12]}…")


def keeps_alive(url, proxy_port, size, sha256, workdir):
    """Whether a second request on the same connection is answered on it (both bodies
    checked); False when the server closed the connection after the first answer."""
    outs = [os.path.join(workdir, f"keep-alive-{i}") for i in (1, 2)]
    argv = curl_argv(url, proxy_port, PROBE_TIMEOUT_S)
    argv[1:1] = ["-w", "%{http_code} %{num_connects}\n", "-o", outs[0], "-o", outs[1]]
    rc, out, err = run_tool(argv + [url], PROBE_TIMEOUT_S * 3)
    if rc != 0:
        raise Failure(f"curl exit status {rc}: {last_line(err)}")
    answers = [line.split() for line in out.splitlines()]
    for path, (code, _) in zip(outs, answers):
        with open(path, "rb") as f:
            body = f.read()
        if code != "200" or len(body) != size or hashlib.sha256(body).hexdigest() != sha256:
            raise Failure(f"second request on one connection: status {code}, {len(body)} "
                          f"bytes, expected 200 and {size} bytes")
    return answers[1][1] == "0"


def status_kib(pid, field):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def cpu_ms(pids):
    """CPU time used so far by the processes, user and system, their reaped children's
    included (a peer's worker that ended during a run still counts)."""
    ticks = 0
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue
        ticks += sum(int(fields[i]) for i in (11, 12, 13, 14))  # utime stime cutime cstime
    return ticks * 1000 / os.sysconf("SC_CLK_TCK")


def rss_bytes(pids, field="VmRSS"):
    return sum(status_kib(pid, field) for pid in pids) * 1024


def reset_peak(pids):
    """Sets each process's VmHWM back to its current VmRSS (writing 5 to clear_refs)."""
    for pid in pids:
        try:
            with open(f"/proc/{pid}/clear_refs", "w") as f:
                f.write("5")
        except OSError:
            pass


class PeakSampler:
    """The highest summed resident memory of a process tree while the block runs: sampled
    VmRSS, and each process's VmHWM at the end (reset at the start), whichever is higher."""

    def __init__(self, pids_of):
        self.pids_of = pids_of
        self.peak = 0
        self.stopping = threading.Event()

    def __enter__(self):
        reset_peak(self.pids_of())
        self.thread = threading.Thread(target=self.sample, daemon=True)
        self.thread.start()
        return self

    def sample(self):
        while not self.stopping.is_set():
            self.peak = max(self.peak, rss_bytes(self.pids_of()))
            time.sleep(RSS_SAMPLE_INTERVAL_S)

    def __exit__(self, *exc):
        self.stopping.set()
        self.thread.join()
        self.peak = max(self.peak, rss_bytes(self.pids_of(), "VmHWM"))
        return False
