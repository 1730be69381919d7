"""Runs the cross-built Windows program under Wine on a private X server and
drives it through norvane_driver.exe (ui/win32/testing/driver.cpp).

The builds come from NORVANE_WINDOWS_BUILD (over ADO) and
NORVANE_WINDOWS_JET_BUILD (over our own engine).  A machine that cannot run
32-bit code runs the x86-64 build of the same sources instead, from the
sibling directory "<build>-x64".
"""

import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

WINE32 = "/usr/lib/wine/wine"
WINE64 = "/usr/lib/wine/wine64"
IN_CI = os.environ.get("CI") == "true"


def pe_machine(path):
    """'i386' or 'amd64' for a PE executable, None otherwise."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
    except OSError:
        return None
    if head[:2] != b"MZ":
        return None
    (offset,) = struct.unpack_from("<I", head, 0x3C)
    if head[offset:offset + 4] != b"PE\0\0":
        return None
    (machine,) = struct.unpack_from("<H", head, offset + 4)
    return {0x14C: "i386", 0x8664: "amd64"}.get(machine)


def can_run_32bit():
    if not os.path.exists(WINE32):
        return False
    try:
        subprocess.run([WINE32, "--version"], capture_output=True, timeout=30, check=True)
        return True
    except (OSError, subprocess.SubprocessError):
        return False


def find_build(variable):
    """(build dir, wine loader) for the build named by the variable, or a
    reason why there is none."""
    base = os.environ.get(variable)
    if not base:
        return None, None, "%s is not set (./test.sh sets it)" % variable
    for build in (base, base.rstrip("/") + "-x64"):
        machine = pe_machine(os.path.join(build, "app", "norvane.exe"))
        if machine == "amd64" and os.path.exists(WINE64):
            return build, WINE64, None
        if machine == "i386" and can_run_32bit():
            return build, WINE32, None
    return None, None, ("no runnable norvane.exe in %s or %s-x64 (this machine runs 32-bit code: %s)"
                        % (base, base, can_run_32bit()))


SKIPPED = 77  # ctest's SKIP_RETURN_CODE for these tests


def main_or_skip(variable):
    """Runs the module's tests, or ends the process: skipped (77) when the
    build is missing outside CI, failed in CI."""
    build, loader, reason = find_build(variable)
    if reason:
        print(("FAILED: " if IN_CI else "SKIPPED: ") + reason, flush=True)
        sys.exit(1 if IN_CI else SKIPPED)
    os.environ["NORVANE_WINE_BUILD"], os.environ["NORVANE_WINE_LOADER"] = build, loader
    unittest.main(verbosity=2)


def chosen_build():
    return os.environ["NORVANE_WINE_BUILD"], os.environ["NORVANE_WINE_LOADER"]


def wait_until(predicate, timeout, step=0.05):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


class Desktop:
    """A private Xvfb display and Wine prefix, shared by the tests of a module."""

    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix="norvane-wine-")
        self.display = None
        self.xvfb = None
        self.env = None

    def start(self):
        for number in range(71, 120):
            if not os.path.exists("/tmp/.X11-unix/X%d" % number) and not os.path.exists("/tmp/.X%d-lock" % number):
                self.display = ":%d" % number
                break
        self.xvfb = subprocess.Popen(["Xvfb", self.display, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        socket_path = "/tmp/.X11-unix/X" + self.display[1:]
        if not wait_until(lambda: os.path.exists(socket_path), 20):
            raise AssertionError("Xvfb did not start on " + self.display)
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=os.path.join(self.tmp, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="zh_CN.UTF-8",
                        LC_ALL="zh_CN.UTF-8")
        subprocess.run([WINE64 if os.path.exists(WINE64) else WINE32, "wineboot", "-i"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=180)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)
        # Without a window manager on the display, Wine draws the frames and
        # title bars itself.
        subprocess.run([WINE64 if os.path.exists(WINE64) else WINE32, "reg", "add",
                        "HKCU\\Software\\Wine\\X11 Driver", "/v", "Decorated", "/d", "N", "/f"],
                       env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=120)

    def stop(self):
        if self.env:
            subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        if self.xvfb:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def screenshot(self, path):
        subprocess.run(["import", "-display", self.display, "-window", "root", path], check=True, timeout=60)

    @staticmethod
    def mean_brightness(path, left, top, width, height):
        """Mean brightness 0..1 of a part of a picture."""
        out = subprocess.run(["convert", path, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "+repage",
                              "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"],
                             capture_output=True, text=True, check=True, timeout=60)
        return float(out.stdout)


def escape(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")


def unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            i += 1
            c = {"n": "\n", "r": "\r", "t": "\t"}.get(text[i], text[i])
        out.append(c)
        i += 1
    return "".join(out)


class Program:
    """One run of norvane.exe in a directory of its own, with the driver."""

    def __init__(self, desktop, build, loader, database=None):
        self.desktop = desktop
        self.dir = tempfile.mkdtemp(prefix="run-", dir=desktop.tmp)
        for name, sub in (("norvane.exe", "app"), ("norvane_driver.exe", os.path.join("ui", "win32"))):
            shutil.copy(os.path.join(build, sub, name), self.dir)
        if database:
            shutil.copy(database, os.path.join(self.dir, "data.mdb"))
        self.loader = loader
        self.started = time.monotonic()  # when the program's process began
        self.process = subprocess.Popen([loader, os.path.join(self.dir, "norvane.exe")], cwd=self.dir,
                                        env=desktop.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.driver = subprocess.Popen([loader, os.path.join(self.dir, "norvane_driver.exe")], cwd=self.dir,
                                       env=desktop.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, text=True, encoding="utf-8", bufsize=1)

    @property
    def database(self):
        return os.path.join(self.dir, "data.mdb")

    def __call__(self, *fields):
        """Sends one command; gives the answer's fields after "ok"."""
        self.driver.stdin.write("\t".join(escape(str(f)) for f in fields) + "\n")
        self.driver.stdin.flush()
        line = self.driver.stdout.readline()
        if not line:
            raise AssertionError("the driver ended while running %r" % (fields,))
        answer = [unescape(f) for f in line.rstrip("\r\n").split("\t")]
        if answer[0] != "ok":
            raise AssertionError("driver: %r gave %r" % (fields, answer))
        return answer[1:]

    def message(self, timeout_ms=10000):
        """(title, text, icon, buttons, owner, modality) of the open message box, or None."""
        answer = self("message", timeout_ms)
        return None if answer == ["none"] else tuple(answer)

    def expect_message(self, test, text, icon):
        shown = self.message()
        test.assertIsNotNone(shown, "no message box, expected %s" % text)
        test.assertEqual(shown, ("提示", text, icon, "1", "ownerless", "modal"))
        self("dismiss")

    def expect_no_message(self, test, timeout_ms=700):
        test.assertIsNone(self.message(timeout_ms))

    def rows(self):
        answer = self("rows")
        count = int(answer[0])
        return [tuple(cells.split("\x1f")) for cells in answer[1:1 + count]]

    def wait_exit(self, timeout=20):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.driver.poll() is None:
            try:
                self.driver.stdin.write("quit\n")
                self.driver.stdin.flush()
                self.driver.wait(15)
            except (OSError, subprocess.TimeoutExpired):
                self.driver.kill()
                self.driver.wait(15)
        for stream in (self.driver.stdin, self.driver.stdout):
            try:
                stream.close()
            except OSError:
                pass
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait(15)
