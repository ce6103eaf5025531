"""The stand-in service's own rules that the end-to-end tests (tests/e2e, through the real DLL)
do not reach: the forms it refuses, its bounded book of issued values, and its life cycle (it
must always end)."""

import json
import os
import re

import socket
import subprocess
import sys
import tempfile
import unittest
import unittest.mock

HERE = os.path.dirname(os.path.abspath(__file__))
STANDIN_DIR = os.path.join(HERE, "..", "..", "..", "tools", "standin")
STANDIN = os.path.join(STANDIN_DIR, "standin.py")
sys.path.insert(0, STANDIN_DIR)
import sharesite  # noqa: E402

FORM = "application/x-www-form-urlencoded"
BOUND_S = 20  # how long a process may take to end before the test gives up on it


def issued(site, code):
    """The sign, ajaxdata and websign values that a frame page of the variant carries."""
    share = site.share_page(code).body.decode("utf-8")
    frame = re.search(r'src="/fn\?([^"]+)"', share).group(1)
    page = site.frame_page(frame).body.decode("utf-8")
    sign = re.search(r"pdownload = '([^']+)'|'sign':'([^']+)'|ajaxdata = '([^']{10,})'", page, re.I)
    websign = re.search(r"'websign':'([^']+)'", page)
    return next(g for g in sign.groups() if g), websign.group(1) if websign else ""


class FormCheck(unittest.TestCase):
    def setUp(self):
        self.site = sharesite.Site("https://127.0.0.1:9")

    def answer(self, body, content_type=FORM):
        response = self.site.download_process(content_type, body.encode("ascii"))
        return json.loads(response.body)

    def test_signs_the_site_did_not_issue_or_incomplete_forms_are_refused(self):
        sign, _ = issued(self.site, "pdownload")
        for body, content_type in (("action=downprocess&sign=%s&ves=1" % ("x" * 60), FORM),
                                   ("action=downprocess&sign=%s" % sign, FORM),
                                   ("action=other&sign=%s&ves=1" % sign, FORM),
                                   ("action=downprocess&sign=%s&ves=1" % sign, "text/plain")):
            self.assertEqual(self.answer(body, content_type), {"zt": 0, "inf": unittest.mock.ANY}, body)

    def test_a_page_with_short_ajaxdata_wants_it_back_with_the_websign(self):
        sign, websign = issued(self.site, "websign")
        self.assertEqual(self.answer("action=downprocess&sign=%s&ves=1" % sign)["zt"], 0)
        wrong = "action=downprocess&signs=r4x9&&sign=%s&ves=1&websign=%s" % (sign, "0" * 16)
        self.assertEqual(self.answer(wrong)["zt"], 0)
        right = "action=downprocess&signs=r4x9&&sign=%s&ves=1&websign=%s" % (sign, websign)
        self.assertEqual(self.answer(right)["zt"], 1)

    def test_the_book_forgets_its_oldest_entries_beyond_its_limit(self):
        book = sharesite.Book(limit=3)
        tokens = [book.issue(n) for n in range(5)]
        self.assertEqual([book.get(t) for t in tokens], [None, None, 2, 3, 4])


class PageSizes(unittest.TestCase):
    FRAME_PATTERN = re.compile(r'name=".*" src="(.*)" frameborder=', re.I)

    def frame_sources(self, page):
        """What the frame pattern finds, line by line (the start of each source: tokens differ)."""
        lines = page.decode("utf-8").splitlines()
        return [m.group(1)[:4] for m in map(self.FRAME_PATTERN.search, lines) if m]

    def pages(self, site, code):
        share = site.share_page(code).body
        frame = re.search(rb'src="/fn\?([^"]+)"', share).group(1).decode("ascii")
        return share, site.frame_page(frame).body

    def test_pages_are_as_large_as_the_services_unless_asked_for_small_ones(self):
        for code in ("pdownload", "websign", "second-frame"):
            share, frame = self.pages(sharesite.Site("https://127.0.0.1:9"), code)
            self.assertTrue(40_000 <= len(share) <= 60_000, (code, len(share)))
            self.assertTrue(30_000 <= len(frame) <= 50_000, (code, len(frame)))
            small_share, small_frame = self.pages(sharesite.Site("https://127.0.0.1:9", small_pages=True), code)
            self.assertLess(len(small_share), 4_000)
            self.assertLess(len(small_frame), 4_000)

    def test_the_added_bulk_holds_no_frame_and_no_sign_marker(self):
        large, small = (sharesite.Site("https://127.0.0.1:9", small_pages=s) for s in (False, True))
        for code in ("pdownload", "ajaxdata", "websign"):
            sources = [self.frame_sources(site.share_page(code).body) for site in (large, small)]
            self.assertEqual(sources[0], sources[1], code)
            frame_page = self.pages(large, code)[1].decode("utf-8").lower()
            for marker in ("var pdownload = '", "var ajaxdata = '", "ajaxdata,'sign':'"):
                self.assertLessEqual(frame_page.count(marker), 1, (code, marker))


def running(pid):
    """Alive and not a zombie (an orphan may wait for a parent that never reaps it)."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


def wait_for_exit(process):
    try:
        return process.wait(timeout=BOUND_S)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()
        raise AssertionError("the stand-in did not end")


class LifeCycle(unittest.TestCase):
    def serve_with_control(self, *extra):
        listener = socket.socket()
        listener.bind(("127.0.0.1", 0))
        listener.listen(1)
        listener.settimeout(60)
        process = subprocess.Popen([sys.executable, STANDIN, "serve", "--port", "0", "--control-port",
                                    str(listener.getsockname()[1]), *extra])
        self.addCleanup(lambda: process.poll() is None and process.kill())
        control, _ = listener.accept()
        listener.close()
        reader = control.makefile("rb")
        self.addCleanup(control.close)
        self.addCleanup(reader.close)
        port = int(reader.readline().split()[1])
        return process, control, reader, port

    def test_start_returns_once_it_listens_and_stop_frees_the_port(self):
        with tempfile.TemporaryDirectory() as directory:
            pidfile = os.path.join(directory, "standin.pid")
            started = subprocess.run([sys.executable, STANDIN, "start", "--port", "0", "--pidfile", pidfile],
                                     capture_output=True, text=True, timeout=90)
            self.assertEqual(started.returncode, 0, started.stderr)
            port = int(re.search(r":(\d+) \(pid", started.stdout).group(1))
            socket.create_connection(("127.0.0.1", port), timeout=5).close()
            with open(pidfile) as f:
                pid = int(f.read())
            subprocess.run([sys.executable, STANDIN, "stop", "--pidfile", pidfile], check=True, timeout=30)
            self.assertFalse(os.path.exists(pidfile))
            with self.assertRaises(OSError):
                socket.create_connection(("127.0.0.1", port), timeout=5).close()
            self.assertFalse(running(pid))

    def test_a_closed_control_connection_ends_it(self):
        process, control, reader, _ = self.serve_with_control()
        reader.close()  # the file object holds the socket open too
        control.close()
        self.assertEqual(wait_for_exit(process), 0)

    def test_its_lifetime_ends_it_whatever_its_control_connection_does(self):
        process, _, _, _ = self.serve_with_control("--lifetime", "1")
        self.assertEqual(wait_for_exit(process), 0)


if __name__ == "__main__":
    unittest.main()
