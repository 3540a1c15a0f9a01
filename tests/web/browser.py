"""Drives quelma-web in headless Chromium; every step says what failed.

usage: browser.py BASE_URL SHOT_DIR DOWNLOAD_DIR PROFILE_DIR
"""
import csv
import os
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.common.exceptions import StaleElementReferenceException
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

base, shots, downloads, profile = sys.argv[1:5]
options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
            "--disable-component-update", "--disable-sync", "--no-first-run",
            "--disable-dev-shm-usage", "--user-data-dir=" + profile, "--window-size=1280,900"):
    options.add_argument(arg)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": downloads})
# A page that is being replaced leaves stale elements behind: look again.
wait = WebDriverWait(driver, 20, ignored_exceptions=[StaleElementReferenceException])


def step(name, check):
    try:
        wait.until(lambda d: check())
    except Exception as error:  # the step's name and the page say more than the trace
        print(f"FAIL: {name}: {type(error).__name__}; page {driver.current_url}: "
              f"{driver.find_element(By.TAG_NAME, 'body').text[:300]!r}", file=sys.stderr)
        driver.quit()
        sys.exit(1)


def shot(name):
    driver.save_screenshot(os.path.join(shots, name + ".png"))


def title():
    return driver.find_element(By.TAG_NAME, "h1").text


driver.get(base + "/measurements")
step("an unsigned visit goes to the sign-in page", lambda: title() == "Sign in")
shot("sign-in")
driver.find_element(By.NAME, "name").send_keys("alice")
driver.find_element(By.NAME, "password").send_keys("alice-password")
driver.find_element(By.CSS_SELECTOR, "form.signin button").click()
step("sign-in leads to the overview", lambda: title() == "Overview")
step("the overview lists gate1 and draws the chart",
     lambda: "gate1" in driver.page_source and driver.find_elements(By.CSS_SELECTOR, ".chart svg rect"))
shot("overview")

driver.find_element(By.LINK_TEXT, "Measurements").click()
step("the measurements page opens", lambda: title() == "Measurements")
Select(driver.find_element(By.NAME, "level")).select_by_value("positive")
Select(driver.find_element(By.NAME, "station")).select_by_value("gate1")
driver.find_element(By.CSS_SELECTOR, "form.filters button").click()
rows = lambda: driver.find_elements(By.CSS_SELECTOR, "tbody tr")
step("the filter keeps only gate1's positives",
     lambda: "level=positive" in driver.current_url and rows() and
     all("positive" in r.get_attribute("class") and "gate1" in r.text for r in rows()))
shown = len(rows())

shot("measurements")

driver.find_element(By.CSS_SELECTOR, "a.photo-link").click()
step("a photo opens in place",
     lambda: driver.execute_script("var i = document.querySelector('img.photo');"
                                   "return i && i.complete && i.naturalWidth > 0"))
driver.execute_script("document.querySelector('img.photo').scrollIntoView({block: 'center'})")
shot("photo")

driver.find_element(By.PARTIAL_LINK_TEXT, "CSV").click()
path = os.path.join(downloads, "quelma-measurements.csv")


def csv_table():
    # The download's file can appear before its last write: read it until it is whole.
    if not os.path.exists(path):
        return []
    with open(path, newline="", encoding="utf-8-sig") as f:
        return list(csv.reader(f))


step("the CSV arrives whole", lambda: len(csv_table()) - 1 == shown)
table = csv_table()
step("the CSV starts with a UTF-8 byte order mark for spreadsheet programs",
     lambda: open(path, "rb").read(3) == b"\xef\xbb\xbf")
step("the CSV holds the filtered list",
     lambda: table[0][:6] == ["Station", "Year", "Number", "Time", "ID", "Name"] and
     all(r[0] == "gate1" and r[12] == "yes" for r in table[1:]))

member = rows()[0].find_element(By.CSS_SELECTOR, "a[href^='/member']")
member_id = member.text
member.click()
step("the member page opens", lambda: title() == "Member " + member_id)
step("the member's history lists both stations",
     lambda: "gate1" in driver.page_source and "gate2" in driver.page_source)
shot("member")

driver.find_element(By.LINK_TEXT, "Positives").click()
step("the positives page lists open cases", lambda: title() == "Positives" and
     driver.find_elements(By.CSS_SELECTOR, "table.cases form.outcome"))
case = driver.find_element(By.CSS_SELECTOR, "table.cases tbody tr").get_attribute("id")
shot("positives")


def decide(outcome, note):
    form = driver.find_element(By.CSS_SELECTOR, f"tr#{case} form.outcome")
    Select(form.find_element(By.NAME, "outcome")).select_by_visible_text(outcome)
    form.find_element(By.NAME, "note").send_keys(note)
    form.find_element(By.TAG_NAME, "button").click()


decide("sent home", "by taxi")
step("the outcome is on record under the decided cases",
     lambda: "sent home" in driver.find_element(By.CSS_SELECTOR, f"tr#{case} ol.entries").text)
decide("removed from duty", "wrong person sent home")
step("the correction names the entry it corrects",
     lambda: "(corrects #" in driver.find_element(By.CSS_SELECTOR, f"tr#{case} ol.entries").text and
     "removed from duty" in driver.find_element(By.CSS_SELECTOR, f"tr#{case}").text)
shot("positives-decided")
driver.find_element(By.LINK_TEXT, "Overview").click()
step("the access log shows both entries",
     lambda: driver.page_source.count("wrong person sent home") == 1 and
     driver.page_source.count(": sent home; by taxi") == 1)

driver.set_window_size(390, 844)
driver.get(base + "/measurements?station=gate2")
step("the list fits a phone", lambda: driver.execute_script(
    "return document.documentElement.scrollWidth <= window.innerWidth"))
shot("measurements-phone")
driver.set_window_size(1280, 900)

driver.find_element(By.CSS_SELECTOR, "nav button").click()
step("sign-out leads to the sign-in page", lambda: title() == "Sign in")
driver.get(base + "/")
step("after sign-out the overview needs a new sign-in", lambda: title() == "Sign in")
driver.quit()
