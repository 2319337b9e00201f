"""The proxy program run from a Python test as a user runs it headless: its `data` written
first (the listening port and the rewrites the test wants), started in a folder of its own
without a display, stopped with SIGTERM by its process id."""

import os
import random
import signal
import socket
import subprocess
import time

# The tag groups in the order of the tag line of `data`, four rows each.
TAG_GROUPS = ["LINK", "INPUT", "BODY", "FONT", "A", "IMG", "SCRIPT", "STYLE", "APPLET",
              "OBJECT", "EMBED", "META", "IFRAME", "ALL"]
ROWS_PER_GROUP = 4

START_LIMIT_S = 5
STOP_LIMIT_S = 10  # the orderly stop pauses one second; a sanitizer build is slower
STARTED_TEXT = "サーバを開始しました PORT::"


def unused_loopback_port():
    """A port on 127.0.0.1 that nothing is bound to now, below the ephemeral range so that
    no connect in the meantime can be handed it."""
    for _ in range(100):
        port = random.randrange(20000, 32000)
        with socket.socket() as probe:
            try:
                probe.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    raise RuntimeError("no unused loopback port")


def data_text(port, tag_groups=(), remove_cookies=False, remove_set_cookies=False,
              user_agent=""):
    """A whole `data` file: the defaults of a new one, with the given port and rewrites."""
    rows = []
    for group in TAG_GROUPS:
        rows += ["1" if group in tag_groups else "0"] * ROWS_PER_GROUP
    sections = [
        (":TUG_JOB", "".join(row + ":" for row in rows)),
        (":LOCAL_OR_PASSIVE", "local"),
        (":ALLOW_USER", "127.0.0.1to127.0.0.1"),
        (":HTTP_VERSION", "1.1"),
        (":ACCESS_LOG", "0"),
        (":SEND_HEADER_LOG", "0"),
        (":RECV_HEADER_LOG", "0"),
        (":SEND_RECV_HEADER_LOG", "0"),
        (":KORV_PORT", str(port)),
        (":PROXY_SERVER", ""),
        (":COOKIE", "1" if remove_cookies else "0"),
        (":SET_COOKIE", "1" if remove_set_cookies else "0"),
        (":USER_AGENT", user_agent),
        (":USER_AGENT_LIST", None),
        (":PROXY_LIST", None),
        (":SEND_HEADER_LIST", None),
        (":RECV_HEADER_LIST", None),
        (":AUTO_START", "0"),
        (":KORVANEL_COLOR", "DEFAULT"),
        (":CHECK_PROXY_ADDRESS", "http://checker.example.net/dizu8d.cgi"),
        (":WINDOW_INFO", "920:700:300:10:10"),
        (":END", None),
    ]
    lines = []
    for header, value in sections:
        lines.append(header)
        if value is not None:
            lines.append(value)
    return "".join(line + "\r\n" for line in lines)


def headless_environment(**overrides):
    """This process's environment without a display, with `overrides` on top."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(overrides)
    return env


class RunningProgram:
    """A program started in `folder` (standard output and error in files there), waited
    for by the text it prints, stopped by SIGTERM; killed if a test leaves it running."""

    def __init__(self, command, folder, env=None):
        self.folder = folder
        self._out_path = os.path.join(folder, "stdout.txt")
        self._err_path = os.path.join(folder, "stderr.txt")
        with open(self._out_path, "wb") as out, open(self._err_path, "wb") as err:
            self.process = subprocess.Popen(command, cwd=folder, stdout=out, stderr=err,
                                            stdin=subprocess.DEVNULL,
                                            env=env or headless_environment())

    def out(self):
        with open(self._out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def err(self):
        with open(self._err_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def wait_output(self, text, limit_s=START_LIMIT_S):
        deadline = time.monotonic() + limit_s
        while time.monotonic() < deadline:
            if text in self.out():
                return True
            if self.process.poll() is not None:
                return text in self.out()
            time.sleep(0.02)
        return False

    def wait_exit(self, limit_s=STOP_LIMIT_S):
        try:
            return self.process.wait(timeout=limit_s)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        """SIGTERM by process id; the exit status, or None when it did not end in time."""
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGTERM)
        return self.wait_exit()

    def kill(self):
        if self.process.poll() is None:
            os.kill(self.process.pid, signal.SIGKILL)
            self.process.wait()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.kill()


def start_proxy(program, folder, port, **rewrites):
    """Writes `data` for `port` and the rewrites into `folder` and starts `program` there;
    returns the running program once it listens (raises with its output otherwise)."""
    with open(os.path.join(folder, "data"), "w", encoding="utf-8", newline="") as f:
        f.write(data_text(port, **rewrites))
    proxy = RunningProgram([program], folder)
    if not proxy.wait_output(STARTED_TEXT + str(port)):
        proxy.kill()
        raise RuntimeError("the proxy did not start:\n" + proxy.out() + proxy.err())
    return proxy
