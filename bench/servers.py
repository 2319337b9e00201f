"""The processes the benchmark runs: nginx as the origin, the three peer proxies and
KORVANEL, each started in the foreground from its own configuration in a temporary
directory, listening on a free loopback port, and stopped again by its PID."""

import os
import signal
import socket
import subprocess
import time

LOOPBACK = "127.0.0.1"
START_TIMEOUT_S = 15
STOP_TIMEOUT_S = 10
TAG_SWITCH_COUNT = 56
# The tag switch rows of the A group (<a, </a, <A, </A) and of the SCRIPT group.
TAG_ROWS_A = range(16, 20)
TAG_ROWS_SCRIPT = range(24, 28)
DEFAULT_CHECK_ADDRESS = "http://checker.example.net/dizu8d.cgi"


_handed_out = set()


def free_port():
    """A port the kernel just handed out for loopback; free again when this returns. Never
    one this run handed out before: the kernel may give a port back twice in a row, and
    nginx refuses two listens on one port."""
    while True:
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.bind((LOOPBACK, 0))
            port = s.getsockname()[1]
        if port not in _handed_out:
            _handed_out.add(port)
            return port


def wait_for_port(port, proc, name):
    deadline = time.monotonic() + START_TIMEOUT_S
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            raise RuntimeError(f"{name} exited with status {proc.returncode} at start")
        try:
            with socket.create_connection((LOOPBACK, port), timeout=1):
                return
        except OSError:
            time.sleep(0.05)
    raise RuntimeError(f"{name} did not listen on port {port} within {START_TIMEOUT_S} s")


def descendants(pid):
    """pid and every process below it."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        p = todo.pop()
        found.append(p)
        todo.extend(children.get(p, []))
    return found


class Server:
    """One started process; `port` is where it listens."""

    def __init__(self, name, argv, workdir, port, cwd=None, own_log=None, env=None):
        self.name = name
        self.port = port
        out_path = os.path.join(workdir, f"{name.replace(' ', '_')}.out")
        # Where its messages end up: its output, and a log file it writes itself.
        self.log_paths = [out_path] + ([own_log] if own_log else [])
        self.cleanups = []
        with open(out_path, "wb") as log:
            # A session of its own keeps the terminal's Ctrl-C away from it: the benchmark
            # stops it in order instead.
            self.proc = subprocess.Popen(argv, cwd=cwd or workdir, stdin=subprocess.DEVNULL,
                                         stdout=log, stderr=subprocess.STDOUT,
                                         start_new_session=True, env=env)
        self.known_pids = [self.proc.pid]
        try:
            wait_for_port(port, self.proc, name)
        except RuntimeError:
            self.stop()
            raise RuntimeError(f"{name} did not start; its output: {self.output_tail()}")
        self.known_pids = descendants(self.proc.pid)

    @property
    def pid(self):
        return self.proc.pid

    def pids(self):
        return descendants(self.proc.pid) if self.proc.poll() is None else []

    def alive(self):
        return self.proc.poll() is None

    def output_tail(self, limit=400):
        text = ""
        for path in self.log_paths:
            try:
                with open(path, "rb") as f:
                    text += f.read().decode("utf-8", "replace").strip() + "\n"
            except OSError:
                pass
        return text.strip()[-limit:]

    def terminate(self):
        """Asks it to end (SIGTERM); finish() waits for that."""
        self.known_pids = list(set(self.known_pids) | set(self.pids()))
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)

    def stop(self):
        self.terminate()
        self.finish(time.monotonic() + STOP_TIMEOUT_S)

    def finish(self, deadline):
        """Waits until the deadline, then SIGKILL; then any of its children still left."""
        try:
            self.proc.wait(max(0.0, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()
        for pid in set(self.known_pids) - {self.proc.pid}:
            if is_child_left(pid, self.proc.pid):
                try:
                    os.kill(pid, signal.SIGKILL)
                except OSError:
                    pass
        for cleanup in self.cleanups:
            cleanup()


def is_child_left(pid, parent_pid):
    """Whether pid still names a process started under parent_pid (workers re-parented to
    init when the parent went first), and not a new process that reused the number."""
    try:
        with open(f"/proc/{pid}/stat") as f:
            stat = f.read()
    except OSError:
        return False
    ppid = int(stat[stat.rindex(")") + 2:].split()[1])
    return ppid in (parent_pid, 1)


def write(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


def start_origin(workdir, www, tls_dir=None):
    """nginx serving www over HTTP, and over HTTPS on a second port (`tls_port`) when
    tls_dir holds its certificate (srv.pem, srv.key)."""
    port = free_port()
    tls_port = free_port() if tls_dir else None
    tls_server = ""
    if tls_dir:
        tls_server = f"""    server {{
        listen {LOOPBACK}:{tls_port} ssl backlog=4096;
        ssl_certificate {tls_dir}/srv.pem;
        ssl_certificate_key {tls_dir}/srv.key;
        root {www};
    }}
