#!/usr/bin/env python3
"""With a SOCKS5 upstream no DNS query for the target leaves the proxy: the name goes to the
SOCKS server. The proof runs in a network and mount namespace of its own: the proxy program
(build/korvanel, headless) sees a resolv.conf that points at a DNS watcher of this test, which
logs every name asked and answers that none exists, and a hosts file without the target;
microsocks, in a mount namespace of its own beneath, has a hosts file that maps the target's
name, which nothing else can. Through microsocks the page loads and the watcher saw no query;
straight (the control), the proxy asks the watcher for the name and the page does not load.
Needs root (the namespaces and port 53); exits 77 (skipped) without it or without microsocks."""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.environ.get("KORVANEL_SOURCE_DIR", ""), "tests", "support"))
import korvanel_program  # noqa: E402

SKIP = 77
TARGET = "only-socks.test"


def watch_dns(names, ready):
    """Answers every query on 127.0.0.1:53 with "no such name", keeping the names asked."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as server:
        server.bind(("127.0.0.1", 53))
        ready.set()
        while True:
            packet, peer = server.recvfrom(4096)
            if len(packet) < 12:
                continue
            labels, at = [], 12
            while at < len(packet) and packet[at] != 0:
                length = packet[at]
                labels.append(packet[at + 1:at + 1 + length].decode("latin-1"))
                at += 1 + length
            names.append(".".join(labels).lower())
            # The same id and question, flags "response, recursion available, NXDOMAIN".
            answer = packet[:2] + b"\x81\x83" + packet[4:6] + b"\x00\x00\x00\x00\x00\x00"
            server.sendto(answer + packet[12:at + 5], peer)


def fetch(proxy_port, url):
    """curl through the proxy: the body and the answer's code."""
    done = subprocess.run(["curl", "-s", "--noproxy", "", "--max-time", "10", "-x",
                           f"127.0.0.1:{proxy_port}", "-w", " %{http_code}", url],
                          capture_output=True, text=True, check=False)
    return done.stdout


def run_proxy(folder, port, kinds):
    """The program headless in `folder`, with microsocks as its proxy (of `kinds`) or none."""
    data = korvanel_program.data_text(port)
    if kinds is not None:
        socks = kinds[0]
        data = data.replace(":PROXY_SERVER\r\n\r\n", f":PROXY_SERVER\r\n{socks}\r\n")
        data = data.replace(":PROXY_LIST\r\n", f":PROXY_LIST\r\n0:0:1:{socks}\r\n")
        data += f":PROXY_KINDS\r\n{socks} {kinds[1]}\r\n"
    with open(os.path.join(folder, "data"), "w", newline="") as out:
        out.write(data)
    program = subprocess.Popen([os.environ["KORVANEL_PROGRAM"]], cwd=folder,
                               env=korvanel_program.headless_environment(),
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_listening(port)
    return program


def wait_listening(port, limit_s=5):
    end = time.monotonic() + limit_s
    while time.monotonic() < end:
        with socket.socket() as probe:
            if probe.connect_ex(("127.0.0.1", port)) == 0:
                return
        time.sleep(0.05)
    raise RuntimeError(f"nothing listens on {port}")


def stop(process):
    process.terminate()
    process.wait(timeout=10)


def inside():
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    folder = tempfile.mkdtemp(prefix="kv-socks-names-")
    processes = []
    try:
        # This namespace's own resolver settings: the watcher, and no name of the target.
        for name, text in (("resolv.conf", "nameserver 127.0.0.1\noptions timeout:1 attempts:1\n"),
                           ("hosts", "127.0.0.1 localhost\n"),
                           ("hosts-socks", f"127.0.0.1 localhost\n127.0.0.1 {TARGET}\n")):
            with open(os.path.join(folder, name), "w") as out:
                out.write(text)
        for name in ("resolv.conf", "hosts"):
            subprocess.run(["mount", "--bind", os.path.join(folder, name), f"/etc/{name}"],
                           check=True)
        names, ready = [], threading.Event()
        threading.Thread(target=watch_dns, args=(names, ready), daemon=True).start()
        ready.wait(5)

        page_folder = os.path.join(folder, "site")
        os.mkdir(page_folder)
        with open(os.path.join(page_folder, "page.html"), "w") as out:
            out.write("reached by name through the SOCKS server")
        origin_port = korvanel_program.unused_loopback_port()
        processes.append(subprocess.Popen(
            [sys.executable, "-m", "http.server", str(origin_port), "--bind", "127.0.0.1",
             "--directory", page_folder], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        socks_port = korvanel_program.unused_loopback_port()
        processes.append(subprocess.Popen(
            ["unshare", "--mount", "sh", "-c",
             f"mount --bind {folder}/hosts-socks /etc/hosts && "
             f"exec microsocks -i 127.0.0.1 -p {socks_port}"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_listening(origin_port)
        wait_listening(socks_port)
        url = f"http://{TARGET}:{origin_port}/page.html"

        proxy_port = korvanel_program.unused_loopback_port()
        program = run_proxy(folder, proxy_port, (f"127.0.0.1:{socks_port}", "socks5"))
        through_socks = fetch(proxy_port, url)
        stop(program)
        asked_through_socks = [n for n in names if TARGET in n]

        program = run_proxy(folder, proxy_port, None)
        straight = fetch(proxy_port, url)
        stop(program)
        asked_straight = [n for n in names if TARGET in n]
    finally:
        for process in reversed(processes):
            process.terminate()
            process.wait(timeout=10)
        shutil.rmtree(folder, ignore_errors=True)

    failures = []
    if through_socks != "reached by name through the SOCKS server 200":
        failures.append(f"through SOCKS5 the page did not load: {through_socks!r}")
    if asked_through_socks:
        failures.append(f"through SOCKS5 the proxy asked DNS for {asked_through_socks}")
    if straight.endswith(" 200") or not asked_straight:
        failures.append(f"the control went wrong: {straight[-40:]!r}, asked {asked_straight}")
    for failure in failures:
        print("FAIL:", failure)
    print("ok" if not failures else f"{len(failures)} failure(s)")
    return 1 if failures else 0


def main():
    if os.environ.get("KV_SOCKS_NAMES_INSIDE") == "1":
        return inside()
    if os.geteuid() != 0 or shutil.which("microsocks") is None or shutil.which("unshare") is None:
        print("skipped: needs root, unshare and microsocks")
        return SKIP
    env = dict(os.environ, KV_SOCKS_NAMES_INSIDE="1")
    return subprocess.run(["unshare", "--net", "--mount", "--", sys.executable,
                           os.path.abspath(__file__)], env=env, check=False).returncode


if __name__ == "__main__":
    sys.exit(main())
