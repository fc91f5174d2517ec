#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives a headless Chromium through its DevTools protocol (over a pipe)
the way a phone in another room would use the remote view, and prints what
it saw as one JSON object.

    browser.py PAIRING_URL OUT_DIR
    browser.py --follow PAGES SECONDS PAIRING_URL

A first browser opens the pairing link on a phone-sized screen, waits for
readings that change and for an alarm banner, takes screenshots in night
and day colours, and puts a mark with a note. A second browser, with no
cookie, then asks for the page, the pairing link again and the live
connection. Every wait has a deadline; a missed one is reported, not hung.

With --follow (for the benchmarks) it pairs, keeps PAGES pages of the same
browser open for SECONDS and prints how long each readings message took
from its reading to the page (milliseconds).
"""
import base64
import json
import os
import subprocess
import sys
import time


class Chromium:
    def __init__(self):
        to_child_r, self._to_child = os.pipe()
        self._from_child, from_child_w = os.pipe()

        def fds():
            # Through free numbers first: a pipe may already be 3 or 4, and
            # a pipe's own numbers close when the browser starts.
            r, w = os.dup(to_child_r), os.dup(from_child_w)
            os.dup2(r, 3)
            os.dup2(w, 4)

        self._proc = subprocess.Popen(
            ["chromium", "--headless=new", "--no-sandbox", "--remote-debugging-pipe",
             "--ignore-certificate-errors", "--no-first-run", "--disable-gpu",
             "--disable-extensions", "--mute-audio", "about:blank"],
            # The protocol's pipe is the child's fds 3 and 4, set up after the fork.
            close_fds=False, preexec_fn=fds,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_child_r)
        os.close(from_child_w)
        self._next = 0
        self._buffer = b""
        self.events = []  # what the browser told while it was asked things

    def close(self):
        try:
            self.call("Browser.close")
        except Exception:
            pass
        try:
            self._proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self._proc.kill()

    def _read_message(self, deadline):
        while b"\0" not in self._buffer:
            if time.monotonic() > deadline:
                raise TimeoutError("no answer from the browser")
            chunk = os.read(self._from_child, 65536)
            if not chunk:
                raise EOFError("the browser ended")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, session=None, timeout=20, **params):
        self._next += 1
        request = {"id": self._next, "method": method, "params": params}
        if session:
            request["sessionId"] = session
        os.write(self._to_child, json.dumps(request).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            m = self._read_message(deadline)
            if m.get("id") == self._next:
                if "error" in m:
                    raise RuntimeError(f"{method}: {m['error']}")
                return m.get("result", {})
            if "method" in m:
                self.events.append(m)

    def status_of(self, page, url, timeout=20):
        """The HTTP status `page` got for `url`; None at the deadline."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            for e in self.events:
                if (e["method"] == "Network.responseReceived" and e.get("sessionId") == page.session
                        and e["params"]["response"]["url"] == url):
                    return e["params"]["response"]["status"]
            self.call("Browser.getVersion")  # lets the events in
            time.sleep(0.05)
        return None

    def page(self, url, isolated=False, before_load=None):
        context = {}
        if isolated:
            context["browserContextId"] = self.call("Target.createBrowserContext")["browserContextId"]
        target = self.call("Target.createTarget", url="about:blank", **context)["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        p = Page(self, session)
        p.call("Page.enable")
        p.call("Network.enable")
        if before_load:
            p.call("Page.addScriptToEvaluateOnNewDocument", source=before_load)
        p.call("Emulation.setDeviceMetricsOverride", width=390, height=int(os.environ.get("KESTLE_PAGE_HEIGHT", "844")), deviceScaleFactor=1,
               mobile=True)
        p.call("Page.navigate", url=url)
        return p


class Page:
    def __init__(self, browser, session):
        self._browser = browser
        self.session = session

    def call(self, method, **params):
        return self._browser.call(method, session=self.session, **params)

    def value(self, expression):
        r = self.call("Runtime.evaluate", expression=expression, returnByValue=True,
                      awaitPromise=True)
        return r.get("result", {}).get("value")

    def wait(self, expression, timeout):
        """Polls `expression` until it is truthy; its value, or None at the deadline."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            try:
                v = self.value(expression)
            except RuntimeError:
                v = None
            if v:
                return v
            time.sleep(0.05)
        return None

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))


READINGS = "['a','b','emf','natural','temperature'].map(k=>document.getElementById(k).textContent).join('|')"


# Each readings message's age when it reaches the page: its reading's time
# (the "ms" it carries) to its arrival, on this machine's one clock.
AGES = """window.__ages = [];
const Plain = window.WebSocket;
window.WebSocket = function (url, protocols) {
  const ws = new Plain(url, protocols);
  ws.addEventListener('message', m => {
    try { const s = JSON.parse(m.data); if (s.ms) window.__ages.push(Date.now() - s.ms); } catch (e) {}
  });
  return ws;
};"""


def follow(pages, seconds, url):
    origin = url.split("/pair")[0]
    browser = Chromium()
    result = {}
    try:
        opened = [browser.page(url, before_load=AGES)]
        if not opened[0].wait("window.__ages && window.__ages.length > 0", 30):
            raise TimeoutError("no readings reached the first page")
        for _ in range(pages - 1):
            opened.append(browser.page(origin + "/", before_load=AGES))
        time.sleep(seconds)
        ages = []
        for p in opened:
            ages += p.value("window.__ages") or []
        ages.sort()
        result = {"pages": len(opened), "messages": len(ages),
                  "median": ages[len(ages) // 2] if ages else None,
                  "p95": ages[int(len(ages) * 0.95)] if ages else None,
                  "max": ages[-1] if ages else None}
    except Exception as e:
        result["error"] = f"{type(e).__name__}: {e}"
    finally:
        browser.close()
    print(json.dumps(result), flush=True)


def main():
    if sys.argv[1] == "--follow":
        follow(int(sys.argv[2]), float(sys.argv[3]), sys.argv[4])
        return
    url, out = sys.argv[1], sys.argv[2]
    origin = url.split("/pair")[0]
    seen = {}
    browser = Chromium()
    try:
        phone = browser.page(url)
        first = phone.wait(f"document.getElementById('a') && document.getElementById('a').textContent !== '–' && {READINGS}", 30)
        seen["readings"] = first
        seen["changed"] = bool(first) and phone.wait(f"{READINGS} !== {json.dumps(first)} && {READINGS}", 30)
        seen["alarm"] = phone.wait("document.getElementById('alarm').classList.contains('on') && document.getElementById('alarm').textContent", 40)
        phone.screenshot(os.path.join(out, "night.png"))
        phone.value("document.getElementById('theme').click()")
        seen["day"] = phone.value("document.body.classList.contains('day')")
        phone.screenshot(os.path.join(out, "day.png"))
        phone.value("document.getElementById('note').value='from the phone';document.getElementById('mark').click()")
        seen["marked"] = phone.wait("document.getElementById('markinfo').textContent.startsWith('Marked at') && document.getElementById('markinfo').textContent", 20)

        # A second browser of its own, without the code: nothing.
        stranger = browser.page(origin + "/", isolated=True)
        seen["strangerStatus"] = browser.status_of(stranger, origin + "/")
        stranger.call("Page.navigate", url=url)
        seen["strangerPairStatus"] = browser.status_of(stranger, url)
        stranger.call("Page.navigate", url="about:blank")
        stranger.wait("location.href === 'about:blank'", 20)
        seen["strangerLive"] = stranger.value("""new Promise(done => {
            const got = []; const ws = new WebSocket(%s);
            ws.onmessage = m => got.push(m.data);
            ws.onclose = () => done({closed: true, messages: got.length});
            setTimeout(() => done({closed: false, messages: got.length}), 5000); })""" % json.dumps(origin.replace("http", "ws", 1) + "/live"))
    except Exception as e:  # what it saw so far, and why it stopped
        seen["error"] = f"{type(e).__name__}: {e}"
    finally:
        browser.close()
    print(json.dumps(seen))


if __name__ == "__main__":
    main()
