#!/usr/bin/env python3
"""share_check.py JOIN_A JOIN_B SHOTS_DIR

Two phones, each a headless Chromium at a phone's size through chromedriver,
join the shared list with the codes' addresses, then tick and add at once;
each must see the other's changes within seconds, and once. Phone A then
loses the network, ticks a line and adds one while offline, and comes back:
both reach the desktop and phone B, once. Every wait is bounded. Prints what
it checked; exits 1 on the first fault, 2 when the browser is not there.
"""
import os
import shutil
import sys
import tempfile
import time

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By
except ImportError:
    print("python3-selenium is not installed")
    sys.exit(2)


PHONES = []


def fail(what):
    print("FAIL: " + what)
    # What the pages said, for the one who reads the failure.
    for d in PHONES:
        try:
            for entry in d.get_log("browser"):
                print("  console: " + entry.get("message", ""))
        except Exception:
            pass
    sys.exit(1)


def phone(profile):
    browser = shutil.which("chromium") or "/usr/bin/chromium"
    driver_path = shutil.which("chromedriver") or "/usr/bin/chromedriver"
    if not (os.path.exists(browser) and os.path.exists(driver_path)):
        print("chromium or chromedriver is not installed")
        sys.exit(2)
    opts = Options()
    opts.binary_location = browser
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                "--disable-background-networking", "--disable-component-update", "--disable-sync",
                "--user-data-dir=" + profile, "--window-size=390,844",
                "--force-device-scale-factor=1"):
        opts.add_argument(arg)
    opts.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(driver_path), options=opts)
    PHONES.append(driver)
    return driver


def until(what, check, seconds=10):
    end = time.time() + seconds
    while time.time() < end:
        try:
            if check():
                return
        except Exception:
            pass
        time.sleep(0.1)
    fail(what)


def lines(d):
    # Read in one step: the page rebuilds its lines whenever the list changes.
    return d.execute_script(
        "var o = {}; document.querySelectorAll('li').forEach(function (li) {"
        "  var b = li.querySelector('input[type=checkbox]');"
        "  o[li.querySelector('.item').textContent] = !!(b && b.checked); });"
        "return o;")


def tick(d, item):
    d.execute_script(
        "var want = arguments[0];"
        "document.querySelectorAll('li').forEach(function (li) {"
        "  if (li.querySelector('.item').textContent === want)"
        "    li.querySelector('input[type=checkbox]').click(); });", item)


def add(d, item):
    # Typed as a script would: some texts cannot be sent as keys.
    d.execute_script("document.getElementById('item').value = arguments[0];"
                     "document.querySelector('#add button').click();", item)


def status(d):
    return d.find_element(By.ID, "status").text


def join(d, address, name):
    d.get(address)
    until(name + " sees the join form", lambda: d.find_element(By.ID, "join").is_displayed())
    d.find_element(By.ID, "name").send_keys(name)
    d.find_element(By.CSS_SELECTOR, "#join button").click()
    until(name + " joins and sees the list", lambda: len(lines(d)) >= 2, 20)
    if "#join=" in d.current_url:
        fail("the secret stays in the address bar after joining")


