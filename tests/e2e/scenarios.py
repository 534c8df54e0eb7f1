"""The end-to-end scenarios: what a user does with the program, and what the
window, the files of the run directory and the peers show for it."""

import os
import subprocess

from app_driver import CHECK, FORM, settle
from harness import (HOME_PAGE, HOST, PORTS, PRODUCT, QR_FILE, RECORD_FILE, SETTINGS_FILE,
                     SOUND_FILE, snapshot)
from shop_stub import BANNER_RGB, QR_RGB

ACCOUNT = "watcher@quillmoor.test"
PASSWORD = "s3cret"
RECIPIENT = "me@quillmoor.test"
WISHED_PRICE = "50"
REGION_PICKS = ["北京-1", "朝阳区-72", "三环以内-2799"]
REGION_TEXT = "北京-1#朝阳区-72+三环以内-2799"
REGION_CODE = "1_72_2799"
PRICE_SUBJECT = "Vantroke，提醒你，价格变化啦！"
STOCK_SUBJECT = "Vantroke，提醒你，有货啦！"


def g(text):
    return text.encode("gbk")


def record_line(name=PRODUCT.name, vender=PRODUCT.vender_id, cat=PRODUCT.cat, wished=WISHED_PRICE):
    return g(f"{PRODUCT.sku}-----{name}||||{REGION_TEXT}@@@@{wished}####{vender}&&&&{cat}\r\n")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def pixel(png, x, y):
    """The colour of one pixel of a screenshot, as (r, g, b)."""
    out = subprocess.run(["convert", png, "-crop", f"1x1+{x}+{y}", "-depth", "8", "rgb:-"],
                         capture_output=True, timeout=30).stdout
    return tuple(out[:3])


IDLE_FACE = (0x56, 0xA8, 0xF2)


def face_colour(program, shot):
    """The fill of the start/stop button's face, just inside its border."""
    (x, y, _, _), _ = FORM["按钮商品监控"]
    return pixel(shot, *program.screen_point(x + 6, y + 6))


def check_button(h, program, caption, label):
    """The start/stop button as the user meets it: its caption, read out through
    AT-SPI, and its face on the screen (blue when idle, another when running)."""
    h.wait_until(f"the start/stop button to read {caption}",
                 lambda: program.control("按钮商品监控").name == caption, 10)
    colour = face_colour(program, program.screenshot(label))
    if caption == "开始监控":
        h.expect(colour == IDLE_FACE, f"the idle button face shows {colour}")
    else:
        h.expect(colour != IDLE_FACE, "the running button still shows the idle face")


def balloon_showing(program, fragment):
    return any(fragment in t for t in program.texts_anywhere())


# --- steps shared by the scenarios ------------------------------------------


def first_start(h, run_dir, label="first-start"):
    with h.step("first start: the window comes up"):
        program = h.start_program(run_dir, label)
        h.expect(program.size[0] <= 1164 and program.size[1] <= 628,
                 f"the main window's client area is {program.size}, larger than its outer size")
    return program


def check_layout(h, program):
    with h.step("the controls lie at the places of the form"):
        wrong = []
        for name, ((x, y, w, hh), roles) in FORM.items():
            if not roles:
                continue
            node = program.control(name)
            ex, ey, ew, eh = program.extents(node)
            sx, sy = program.screen_point(x, y)
            if roles == CHECK:
                # Qt reports a check box's box and caption, not the whole widget.
                off = not (sx - 1 <= ex and ex + ew <= sx + w + 1 and sy - 1 <= ey
                           and ey + eh <= sy + hh + 1)
            else:
                off = abs(ex - sx) > 2 or abs(ey - sy) > 2 or abs(ew - w) > 2 or abs(eh - hh) > 2
            if off:
                wrong.append(f"{name} at {ex - program.origin[0]},{ey - program.origin[1]} {ew}x{eh}")
        h.expect(not wrong, "controls away from their places: " + "; ".join(wrong))