"""
    conf = os.path.join(workdir, "nginx.conf")
    temp = os.path.join(workdir, "nginx-temp")
    os.makedirs(temp, exist_ok=True)
    temp_paths = "".join(f"    {kind}_temp_path {temp}/{kind};\n"
                         for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    write(conf, f"""daemon off;
master_process on;
worker_processes 1;
pid {workdir}/nginx.pid;
error_log {workdir}/nginx-error.log error;
events {{ worker_connections 4096; }}
http {{
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_requests 1000000;
    keepalive_timeout 60s;
    types {{ text/html html; application/octet-stream bin; }}
    default_type application/octet-stream;
{temp_paths}    server {{
        listen {LOOPBACK}:{port} backlog=4096;
        root {www};
    }}
{tls_server}}}
""")
    server = Server("nginx", ["nginx", "-p", workdir, "-c", conf, "-e",
                              f"{workdir}/nginx-error.log"], workdir, port)
    server.tls_port = tls_port
    if tls_port:
        wait_for_port(tls_port, server.proc, "nginx (HTTPS)")
    return server


def start_tinyproxy(workdir):
    port = free_port()
    conf = os.path.join(workdir, "tinyproxy.conf")
    # As root it must drop to another user; otherwise it stays who it is.
    user = "User nobody\nGroup nogroup\n" if os.geteuid() == 0 else ""
    write(conf, f"""{user}Port {port}
Listen {LOOPBACK}
Timeout 600
MaxClients 256
LogLevel Critical
Allow {LOOPBACK}
""")
    return Server("tinyproxy", ["tinyproxy", "-d", "-c", conf], workdir, port)


def privoxy_common_lines(workdir, port):
    """The configuration lines every Privoxy of the benchmark shares: its port, no remote
    toggling or editing, kept client connections, 256 clients."""
    return f"""confdir /etc/privoxy
logdir {workdir}
listen-address {LOOPBACK}:{port}
toggle 1
enable-remote-toggle 0
enable-remote-http-toggle 0
enable-edit-actions 0
accept-intercepted-requests 0
keep-alive-timeout 5
socket-timeout 300
max-client-connections 256
"""


def start_privoxy(workdir, connect_port=None):
    """Privoxy; with connect_port, an action file of its own lets CONNECT reach that port
    (its default is 443 only)."""
    port = free_port()
    conf = os.path.join(workdir, "privoxy.conf")
    actions = ""
    if connect_port:
        action_file = os.path.join(workdir, "tunnel.action")
        write(action_file, f"{{+limit-connect{{{connect_port}}}}}\n/\n")
        actions = f"actionsfile {action_file}\n"
    # No logfile line: Privoxy then logs nothing but fatal errors. No action or filter
    # files: it forwards without rewriting. keep-alive-timeout lets clients keep their
    # connections open between requests.
    write(conf, privoxy_common_lines(workdir, port) + actions)
    return Server("privoxy", ["privoxy", "--no-daemon", conf], workdir, port)


def squid_common_lines(squid_dir):
    """What every Squid of the bench is configured with: loopback clients only, no cache, no
    logs but its own, a quick stop."""
    return f"""acl bench_clients src {LOOPBACK}/32
