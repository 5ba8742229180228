#!/usr/bin/env python3
"""The dashboard in a real browser during a run.

gangprog-cli serve on eight simulated units with a demo project loaded and the automatic loop
going; headless Chromium driven by Selenium opens the dashboard, finds eight site tiles, sees the
total rise, both charts drawn and, once the run is stopped, showing the station's yield report,
and no error in the console. With --shot FILE it only saves a
picture of the page during the run (scripts/screenshot.sh dashboard).

Exit status 0 passed, 1 failed, 77 skipped (no Chromium or Selenium here).
"""
import argparse
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

DEADLINE = 300  # seconds for any one wait; a regression fails, it never hangs
SKIP = 77
CHROMIUM_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                  "--no-first-run", "--disable-background-networking",
                  "--disable-component-update", "--disable-sync"]
# The smallest demo part: many parts per minute, so the page has something to show at once.
PROJECT = "MR24C256.zvprj"


def arguments():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--make-db", required=True)
    parser.add_argument("--make-project", required=True)
    parser.add_argument("--plus", required=True, help="the resource pack module")
    parser.add_argument("--chromedriver", default="/usr/bin/chromedriver")
    parser.add_argument("--shot", help="save a picture of the page instead of testing it")
    parser.add_argument("--fail-rate", default="0.15")
    return parser.parse_args()


def make_base(root, args):
    base = os.path.join(root, "base")
    os.makedirs(os.path.join(base, "System"))
    shutil.copy(args.plus, os.path.join(base, "System", "Plus.dll"))
    subprocess.run([args.make_db, base], check=True, stdout=subprocess.DEVNULL)
    projects = os.path.join(base, "Projects")
    os.makedirs(projects)
    subprocess.run([args.make_project, "--demo", base, projects], check=True,
                   stdout=subprocess.DEVNULL)
    return base


class Station:
    """gangprog-cli serve, its output drained, ended with SIGTERM."""

    def __init__(self, args, root, base):
        env = dict(os.environ, TMPDIR=root)
        self.process = subprocess.Popen(
            [args.cli, "--simulate", "8", "--sim-speed", "100", "--sim-fail-rate",
             args.fail_rate, "--base-dir", base, "serve", "--listen", "127.0.0.1:0"],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env, text=True)
        self.output = []
        self.port = None
        found = threading.Event()

        def drain():
            for line in self.process.stdout:
                self.output.append(line)
                match = re.search(r"Serving the station on http://[^:]+:(\d+)/", line)
                if match:
                    self.port = int(match.group(1))
                    found.set()
            found.set()

        threading.Thread(target=drain, daemon=True).start()
        if not found.wait(DEADLINE) or self.port is None:
            raise RuntimeError("the station did not start:\n" + "".join(self.output))
        self.url = "http://127.0.0.1:%d/" % self.port

    def post(self, path, body):
        request = urllib.request.Request(self.url + path, data=json.dumps(body).encode(),
                                         headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=DEADLINE) as reply:
            return reply.status, json.load(reply)

    def get(self, path):
        with urllib.request.urlopen(self.url + path, timeout=DEADLINE) as reply:
            return json.load(reply)

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        return self.process.wait(DEADLINE)


def browser(args, root):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for flag in CHROMIUM_FLAGS + ["--user-data-dir=" + os.path.join(root, "chromium"),
                                  "--window-size=1400,1000"]:
        options.add_argument(flag)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(args.chromedriver), options=options)


def wait_until(what, check):
    until = time.monotonic() + DEADLINE
    while time.monotonic() < until:
        value = check()
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("not within %d s: %s" % (DEADLINE, what))


def total(driver):
    return int(driver.find_element("id", "total").text)


