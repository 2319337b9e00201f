"""Today's browsers set and reset as the menu does it, with the real programs from Debian:
Firefox ESR in a fresh home folder (profiles under ~/.config, the one its install opens)
and Chromium following GNOME's proxy settings (GSettings on dconf, on a session bus of the
test's own). Each loads a page of the test's origin, named origin.test, through the proxy
(seen in its access log) after the set and straight after the reset.

The name origin.test exists only inside this test: it runs in a mount namespace of its own
with a hosts file bind-mounted over /etc/hosts, so nothing on the machine changes.

Run by ctest with KORVANEL_PROGRAM, KORVANEL_COMMAND_TOOL and KORVANEL_SOURCE_DIR set."""

import http.server
import os
import shutil
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HOSTS_MARK = "KORVANEL_TEST_PRIVATE_HOSTS"
if os.environ.get(HOSTS_MARK) is None:
    hosts = tempfile.NamedTemporaryFile("w", prefix="korvanel-hosts-", delete=False)
    hosts.write("127.0.0.1 localhost\n127.0.0.1 origin.test\n::1 localhost\n")
    hosts.close()
    os.environ[HOSTS_MARK] = hosts.name
    os.execvp("unshare", ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                          'mount --bind "$0" /etc/hosts && exec "$@"', hosts.name,
                          sys.executable, os.path.abspath(__file__)])

PROGRAM = os.environ["KORVANEL_PROGRAM"]
TOOL = os.environ["KORVANEL_COMMAND_TOOL"]
sys.path.insert(0, os.path.join(os.environ["KORVANEL_SOURCE_DIR"], "tests", "support"))

import korvanel_program as kp  # noqa: E402

FIREFOX = shutil.which("firefox-esr")
CHROMIUM = "/usr/lib/chromium/chromium"
BROWSER_LIMIT_S = 40
CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-default-apps", "--no-default-browser-check",
    "--disable-features=NetworkTimeServiceQuerying", "--disable-dev-shm-usage",
    # Every name but the test's own fails inside the browser: nothing leaves the machine.
    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE origin.test, EXCLUDE 127.0.0.1",
]


class Origin(http.server.ThreadingHTTPServer):
    def __init__(self, tls=None):
        super().__init__(("127.0.0.1", 0), OriginHandler)
        self.paths = []
        if tls:
            self.socket = tls.wrap_socket(self.socket, server_side=True)
        threading.Thread(target=self.serve_forever, daemon=True).start()


class OriginHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        self.server.paths.append(self.path.split("origin.test", 1)[-1].split(":", 1)[-1])
        body = b"<html><body><p id='seen'>page of the origin</p></body></html>"
        self.send_response(200)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def pid_alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class DesktopBrowsersTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="korvanel-browsers-")
        self.home = os.path.join(self.dir, "home")
        os.makedirs(self.home)
        self.folder = os.path.join(self.dir, "proxy")
        os.makedirs(self.folder)
        self.origin = Origin()
        self.port = kp.unused_loopback_port()
        self.proxy = kp.start_proxy(PROGRAM, self.folder, self.port)
        self.started = []  # PIDs of programs to end
        self.pipes = []
        self.env = kp.headless_environment(HOME=self.home)
        for name in ("XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP", "DBUS_SESSION_BUS_ADDRESS"):
            self.env.pop(name, None)

    def tearDown(self):
        for pid in self.started:
            if pid_alive(pid):
                os.kill(pid, signal.SIGKILL)
        for pipe in self.pipes:
            pipe.close()
        self.proxy.kill()
        self.origin.shutdown()
        self.origin.server_close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def url(self, path):
        return f"http://origin.test:{self.origin.server_address[1]}{path}"

    def command(self, action, browser, *options):
        run = subprocess.run([TOOL, self.folder, str(self.port), action, browser, *options],
                             env=self.env, capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        return run.stdout

    def through_proxy(self, path):
        """Whether the proxy's access log (its standard output, written by its logger
        thread a moment later) shows the path; a path that never came is waited for."""
        return self.proxy.wait_output(path, limit_s=3)

    # ---- Firefox ----

    def firefox(self, *arguments):
        """Firefox until its screenshot is taken; an error page (a refused certificate, a
        name not found) never finishes one, so it ends at the limit instead."""
        try:
            subprocess.run([FIREFOX, "--headless", *arguments], env=self.env,
                           capture_output=True, timeout=BROWSER_LIMIT_S)
        except subprocess.TimeoutExpired:
            pass

    def end_firefox_of(self, profile):
        """Ends the Firefox the command started (named by the profile's lock) so that it
        writes prefs.js, as a user closing it would."""
        deadline = time.monotonic() + 20
        pid = 0
        while time.monotonic() < deadline and not pid:
            try:
                pid = int(os.readlink(os.path.join(profile, "lock")).rsplit("+", 1)[1])
            except (OSError, ValueError):
                time.sleep(0.1)
        self.assertTrue(pid, "the started Firefox never opened the profile")
        self.started.append(pid)
        os.kill(pid, signal.SIGTERM)
        while time.monotonic() < deadline and pid_alive(pid):
            time.sleep(0.1)
        self.assertFalse(pid_alive(pid))

    @unittest.skipUnless(FIREFOX, "firefox-esr is not installed")
    def test_firefox_esr_in_a_fresh_home(self):
        # Firefox makes its own profiles at its first start.
        self.firefox("--screenshot", os.path.join(self.dir, "first.png"), "about:blank")
        firefox = os.path.join(self.home, ".config", "mozilla", "firefox")
        with open(os.path.join(firefox, "profiles.ini")) as f:
            used = [line.split("=", 1)[1].strip() for line in f
                    if line.startswith("Default=") and line.strip() != "Default=1"][0]
        profile = os.path.join(firefox, used)
        self.env["MOZ_HEADLESS"] = "1"  # the Firefox the command starts, too

        log = self.command("set", "firefox")
        self.assertIn("Firefoxにセットしました: " + profile + "/", log)
        self.end_firefox_of(profile)
        with open(os.path.join(profile, "prefs.js")) as f:
            prefs = f.read()
        self.assertIn(f'user_pref("network.proxy.http_port", {self.port});', prefs)
        self.assertIn('user_pref("network.proxy.type", 1);', prefs)
        self.assertFalse(os.path.exists(os.path.join(profile, "user.js")))

        self.firefox("--screenshot", os.path.join(self.dir, "set.png"), self.url("/firefox-set"))
        self.assertIn("/firefox-set", self.origin.paths)
        self.assertTrue(self.through_proxy("/firefox-set"), self.proxy.out())

        log = self.command("reset", "firefox")
        self.assertIn("Firefoxをリセットしました: " + profile + "/", log)
        self.end_firefox_of(profile)
        with open(os.path.join(profile, "prefs.js")) as f:
            self.assertIn('user_pref("network.proxy.type", 0);', f.read())
        self.firefox("--screenshot", os.path.join(self.dir, "reset.png"),
                     self.url("/firefox-reset"))
        self.assertIn("/firefox-reset", self.origin.paths)
        self.assertFalse(self.through_proxy("/firefox-reset"), self.proxy.out())

    def tls_origin(self):
        """An HTTPS origin for origin.test, its certificate from a CA of the test's own."""
        def openssl(*arguments):
            subprocess.run(["openssl", *arguments], cwd=self.dir, check=True,
                           capture_output=True)
        openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
                "-subj", "/CN=Origin Test CA", "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                "-keyout", "srv.key", "-out", "srv.csr", "-subj", "/CN=origin.test")
        with open(os.path.join(self.dir, "ext.cnf"), "w") as f:
            f.write("subjectAltName=DNS:origin.test\nextendedKeyUsage=serverAuth\n")
        openssl("x509", "-req", "-in", "srv.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", "srv.pem", "-days", "2", "-extfile", "ext.cnf")
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(os.path.join(self.dir, "srv.pem"), os.path.join(self.dir, "srv.key"))
        return Origin(tls), os.path.join(self.dir, "ca.pem")

    @unittest.skipUnless(FIREFOX, "firefox-esr is not installed")
    def test_firefox_esr_loads_an_inspected_page_without_a_certificate_error(self):
        origin, origin_ca = self.tls_origin()
        self.proxy.kill()
        with open(os.path.join(self.folder, "data"), "w", encoding="utf-8", newline="") as f:
            f.write(kp.data_text(self.port) + ":HTTPS_TUNNEL\r\n1\r\n:TUNNEL_PORTS\r\n" +
                    str(origin.server_address[1]) + "\r\n:HTTPS_INSPECT\r\n1\r\n"
                    ":EXTRA_CA_FILE\r\n" + origin_ca + "\r\n")
        self.proxy = kp.RunningProgram([PROGRAM], self.folder)
        self.assertTrue(self.proxy.wait_output(kp.STARTED_TEXT + str(self.port)),
                        self.proxy.out() + self.proxy.err())
        self.firefox("--screenshot", os.path.join(self.dir, "first.png"), "about:blank")
        self.env["MOZ_HEADLESS"] = "1"

        log = self.command("set", "firefox", "inspect")
        self.assertIn("Firefoxにセットしました", log)
        self.assertIn("CA証明書の登録:Firefoxに登録しました", log)
        profile = log.split("Firefoxにセットしました: ", 1)[1].split("\n", 1)[0].strip()
        self.end_firefox_of(profile)
        try:
            url = f"https://origin.test:{origin.server_address[1]}/inspected"
            self.firefox("--screenshot", os.path.join(self.dir, "https.png"), url)
        finally:
            origin.shutdown()
            origin.server_close()
        # An error page never finishes a screenshot: the page came, through the inspection.
        self.assertIn("/inspected", origin.paths)
        self.assertIn("https://origin.test", self.proxy.out())

    # ---- Chromium under GNOME ----

    def start_session_bus(self):
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               env=self.env, stdout=subprocess.PIPE, text=True)
        self.started.append(bus.pid)
        self.pipes.append(bus.stdout)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        self.env["XDG_CURRENT_DESKTOP"] = "GNOME"
        self.env["GSETTINGS_BACKEND"] = "dconf"

    def gsetting(self, schema, key):
        return subprocess.run(["gsettings", "get", schema, key], env=self.env,
                              capture_output=True, text=True, timeout=20).stdout.strip()

    def chromium(self, path):
        data = os.path.join(self.dir, "chromium-" + path.strip("/"))
        run = subprocess.run([CHROMIUM, *CHROMIUM_FLAGS, "--user-data-dir=" + data,
                              "--dump-dom", self.url(path)],
                             env=self.env, capture_output=True, text=True,
                             timeout=BROWSER_LIMIT_S)
        return run.stdout + run.stderr[-3000:]

    @unittest.skipUnless(os.path.exists(CHROMIUM) and shutil.which("dbus-daemon"),
                         "chromium or dbus is not installed")
    def test_chromium_follows_the_gnome_settings(self):
        self.start_session_bus()
        proxy = "org.gnome.system.proxy"
        self.assertEqual(self.gsetting(proxy, "mode"), "'none'")

        log = self.command("set", "desktop")
        self.assertIn(f"デスクトップの設定(GNOME)をKORVANELにセットしました: 127.0.0.1:{self.port}", log)
        self.assertEqual(self.gsetting(proxy, "mode"), "'manual'")
        self.assertEqual(self.gsetting(proxy + ".http", "port"), str(self.port))
        self.assertIn("page of the origin", self.chromium("/chromium-set"))
        self.assertTrue(self.through_proxy("/chromium-set"), self.proxy.out())

        log = self.command("reset", "desktop")
        self.assertIn("デスクトップの設定(GNOME)をリセットしました", log)
        self.assertEqual(self.gsetting(proxy, "mode"), "'none'")
        self.assertEqual(self.gsetting(proxy + ".http", "host"), "''")
        self.assertIn("page of the origin", self.chromium("/chromium-reset"))
        self.assertFalse(self.through_proxy("/chromium-reset"), self.proxy.out())


if __name__ == "__main__":
    unittest.main()
