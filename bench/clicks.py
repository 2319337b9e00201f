"""How fast the window answers a click while requests pass through it: a virtual X display
(Xvfb) with a window manager (openbox), the real window on it, `ab` keeping a steady load of
small requests through the proxy, and single clicks (xdotool) on the tabs of the log panes.
The window writes when it has answered each tab change (its probe, switched on by
KORVANEL_TAB_TRACE); a click's latency runs from just before the click is sent until then.
With `a11y`, each window also runs in a D-Bus session of its own with the accessibility bus
and a stand-in for a screen reader (screen_reader.py), as on a desktop where one is on."""

import os
import re
import signal
import statistics
import subprocess
import sys
import time

import measure
import servers

LOOPBACK = servers.LOOPBACK
DISPLAY_START_TIMEOUT_S = 10
PLACED_TIMEOUT_S = 10
CLICK_TIMEOUT_S = 20  # a click not answered by then counts as this long
LOAD_WARM_UP_S = 1.5
PAUSE_BETWEEN_CLICKS_S = 0.4
TRACE_POLL_S = 0.002
HERE = os.path.dirname(os.path.abspath(__file__))
AT_SPI_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


def group_stop(proc):
    """Ends a process started in a session of its own, and what it started there."""
    if proc is None or proc.poll() is not None:
        return
    try:
        os.killpg(proc.pid, signal.SIGTERM)
        proc.wait(5)
    except subprocess.TimeoutExpired:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
    except ProcessLookupError:
        pass


class ScreenReader:
    """A D-Bus session with the accessibility bus and a listener for what a screen reader
    hears; `env` is what a program needs to join it with its accessibility bridge on."""

    def __init__(self, workdir):
        self.procs = []
        quiet = dict(stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                     start_new_session=True)
        try:
            daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                                       "--print-address=1"], stdout=subprocess.PIPE, **quiet)
            self.procs.append(daemon)
            address = daemon.stdout.readline().decode().strip()
            if not address:
                raise RuntimeError("dbus-daemon gave no address")
            self.env = {"DBUS_SESSION_BUS_ADDRESS": address,
                        "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
            env = dict(os.environ, **self.env)
            self.procs.append(subprocess.Popen([AT_SPI_LAUNCHER, "--launch-immediately"],
                                               env=env, stdout=subprocess.DEVNULL, **quiet))
            time.sleep(1)
            listener = subprocess.Popen(["/usr/bin/python3",
                                         os.path.join(HERE, "screen_reader.py")],
                                        env=env, stdout=subprocess.PIPE, **quiet)
            self.procs.append(listener)
            if listener.stdout.readline().strip() != b"listening":
                raise RuntimeError("the screen reader's stand-in did not start")
        except BaseException:
            self.stop()
            raise

    def stop(self):
        for proc in reversed(self.procs):
            group_stop(proc)


class Display:
    """Xvfb on a display number it picks itself, with openbox framing the windows."""

    def __init__(self, workdir, size="1366x768x24"):
        read_end, write_end = os.pipe()
        log = open(os.path.join(workdir, "xvfb.out"), "ab")
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", size, "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=log, stderr=subprocess.STDOUT,
            stdin=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        log.close()
        self.wm = None
        number = b""
        deadline = time.monotonic() + DISPLAY_START_TIMEOUT_S
        try:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                chunk = os.read(read_end, 16)
                if not chunk:
                    break
                number += chunk
        finally:
            os.close(read_end)
        if not number.strip().isdigit():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number.strip().decode()}"
        env = dict(os.environ, DISPLAY=self.name)
        self.wm = subprocess.Popen(["openbox"], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL,
                                   start_new_session=True)
        time.sleep(0.5)

    def stop(self):
        for proc in (self.wm, self.xvfb):
            if proc and proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()


def start_window(workdir, program, name, panes_on, a11y=False):
    """The window on a display of its own (windows that overlap would take each other's
    clicks), its server started and the four logs in their panes ("0") or off ("3");
    `trace` is where its probe writes. With `a11y`, a screen reader listens."""
    trace = os.path.join(workdir, name.replace(" ", "_").replace(",", "") + ".trace")
    display = Display(workdir)
    reader = None
    try:
        reader = ScreenReader(workdir) if a11y else None
        env = dict(reader.env if reader else {}, KORVANEL_TAB_TRACE=trace)
        server = servers.start_korvanel(workdir, program, name, "0" if panes_on else "3",
                                        display=display.name, env_extra=env)
    except BaseException:
        if reader:
            reader.stop()
        display.stop()
        raise
    server.trace = trace
    server.display = display
    server.cleanups.append(display.stop)
    if reader:
        server.cleanups.append(reader.stop)
    return server