def main():
    join_a, join_b, shots = sys.argv[1:4]
    profiles = [tempfile.mkdtemp(prefix="pantrio-phone-") for _ in range(2)]
    a = phone(profiles[0])
    b = phone(profiles[1])
    try:
        join(a, join_a, "Phone A")
        join(b, join_b, "Phone B")
        print("two phones joined")
        first = sorted(lines(a))[0]

        # A ticks; B sees it. B adds a line; A sees it, once.
        tick(a, first)
        until("phone A shows its tick", lambda: lines(a).get(first) is True)
        until("phone B sees phone A's tick", lambda: lines(b).get(first) is True)
        b.find_element(By.ID, "item").send_keys("Bread from B")
        b.find_element(By.ID, "qty").send_keys("2")
        b.find_element(By.CSS_SELECTOR, "#add button").click()
        until("phone A sees phone B's line",
              lambda: "Bread from B" in lines(a) and "Bread from B" in lines(b))
        print("ticks and additions reach the other phone")

        # A goes offline: its changes wait, and arrive once when it is back.
        a.set_network_conditions(offline=True, latency=0, download_throughput=0,
                                 upload_throughput=0)
        time.sleep(1)
        target = sorted(k for k, v in lines(a).items() if not v and k != "Bread from B")[0]
        tick(a, target)
        a.find_element(By.ID, "item").send_keys("Eggs from A offline")
        a.find_element(By.CSS_SELECTOR, "#add button").click()
        time.sleep(2)
        if lines(b).get(target) is True or "Eggs from A offline" in lines(b):
            fail("a change made offline arrived while offline")
        a.delete_network_conditions()
        a.execute_script("window.dispatchEvent(new Event('online'))")
        until("phone B sees what phone A did offline",
              lambda: lines(b).get(target) is True and "Eggs from A offline" in lines(b), 20)
        print("changes made offline arrive when the phone is back")

        # A double tap, online and offline: the line ends unticked everywhere.
        tick(a, "Zz line 0001")
        tick(a, "Zz line 0001")
        a.set_network_conditions(offline=True, latency=0, download_throughput=0,
                                 upload_throughput=0)
        time.sleep(1)
        tick(a, "Zz line 0002")
        tick(a, "Zz line 0002")
        # A change the desktop refuses among good ones: a name of only U+0085
        # (white space to the desktop, not to the page's trim).
        add(a, "\u0085")
        add(a, "Good from A")
        a.delete_network_conditions()
        a.execute_script("window.dispatchEvent(new Event('online'))")
        until("phone B sees the good line sent beside a refused one",
              lambda: "Good from A" in lines(b), 20)
        until("phone A says which change was refused and why",
              lambda: "was not added" in status(a), 10)
        if "Offline" in status(a):
            fail("one refused change kept the phone offline: " + status(a))
        time.sleep(1.5)
        for d, who in ((a, "phone A"), (b, "phone B")):
            seen = lines(d)
            if seen.get("Zz line 0001") or seen.get("Zz line 0002"):
                fail(who + " shows a line ticked and unticked again as ticked")
        print("a double tap, online and offline, leaves the line unticked; a refused change is told")

        # A second tab of phone A, opened later: its numbers are its own.
        first_tab = a.current_window_handle
        a.switch_to.new_window("tab")
        a.get(join_a.split("#")[0])
        until("the second tab shows the list", lambda: len(lines(a)) >= 4, 20)
        second_tab = a.current_window_handle
        tick(a, "Zz line 0003")
        a.switch_to.window(first_tab)
        tick(a, "Zz line 0004")
        until("phone B sees both tabs' ticks",
              lambda: lines(b).get("Zz line 0003") is True and lines(b).get("Zz line 0004") is True,
              20)
        # A tab closed with a change it could not send: the other tab sends it.
        a.switch_to.window(second_tab)
        a.execute_script("window.fetch = function () {"
                         " return Promise.reject(new TypeError('no network')); };")
        tick(a, "Zz line 0005")
        time.sleep(0.5)
        a.close()
        a.switch_to.window(first_tab)
        until("the closed tab's change arrives through the other tab",
              lambda: lines(b).get("Zz line 0005") is True, 30)
        print("two tabs of one phone: each change arrives, once")

        # A change made on the desktop reaches both phones. Phone A's own read
        # of the change above may come after B shows it: quiet first, then count.
        time.sleep(2)
        print("WAITING-FOR-DESKTOP", flush=True)
        until("both phones see the desktop's new line",
              lambda: "Butter from the desktop" in lines(a) and "Butter from the desktop" in lines(b),
              20)
        time.sleep(2)
        print("SETTLED", flush=True)
        time.sleep(1)
        print("the desktop's changes reach the phones")

        # The computer out of reach for a while: the page says so, and says
        # so no more once it answers again, without a change of its own.
        a.execute_script("window.realFetch = window.fetch;"
                         "window.fetch = function () {"
                         " return Promise.reject(new TypeError('no network')); };")
        # The wait in progress ends with the next change; a line from B does it.
        add(b, "Wakes the wait")
        until("phone A says the computer cannot be reached",
              lambda: "cannot be reached" in status(a), 15)
        a.execute_script("window.fetch = window.realFetch;")
        until("phone A no longer says the computer cannot be reached",
              lambda: "cannot be reached" not in status(a) and "Wakes the wait" in lines(a), 15)
        print("the page says when the computer is back")

        # A list read that fails (the computer busy, a connection cut) is
        # read again, not left stale until some later change.
        a.execute_script("window.realFetch = window.fetch; window.failedReads = 0;"
                         "window.fetch = function (url, o) {"
                         " if (String(url).indexOf('/api/list') === 0 && !window.failedReads++)"
                         "  return Promise.resolve(new Response('{}', { status: 503 }));"
                         " return window.realFetch(url, o); };")
        add(b, "After a failed read")
        until("phone A reads the list again after a failed read",
              lambda: "After a failed read" in lines(a), 15)
        if a.execute_script("return window.failedReads;") < 1:
            fail("phone A's read did not fail as the check meant it to")
        until("phone A says it is up to date again",
              lambda: "could not be read" not in status(a), 10)
        a.execute_script("window.fetch = window.realFetch;")
        print("a failed list read is read again")

        # The page first shown on a phone that joined before: a reload.
        start = time.time()
        a.refresh()
        until("the page shows its lines again", lambda: len(lines(a)) >= 4, 20)
        print("page shown again with %d lines in %d ms"
              % (len(lines(a)), int((time.time() - start) * 1000)))
        a.save_screenshot(os.path.join(shots, "phone-a.png"))
        b.save_screenshot(os.path.join(shots, "phone-b.png"))
        print("first line: %s" % first)
    finally:
        a.quit()
        b.quit()
        for p in profiles:
            shutil.rmtree(p, ignore_errors=True)


if __name__ == "__main__":
    main()
