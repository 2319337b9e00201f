"""The Debian package as a user gets it: built by CPack from this build, unpacked into a
scratch root, its files and control fields checked, lintian and desktop-file-validate
without errors, and the installed program started headless, from a terminal and the way
its launcher starts it.

Run by ctest with KORVANEL_BUILD_DIR and KORVANEL_SOURCE_DIR set."""

import glob
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

BUILD_DIR = os.environ["KORVANEL_BUILD_DIR"]
SOURCE_DIR = os.environ["KORVANEL_SOURCE_DIR"]
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "support"))

import korvanel_program as kp  # noqa: E402

TOOL_LIMIT_S = 120
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256]

# What every package holds, with its mode.
FIXED_FILES = {
    "usr/bin/korvanel": 0o755,
    "usr/bin/korvanel-check": 0o755,
    "usr/lib/korvanel/korvanel-window": 0o755,
    "usr/lib/korvanel/cgi-bin/korvanel-checker": 0o755,
    "usr/share/applications/korvanel.desktop": 0o644,
    "usr/share/doc/korvanel/copyright": 0o644,
    "usr/share/doc/korvanel/changelog.Debian.gz": 0o644,
    "usr/share/man/man1/korvanel.1.gz": 0o644,
    "usr/share/man/man1/korvanel-check.1.gz": 0o644,
}


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=TOOL_LIMIT_S,
                          **kwargs)


def expected_files():
    """The fixed files, and the icons and documentation pages that the tree holds."""
    files = dict(FIXED_FILES)
    for size in ICON_SIZES:
        if os.path.exists(os.path.join(SOURCE_DIR, f"resources/icons/korvanel-{size}.png")):
            files[f"usr/share/icons/hicolor/{size}x{size}/apps/korvanel.png"] = 0o644
    doc = os.path.join(SOURCE_DIR, "resources", "doc")
    for page in glob.glob(os.path.join(doc, "**", "*"), recursive=True):
        if os.path.isfile(page):
            files["usr/share/doc/korvanel/" + os.path.relpath(page, doc)] = 0o644
    return files


def library_packages(binary):
    """The Debian package of each shared library that `binary` needs."""
    dynamic = run(["readelf", "-d", binary]).stdout
    cache = run(["ldconfig", "-p"]).stdout
    packages = {}
    for soname in re.findall(r"\(NEEDED\)\s+Shared library: \[(.+?)\]", dynamic):
        found = re.search(r"^\s*" + re.escape(soname) + r" \(libc6,x86-64\) => (\S+)$",
                          cache, re.M)
        if not found:
            packages[soname] = None
            continue
        path = found.group(1)
        owner = run(["dpkg", "-S", path])
        if owner.returncode != 0:
            owner = run(["dpkg", "-S", os.path.realpath(path)])
        packages[soname] = owner.stdout.split(":")[0] if owner.returncode == 0 else None
    return packages