def read_trace(path):
    try:
        with open(path) as f:
            return f.read().splitlines()
    except OSError:
        return []


def tab_positions(trace):
    deadline = time.monotonic() + PLACED_TIMEOUT_S
    while time.monotonic() < deadline:
        found = {}
        for line in read_trace(trace):
            m = re.fullmatch(r"tab (\d+) (-?\d+) (-?\d+)", line)
            if m:
                found[int(m.group(1))] = (int(m.group(2)), int(m.group(3)))
        if len(found) >= 2:
            return found
        time.sleep(0.05)
    raise measure.Failure("the window's probe gave no tab positions (KORVANEL_TAB_TRACE)")


def answered_after(trace, seen, index):
    """The time (monotonic seconds) of the first `shown index` line after the first `seen`
    lines, or None."""
    lines = read_trace(trace)
    for line in lines[seen:]:
        parts = line.split()
        if len(parts) == 3 and parts[0] == "shown" and int(parts[1]) == index:
            return int(parts[2]) / 1e9
    return None


def click(display, x, y):
    env = dict(os.environ, DISPLAY=display.name)
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], env=env,
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def start_load(url, proxy_port, concurrency, workdir):
    """ab with a new connection per request, running until stop_load()."""
    out = open(os.path.join(workdir, "clicks-ab.out"), "wb")
    proc = subprocess.Popen(["ab", "-q", "-t", "3600", "-n", "100000000", "-c",
                             str(concurrency), "-s", str(measure.AB_SOCKET_TIMEOUT_S), "-X",
                             f"{LOOPBACK}:{proxy_port}", url], stdout=out,
                            stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                            start_new_session=True)
    out.close()
    return proc


def stop_load(proc, workdir):
    """Stops ab with SIGINT, on which it prints what it did so far; its req/s."""
    if proc.poll() is None:
        proc.send_signal(signal.SIGINT)
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    with open(os.path.join(workdir, "clicks-ab.out"), errors="replace") as f:
        out = f.read()
    m = re.search(r"Requests per second:\s+([0-9.]+)", out)
    if not m:
        raise measure.Failure(f"ab under the clicks: {measure.last_line(out)}")
    return float(m.group(1))


def gui_thread_seconds(pid):
    """CPU time (user and system) of the process's main thread, which runs its window."""
    with open(f"/proc/{pid}/task/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def start_busy(count):
    """`count` processes that spin, as other programs on a busy desktop do."""
    return [subprocess.Popen([sys.executable, "-c", "while True: pass"],
                             stdin=subprocess.DEVNULL, start_new_session=True)
            for _ in range(count)]


def stop_busy(procs):
    for proc in procs:
        proc.kill()
        proc.wait()


def percentile(values, pct):
    ordered = sorted(values)
    rank = max(0, min(len(ordered) - 1, round(pct / 100 * len(ordered) + 0.5) - 1))
    return ordered[rank]


def click_latencies(window, url, concurrency, clicks, workdir, busy=0):
    """p50, p95 and the longest click latency in ms, the share of a core the window's
    thread used meanwhile, and the load's req/s; with `busy` spinning processes beside."""
    tabs = tab_positions(window.trace)
    spinning = start_busy(busy)
    load = start_load(url, window.port, concurrency, workdir)
    latencies = []
    try:
        time.sleep(LOAD_WARM_UP_S)
        began, gui_began = time.monotonic(), gui_thread_seconds(window.pid)
        for n in range(clicks):
            if load.poll() is not None:
                raise measure.Failure(f"ab ended during the clicks (status {load.returncode})")
            index = 1 if n % 2 == 0 else 0
            seen = len(read_trace(window.trace))
            sent = time.monotonic()
            click(window.display, *tabs[index])
            deadline = sent + CLICK_TIMEOUT_S
            answered = None
            while answered is None and time.monotonic() < deadline:
                answered = answered_after(window.trace, seen, index)
                if answered is None:
                    time.sleep(TRACE_POLL_S)
            latencies.append((answered - sent) if answered is not None else CLICK_TIMEOUT_S)
            time.sleep(PAUSE_BETWEEN_CLICKS_S)
        gui = (gui_thread_seconds(window.pid) - gui_began) / (time.monotonic() - began)
    finally:
        stop_busy(spinning)
        rate = stop_load(load, workdir)
    ms = [v * 1000 for v in latencies]
    return {"click p50 ms": statistics.median(ms), "click p95 ms": percentile(ms, 95),
            "click max ms": max(ms), "GUI CPU %": gui * 100, "load req/s": rate}
