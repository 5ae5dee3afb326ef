#!/usr/bin/env python3
"""A technician's day on the floor in Debian's headless Chromium, through its WebDriver.

A demo shop gets an owner, the technician zhang (employee 1) with two dispatched lines and a
checklist; `ws serve` serves it on the loopback address. At phone size (390x844) zhang logs in,
opens his job from the board, clocks on, pauses for parts, clocks on again, finishes, and
fills the order's examination with a photo; at tablet size (1024x768) the same pages are shown
again. Each page is photographed at both sizes (--gallery DIR keeps them). The shop's rows are
checked afterwards. Only the standard library: the driver speaks JSON over HTTP.

Usage: floor_day.py --ws PATH/TO/ws [--gallery DIR]
"""
import argparse
import base64
import json
import os
import shutil
import socket
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request
import zlib

PASSWORD = "zhang-secret"
OWNER_PASSWORD = "owner-secret"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(port, what, seconds=20):
    end = time.time() + seconds
    while time.time() < end:
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return
        except OSError:
            time.sleep(0.1)
    raise RuntimeError(what + " did not start")


def png(width, height, rgb):
    row = b"\x00" + bytes(rgb) * width
    raw = zlib.compress(row * height)

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", raw) +
            chunk(b"IEND", b""))


class Driver:
    """The few WebDriver calls the day needs."""

    def __init__(self, port, width, height, phone=False):
        self.base = "http://127.0.0.1:%d" % port
        options = {"binary": "/usr/bin/chromium",
                   "args": ["--headless=new", "--no-sandbox", "--disable-gpu",
                            "--disable-dev-shm-usage", "--force-device-scale-factor=1",
                            "--lang=zh-CN", "--window-size=%d,%d" % (width, height)]}
        if phone:
            # A window is never that narrow: the phone's screen is emulated, touch included.
            options["mobileEmulation"] = {"deviceMetrics": {
                "width": width, "height": height, "pixelRatio": 1, "touch": True}}
        caps = {"capabilities": {"alwaysMatch": {"browserName": "chrome",
                                                 "goog:chromeOptions": options}}}
        self.session = self.call("POST", "/session", caps)["sessionId"]
        if not phone:
            # The window's inner size is what a tablet of that size shows.
            inner = self.script("return [window.innerWidth, window.innerHeight]")
            self.call("POST", "/session/%s/window/rect" % self.session,
                      {"width": 2 * width - inner[0], "height": 2 * height - inner[1]})

    def call(self, method, path, body=None):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=60) as response:
                return json.loads(response.read())["value"]
        except urllib.error.HTTPError as failure:
            raise RuntimeError("%s %s: %s" % (method, path, failure.read()[:400]))

    def s(self, path):
        return "/session/%s%s" % (self.session, path)

    def go(self, url):
        self.call("POST", self.s("/url"), {"url": url})

    def find(self, css):
        found = self.call("POST", self.s("/element"), {"using": "css selector", "value": css})
        return list(found.values())[0]

    def click(self, css):
        # A page that is still being replaced answers with a stale element: found again.
        for attempt in range(20):
            try:
                self.call("POST", self.s("/element/%s/click" % self.find(css)), {})
                return
            except RuntimeError as failure:
                if "stale element" not in str(failure) or attempt == 19:
                    raise
                time.sleep(0.1)

    def type(self, css, text):
        self.call("POST", self.s("/element/%s/value" % self.find(css)), {"text": text})

    def script(self, code):
        return self.call("POST", self.s("/execute/sync"), {"script": code, "args": []})

    def text(self):
        return self.script("return document.body.innerText")

    def wait_text(self, needle, seconds=10):
        """The page's text once it holds the needle (a step's page may still be loading)."""
        end = time.time() + seconds
        while True:
            text = self.script("return document.readyState === 'complete' ? "
                               "document.body.innerText : ''")
            if needle in text or time.time() > end:
                return text
            time.sleep(0.1)

    def accept_alert(self):
        self.call("POST", self.s("/alert/accept"), {})

    def shot(self, path):
        with open(path, "wb") as out:
            out.write(base64.b64decode(self.call("GET", self.s("/screenshot"))))

    def quit(self):
        self.call("DELETE", self.s(""))