def check_defaults(h, program, run_dir):
    with h.step("the form shows its defaults"):
        h.expect(program.text_of("编辑框商品编号") == "1743535", "product number default")
        h.expect(program.text_of("编辑框监控间隔") == "60", "interval default")
        h.expect(program.text_of("编辑框价格监控") == "5", "wished price default")
        h.expect(program.text_of("编辑框发邮件账号") == "发邮件设置", "mail account default")
        h.expect(program.text_of("编辑框收邮件地址") == "收邮件设置", "recipient default")
        for box in ("组合框省份", "组合框城市", "组合框地区"):
            h.expect(program.text_of(box) == "", f"{box} does not start empty")
        h.expect(len(program.combo_items("组合框省份")) == 36, "the province list")
        for box in ("选择框降价提醒", "选择框有货提醒", "选择框邮件提醒", "选择框音乐提醒",
                    "选择框有货停止", "选择框保存记录"):
            h.expect(program.checked(box), f"{box} is not ticked at start")
        h.expect(program.list_rows() == [], "the watch list is not empty at start")
        program.screenshot("first-start")


def check_start_up(h, program, run_dir):
    with h.step("first start creates autio.mp3 and writes nothing else"):
        sound = os.path.join(run_dir, SOUND_FILE)
        h.wait_until("autio.mp3 in the run directory", lambda: os.path.isfile(sound), 20)
        data = read(sound)
        h.expect(len(data) > 10000 and data[0] == 0xFF and data[1] & 0xE0 == 0xE0,
                 f"autio.mp3 does not start with an MP3 frame ({len(data)} bytes)")
        h.expect(not os.path.exists(os.path.join(run_dir, SETTINGS_FILE)),
                 "god.xin was written at start")
        h.expect(not os.path.exists(os.path.join(run_dir, RECORD_FILE)),
                 "the record file was written at start")
    with h.step("the banner shows in the window"):
        h.expect(h.shop.count("publisher") >= 1, "the banner was not fetched at start")
        shot = program.screenshot("banner")
        x, y = program.screen_point(16 + 444, 488 + 47)
        colour = pixel(shot, x, y)
        h.expect(colour == BANNER_RGB, f"the banner area shows {colour}, not the banner {BANNER_RGB}")


def choose_in_combo(h, program, box, item, by="keyboard"):
    """Opens a combo box's list with the mouse and picks an item from it with the
    keyboard or with the mouse, as users do."""
    pyatspi = __import__("pyatspi")
    items = program.combo_items(box)
    h.expect(item in items, f"{item} is not in the list of {box}: {items}")
    (_, _, w, _), _ = FORM[box]
    program.click(box, dx=w - 8)  # the drop-down arrow
    if by == "keyboard":
        settle(0.5)
        program.screenshot(f"popup-{box}")
        program.key(*(["Down"] * items.index(item)), "Return")
    else:
        def shown_item():
            for node in program.walk(program.control(box)):
                if node.name == item and node.getRoleName() == "list item" and \
                        node.getState().contains(pyatspi.STATE_SHOWING):
                    x, y, iw, ih = program.extents(node)
                    if iw > 0 and ih > 0 and y > program.origin[1]:
                        return x + iw // 2, y + ih // 2
            return None
        point = h.wait_until(f"{item} shown in the open list of {box}", shown_item, 10)
        program.screenshot(f"popup-{box}")
        program.click_screen(*point)
    h.wait_until(f"{box} to show {item}", lambda: program.text_of(box) == item, 10)


def pick_region(h, program):
    with h.step("pick province, city and area from the region lists"):
        choose_in_combo(h, program, "组合框省份", REGION_PICKS[0])
        h.wait_until("the cities of 北京 in the city box",
                     lambda: REGION_PICKS[1] in program.combo_items("组合框城市"), 20)
        h.expect(any(r["query"].get("pid") == ["1"] for r in h.shop.requests("region")),
                 "the region endpoint was not asked for pid=1")
        choose_in_combo(h, program, "组合框城市", REGION_PICKS[1], by="mouse")
        h.wait_until("the areas of 朝阳区 in the area box",
                     lambda: REGION_PICKS[2] in program.combo_items("组合框地区"), 20)
        choose_in_combo(h, program, "组合框地区", REGION_PICKS[2])
        h.expect([program.text_of(b) for b in ("组合框省份", "组合框城市", "组合框地区")]
                 == REGION_PICKS, "the region boxes do not show the picks")


