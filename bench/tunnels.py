"""The HTTPS measurements of (g), through CONNECT tunnels: many short TLS exchanges (a new
tunnel and one GET of 1 KiB each, curl's parallel mode), one long TLS download, and the
memory a proxy holds for idle tunnels. The origin's certificate comes from a CA this
module makes, which the clients trust."""

import os
import socket
import statistics
import subprocess
import time

import measure

LOOPBACK = measure.LOOPBACK
IDLE_TUNNELS = 200
TUNNEL_OPEN_TIMEOUT_S = 10
SETTLE_S = 1.0


def make_certificates(workdir):
    """ca.pem (the clients' trust), srv.pem and srv.key (the origin's) in workdir/tls."""
    tls = os.path.join(workdir, "tls")
    os.makedirs(tls, exist_ok=True)
    with open(os.path.join(tls, "ext.cnf"), "w") as f:
        f.write("subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n")
    curve = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes"]
    steps = [
        ["openssl", "req", "-x509", *curve, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
         "-subj", "/CN=Bench CA", "-addext", "basicConstraints=critical,CA:TRUE",
         "-addext", "keyUsage=critical,keyCertSign,cRLSign"],
        ["openssl", "req", *curve, "-keyout", "srv.key", "-out", "srv.csr",
         "-subj", "/CN=localhost"],
        ["openssl", "x509", "-req", "-in", "srv.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
         "-CAcreateserial", "-out", "srv.pem", "-days", "2", "-extfile", "ext.cnf"],
    ]
    for argv in steps:
        subprocess.run(argv, cwd=tls, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    for name in os.listdir(tls):
        os.chmod(os.path.join(tls, name), 0o644)  # nginx's worker reads them as another user
    return tls


def tls_argv(url, proxy_port, cafile, max_time_s):
    argv = measure.curl_argv(url, proxy_port, max_time_s)
    argv[1:1] = ["--cacert", cafile]
    return argv


def parallel_gets(url, proxy_port, cafile, count, concurrency, size, workdir, options):
    """`count` TLS GETs of `url` by one curl, `concurrency` at a time, with the further curl
    `options`: req/s, p50 ms and p99 ms, and how many connections curl opened. Each answer
    must be a 200 of `size` bytes."""
    config = os.path.join(workdir, "parallel-urls.curl")
    with open(config, "w") as f:
        for _ in range(count):
            f.write(f'url = "{url}"\noutput = "/dev/null"\n')
    argv = tls_argv(url, proxy_port, cafile, 30)[:-1]
    argv[1:1] = ["-Z", "--parallel-max", str(concurrency), *options,
                 "-w", "%{http_code} %{size_download} %{time_total} %{num_connects}\n",
                 "-K", config]
    began = time.monotonic()
    rc, out, err = measure.run_tool(argv, 60 + count / 20)
    took = time.monotonic() - began
    if rc != 0:
        raise measure.Failure(f"curl exit status {rc}: {measure.last_line(err)}")
    times, connects = [], 0
    for line in out.splitlines():
        code, got, seconds, opened = line.split()
        if code != "200" or int(got) != size:
            raise measure.Failure(f"curl: status {code}, {got} of {size} bytes")
        times.append(float(seconds) * 1000)
        connects += int(opened)
    if len(times) != count:
        raise measure.Failure(f"curl: {len(times)} of {count} exchanges reported")
    times.sort()
    return {"req/s": count / took, "p50 ms": statistics.median(times),
            "p99 ms": times[min(len(times) - 1, int(len(times) * 0.99))],
            "connections": connects}


def short_exchanges(url, proxy_port, cafile, count, concurrency, size, workdir):
    """req/s, p50 ms, p99 ms of `count` TLS GETs, `concurrency` at a time, each on a new
    connection (and so through a new tunnel): the origin's "Connection: close" is asked for,
    so curl never reuses one."""
    figures = parallel_gets(url, proxy_port, cafile, count, concurrency, size, workdir,
                            ["--parallel-immediate", "-H", "Connection: close"])
    del figures["connections"]
    return figures


def download(url, proxy_port, cafile, size, max_time_s):
    """MB/s of one TLS download of `size` bytes."""
    argv = tls_argv(url, proxy_port, cafile, max_time_s)
    argv[1:1] = ["-o", "/dev/null", "-w", "%{http_code} %{size_download} %{time_total}"]
    rc, out, err = measure.run_tool(argv, max_time_s + 5)
    if rc != 0:
        raise measure.Failure(f"curl exit status {rc}: {measure.last_line(err)}")
    code, got, seconds = out.split()
    if code != "200" or int(got) != size:
        raise measure.Failure(f"curl: status {code}, {got} of {size} bytes")
    return size / float(seconds) / 1e6


def open_tunnel(proxy_port, target):
    s = socket.create_connection((LOOPBACK, proxy_port), timeout=TUNNEL_OPEN_TIMEOUT_S)
    s.sendall(f"CONNECT {target} HTTP/1.1\r\nHost: {target}\r\n\r\n".encode())
    head = b""
    while b"\r\n\r\n" not in head:
        piece = s.recv(4096)
        if not piece:
            break
        head += piece
    if not head.split(b" ", 2)[1:2] == [b"200"]:
        s.close()
        raise measure.Failure(f"CONNECT {target}: {head[:60]!r}")
    return s


def idle_tunnel_memory(proxy_port, target, pids_of):
    """The resident memory a proxy holds for IDLE_TUNNELS open tunnels that carry nothing,
    per tunnel in KiB: its RSS with them open less its RSS before they opened."""
    before = measure.rss_bytes(pids_of())
    opened = []
    try:
        for _ in range(IDLE_TUNNELS):
            opened.append(open_tunnel(proxy_port, target))
        time.sleep(SETTLE_S)
        during = measure.rss_bytes(pids_of())
    finally:
        for s in opened:
            s.close()
    return {"KiB/tunnel": max(0, during - before) / 1024 / IDLE_TUNNELS}
