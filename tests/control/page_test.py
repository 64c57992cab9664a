#!/usr/bin/python3
# The control page in a real browser (Debian's chromium through chromium-driver), on a phone-sized
# page, watched by a real ffmpeg receiver: the operator presses Overlay On/Off and the logo
# appears; types an offset slowly while the page refreshes and sees that value applied; uploads
# a picture through the page and taps it, and it goes on air. Takes the path of
# ndivantor-headless; leaves the page's picture beside it as page_test_phone.png.
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WIDTH, HEIGHT = 640, 360
BOUND_S = 20


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for_line(copy, text):
    deadline = time.time() + BOUND_S
    while time.time() < deadline:
        line = copy.stdout.readline()
        if line.strip() == text:
            return
    sys.exit(f"the copy never said {text!r}")


def top_right_pixel(port, x_offset=0):
    """The top right pixel of the logo `x_offset` in from the right, in the next frame a real
    receiver decodes, as (r, g, b, a)."""
    frame = subprocess.run(
        ["ffmpeg", "-loglevel", "error", "-i", f"tcp://127.0.0.1:{port}", "-frames:v", "3",
         "-f", "rawvideo", "-pix_fmt", "bgra", "-"],
        capture_output=True, timeout=BOUND_S, check=True).stdout
    last = frame[-WIDTH * HEIGHT * 4:]
    x = WIDTH - 1 - x_offset
    b, g, r, a = last[x * 4:(x + 1) * 4]
    return (r, g, b, a)


def make_logo(path, colour="0x14c828"):
    """A 40 x 20 picture of one colour; its pixel (r, g, b, a) as the file holds it."""
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i", f"color=c={colour}:s=40x20",
                    "-frames:v", "1", "-pix_fmt", "rgba", path], check=True)
    pixel = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgba", "-"],
                           capture_output=True, check=True).stdout[:4]
    return tuple(pixel)


def post(api, path, body):
    request = urllib.request.Request(f"http://127.0.0.1:{api}{path}", data=json.dumps(body).encode(), method="POST",
                                     headers={"Content-Type": "application/json"})
    urllib.request.urlopen(request, timeout=BOUND_S).close()


def state_refreshes(browser):
    return browser.execute_script(
        "return performance.getEntriesByType('resource').filter(e => e.name.endsWith('/api/state')).length")


def type_offset_slowly(browser, wait, api):
    """Types 80 into X a key at a time while the page refreshes at least twice and X changes
    elsewhere, then presses Move; the page must keep and send what was typed."""
    browser.execute_script("performance.setResourceTimingBufferSize(100000)")
    field = browser.find_element(By.ID, "x")
    field.clear()
    field.send_keys("8")
    before = state_refreshes(browser)
    post(api, "/api/overlay", {"x": 10})
    wait.until(lambda _: state_refreshes(browser) >= before + 2)
    if field.get_attribute("value") != "8":
        sys.exit(f"a refresh overwrote X while it was typed: {field.get_attribute('value')!r}")
    field.send_keys("0")
    browser.find_element(By.CSS_SELECTOR, "#offsets button[type=submit]").click()
    wait.until(lambda _: "held" not in browser.find_element(By.ID, "offsets").get_attribute("class").split())


def stop_needs_two_presses_and_a_lost_copy_is_not_stopped(browser, wait, api, copy):
    air = browser.find_element(By.ID, "air")
    browser.find_element(By.ID, "stop").click()
    time.sleep(1.5)
    with urllib.request.urlopen(f"http://127.0.0.1:{api}/api/state", timeout=BOUND_S) as answer:
        if not json.load(answer)["sending"]:
            sys.exit("one press of Stop took the source off the network")
    browser.find_element(By.ID, "stop").click()
    wait.until(lambda _: air.text.startswith("Stopped"))
    if not air.text.startswith("Stopped: receivers hold a clear frame"):
        sys.exit(f"the stopped copy's receivers are not told apart: {air.text!r}")
    copy.terminate()
    copy.wait(BOUND_S)
    wait.until(lambda _: air.text == "Copy not reachable")
    if browser.find_element(By.ID, "on-off").is_enabled():
        sys.exit("the controls stay live while the copy is not reachable")


def main(headless):
    work = tempfile.mkdtemp()
    logo = os.path.join(work, "logo.png")
    logo_pixel = make_logo(logo)
    library = os.path.join(work, "library")
    os.mkdir(library)
    upload = os.path.join(work, "red.png")
    upload_pixel = make_logo(upload, "0xe01010")
    api = free_port()
    environment = dict(os.environ, DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/bus",
                       NDIVANTOR_RUNTIME="builtin", XDG_CONFIG_HOME=work, XDG_STATE_HOME=work)
    copy = subprocess.Popen([headless, "--overlay", logo, "--size", f"{WIDTH}x{HEIGHT}",
                             "--control", str(api), "--control-files", library], stdout=subprocess.PIPE, text=True, env=environment)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=390,844", f"--user-data-dir={work}/chromium"]:
        options.add_argument(flag)
    browser = None
    try:
        wait_for_line(copy, "Sending")
        with urllib.request.urlopen(f"http://127.0.0.1:{api}/api/state", timeout=BOUND_S) as answer:
            source_port = json.load(answer)["port"]
        if top_right_pixel(source_port)[3] != 0:
            sys.exit("the logo shows before it is switched on")

        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        browser.set_window_size(390, 844)
        browser.get(f"http://127.0.0.1:{api}/")
        wait = WebDriverWait(browser, BOUND_S)
        button = browser.find_element(By.ID, "on-off")
        wait.until(lambda _: button.text == "Overlay OFF" and "logo.png" in browser.find_element(By.ID, "logo-file").text)
        button.click()
        wait.until(lambda _: button.text == "Overlay ON" and "on" in button.get_attribute("class").split())
        seen = top_right_pixel(source_port)
        if seen != logo_pixel:
            sys.exit(f"after On the receiver sees {seen} in the top right corner, not the logo {logo_pixel}")

        type_offset_slowly(browser, wait, api)
        seen = top_right_pixel(source_port, 80)
        if seen != logo_pixel or top_right_pixel(source_port)[3] != 0:
            sys.exit(f"after X 80 the receiver sees {seen} 80 in from the right, not the logo {logo_pixel}")

        browser.find_element(By.ID, "upload").send_keys(upload)
        tile = wait.until(lambda _: browser.find_elements(By.CSS_SELECTOR, "button.file[data-path$='/red.png']"))[0]
        tile.click()
        wait.until(lambda _: "red.png" in browser.find_element(By.ID, "logo-file").text)
        seen = top_right_pixel(source_port, 80)
        if seen != upload_pixel:
            sys.exit(f"after the uploaded picture's tap the receiver sees {seen}, not its {upload_pixel}")
        time.sleep(1)  # a picture of the output in the page, for whoever looks at the screenshot
        browser.save_screenshot(os.path.join(os.path.dirname(os.path.abspath(headless)), "page_test_phone.png"))

        stop_needs_two_presses_and_a_lost_copy_is_not_stopped(browser, wait, api, copy)
    finally:
        if browser:
            browser.quit()
        copy.terminate()
        copy.wait(BOUND_S)
    print("the page's On/Off, typed offset and uploaded picture reached the output")


if __name__ == "__main__":
    main(sys.argv[1])
