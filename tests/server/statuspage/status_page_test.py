#!/usr/bin/env python3
"""The status page in a real headless browser.

Starts vorel-server on a demo shop (SQLite, free ports), logs in on the page through
chromedriver (the WebDriver protocol spoken with urllib), and watches a real till
(statuspage_till) appear with its cashier and slips waiting, and its takings move after it
commits a sale. A cashier name holding markup must show as text.

usage: status_page_test.py --server VOREL_SERVER --till STATUSPAGE_TILL [--screenshot FILE]
"""

import argparse
import base64
import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                  "--disable-background-networking", "--disable-component-update", "--disable-sync",
                  "--disable-dev-shm-usage", "--window-size=1280,900"]
ELEMENT = "element-6066-11e4-a52e-4f735466cecf"
# A cashier name that would run script if the page took it as markup.
HOSTILE_NAME = '<img src=x onerror="document.title=\'owned\'">王芳'


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, probe, timeout=20.0):
    end = time.monotonic() + timeout
    last = None
    while time.monotonic() < end:
        last = probe()
        if last:
            return last
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}; last seen: {last!r}")


def http(method, url, body=None, timeout=30):
    data = None if body is None else json.dumps(body).encode()
    req = urllib.request.Request(url, data=data, method=method, headers={"Content-Type": "application/json"})
    try:
        with urllib.request.urlopen(req, timeout=timeout) as reply:
            return reply.status, json.loads(reply.read() or b"null")
    except urllib.error.HTTPError as e:
        return e.code, json.loads(e.read() or b"null")