class Xvfb:
    """A virtual X display of its own (Xvfb picks a free number); its DISPLAY value."""

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
             "-nolisten", "tcp"], pass_fds=[write_end], stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            self.__exit__()
            raise RuntimeError("Xvfb did not start")
        return ":" + number

    def __exit__(self, *exc):
        self.server.terminate()
        try:
            self.server.wait(timeout=TOOL_LIMIT_S)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="korvanel-package-")
        out = os.path.join(cls.scratch, "out")
        made = run(["cpack", "--config", os.path.join(BUILD_DIR, "CPackConfig.cmake"),
                    "-B", out])
        debs = glob.glob(os.path.join(out, "korvanel_*.deb"))
        if made.returncode != 0 or len(debs) != 1:
            shutil.rmtree(cls.scratch)
            raise RuntimeError("cpack failed:\n" + made.stdout + made.stderr)
        cls.deb = debs[0]
        cls.root = os.path.join(cls.scratch, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True,
                       timeout=TOOL_LIMIT_S)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.scratch, ignore_errors=True)

    def installed(self, path):
        return os.path.join(self.root, path)

    def field(self, name):
        return run(["dpkg-deb", "-f", self.deb, name]).stdout.strip()

    def test_files_land_where_the_readme_says_with_their_modes(self):
        for path, mode in expected_files().items():
            with self.subTest(path=path):
                self.assertTrue(os.path.isfile(self.installed(path)))
                self.assertEqual(os.stat(self.installed(path)).st_mode & 0o7777, mode)
        listed = {os.path.relpath(os.path.join(folder, name), self.root)
                  for folder, _, names in os.walk(self.root) for name in names}
        self.assertEqual(listed, set(expected_files()))

    def test_control_fields(self):
        cases = [
            ("Package", "korvanel"),
            ("Section", "net"),
            ("Priority", "optional"),
            ("Recommends", "fonts-noto-cjk"),
        ]
        for name, value in cases:
            with self.subTest(field=name):
                self.assertEqual(self.field(name), value)
        self.assertRegex(self.field("Maintainer"), r"^[^<>]+ <[^@<>\s]+@[^@<>\s]+>$")
        self.assertRegex(self.field("Version"), r"^\d+\.\d+\.\d+-\d+$")

    def test_every_linked_library_is_a_dependency(self):
        depends = {re.split(r"[ (]", entry.strip())[0]
                   for entry in self.field("Depends").split(",")}
        for binary in ["usr/bin/korvanel", "usr/bin/korvanel-check",
                       "usr/lib/korvanel/korvanel-window"]:
            libraries = library_packages(self.installed(binary))
            self.assertIn("libminiupnpc.so.17", libraries)  # the look-up itself works
            for soname, package in libraries.items():
                with self.subTest(binary=binary, library=soname):
                    self.assertIsNotNone(package, "no Debian package holds it")
                    self.assertIn(package, depends)

    def test_certutil_comes_with_the_package(self):
        depends = {re.split(r"[ (]", entry.strip())[0]
                   for entry in self.field("Depends").split(",")}
        self.assertIn("libnss3-tools", depends)

    def test_lintian_finds_no_errors(self):
        checked = run(["lintian", "--fail-on", "error", "--no-tag-display-limit", self.deb])
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)

    def test_launcher_is_valid_and_starts_the_data_folder_mode(self):
        launcher = self.installed("usr/share/applications/korvanel.desktop")
        checked = run(["desktop-file-validate", launcher])
        self.assertEqual((checked.returncode, checked.stdout + checked.stderr), (0, ""))
        with open(launcher, encoding="utf-8") as f:
            entries = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        for key, value in [("Icon", "korvanel"), ("Terminal", "false"),
                           ("Categories", "Network;"), ("Exec", "korvanel --desktop")]:
            with self.subTest(key=key):
                self.assertEqual(entries.get(key), value)
        for key in ["Name", "Comment", "Comment[ja]"]:
            with self.subTest(key=key):
                self.assertTrue(entries.get(key))

    def launcher_command(self):
        with open(self.installed("usr/share/applications/korvanel.desktop"),
                  encoding="utf-8") as f:
            exec_line = next(line for line in f if line.startswith("Exec="))
        words = shlex.split(exec_line[len("Exec="):])
        return [self.installed("usr/bin/" + words[0])] + words[1:]

    def test_installed_program_works_where_its_start_says(self):
        """From a terminal in the current directory; from the launcher in the data folder
        under HOME, whatever the directory it was started in."""
        cases = [
            ("terminal", lambda: [self.installed("usr/bin/korvanel")], ""),
            ("launcher", self.launcher_command, ".local/share/korvanel"),
        ]
        for name, command, below_home in cases:
            with self.subTest(start=name), tempfile.TemporaryDirectory() as scratch:
                home = os.path.join(scratch, "home")
                started_in = os.path.join(scratch, "started-in")
                data_folder = os.path.join(home, below_home) if below_home else started_in
                os.makedirs(started_in)
                os.makedirs(data_folder, exist_ok=True)
                port = kp.unused_loopback_port()
                data = os.path.join(data_folder, "data")
                with open(data, "w", newline="") as f:
                    f.write(kp.data_text(port))
                os.utime(data, (0, 0))
                env = kp.headless_environment(HOME=home)
                env.pop("XDG_DATA_HOME", None)
                with kp.RunningProgram(command(), started_in, env) as program:
                    # The port comes from the `data` the program found.
                    self.assertTrue(program.wait_output(kp.STARTED_TEXT + str(port)),
                                    program.out() + program.err())
                    self.assertEqual(program.stop(), 0, program.err())
                # The orderly stop saved `data` where it was read.
                self.assertGreater(os.stat(data).st_mtime, 0)
                if below_home:
                    self.assertEqual(sorted(os.listdir(started_in)),
                                     ["stderr.txt", "stdout.txt"])

    def test_launcher_on_a_display_makes_the_data_folder_and_keeps_data_there(self):
        """The desktop's way: a display, no data folder yet. The window does not start the
        server (the new `data` leaves that off), so no port is taken."""
        with tempfile.TemporaryDirectory() as scratch, Xvfb() as display:
            home = os.path.join(scratch, "home")
            started_in = os.path.join(scratch, "started-in")
            os.makedirs(started_in)
            env = kp.headless_environment(HOME=home, DISPLAY=display)
            env.pop("XDG_DATA_HOME", None)
            data_folder = os.path.join(home, ".local", "share", "korvanel")
            with kp.RunningProgram(self.launcher_command(), started_in, env) as program:
                data = os.path.join(data_folder, "data")
                deadline = time.monotonic() + kp.START_LIMIT_S
                while not os.path.exists(data) and time.monotonic() < deadline:
                    time.sleep(0.05)
                self.assertTrue(os.path.exists(data), program.err())
                self.assertIsNone(program.process.poll(), program.err())
                self.assertEqual(program.stop(), 0, program.err())
            for folder in [os.path.join(home, ".local"), os.path.join(home, ".local/share"),
                           data_folder]:
                with self.subTest(folder=folder):
                    self.assertEqual(os.stat(folder).st_mode & 0o7777, 0o700)
            self.assertEqual(sorted(os.listdir(started_in)), ["stderr.txt", "stdout.txt"])

    def test_installed_program_refuses_an_unknown_option(self):
        with tempfile.TemporaryDirectory() as folder:
            with kp.RunningProgram([self.installed("usr/bin/korvanel"), "--verbose"], folder,
                                   kp.headless_environment()) as program:
                self.assertEqual(program.wait_exit(), 2)
                self.assertIn("usage: korvanel [--desktop]", program.err())
            self.assertFalse(os.path.exists(os.path.join(folder, "data")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