class Day:
    def __init__(self, ws, folder, gallery):
        self.ws = ws
        self.folder = folder
        self.gallery = gallery
        self.shop = os.path.join(folder, "shop.db")
        self.passed = 0
        self.failed = 0

    def check(self, what, ok):
        print(("ok   " if ok else "FAIL ") + what)
        if ok:
            self.passed += 1
        else:
            self.failed += 1

    def prepare(self):
        today = time.strftime("%Y-%m-%d")
        run = lambda *args, **kw: subprocess.run([self.ws] + list(args), check=True,
                                                 stdout=subprocess.DEVNULL, **kw)
        run("demo", "--db", self.shop, "--seed", "1", "--orders", "60", "--date", today)
        secrets = {}
        for name, secret in (("owner", OWNER_PASSWORD), ("zhang", PASSWORD)):
            secrets[name] = os.path.join(self.folder, name + ".pw")
            with open(secrets[name], "w") as out:
                out.write(secret + "\n")
            os.chmod(secrets[name], 0o600)
        run("user", "add", "老板", "--role", "店主", "--password-file", secrets["owner"],
            "--db", self.shop)
        run("user", "add", "zhang", "--role", "技师", "--password-file", secrets["zhang"],
            "--db", self.shop, "--as", "老板", env=dict(os.environ, WS_PASSWORD=OWNER_PASSWORD))
        # The desk's part: a technician of his own for the account (the demo's technicians
        # have a floor of their own, a running clock among it), the demo's checklist, and a
        # dispatch of two labour lines nobody has been given yet.
        with sqlite3.connect(self.shop) as db:
            me = db.execute("select max(雇员ID) + 1 from PDMGY").fetchone()[0]
            db.execute("insert into PDMGY (雇员ID,雇员编码,姓名,登录账号,是否技师) "
                       "values (?,?,'张师傅','zhang',1)", (me, "T%04d" % me))
            if not db.execute("select count(*) from ws_check_item").fetchone()[0]:
                db.executemany("insert into ws_check_item (项目ID,序号,名称,分组,停用) "
                               "values (?,?,?,?,0)",
                               [(1, 1, "刹车片", "制动"), (2, 2, "轮胎", "行走"),
                                (3, 3, "灯光", "电气"), (4, 4, "机油", "发动机")])
            db.execute("update PDMWXXM set 工时 = 1.5")
            lines = db.execute(
                "select x.单据明细ID, x.单据ID from WSDJXM x join WSDJ h on h.单据ID = x.单据ID "
                "where h.smark <> '02' and not exists (select 1 from ws_job j "
                "where j.单据ID = h.单据ID) "
                "order by h.进厂日期 desc, x.单据明细ID limit 2").fetchall()
            first = db.execute("select coalesce(max(派工ID), 0) + 1 from ws_job_tech").fetchone()[0]
            for i, (line, order) in enumerate(lines):
                db.execute("insert into ws_job_tech (派工ID,单据明细ID,单据ID,雇员ID,计划工时,派工人) "
                           "values (?,?,?,?,1.5,'老板')", (first + i, line, order, me))
                db.execute("insert into ws_job (单据明细ID,单据ID,状态) values (?,?,'在修')",
                           (line, order))
            db.execute("insert into ws_id (table_name,key_column,last_id) values "
                       "('ws_job_tech','派工ID',?) on conflict do update set last_id = "
                       "max(last_id, excluded.last_id)", (first + 10,))
        self.line, self.order = lines[0]
        self.me = me

    def shoot(self, driver, page, size):
        path = os.path.join(self.gallery, "floor-%s-%s.png" % (page, size))
        driver.shot(path)

    def log_in(self, driver, url):
        driver.go(url + "/login")
        driver.type("input[name=user]", "zhang")
        driver.type("input[name=password]", PASSWORD)

    def phone(self, url):
        d = Driver(self.driver_port, 390, 844, phone=True)
        try:
            d.go(url + "/login")
            self.shoot(d, "login", "390")
            self.log_in(d, url)
            d.click("button[type=submit]")
            self.check("the board greets 张师傅", "张师傅" in d.wait_text("我的工作"))
            self.check("the board fits the phone",
                       d.script("return document.documentElement.scrollWidth") <= 390)
            self.shoot(d, "board", "390")
            d.go("%s/job/%d" % (url, self.line))
            d.click("form[action$='/on'] button")
            self.check("clocked on", "计时中" in d.wait_text("已开工"))
            self.shoot(d, "job-running", "390")
            d.click("form.pause button")
            self.check("paused for parts", "已暂停：等配件" in d.wait_text("已暂停"))
            self.shoot(d, "job-paused", "390")
            d.click("form[action$='/on'] button")
            d.wait_text("已开工")
            d.click("form[action$='/finish'] button")
            d.accept_alert()
            self.check("finished", "已完工" in d.wait_text("已完工"))
            self.shoot(d, "job-done", "390")
            d.go("%s/examine/%d" % (url, self.order))
            d.wait_text("建议项目")
            self.shoot(d, "examination", "390")
            d.click("form.finding:nth-of-type(1) label.verdict:nth-of-type(3)")
            d.type("form.finding:nth-of-type(1) textarea", "刹车片磨损到底，建议更换")
            d.type("form.finding:nth-of-type(1) input[type=file]", self.photo)
            self.shoot(d, "examination-filled", "390")
            d.click("form.finding:nth-of-type(1) button[type=submit]")
            self.check("examination saved with its photo",
                       "已保存" in d.wait_text("已保存") and
                       d.script("return document.querySelectorAll('.photos img').length") == 1)
            d.script("document.querySelector('.photos img').scrollIntoView()")
            end = time.time() + 10
            while time.time() < end and not d.script(
                    "var i = document.querySelector('.photos img'); return i.complete && "
                    "i.naturalWidth"):
                time.sleep(0.1)
            self.check("the photo is shown", d.script(
                "return document.querySelector('.photos img').naturalWidth") == 64)
            d.script("window.scrollTo(0, 0)")
            self.check("a suggested line", "建议" in d.text())
            self.shoot(d, "examination-photo", "390")
        finally:
            d.quit()

    def tablet(self, url):
        d = Driver(self.driver_port, 1024, 768)
        try:
            d.go(url + "/login")
            self.shoot(d, "login", "1024")
            self.log_in(d, url)
            d.click("button[type=submit]")
            d.wait_text("我的工作")
            self.shoot(d, "board", "1024")
            d.go("%s/job/%d" % (url, self.line))
            d.wait_text("计时记录")
            self.check("the job shows its two clock records",
                       d.script("return document.querySelectorAll('tbody tr').length") == 2)
            self.shoot(d, "job-done", "1024")
            d.go("%s/examine/%d" % (url, self.order))
            d.wait_text("建议项目")
            self.shoot(d, "examination-photo", "1024")
        finally:
            d.quit()

    def rows(self):
        with sqlite3.connect(self.shop) as db:
            one = lambda sql: db.execute(sql).fetchone()[0]
            self.check("two closed clock records of 张",
                       one("select count(*) from ws_clock where 雇员ID=%d and 结束时间<>''" % self.me)
                       == 2)
            self.check("no clock of his left running",
                       one("select count(*) from ws_clock where 雇员ID=%d and 结束时间=''"
                           % self.me) == 0)
            self.check("the line is 完工",
                       one("select 状态 from ws_job where 单据明细ID=%d" % self.line) == "完工")
            self.check("one photo on the order's record",
                       one("select count(*) from ws_finding_photo p join ws_finding f "
                           "on f.检验ID = p.检验ID where f.单据ID=%d" % self.order) == 1)
            self.check("one suggestion waiting for the customer",
                       one("select count(*) from ws_suggestion where 状态='建议' and 单据ID=%d"
                           % self.order) == 1)

    def run(self):
        self.prepare()
        self.photo = os.path.join(self.folder, "brake.png")
        with open(self.photo, "wb") as out:
            out.write(png(64, 48, (180, 60, 40)))
        port = free_port()
        self.driver_port = free_port()
        server = subprocess.Popen([self.ws, "serve", "--db", self.shop, "--listen",
                                   "127.0.0.1:%d" % port], stdout=subprocess.DEVNULL)
        driver = subprocess.Popen(["chromedriver", "--port=%d" % self.driver_port],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wait_for(port, "ws serve")
            wait_for(self.driver_port, "chromedriver")
            url = "http://127.0.0.1:%d" % port
            self.phone(url)
            self.tablet(url)
        finally:
            server.terminate()
            driver.terminate()
            server.wait(10)
            driver.wait(10)
        self.rows()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ws", required=True)
    parser.add_argument("--gallery")
    args = parser.parse_args()
    if not shutil.which("chromedriver") or not os.path.exists("/usr/bin/chromium"):
        print("skipped: chromium and chromium-driver are not installed (scripts/deps.sh browser)")
        return 0
    folder = tempfile.mkdtemp(prefix="ws-floor-")
    gallery = args.gallery or os.path.join(folder, "gallery")
    os.makedirs(gallery, exist_ok=True)
    day = Day(os.path.abspath(args.ws), folder, gallery)
    try:
        day.run()
    except Exception as failure:  # a step that could not run fails the day
        day.check("the day ran through: %s" % failure, False)
    finally:
        shutil.rmtree(folder, ignore_errors=True) if args.gallery else None
    print("%d passed, %d failed" % (day.passed, day.failed))
    return 0 if day.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