class Browser:
    """A chromium session through chromedriver."""

    def __init__(self, profile):
        self.port = free_port()
        self.driver = subprocess.Popen(["chromedriver", f"--port={self.port}"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        self.base = f"http://127.0.0.1:{self.port}"
        wait_for("chromedriver", lambda: self._ready())
        caps = {"browserName": "chrome",
                "goog:chromeOptions": {"binary": shutil.which("chromium") or "/usr/bin/chromium",
                                       "args": CHROMIUM_FLAGS + [f"--user-data-dir={profile}"]}}
        status, reply = http("POST", self.base + "/session", {"capabilities": {"alwaysMatch": caps}}, timeout=60)
        if status != 200:
            raise AssertionError(f"no browser session: {reply}")
        self.session = f"{self.base}/session/{reply['value']['sessionId']}"

    def _ready(self):
        try:
            return http("GET", self.base + "/status", timeout=2)[1]["value"]["ready"]
        except (OSError, KeyError, ValueError):
            return False

    def call(self, method, path, body=None):
        status, reply = http(method, self.session + path, body)
        if status != 200:
            raise AssertionError(f"{method} {path}: {reply}")
        return reply["value"]

    def open(self, url):
        self.call("POST", "/url", {"url": url})

    def type(self, selector, text):
        element = self.call("POST", "/element", {"using": "css selector", "value": selector})[ELEMENT]
        self.call("POST", f"/element/{element}/clear", {})
        self.call("POST", f"/element/{element}/value", {"text": text})

    def click(self, selector):
        element = self.call("POST", "/element", {"using": "css selector", "value": selector})[ELEMENT]
        self.call("POST", f"/element/{element}/click", {})

    def run(self, script):
        return self.call("POST", "/execute/sync", {"script": script, "args": []})

    def screenshot(self, path):
        with open(path, "wb") as f:
            f.write(base64.b64decode(self.call("GET", "/screenshot")))

    def close(self):
        try:
            http("DELETE", self.session, timeout=10)
        finally:
            self.driver.terminate()
            self.driver.wait(10)


# What a person sees on the page: the texts of its tables, and whether anything that came
# as text turned into markup.
READ_PAGE = """
const rows = (sel) => Array.from(document.querySelectorAll(sel), r => Array.from(r.cells, c => c.textContent));
const shown = (id) => getComputedStyle(document.getElementById(id)).display !== 'none';
return {board: shown('board'), login: shown('login'),
        loginError: document.getElementById('login-error').textContent,
        tills: rows('#tills tbody tr'), takings: rows('#takings tbody tr'), shop: rows('#takings tfoot tr'),
        markup: document.querySelectorAll('#board img, #board script').length, title: document.title};
"""
# Takings columns: terminal, name, slips, units, cash, bank card, stored value, voucher, rounding, total.


class Till:
    def __init__(self, exe, port, msg_port, user, key):
        self.proc = subprocess.Popen([exe, "127.0.0.1", str(port), str(msg_port), user, key], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, text=True)

    def say(self, command):
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        reply = self.proc.stdout.readline().strip()
        if reply != "ok":
            raise AssertionError(f"till: {command}: {reply}")

    def close(self):
        if self.proc.poll() is None:
            self.proc.stdin.write("quit\n")
            self.proc.stdin.flush()
            self.proc.wait(10)


def start_server(exe, work):
    db = os.path.join(work, "shop.db")
    subprocess.run([exe, "init", "--db", db, "--demo"], check=True, capture_output=True)
    subprocess.run([exe, "exec", "--db", db, "UPDATE SYS_USER SET USER_NAME = '%s' WHERE USER_ID = '02'"
                    % HOSTILE_NAME.replace("'", "''")], check=True, capture_output=True)
    log = open(os.path.join(work, "server.log"), "w+")
    proc = subprocess.Popen([exe, "serve", "--db", db, "--host", "127.0.0.1", "--port", "0", "--msg-port", "0"],
                            stdout=subprocess.DEVNULL, stderr=log)

    def ports():
        log.seek(0)
        m = re.search(r"on port (\d+) \(connection\) and (\d+) \(messages\)", log.read())
        if proc.poll() is not None:
            raise AssertionError("vorel-server ended: " + open(log.name).read())
        return m and (int(m.group(1)), int(m.group(2)))

    port, msg_port = wait_for("vorel-server", ports)
    return proc, port, msg_port


def takings_of(page, terminal):
    row = next((r for r in page["takings"] if r[0] == terminal), None)
    return (0, 0.0) if row is None else (int(row[2]), float(row[9]))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--till", required=True)
    parser.add_argument("--screenshot")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="vorel-status-page-")
    server = browser = till = None
    try:
        server, port, msg_port = start_server(args.server, work)
        page_url = f"http://127.0.0.1:{port}/"
        browser = Browser(os.path.join(work, "profile"))
        browser.open(page_url)

        # A wrong password is refused on the page; the right one shows the board.
        browser.type("#user", "01")
        browser.type("#password", "wrong")
        browser.click("#sign-in")
        wait_for("the refusal", lambda: browser.run(READ_PAGE)["loginError"])
        browser.type("#password", "01")
        browser.click("#sign-in")
        page = wait_for("the board", lambda: (lambda p: p if p["board"] and p["shop"] else None)(browser.run(READ_PAGE)))
        assert not page["login"] and not page["tills"], page
        slips_before, total_before = takings_of(page, "001")

        # A till logs in with three slips still in its local store.
        till = Till(args.till, port, msg_port, "02", "vorel")
        till.say("connect 3")
        row = wait_for("the till on the page",
                       lambda: next((r for r in browser.run(READ_PAGE)["tills"] if r[0] == "001"), None))
        assert row[1] == "1号收银机", row
        assert row[2] == "02 " + HOSTILE_NAME, row  # the name shows as the characters it is
        assert row[4] == "在线" and row[5] == "3", row
        page = browser.run(READ_PAGE)
        assert page["markup"] == 0 and page["title"] != "owned", page

        # A sale moves its takings; the next keep-alive says the local store is empty.
        till.say("sell 00199000001 123.45")
        till.say("keepalive 0")

        def moved():
            p = browser.run(READ_PAGE)
            slips, total = takings_of(p, "001")
            till_row = next((r for r in p["tills"] if r[0] == "001"), ["?"] * 6)
            done = slips == slips_before + 1 and abs(total - total_before - 123.45) < 0.001 and till_row[5] == "0"
            return p if done else None

        page = wait_for("the takings to move", moved)
        row = next(r for r in page["takings"] if r[0] == "001")
        assert row[3] == "1" and row[4] == "%.2f" % (total_before + 123.45), row  # one unit, paid in cash
        if args.screenshot:
            browser.screenshot(args.screenshot)

        # The figures are behind the page's login only.
        assert http("GET", f"http://127.0.0.1:{port}/status")[0] == 401
        print("status page: 1 passed, 0 failed")
        return 0
    finally:
        for part in (till, browser):
            if part:
                try:
                    part.close()
                except Exception as e:  # noqa: BLE001 - cleaning up, the test's own failure matters more
                    print("cleanup:", e, file=sys.stderr)
        if server:
            server.terminate()
            server.wait(10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