# Both charts have data and have painted pixels on their canvases.
CHARTS_DRAWN = """
const painted = (id) => {
  const canvas = document.getElementById(id);
  const pixels = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
  for (let i = 3; i < pixels.length; i += 4) if (pixels[i] !== 0) return true;
  return false;
};
const chart = (id) => Chart.getChart(id);
return typeof Chart !== "undefined" && !!chart("uph-chart") && !!chart("yield-chart") &&
    chart("uph-chart").data.datasets[0].data.some((v) => v > 0) &&
    chart("yield-chart").data.datasets[0].data.some((v) => v > 0) &&
    painted("uph-chart") && painted("yield-chart");
"""


def check_dashboard(driver, station):
    driver.get(station.url)
    tiles = wait_until("eight site tiles", lambda: driver.find_elements("css selector", ".tile"))
    assert len(tiles) == 8, "%d tiles" % len(tiles)
    wait_until("the stream is live", lambda: driver.find_element("id", "link").text == "live")
    first = wait_until("a part counted", lambda: total(driver))
    wait_until("the total rises past %d" % first, lambda: total(driver) > first)
    wait_until("both charts drawn", lambda: driver.execute_script(CHARTS_DRAWN))
    states = [t.find_element("css selector", ".state").text for t in tiles]
    assert all(s in ("READY", "WORKING", "PASS", "FAIL", "Remove IC", "Insert IC")
               for s in states), states
    assert PROJECT in driver.find_element("id", "project-name").text
    check_charts_follow_the_report(driver, station)
    errors = [entry for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]
    assert not errors, errors


CHART_DATA = """
return [Chart.getChart("uph-chart").data.datasets[0].data,
        Chart.getChart("yield-chart").data.datasets[0].data];
"""


# Once the run has ended, the charts show the station's yield report: the hours' parts add up to
# every record, each site's bar is its yield in the report.
def check_charts_follow_the_report(driver, station):
    station.post("api/v1/stop", {})
    wait_until("the run ends", lambda: not station.get("api/v1/station")["running"])
    by_site = {row["site"]: 100 * row["yield"] for row in station.get("api/v1/report?by=site")}
    parts = sum(row["parts"] for row in station.get("api/v1/report?by=hour"))
    assert parts == len(station.get("api/v1/records?limit=100000")), parts
    wanted = [by_site.get(str(site), 0) for site in range(1, 9)]
    assert len(by_site) == 8, by_site

    def shown():
        hours, yields = driver.execute_script(CHART_DATA)
        return (sum(hours) == parts and len(hours) == 12 and
                all(abs(a - b) < 1e-9 for a, b in zip(yields, wanted)) and len(yields) == 8)
    wait_until("charts of %d parts and yields %s" % (parts, wanted), shown)


def main():
    args = arguments()
    try:
        import selenium  # noqa: F401
    except ImportError:
        print("skipped: python3-selenium is not installed")
        return SKIP
    if not os.path.exists(args.chromedriver):
        print("skipped: no chromedriver at " + args.chromedriver)
        return SKIP
    root = tempfile.mkdtemp(prefix="dashboard_")
    station = None
    driver = None
    try:
        base = make_base(root, args)
        station = Station(args, root, base)
        status, _ = station.post("api/v1/project", {"path": PROJECT})
        assert status == 200, status
        status, _ = station.post("api/v1/run", {"auto": True})
        assert status == 202, status
        driver = browser(args, root)
        if args.shot:
            driver.get(station.url)
            wait_until("parts on the page", lambda: total(driver) >= 40)
            wait_until("both charts drawn", lambda: driver.execute_script(CHARTS_DRAWN))
            driver.save_screenshot(args.shot)
            print("screenshot: " + args.shot)
        else:
            check_dashboard(driver, station)
            print("dashboard: eight tiles, the total rising, both charts drawn from the report, "
                  "no console error")
        driver.quit()
        driver = None
        status = station.stop()
        assert status == 0, "gangprog-cli serve ended with %d" % status
        return 0
    except (AssertionError, RuntimeError) as error:
        print("FAILED: %s" % error)
        if station:
            print("".join(station.output[-40:]))
        return 1
    finally:
        if driver:
            driver.quit()
        if station and station.process.poll() is None:
            station.process.kill()
            station.process.wait()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
