#!/usr/bin/python3
"""The live page in headless Chromium, against vornikd on the virtual chain: the token from the
address, the mode buttons from the service's action table, a typed message reaching the chain
and the page's digits, lower case through user-font glyphs, a refused character's error, and
the chain on one row at a phone's width.

    livepage.py VORNIK-CHAIN VORNIKD [--screenshot FILE.png]

Exits 77 (skipped) only when Chromium is not installed."""

import os
import queue
import shutil
import subprocess
import sys
import tempfile
import threading

SKIPPED = 77
DIGITS = 6
WAIT = 30  # seconds: generous, only for things to arrive
ON = "rgb(255, 128, 0)"  # the window's lit segment
# "HELLO " as the chain's built-in font draws it: the lit segments of each digit.
HELLO = [[1, 2, 4, 5, 9, 13], [0, 3, 4, 5, 13], [3, 4, 5], [3, 4, 5], [0, 1, 2, 3, 4, 5], []]
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync"]


class Lines:
    """A program's standard output, line by line, as it comes."""

    def __init__(self, process):
        self.seen = []
        self._queue = queue.Queue()
        threading.Thread(target=self._read, args=(process.stdout,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self._queue.put(line.rstrip("\n"))
        self._queue.put(None)

    def wait_for(self, text, what):
        """The first line (new or already seen) containing text."""
        for line in self.seen:
            if text in line:
                return line
        while True:
            try:
                line = self._queue.get(timeout=WAIT)
            except queue.Empty:
                line = None
            if line is None:
                raise AssertionError(f"{what}: no line with {text!r} in {WAIT} s; got {self.seen}")
            self.seen.append(line)
            if text in line:
                return line


def start(arguments, env):
    process = subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=sys.stderr, text=True,
                               env=env)
    return process, Lines(process)


def lit_segments(driver):
    """Per digit on the page, which of its lines (in the shared geometry's order, as the service
    draws them) are in the lit colour."""
    return driver.execute_script("""
        return [...document.querySelectorAll('#chain svg')].map((svg) =>
            [...svg.querySelectorAll('line')].flatMap((line, k) =>
                getComputedStyle(line).stroke === arguments[0] ? [k] : []));""", ON)


def until(wait, condition, what, now):
    """Waits for condition; when it does not come, says what was awaited and what is there now."""
    from selenium.common.exceptions import TimeoutException
    try:
        wait.until(condition)
    except TimeoutException:
        raise AssertionError(f"{what}: not within {WAIT} s; now {now()!r}") from None


def run(chain_program, service_program, screenshot, work):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
    from selenium.webdriver.support import expected_conditions
    from selenium.webdriver.support.ui import WebDriverWait

    env = dict(os.environ, VORNIK_PAUSE_SCALE="0", XDG_CONFIG_HOME=work, HOME=work,
               QT_QPA_PLATFORM="offscreen")
    processes = []
    driver = None
    try:
        chain, chain_out = start([chain_program, "--dump", "--digits", str(DIGITS)], env)
        processes.append(chain)
        device = chain_out.wait_for("/dev/", "vornik-chain's device")
        config = os.path.join(work, "vornikd.conf")
        open(config, "w").close()
        token_file = os.path.join(work, "token")
        service, service_out = start([service_program, "--port", device, "--chain", str(DIGITS),
                                      "--listen", "127.0.0.1:0", "--token-file", token_file,
                                      "--config", config], env)
        processes.append(service)
        address = service_out.wait_for("listening on http://", "vornikd's address").split()[-1]
        with open(token_file) as f:
            token = f.read().strip()

        options = webdriver.ChromeOptions()
        options.binary_location = shutil.which("chromium")
        for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + os.path.join(work, "profile"),
                                      "--window-size=900,1300"]:
            options.add_argument(flag)
        # The page's own questions stay open for the test to answer.
        options.set_capability("unhandledPromptBehavior", "ignore")
        driver = webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)
        wait = WebDriverWait(driver, WAIT)

        # The token from the address is kept and leaves the address bar; the chain is drawn live.
        driver.get(address + "#token=" + token)
        link = lambda: driver.find_element(By.ID, "link").text
        until(wait, lambda d: link() == "live", "the page connected", link)
        assert "token" not in driver.current_url, driver.current_url
        assert driver.execute_script("return localStorage.getItem('vornikd-token')") == token
        assert driver.execute_script(
            "return document.querySelectorAll('#chain svg line').length") == DIGITS * 15

        # A link from anywhere with another token: the page asks, and a "no" keeps the token.
        driver.get("about:blank")
        driver.get(address + "#token=0123456789abcdef0123")
        wait.until(expected_conditions.alert_is_present()).dismiss()
        assert driver.execute_script("return localStorage.getItem('vornikd-token')") == token
        until(wait, lambda d: link() == "live", "the page connected again", link)

        # The mode buttons are the service's modes.
        modes = lambda: driver.execute_script(
            "return [...document.querySelectorAll('#modes button')].map((b) => b.dataset.mode)")
        until(wait, lambda d: modes(), "the mode buttons", modes)
        assert modes() == ["off", "clock", "date", "count", "animate", "test"], modes()

        # A message as typed, on the chain's line and the page.
        box = driver.find_element(By.ID, "text")
        box.send_keys("HELLO")
        driver.find_element(By.ID, "send").click()
        chain_out.wait_for('chars="HELLO "', "the message on the chain")
        until(wait, lambda d: lit_segments(d) == HELLO, "the digits show HELLO",
              lambda: lit_segments(driver))
        assert driver.find_element(By.ID, "error").text == ""

        # Lower case and symbols as typed: in font U, the digits read back through the glyphs.
        box.clear()
        box.send_keys("Hi 21\u00b0")
        driver.find_element(By.ID, "send").click()
        shown = lambda: driver.execute_script(
            "return [...document.querySelectorAll('#chain svg')].map((s) => s.dataset.character)"
            ".join('')")
        until(wait, lambda d: shown() == "Hi 21\u00b0", "the digits read the text", shown)
        chain_out.wait_for('fonts="0U000U"', "the text's glyphs in the user font")

        # A character without a glyph: the service's refusal, readable on the page.
        box.clear()
        box.send_keys("a\u4e2db")
        driver.find_element(By.ID, "send").click()
        error = lambda: driver.find_element(By.ID, "error").text
        until(wait, lambda d: error(), "the refusal shown", error)
        assert 'no glyph for "\u4e2d" (U+4E2D) at character 2' in error(), error()

        if screenshot:
            box.clear()
            box.send_keys("Hi 21\u00b0")
            driver.execute_script("document.getElementById('error').classList.remove('shown')")
            # The whole page: the window grows by what is below the fold.
            driver.set_window_size(900, 1000)
            below = driver.execute_script(
                "return document.documentElement.scrollHeight - window.innerHeight")
            driver.set_window_size(900, 1000 + below)
            driver.save_screenshot(screenshot)

        # A phone's width: nothing wider than the screen.
        driver.set_window_size(360, 740)
        wait.until(lambda d: d.execute_script("return window.innerWidth") <= 360)
        overflow = driver.execute_script(
            "return document.documentElement.scrollWidth - window.innerWidth")
        assert overflow <= 0, f"the page is {overflow} px wider than a phone's screen"
        rows = driver.execute_script(
            "return new Set([...document.querySelectorAll('#chain svg')]"
            ".map((s) => Math.round(s.getBoundingClientRect().top))).size")
        assert rows == 1, f"the chain takes {rows} rows at a phone's width"

    finally:
        if driver:
            driver.quit()
        for process in reversed(processes):
            process.terminate()
            process.wait(timeout=WAIT)


def main():
    arguments = sys.argv[1:]
    screenshot = None
    if "--screenshot" in arguments:
        at = arguments.index("--screenshot")
        screenshot = os.path.abspath(arguments[at + 1])
        del arguments[at:at + 2]
    if len(arguments) != 2:
        sys.exit(__doc__)
    if not shutil.which("chromium"):
        print("chromium is not installed: the live page is not tested (scripts/install-deps.sh)")
        return SKIPPED
    for needed, package in (("chromedriver", "chromium-driver"),):
        if not shutil.which(needed):
            sys.exit(f"{needed} is missing: install {package} (scripts/install-deps.sh)")
    with tempfile.TemporaryDirectory(prefix="livepage-") as work:
        run(arguments[0], arguments[1], screenshot, work)
    print("the live page: token, message, digits, refusal and phone width as expected")
    return 0


if __name__ == "__main__":
    sys.exit(main())