http_access allow bench_clients
http_access deny all
cache deny all
cache_mem 0 MB
access_log none
cache_store_log none
cache_log {squid_dir}/cache.log
logfile_rotate 0
pid_filename none
netdb_filename none
coredump_dir {squid_dir}
shutdown_lifetime 0 seconds
max_filedescriptors 8192
pinger_enable off
"""


def start_squid(workdir):
    port = free_port()
    squid_dir = os.path.join(workdir, "squid")
    os.makedirs(squid_dir, exist_ok=True)
    os.chmod(squid_dir, 0o777)  # Squid drops to its own user after reading the file.
    conf = os.path.join(workdir, "squid.conf")
    # A service name of its own keeps its shared memory segments apart from any other Squid.
    service = f"kbench{os.getpid()}"
    write(conf, f"http_port {LOOPBACK}:{port}\n" + squid_common_lines(squid_dir))
    try:
        server = Server("squid", ["squid", "-N", "-n", service, "-f", conf], workdir, port,
                        own_log=f"{squid_dir}/cache.log")
    except RuntimeError:
        remove_shared_memory(service)
        raise
    server.cleanups.append(lambda: remove_shared_memory(service))
    return server


def remove_shared_memory(service):
    """The segments a Squid of this service name left behind when it did not end in order."""
    for name in os.listdir("/dev/shm"):
        if name.startswith(service + "-"):
            try:
                os.remove(os.path.join("/dev/shm", name))
            except OSError:
                pass


def korvanel_data(port, log_mode, tag_rows=(), tunnel_port=None, auto_start="0",
                  inspect_ca_file=None):
    """The default `data` text with the port, the four header/access log modes and the
    given tag switch rows set to "1"; with tunnel_port, CONNECT tunnels on and allowed to
    that port (the sections after :END); with inspect_ca_file also inspection on, with
    that file as the extra trust for origins. A window starts its server at once only with
    auto_start "2"; without a display the server always starts."""
    tags = ["1" if i in tag_rows else "0" for i in range(TAG_SWITCH_COUNT)]
    lines = [":TUG_JOB", ":".join(tags), ":HTTP_VERSION", "1.1"]
    for section in ("ACCESS_LOG", "SEND_HEADER_LOG", "RECV_HEADER_LOG", "SEND_RECV_HEADER_LOG"):
        lines += [f":{section}", log_mode]
    lines += [":KORV_PORT", str(port), ":PROXY_SERVER", "0", ":COOKIE", "0", ":SET_COOKIE",
              "0", ":USER_AGENT", "0", ":USER_AGENT_LIST", ":PROXY_LIST", ":SEND_HEADER_LIST",
              ":RECV_HEADER_LIST", ":AUTO_START", auto_start, ":KORVANEL_COLOR", "DEFAULT",
              ":CHECK_PROXY_ADDRESS", DEFAULT_CHECK_ADDRESS, ":WINDOW_INFO",
              "920:700:300:10:10", ":END"]
    if tunnel_port:
        lines += [":HTTPS_TUNNEL", "1", ":TUNNEL_PORTS", str(tunnel_port)]
    if inspect_ca_file:
        lines += [":HTTPS_INSPECT", "1", ":EXTRA_CA_FILE", inspect_ca_file]
    return "".join(line + "\r\n" for line in lines)


def start_korvanel(workdir, program, name, log_mode, tag_rows=(), tunnel_port=None,
                   display=None, env_extra=None, inspect_ca_file=None):
    """Headless, or with `display` its window, its server started at once either way."""
    port = free_port()
    home = os.path.join(workdir, name.replace(" ", "_").replace(",", ""))
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, "data"), "wb") as f:
        f.write(korvanel_data(port, log_mode, tag_rows, tunnel_port,
                              "2" if display else "0", inspect_ca_file).encode("ascii"))
    env = dict(os.environ, **(env_extra or {}))
    env.pop("WAYLAND_DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    server = Server(name, [program], workdir, port, cwd=home, env=env)
    server.home = home
    return server