def add_product(h, program, run_dir, name=PRODUCT.name, vender=PRODUCT.vender_id,
                cat=PRODUCT.cat, rows_before=0, wished=WISHED_PRICE):
    with h.step("type the product number and wished price, click 添加"):
        program.replace_text("编辑框商品编号", PRODUCT.sku)
        program.replace_text("编辑框价格监控", wished)
        program.click("按钮商品添加")
        rows = h.wait_until("the new row in the watch list",
                            lambda: (lambda r: r if len(r) == rows_before + 1 else None)(
                                program.list_rows()), 20)
        row = rows[-1]
        h.expect(row[1] == PRODUCT.sku, f"ProductId cell {row[1]!r}")
        h.expect(row[2] == name, f"ProductName cell {row[2]!r}, expected {name!r}")
        h.expect(row[6] == "二维码" and row[7] == "二维码", f"QR cells {row[6]!r} {row[7]!r}")
        h.expect(h.shop.count("product_page") >= 1, "the product page was not read")
        record = os.path.join(run_dir, RECORD_FILE)
        want = record_line(name, vender, cat, wished)
        h.wait_until("the record file to hold the new row",
                     lambda: os.path.isfile(record) and read(record).endswith(want), 10)
        program.screenshot("added")


def qr_code(h, program, run_dir):
    with h.step("double-click the row's mobile QR cell: the QR window shows the code"):
        pyatspi = __import__("pyatspi")
        node = program.control("超级列表框监控")
        cell = node.queryTable().getAccessibleAt(0, 6)
        x, y, w, hh = program.extents(cell)
        program.click_screen(x + w // 2, y + hh // 2, repeat=2)

        def qr_window():
            for window in program.windows():
                if window is not None and window.name == "二维码" and \
                        window.getState().contains(pyatspi.STATE_SHOWING):
                    return window
            return None
        window = h.wait_until("the QR window", qr_window, 20)
        picture = os.path.join(run_dir, QR_FILE)
        h.wait_until("二维码.jpg in the run directory", lambda: os.path.isfile(picture), 10)
        h.expect(read(picture)[:3] == b"\xff\xd8\xff", "二维码.jpg is no JPEG")
        mobile = f"http://{HOST}:{PORTS['mobile_page']}/product/{PRODUCT.sku}.html"
        want = f"&bg=FFFFFF&fg=1E&gc=1E&el=2&w=200&m=10&pt=1E&inpt=1E&logo=&text={mobile}"
        asked = [r["raw_query"] for r in h.shop.requests("qr")]
        h.expect(asked == [want], f"the QR service was asked {asked}")
        wx, wy, ww, wh = program.extents(window)
        h.expect((ww, wh) == (200, 200), f"the QR window is {ww}x{wh}")
        shot = program.screenshot("qr-window")
        colour = pixel(shot, wx + ww // 2, wy + wh // 2)
        h.expect(all(abs(a - b) <= 8 for a, b in zip(colour, QR_RGB)),
                 f"the QR window shows {colour}, not the service's picture {QR_RGB}")
    with h.step("double-click the QR picture: the window closes"):
        program.click_screen(wx + ww // 2, wy + wh // 2, repeat=2)
        h.wait_until("the QR window to close", lambda: qr_window() is None, 10)


def enter_mail_settings(h, program, interval="1"):
    with h.step("type the mail account, password, recipient and interval 1"):
        program.replace_text("编辑框发邮件账号", ACCOUNT)
        program.replace_text("编辑框发邮件密码", PASSWORD)
        program.replace_text("编辑框收邮件地址", RECIPIENT)
        program.replace_text("编辑框监控间隔", interval)
        h.expect(program.text_of("编辑框发邮件账号") == ACCOUNT, "account box")
        h.expect(program.text_of("编辑框收邮件地址") == RECIPIENT, "recipient box")
        h.expect(program.text_of("编辑框监控间隔") == interval, "interval box")
        # A password box gives its text to no one, screen readers included.
        h.expect(program.control("编辑框发邮件密码").getRoleName() == "password text",
                 "the password box is not a password box")
        h.expect(PASSWORD not in program.text_of("编辑框发邮件密码"), "the password shows")


def start_monitoring(h, program, run_dir):
    with h.step("click the start button: checks go out and fill the row"):
        before = h.shop.count("stock")
        program.click("按钮商品监控")
        h.wait_until("the first stock query", lambda: h.shop.count("stock") > before, 20)
        h.wait_until("god.xin written at the start click",
                     lambda: os.path.isfile(os.path.join(run_dir, SETTINGS_FILE)), 10)
        check_button(h, program, "停止监控", "running-button")
        stock = h.shop.requests("stock")[-1]["query"]
        h.expect(stock.get("skuId") == [PRODUCT.sku], f"stock query skuId {stock.get('skuId')}")
        h.expect(stock.get("area") == [REGION_CODE + "_0"], f"stock query area {stock.get('area')}")


def stop_monitoring(h, program):
    with h.step("click the stop button: the checks stop"):
        program.click("按钮商品监控")
        check_button(h, program, "开始监控", "idle-button")
        h.quiet_for("the stock queries", lambda: h.shop.count("stock"), 3.0, 20)


# --- the scenarios -------------------------------------------------------------


def main_scenario(h):
    """First start, region, add, monitor until the price drops and the product comes
    into stock, one mail; stop, close, start again and find everything restored."""
    h.start_peers()
    run_dir = h.new_run_dir()
    program = first_start(h, run_dir)
    check_layout(h, program)
    check_defaults(h, program, run_dir)
    check_start_up(h, program, run_dir)
    pick_region(h, program)
    add_product(h, program, run_dir)
    enter_mail_settings(h, program)
    with h.step("untick 有货停止 so monitoring goes on after an alert"):
        program.click("选择框有货停止", dx=8)
        h.wait_until("有货停止 unticked", lambda: not program.checked("选择框有货停止"), 10)
    start_monitoring(h, program, run_dir)
    with h.step("the row shows the stock state and the normal prices"):
        h.wait_until("the row to show 无货 and 99.00",
                     lambda: (lambda r: r and r[0][8] == "无货" and r[0][3] == "99.00"
                              and r[0][4] == "99.00" and r[0][5] == "99.00")(program.list_rows()),
                     20)
        h.expect(program.list_rows()[0][0] == "1", "the row was not numbered at the start click")
        h.expect(h.mail.messages() == [], "a mail went out before any alert")
        settings = read(os.path.join(run_dir, SETTINGS_FILE))
        for key, value in (("商品编号", PRODUCT.sku), ("省份", REGION_PICKS[0]),
                           ("城市", REGION_PICKS[1]), ("地区", REGION_PICKS[2]),
                           ("发邮件账号", ACCOUNT), ("发邮件密码", PASSWORD),
                           ("收邮件地址", RECIPIENT)):
            h.expect(g(f"{key}={value}\r\n") in settings, f"god.xin lacks {key}={value}")
        h.expect(settings.startswith(g("[商品监控]\r\n")), "god.xin does not open with its section")
        program.screenshot("monitoring")
    with h.step("the price drops to the wished price: balloon and one mail"):
        h.shop.set_phase("price_drop")
        h.wait_until("the price alert balloon", lambda: balloon_showing(program, "价格变化了！"), 20)
        program.screenshot("price-alert")
        messages = h.wait_until("the alert mail at the SMTP server", h.mail.messages, 30)
        h.expect(len(messages) == 1, f"{len(messages)} mails arrived")
        record, message = messages[0]
        h.expect(message["subject"] == PRICE_SUBJECT, f"subject {message['subject']!r}")
        body = message.get_body(("plain",)).get_content()
        want = f"{PRICE_SUBJECT}\r\n{PRODUCT.sku}\r\n{HOME_PAGE}"
        h.expect(body.replace("\r\n", "\n").rstrip("\n") == want.replace("\r\n", "\n"),
                 f"body {body!r}, expected {want!r}")
        h.expect(record["recipients"] == [RECIPIENT], f"recipients {record['recipients']}")
        h.expect(record["sender"] == ACCOUNT, f"sender {record['sender']}")
        logins = h.mail.logins
        h.expect(all(l[1] == ACCOUNT.encode() and l[2] == PASSWORD.encode() for l in logins),
                 f"the mail login was {logins}")
    with h.step("the product comes into stock: balloon, still one mail"):
        h.shop.set_phase("in_stock")
        h.wait_until("the row to show 现货",
                     lambda: (lambda r: r and r[0][8] == "现货")(program.list_rows()), 20)
        h.wait_until("the stock alert balloon", lambda: balloon_showing(program, "】现货"), 20)
        program.screenshot("stock-alert")
        seen = h.shop.count("stock")
        h.wait_until("two more checks", lambda: h.shop.count("stock") >= seen + 2, 20)
        h.expect(len(h.mail.messages()) == 1, "a second mail went out in the same run")
    stop_monitoring(h, program)
    with h.step("close the window with Esc: the program ends cleanly"):
        sound_bytes = read(os.path.join(run_dir, SOUND_FILE))
        h.close_program(program)
    with h.step("second start restores the settings and the watch list"):
        program = h.start_program(run_dir, "second-start")
        rows = h.wait_until("the imported row",
                            lambda: (lambda r: r if len(r) == 1 else None)(program.list_rows()), 20)
        row = rows[0]
        h.expect(row[0] == "1" and row[1] == PRODUCT.sku and row[2] == PRODUCT.name,
                 f"imported row {row[:3]}")
        h.expect(row[8] == "导入记录", f"Status after import {row[8]!r}")
        h.expect(row[3] == row[4] == row[5] == "", f"prices after import {row[3:6]}")
        h.expect(program.text_of("编辑框商品编号") == PRODUCT.sku, "product number not restored")
        h.expect([program.text_of(b) for b in ("组合框省份", "组合框城市", "组合框地区")]
                 == REGION_PICKS, "region boxes not restored")
        h.expect(program.text_of("编辑框发邮件账号") == ACCOUNT, "account not restored")
        h.expect(program.text_of("编辑框收邮件地址") == RECIPIENT, "recipient not restored")
        h.expect(program.text_of("编辑框监控间隔") == "60", "the interval is not its default again")
        h.expect(program.checked("选择框有货停止"), "有货停止 is not ticked again")
        h.expect(read(os.path.join(run_dir, SOUND_FILE)) == sound_bytes, "autio.mp3 changed")
        program.screenshot("restored")
    with h.step("monitoring again: the stock mail goes out with the restored login"):
        # The password box shows nothing to a reader; the mail login shows what it holds.
        h.shop.set_phase("restock")
        program.click("按钮商品监控")
        messages = h.wait_until("the stock alert mail", lambda: len(h.mail.messages()) == 2
                                and h.mail.messages(), 30)
        _, message = messages[1]
        h.expect(message["subject"] == STOCK_SUBJECT, f"subject {message['subject']!r}")
        body = message.get_body(("plain",)).get_content()
        want = f"{STOCK_SUBJECT}\n{PRODUCT.sku}\n{HOME_PAGE}"
        h.expect(body.replace("\r\n", "\n").rstrip("\n") == want, f"body {body!r}")
        h.expect(h.mail.logins[-1][1:] == (ACCOUNT.encode(), PASSWORD.encode()),
                 f"the login of the second run was {h.mail.logins[-1]}")
        h.wait_until("the halt at the stock alert",
                     lambda: h.quiet_for("the stock queries", lambda: h.shop.count("stock"),
                                         3.0, 20) is not None, 25)
        check_button(h, program, "停止监控", "halted-button")  # halted, not stopped
    with h.step("the alert sound plays"):
        # One alert, so one play: at least half a second of 44.1 kHz stereo 16-bit
        # sound reaches the output (each new alert restarts it, hence not earlier).
        h.wait_until("the alert sound at the sound output",
                     lambda: program.sound_bytes() > 44 + 88200, 40)
    with h.step("the stop click ends the sound"):
        program.click("按钮商品监控")
        check_button(h, program, "开始监控", "idle-again")
        h.quiet_for("the sound output", program.sound_bytes, 2.0, 20)
        h.expect(program.sound_bytes() < 44 + 4 * 426736 * 11,
                 "the sound played on to its end")
    with h.step("close by the close box: the program ends cleanly"):
        h.close_program(program, how="close box")


MENU_ENTRIES = ["全部删除", "删除选中"]


def choose_from_list_menu(h, program, entry):
    """Right-clicks the watch list below its rows and picks an entry of the pop-up
    menu with the arrow keys (Qt does not put its pop-up menus on the AT-SPI bus,
    so the keys, not a computed point, find the entry)."""
    program.click("超级列表框监控", dy=300, button=3)
    settle(0.5)
    program.screenshot(f"menu-{MENU_ENTRIES.index(entry)}")
    program.key(*(["Down"] * (MENU_ENTRIES.index(entry) + 1)), "Return")


def list_commands_scenario(h):
    """The watch list's pop-up menu: deleting the ticked rows, then all rows; the
    record file follows each time."""
    pyatspi = __import__("pyatspi")
    h.start_peers()
    run_dir = h.new_run_dir()
    program = first_start(h, run_dir)
    pick_region(h, program)
    add_product(h, program, run_dir)
    add_product(h, program, run_dir, rows_before=1, wished="60")
    record = os.path.join(run_dir, RECORD_FILE)
    h.expect(read(record) == record_line() + record_line(wished="60"),
             "the record file does not hold both rows in list order")
    qr_code(h, program, run_dir)
    with h.step("tick the second row and choose 删除选中"):
        cell = program.control("超级列表框监控").queryTable().getAccessibleAt(1, 0)
        x, y, w, hh = program.extents(cell)
        program.click_screen(x + 9, y + hh // 2)
        h.wait_until("the second row ticked", lambda: program.control("超级列表框监控")
                     .queryTable().getAccessibleAt(1, 0).getState()
                     .contains(pyatspi.STATE_CHECKED), 10)
        choose_from_list_menu(h, program, "删除选中")
        h.wait_until("one row left", lambda: len(program.list_rows()) == 1, 10)
        h.wait_until("the record file to hold the unticked row",
                     lambda: read(record) == record_line(), 10)
        h.expect(program.list_rows()[0][10] == WISHED_PRICE, "the ticked row is still there")
    with h.step("choose 全部删除: the list and the record file are empty"):
        choose_from_list_menu(h, program, "全部删除")
        h.wait_until("no row left", lambda: program.list_rows() == [], 10)
        h.wait_until("the record file to be empty", lambda: read(record) == b"", 10)
    with h.step("close and start again: the list stays empty"):
        h.close_program(program)
        program = h.start_program(run_dir, "second-start")
        h.expect(program.list_rows() == [], "rows came back")
        h.close_program(program)


def first_start_scenario(h):
    """The first start in an empty directory and a second one: the window, its form
    and banner, the sound file, and a clean end by Esc and by the close box."""
    h.start_peers()
    run_dir = h.new_run_dir()
    program = first_start(h, run_dir)
    check_layout(h, program)
    check_defaults(h, program, run_dir)
    check_start_up(h, program, run_dir)
    with h.step("close the window with Esc: the program ends cleanly"):
        sound = read(os.path.join(run_dir, SOUND_FILE))
        h.close_program(program)
    with h.step("second start: autio.mp3 untouched, nothing else written"):
        program = h.start_program(run_dir, "second-start")
        shown = [program.text_of("编辑框商品编号"), program.list_rows()]
        h.expect(shown == ["1743535", []], "the form is not at its defaults")
        h.expect(read(os.path.join(run_dir, SOUND_FILE)) == sound, "autio.mp3 changed")
        h.expect(sorted(os.listdir(run_dir)) == sorted([os.path.basename(h.executable), SOUND_FILE]),
                 f"the run directory holds {sorted(os.listdir(run_dir))}")
    with h.step("close by the close box: the program ends cleanly"):
        h.close_program(program, how="close box")


def shop_down_scenario(h):
    """The shop answers nothing: the row is still added and kept, checks report
    nothing, nothing crashes."""
    h.start_peers(phase="down")
    run_dir = h.new_run_dir()
    program = first_start(h, run_dir)
    pick_region(h, program)
    add_product(h, program, run_dir, name="", vender="", cat="")
    enter_mail_settings(h, program)
    start_monitoring(h, program, run_dir)
    with h.step("checks against a dead shop change nothing and report nothing"):
        seen = h.shop.count("stock")
        h.wait_until("three more checks", lambda: h.shop.count("stock") >= seen + 3, 20)
        row = program.list_rows()[0]
        h.expect(row[8] == "正在监控", f"Status {row[8]!r}")
        h.expect(row[3] == row[4] == row[5] == "", f"prices {row[3:6]}")
        h.expect(not balloon_showing(program, "价格变化了！") and
                 not balloon_showing(program, "】现货"), "an alert balloon showed")
        h.expect(h.mail.attempts == 0, "a mail was attempted")
        program.screenshot("shop-down")
    stop_monitoring(h, program)
    with h.step("close and start again: the row is still there"):
        h.close_program(program)
        program = h.start_program(run_dir, "second-start")
        rows = h.wait_until("the imported row",
                            lambda: (lambda r: r if len(r) == 1 else None)(program.list_rows()), 20)
        h.expect(rows[0][1] == PRODUCT.sku, f"imported row {rows[0][:3]}")
        h.close_program(program)


def smtp_refusing_scenario(h):
    """The mail server refuses every mail: the price alert's mail loop tries six
    times and gives up; nothing crashes."""
    h.start_peers(refuse_mail=True, phase="price_drop")
    run_dir = h.new_run_dir()
    program = first_start(h, run_dir)
    pick_region(h, program)
    add_product(h, program, run_dir)
    enter_mail_settings(h, program)
    start_monitoring(h, program, run_dir)
    with h.step("the price alert's mail is tried six times, then given up"):
        h.wait_until("the price alert balloon", lambda: balloon_showing(program, "价格变化了！"), 20)
        h.wait_until("a first refused mail", lambda: h.mail.attempts >= 1, 20)
        attempts = h.quiet_for("the mail attempts", lambda: h.mail.attempts, 4.0, 40)
        h.expect(attempts == 6, f"{attempts} mail attempts, expected 6")
        h.expect(h.mail.messages() == [], "a refused mail was delivered")
        program.screenshot("smtp-refused")
    with h.step("有货停止 halted monitoring at the alert"):
        h.quiet_for("the stock queries", lambda: h.shop.count("stock"), 3.0, 20)
        check_button(h, program, "停止监控", "halted-button")
    with h.step("stop and close: the program ends cleanly"):
        program.click("按钮商品监控")
        settle(0.5)
        h.close_program(program)


def readonly_scenario(h):
    """A run directory that cannot be written: the program runs, the user's changes
    stay in the window, and the files of the earlier run are left as they were."""
    h.start_peers()
    empty = h.new_run_dir(tmpfs=True)
    with h.step("first start in an empty read-only directory: no sound file, no crash"):
        h.mount("-o", "remount,ro", empty)
        program = h.start_program(empty, "empty-read-only")
        h.expect(program.list_rows() == [], "rows in an empty directory")
        h.expect(not os.path.exists(os.path.join(empty, SOUND_FILE)), "autio.mp3 appeared")
        program.screenshot("empty-read-only")
        h.close_program(program)
    run_dir = h.new_run_dir(tmpfs=True)
    program = first_start(h, run_dir)
    pick_region(h, program)
    add_product(h, program, run_dir)
    enter_mail_settings(h, program, interval="0")
    start_monitoring(h, program, run_dir)
    stop_monitoring(h, program)
    with h.step("close the writable run"):
        h.close_program(program)
    before = snapshot(run_dir)
    with h.step("remount the run directory read-only and start there"):
        h.mount("-o", "remount,ro", run_dir)
        h.expect(subprocess.run(["touch", os.path.join(run_dir, "probe")],
                                capture_output=True).returncode != 0,
                 "the run directory is still writable")
        program = h.start_program(run_dir, "read-only")
        h.wait_until("the imported row", lambda: len(program.list_rows()) == 1, 20)
    with h.step("add a product and monitor in the read-only directory"):
        program.click("按钮商品添加")
        h.wait_until("the second row", lambda: len(program.list_rows()) == 2, 20)
        program.replace_text("编辑框发邮件账号", "other@quillmoor.test")
        seen = h.shop.count("stock")
        program.click("按钮商品监控")
        h.wait_until("the checks of both rows", lambda: h.shop.count("stock") >= seen + 2, 20)
        program.click("按钮商品监控")
        settle(0.5)
        program.screenshot("read-only")
    with h.step("close: nothing crashed and the old files are unchanged"):
        h.close_program(program)
        h.expect(snapshot(run_dir) == before, "files of the read-only run directory changed")


SCENARIOS = {
    "first_start": first_start_scenario,
    "main": main_scenario,
    "list_commands": list_commands_scenario,
    "shop_down": shop_down_scenario,
    "smtp_refusing": smtp_refusing_scenario,
    "readonly": readonly_scenario,
}
