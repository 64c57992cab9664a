#!/usr/bin/python3
# The control page in a real browser (Debian's chromium through chromium-driver), on a phone-sized
# page, watched by a real ffmpeg receiver: the operator gives the token, switches the logo on air
# and it appears; types an offset slowly while the page refreshes and sees that value applied;
# an offset past the frame's edge is refused before it is sent; uploads a picture through the
# page and taps it, and it goes on air; replaces that file and is offered to load it again; taps
# a picture with no visible pixel and is asked before it goes on air. The page's states: a copy
# gone (grey dashed lamp, controls off), and an address refused for wrong tokens (a countdown).
# Takes the path of ndivantor-headless; leaves the page's picture beside it as
# page_test_phone.png, and one picture of each state in /tmp (page_*.png).
import json
import os
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import WebDriverWait

WIDTH, HEIGHT = 640, 360
BOUND_S = 20
TOKEN = "studio-secret-42"


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
    """A 40 x 20 picture of one colour (a JPEG, with no alpha, when the path says so); its pixel
    (r, g, b, a) as the file holds it."""
    pixel_format = "yuvj444p" if path.endswith(".jpg") else "rgba"
    subprocess.run(["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i", f"color=c={colour}:s=40x20",
                    "-frames:v", "1", "-pix_fmt", pixel_format, path], check=True)
    pixel = subprocess.run(["ffmpeg", "-loglevel", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgba", "-"],
                           capture_output=True, check=True).stdout[:4]
    return tuple(pixel)


def post(api, path, body):
    request = urllib.request.Request(f"http://127.0.0.1:{api}{path}", data=json.dumps(body).encode(), method="POST",
                                     headers={"Content-Type": "application/json", "Authorization": f"Bearer {TOKEN}"})
    urllib.request.urlopen(request, timeout=BOUND_S).close()


def api_state(api, token=TOKEN):
    request = urllib.request.Request(f"http://127.0.0.1:{api}/api/state", headers={"Authorization": f"Bearer {token}"})
    with urllib.request.urlopen(request, timeout=BOUND_S) as answer:
        return json.load(answer)


def screenshot(browser, name):
    time.sleep(0.5)  # the header settled, for whoever looks at the picture
    browser.save_screenshot(f"/tmp/page_{name}.png")


def shown(browser, element_id):
    return browser.find_element(By.ID, element_id).is_displayed()


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


def an_offset_past_the_edge_is_refused_before_it_is_sent(browser, wait, api):
    field = browser.find_element(By.ID, "x")
    field.clear()
    field.send_keys(str(WIDTH))
    browser.find_element(By.CSS_SELECTOR, "#offsets button[type=submit]").click()
    said = f"Not moved: X {WIDTH} puts the logo wholly outside the {WIDTH}x{HEIGHT} frame; the largest X that keeps a " \
           f"pixel of it in is {WIDTH - 1}."
    wait.until(lambda _: browser.find_element(By.ID, "note").text == said)
    screenshot(browser, "outside_frame")
    if api_state(api)["overlay"]["x"] != 80:
        sys.exit("an offset past the frame's edge reached the copy")
    browser.find_element(By.CSS_SELECTOR, "#offsets .revert").click()


def a_replaced_file_on_air_is_said_and_loaded_again(browser, wait, port, replacement, old_pixel, new_pixel):
    browser.find_element(By.ID, "upload").send_keys(replacement)
    wait.until(lambda _: shown(browser, "replaced"))
    screenshot(browser, "replaced_on_air")
    if "replaced the logo's file" not in browser.find_element(By.ID, "replaced").text:
        sys.exit(f"the notice says {browser.find_element(By.ID, 'replaced').text!r}")
    if top_right_pixel(port, 80) != old_pixel:
        sys.exit("the output changed before the replaced file was loaded again")
    browser.find_element(By.ID, "reload").click()
    wait.until(lambda _: top_right_pixel(port, 80) == new_pixel)


def an_invisible_picture_is_asked_about_before_it_goes_on_air(browser, wait, port, jpeg, on_air_pixel):
    browser.find_element(By.ID, "upload").send_keys(jpeg)
    tile = wait.until(lambda _: [t for t in browser.find_elements(By.CSS_SELECTOR, "button.file[data-path$='/plain.jpg']")
                                 if "no visible pixel" in t.text])[0]
    tile.click()
    wait.until(lambda _: shown(browser, "ask"))
    screenshot(browser, "invisible_asked")
    if top_right_pixel(port, 80) != on_air_pixel:
        sys.exit("the invisible picture went on air before the page asked")
    browser.find_element(By.ID, "ask-solid").click()
    wait.until(lambda _: top_right_pixel(port, 80)[3] == 255 and top_right_pixel(port, 80) != on_air_pixel)


def stop_needs_two_presses_and_a_lost_copy_is_not_stopped(browser, wait, api, copy):
    air = browser.find_element(By.ID, "air")
    browser.execute_script("window.scrollTo(0, 0)")  # Stop is at the top, where an operator reaches for it
    browser.find_element(By.ID, "stop").click()
    time.sleep(1.5)
    if not api_state(api)["sending"]:
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
    if "unknown" not in browser.find_element(By.ID, "lamp").get_attribute("class").split():
        sys.exit("the lamp keeps a colour the copy no longer says")
    screenshot(browser, "not_reachable")


def wrong_tokens_refuse_the_page_with_a_countdown(browser, wait, api):
    """Ten wrong tokens from this address: the page's own right token is refused too, and the
    page says why and for how long, counting down."""
    air = browser.find_element(By.ID, "air")
    wait.until(lambda _: air.text.startswith("On air"))
    for i in range(1, 11):
        try:
            api_state(api, "a-wrong-token")
        except urllib.error.HTTPError as refused:
            if refused.code != (401 if i < 10 else 429):  # the tenth is refused at once
                sys.exit(f"wrong token {i} was answered {refused.code}")
    wait.until(lambda _: air.text.startswith("Too many wrong tokens from this address: wait "))
    first = int(air.text.split()[-2])
    if not 0 < first <= 60:
        sys.exit(f"the page says {air.text!r}")
    if browser.find_element(By.ID, "on-off").is_enabled() or shown(browser, "token-form"):
        sys.exit("the controls or the token form stay live while the address is refused")
    wait.until(lambda _: air.text.split()[-2] != str(first))
    screenshot(browser, "throttled")


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
    replacement = os.path.join(work, "replacement", "red.png")
    os.mkdir(os.path.dirname(replacement))
    replacement_pixel = make_logo(replacement, "0x1010e0")
    jpeg = os.path.join(work, "plain.jpg")
    make_logo(jpeg, "0xc8c800")
    arguments = [headless, "--overlay", logo, "--size", f"{WIDTH}x{HEIGHT}", "--control", str(api), "--control-files",
                 library, "--control-token", TOKEN]
    copy = subprocess.Popen(arguments, stdout=subprocess.PIPE, text=True, env=environment)
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for flag in ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                 "--disable-background-networking", "--disable-component-update", "--disable-sync",
                 "--window-size=390,844", f"--user-data-dir={work}/chromium"]:
        options.add_argument(flag)
    browser = None
    try:
        wait_for_line(copy, "Sending")
        source_port = api_state(api)["port"]
        if top_right_pixel(source_port)[3] != 0:
            sys.exit("the logo shows before it is switched on")

        browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        browser.set_window_size(390, 844)
        browser.get(f"http://127.0.0.1:{api}/")
        wait = WebDriverWait(browser, BOUND_S)
        wait.until(lambda _: shown(browser, "token-form"))
        browser.find_element(By.ID, "token").send_keys(TOKEN + "\n")
        switch = browser.find_element(By.ID, "on-off")
        wait.until(lambda _: switch.get_attribute("aria-checked") == "false" and switch.is_enabled() and
                   "logo.png" in browser.find_element(By.ID, "logo-file").text)
        if switch.text != "Logo on air" or browser.find_element(By.ID, "on-state").text != "OFF":
            sys.exit(f"the switch reads {switch.text!r} beside {browser.find_element(By.ID, 'on-state').text!r}")
        switch.click()
        wait.until(lambda _: switch.get_attribute("aria-checked") == "true" and
                   browser.find_element(By.ID, "on-state").text == "ON")
        seen = top_right_pixel(source_port)
        if seen != logo_pixel:
            sys.exit(f"after On the receiver sees {seen} in the top right corner, not the logo {logo_pixel}")

        type_offset_slowly(browser, wait, api)
        seen = top_right_pixel(source_port, 80)
        if seen != logo_pixel or top_right_pixel(source_port)[3] != 0:
            sys.exit(f"after X 80 the receiver sees {seen} 80 in from the right, not the logo {logo_pixel}")
        an_offset_past_the_edge_is_refused_before_it_is_sent(browser, wait, api)

        browser.find_element(By.ID, "upload").send_keys(upload)
        tile = wait.until(lambda _: browser.find_elements(By.CSS_SELECTOR, "button.file[data-path$='/red.png']"))[0]
        tile.click()
        wait.until(lambda _: "red.png" in browser.find_element(By.ID, "logo-file").text)
        seen = top_right_pixel(source_port, 80)
        if seen != upload_pixel:
            sys.exit(f"after the uploaded picture's tap the receiver sees {seen}, not its {upload_pixel}")
        time.sleep(1)  # a picture of the output in the page, for whoever looks at the screenshot
        browser.save_screenshot(os.path.join(os.path.dirname(os.path.abspath(headless)), "page_test_phone.png"))

        a_replaced_file_on_air_is_said_and_loaded_again(browser, wait, source_port, replacement, upload_pixel,
                                                        replacement_pixel)
        an_invisible_picture_is_asked_about_before_it_goes_on_air(browser, wait, source_port, jpeg, replacement_pixel)

        stop_needs_two_presses_and_a_lost_copy_is_not_stopped(browser, wait, api, copy)
        copy = subprocess.Popen(arguments, stdout=subprocess.PIPE, text=True, env=environment)
        wait_for_line(copy, "Sending")
        wrong_tokens_refuse_the_page_with_a_countdown(browser, wait, api)
    finally:
        if browser:
            browser.quit()
        copy.terminate()
        copy.wait(BOUND_S)
    print("the page's switch, typed offset, uploaded, replaced and invisible pictures reached the output as asked; "
          "a wrong offset, a lost copy and wrong tokens were said")


if __name__ == "__main__":
    main(sys.argv[1])
