"""A real browser through the proxy: Debian's Chromium, headless, loads pages from this
test's own web server (named `localhost`) through build/korvanel, and the test checks what a
user would see: the page loads whole, the SCRIPT tag group keeps its scripts from running,
cookie removal keeps cookies off the wire both ways, the chosen User-Agent reaches the
server, and the error page's Japanese text is drawn in glyphs, not boxes.

Run by ctest with KORVANEL_PROGRAM (the proxy) and KORVANEL_SOURCE_DIR set."""

import hashlib
import http.server
import os
import random
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import unittest
import zlib

PROGRAM = os.environ["KORVANEL_PROGRAM"]
sys.path.insert(0, os.path.join(os.environ["KORVANEL_SOURCE_DIR"], "tests", "support"))

import korvanel_program as kp  # noqa: E402

CHROMIUM = "/usr/lib/chromium/chromium"
CHROMIUM_LIMIT_S = 20
# What keeps Chromium on this machine: only dot-less names go to the proxy (loopback
# included), every other name fails inside the browser, and no background service calls out.
CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-default-apps", "--no-default-browser-check",
    "--disable-features=NetworkTimeServiceQuerying", "--disable-dev-shm-usage",
    "--proxy-bypass-list=<-loopback>;*.*",
    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
    "--hide-scrollbars", "--window-size=600,120",
]

AGENT = "KorvanelSuite/1.0 (real browser)"
SERVER_COOKIE = "server_cookie=1"
SCRIPT_COOKIE = "script_cookie=1"
STYLE_COLOR = "rgb(1, 2, 3)"
# Above the proxy's buffer sizes, so that bodies take the relays that move big bodies.
PICTURE_SIZE = (320, 240)
SCRIPT_PADDING = 100 * 1024


def png(width, height, seed):
    """An RGB picture of noise (hardly compressible) and its last pixel as 'r,g,b,255'."""
    rng = random.Random(seed)
    rows = b"".join(b"\0" + rng.randbytes(width * 3) for _ in range(height))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data)))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    picture = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
               chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
    return picture, ",".join(str(b) for b in rows[-3:]) + ",255"


PICTURE, PICTURE_LAST_PIXEL = png(*PICTURE_SIZE, seed=15)

# The page: a style sheet, an external and an inline script, a picture. Each script leaves
# a mark in the DOM; the inline one also reports the cookies it found, the style it sees and
# (once loaded) the picture's last pixel, then sets a cookie and loads one more picture so
# that the cookie travels. No "<" in the inline code: the tag filter leaves it as text.
PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Through KORVANEL</title>
<link rel="stylesheet" href="/style.css">
<script src="/script.js"></script>
</head><body>
<h1 id="heading">A page through the proxy</h1>
<img id="picture" src="/picture.png">
<p id="cookies"></p><p id="style"></p><p id="pixel"></p>
<script>
document.getElementById('cookies').textContent = 'cookies:' + document.cookie;
document.getElementById('style').textContent =
    getComputedStyle(document.getElementById('heading')).color;
