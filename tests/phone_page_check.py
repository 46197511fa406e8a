#!/usr/bin/env python3
"""phone_page_check.py PAGE EXPECTED.json SCREENSHOT.png

Opens a shopping-list page for the phone in Debian's Chromium, headless, at a
phone's size, through chromedriver, and checks it as a shopper would use it:
the lines in the expected order, names shown as text (no script from them
runs), a tick kept across a reload, "Hide ticked" hiding the ticked line, the
count of what is left, and not one network request. Prints what it checked;
exits 1 on the first fault, 2 when the browser is not there.
"""
import json
import os
import shutil
import sys
import tempfile

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    print("python3-selenium is not installed")
    sys.exit(2)


def fail(what):
    print("FAIL: " + what)
    sys.exit(1)


def main():
    page, expected_path, shot = sys.argv[1:4]
    expected = json.load(open(expected_path, encoding="utf-8"))
    browser = shutil.which("chromium") or "/usr/bin/chromium"
    driver_path = shutil.which("chromedriver") or "/usr/bin/chromedriver"
    if not (os.path.exists(browser) and os.path.exists(driver_path)):
        print("chromium or chromedriver is not installed")
        sys.exit(2)
    profile = tempfile.mkdtemp(prefix="pantrio-chromium-")
    opts = Options()
    opts.binary_location = browser
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                "--no-first-run", "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--user-data-dir=" + profile, "--window-size=390,844",
                "--force-device-scale-factor=1"):
        opts.add_argument(arg)
    opts.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    driver = webdriver.Chrome(service=Service(driver_path), options=opts)
    try:
        url = "file://" + os.path.abspath(page)
        driver.get(url)
        items = [e.get_attribute("textContent") for e in driver.find_elements(By.CSS_SELECTOR, "li .item")]
        if items != expected["items"]:
            fail("the lines are not in the expected order:\n%r\n%r" % (items, expected["items"]))
        groups = [e.get_attribute("textContent") for e in driver.find_elements(By.CSS_SELECTOR, "h2")]
        if groups != expected["groups"]:
            fail("the aisles are %r, not %r" % (groups, expected["groups"]))
        print("lines in order: %d in %d aisles" % (len(items), len(groups)))
        # Nothing wider than the phone, whatever the names: no sideways scroll.
        wide = driver.execute_script(
            "var w = window.innerWidth, out = [];"
            "if (document.documentElement.scrollWidth > w) out.push('page ' + document.documentElement.scrollWidth);"
            "document.querySelectorAll('body *').forEach(function (e) {"
            "  var r = e.getBoundingClientRect();"
            "  if (r.width > 0 && r.right > w + 0.5) out.push(e.tagName + ' ' + Math.round(r.right));"
            "});"
            "return out;")
        if wide:
            fail("wider than the screen: %s" % ", ".join(wide[:5]))
        print("nothing wider than the screen")
        if driver.execute_script("return window.pwned !== undefined"):
            fail("a script from an item name ran")
        if driver.find_elements(By.CSS_SELECTOR, "li img, li script, li b"):
            fail("an item name became markup")
        print("names shown as text; no script from them ran")

        total = len(items)
        left = driver.find_element(By.ID, "left")
        if left.text != "%d of %d left" % (total, total):
            fail("the count says %r" % left.text)
        boxes = driver.find_elements(By.CSS_SELECTOR, "li input[type=checkbox]")
        label = driver.find_elements(By.CSS_SELECTOR, "li label")[0]
        if label.size["height"] < 44:
            fail("a line's tick target is only %spx high" % label.size["height"])
        label.click()  # the whole line is the target
        if not boxes[0].is_selected():
            fail("clicking a line does not tick it")
        driver.refresh()
        boxes = driver.find_elements(By.CSS_SELECTOR, "li input[type=checkbox]")
        if not boxes[0].is_selected() or any(b.is_selected() for b in boxes[1:]):
            fail("the tick did not survive a reload")
        left = driver.find_element(By.ID, "left")
        if left.text != "%d of %d left" % (total - 1, total):
            fail("after a tick the count says %r" % left.text)
        print("a tick survives a reload; the count follows")

        driver.find_element(By.ID, "hide").click()
        lines = driver.find_elements(By.CSS_SELECTOR, "li")
        if lines[0].is_displayed() or not lines[1].is_displayed():
            fail("hide ticked does not hide just the ticked line")
        driver.refresh()
        if driver.find_elements(By.CSS_SELECTOR, "li")[0].is_displayed():
            fail("hide ticked did not survive a reload")
        print("hide ticked hides the ticked line, and stays on")
        driver.find_element(By.ID, "hide").click()
        driver.save_screenshot(shot)

        # The phone's dark mode: light text on a dark page.
        driver.execute_cdp_cmd("Emulation.setEmulatedMedia", {
            "features": [{"name": "prefers-color-scheme", "value": "dark"}]})
        background = driver.execute_script(
            "return getComputedStyle(document.body).backgroundColor")
        shade = [int(x) for x in background[background.index("(") + 1:-1].split(",")[:3]]
        if sum(shade) > 3 * 80:
            fail("in dark mode the page is %s" % background)
        driver.save_screenshot(shot.replace(".png", "-dark.png"))
        print("dark mode: the page turns dark (%s)" % background)

        # The requests the page made (the browser's own start page makes some
        # of its own, which are not the page's).
        requests = []
        for entry in driver.get_log("performance"):
            message = json.loads(entry["message"])["message"]
            if message.get("method") == "Network.requestWillBeSent":
                params = message["params"]
                if params.get("documentURL", "").startswith("file://"):
                    requests.append(params["request"]["url"])
        outside = [r for r in requests if not r.startswith("file://")]
        if outside:
            fail("the page asked the network for %r" % outside)
        print("no network request (%d requests, all for the file itself)" % len(requests))
    finally:
        driver.quit()
        shutil.rmtree(profile, ignore_errors=True)
    print("ok")


if __name__ == "__main__":
    main()