document.cookie = 'script_cookie=1; path=/';
var after = document.createElement('img');
after.src = '/after-cookie.png';
document.body.appendChild(after);
var ran = document.createElement('div');
ran.id = 'inline-script-ran';
document.body.appendChild(ran);
window.addEventListener('load', function () {
    var picture = document.getElementById('picture');
    var canvas = document.createElement('canvas');
    canvas.width = picture.naturalWidth;
    canvas.height = picture.naturalHeight;
    var context = canvas.getContext('2d');
    context.drawImage(picture, 0, 0);
    var last = context.getImageData(canvas.width - 1, canvas.height - 1, 1, 1).data;
    document.getElementById('pixel').textContent = Array.from(last).join(',');
});
</script>
<p id="page-end">end of page</p>
</body></html>
"""

# Its mark is set by the last statement, so a script cut short leaves none.
SCRIPT = ("/*" + "padding " * (SCRIPT_PADDING // 8) + "*/\n"
          "document.addEventListener('DOMContentLoaded', function () {\n"
          "    var ran = document.createElement('div');\n"
          "    ran.id = 'external-script-ran';\n"
          "    document.body.appendChild(ran);\n"
          "});\n")

RESOURCES = {
    "/page.html": ("text/html; charset=utf-8", PAGE.encode()),
    "/style.css": ("text/css", ("#heading { color: %s; }\n" % STYLE_COLOR).encode()),
    "/script.js": ("text/javascript", SCRIPT.encode()),
    "/picture.png": ("image/png", PICTURE),
    "/after-cookie.png": ("image/png", png(1, 1, seed=1)[0]),
}


class Origin(http.server.ThreadingHTTPServer):
    """The test's web server on 127.0.0.1: serves RESOURCES (the page with a Set-Cookie) and
    records the path and headers of every request that reaches it."""

    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), OriginHandler)
        self.lock = threading.Lock()
        self.requests = []
        self.thread = threading.Thread(target=self.serve_forever, daemon=True)
        self.thread.start()

    @property
    def port(self):
        return self.server_address[1]

    def record(self, path, headers):
        with self.lock:
            self.requests.append((path, headers))

    def take_requests(self):
        with self.lock:
            taken, self.requests = self.requests, []
        return taken

    def close(self):
        self.shutdown()
        self.server_close()


class OriginHandler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def do_GET(self):
        self.server.record(self.path, self.headers)
        found = RESOURCES.get(self.path)
        if found is None:
            self.send_error(404)
            return
        kind, body = found
        self.send_response(200)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        if self.path == "/page.html":
            self.send_header("Set-Cookie", SERVER_COOKIE + "; Path=/")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def run_chromium(proxy_port, *arguments):
    """One headless Chromium run with a fresh profile, limited in time; its standard
    output. A run past the limit is killed with its process group (its own helpers)."""
    with tempfile.TemporaryDirectory(prefix="korvanel-chromium-") as profile:
        command = ([CHROMIUM] + CHROMIUM_FLAGS +
                   ["--proxy-server=http://127.0.0.1:%d" % proxy_port,
                    "--user-data-dir=" + profile] + list(arguments))
        browser = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                   stdin=subprocess.DEVNULL, start_new_session=True,
                                   env=kp.headless_environment())
        try:
            out, err = browser.communicate(timeout=CHROMIUM_LIMIT_S)
        except subprocess.TimeoutExpired:
            os.killpg(browser.pid, signal.SIGKILL)
            browser.communicate()
            raise AssertionError("Chromium took longer than %d s" % CHROMIUM_LIMIT_S)
        if browser.returncode != 0:
            raise AssertionError("Chromium failed:\n" + err.decode(errors="replace")[-2000:])
        return out.decode("utf-8", errors="replace")


def element_text(dom, element_id):
    """The text of the element with `element_id` in a dumped DOM, or None without one."""
    found = re.search(r'id="%s"[^>]*>([^<]*)<' % re.escape(element_id), dom)
    return found.group(1) if found else None


def pixels(path):
    """A digest of a PNG's header and inflated image data: equal for equal pictures,
    whatever ancillary chunks the encoder adds."""
    with open(path, "rb") as f:
        data = f.read()
    position, header, image = 8, b"", b""
    while position < len(data):
        length, kind = struct.unpack(">I4s", data[position:position + 8])
        body = data[position + 8:position + 8 + length]
        if kind == b"IHDR":
            header = body
        elif kind == b"IDAT":
            image += body
        position += 12 + length
    return hashlib.sha256(header + zlib.decompress(image)).hexdigest()


class ChromiumThroughProxyTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.origin = Origin()

    @classmethod
    def tearDownClass(cls):
        cls.origin.close()

    def setUp(self):
        self.scratch = tempfile.mkdtemp(prefix="korvanel-browser-")
        self.proxy = None

    def tearDown(self):
        if self.proxy:
            self.proxy.kill()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def start_proxy(self, **rewrites):
        folder = os.path.join(self.scratch, "proxy")
        os.makedirs(folder)
        self.port = kp.unused_loopback_port()
        self.proxy = kp.start_proxy(PROGRAM, folder, self.port, **rewrites)

    def stop_proxy(self):
        self.assertEqual(self.proxy.stop(), 0, self.proxy.err())

    def page_url(self, path="/page.html"):
        return "http://localhost:%d%s" % (self.origin.port, path)

    def test_page_with_each_rewrite(self):
        cases = [
            # name, rewrites, scripts run, cookies on the wire and in the page, agent
            ("no rewrite", {}, True, True, None),
            ("SCRIPT group", {"tag_groups": ["SCRIPT"]}, False, True, None),
            ("cookie removal and agent",
             {"remove_cookies": True, "remove_set_cookies": True, "user_agent": AGENT},
             True, False, AGENT),
        ]
        for name, rewrites, scripts_run, cookies_pass, agent in cases:
            with self.subTest(case=name):
                self.start_proxy(**rewrites)
                self.origin.take_requests()
                dom = run_chromium(self.port, "--dump-dom", self.page_url())
                self.stop_proxy()
                shutil.rmtree(os.path.join(self.scratch, "proxy"))
                requests = self.origin.take_requests()
                self.check_page(dom, requests, scripts_run, cookies_pass, agent)

    def check_page(self, dom, requests, scripts_run, cookies_pass, agent):
        paths = {path for path, _ in requests}
        # The page arrived whole with everything it loads, and what it loaded was whole too.
        self.assertEqual(element_text(dom, "page-end"), "end of page")
        self.assertLessEqual({"/page.html", "/style.css", "/picture.png"}, paths)
        script_paths = {"/script.js", "/after-cookie.png"}
        if scripts_run:
            self.assertLessEqual(script_paths, paths)
            self.assertIsNotNone(element_text(dom, "inline-script-ran"), dom)
            self.assertIsNotNone(element_text(dom, "external-script-ran"), dom)
            self.assertEqual(element_text(dom, "style"), STYLE_COLOR)
            self.assertEqual(element_text(dom, "pixel"), PICTURE_LAST_PIXEL)
            self.assertEqual(element_text(dom, "cookies"),
                             "cookies:" + (SERVER_COOKIE if cookies_pass else ""))
        else:
            self.assertEqual(script_paths & paths, set())
            self.assertNotIn('id="inline-script-ran"', dom)
            self.assertNotIn('id="external-script-ran"', dom)
            self.assertEqual(element_text(dom, "cookies"), "")

        cookies = [(path, headers.get("Cookie")) for path, headers in requests
                   if headers.get("Cookie")]
        if not cookies_pass:
            self.assertEqual(cookies, [])
        elif scripts_run:
            after = [headers.get("Cookie", "") for path, headers in requests
                     if path == "/after-cookie.png"]
            self.assertIn(SERVER_COOKIE, after[0])
            self.assertIn(SCRIPT_COOKIE, after[0])
        else:
            self.assertIn(("/picture.png", SERVER_COOKIE), cookies)

        for path, headers in requests:
            with self.subTest(request=path):
                if agent:
                    self.assertEqual(headers.get("User-Agent"), agent)
                else:
                    self.assertIn("Chrome/", headers.get("User-Agent", ""))

    def test_error_page_shows_its_japanese_text_in_glyphs(self):
        """The page for a host the proxy cannot connect to is drawn exactly as the same
        HTML in UTF-8 from a file is, and that differs from the same line with its Japanese
        characters replaced by ones no font has (drawn as boxes)."""
        self.start_proxy()
        refused = kp.unused_loopback_port()
        reason = "localhost:%dに接続できません" % refused
        page = "<html><head><title>Proxy Error</title></head>\r\n<body>%s</body></html>"
        boxes = "".join(c if ord(c) < 128 else "\u0378" for c in reason)  # unassigned
        shots = {}
        for name, text in [("reference", reason), ("boxes", boxes)]:
            source = os.path.join(self.scratch, name + ".html")
            with open(source, "w", encoding="utf-8", newline="") as f:
                f.write('<meta charset="utf-8">' + page % text)
            shots[name] = os.path.join(self.scratch, name + ".png")
            run_chromium(self.port, "--screenshot=" + shots[name], "file://" + source)
        shots["error page"] = os.path.join(self.scratch, "error.png")
        run_chromium(self.port, "--screenshot=" + shots["error page"],
                     "http://localhost:%d/" % refused)
        self.stop_proxy()

        self.assertNotEqual(pixels(shots["reference"]), pixels(shots["boxes"]),
                            "Japanese text is drawn as boxes: is fonts-noto-cjk installed?")
        self.assertEqual(pixels(shots["error page"]), pixels(shots["reference"]))


if __name__ == "__main__":
    unittest.main(verbosity=2)
