"""Drives the program from outside, as a user would: real X11 input through
xdotool at screen points computed from the window's position and the form's
places; the window read back through AT-SPI; screenshots of the screen.
"""

import os
import shutil
import signal
import subprocess
import time

from e2e_session import poll

# Places of the form's controls in the main window's client area (x, y, w, h),
# group box offsets included, with the AT-SPI roles they may show as.
EDIT = ("text", "password text", "entry")
CHECK = ("check box",)
BUTTON = ("push button", "button")
COMBO = ("combo box",)
LIST = ("tree table", "table", "tree", "list")
FORM = {
    "编辑框商品编号": ((72, 24, 80, 32), EDIT),
    "组合框省份": ((193, 32, 79, 20), COMBO),
    "组合框城市": ((311, 32, 79, 20), COMBO),
    "组合框地区": ((437, 32, 79, 20), COMBO),
    "编辑框价格监控": ((590, 24, 48, 32), EDIT),
    "选择框降价提醒": ((647, 32, 68, 24), CHECK),
    "选择框有货提醒": ((726, 32, 68, 24), CHECK),
    "按钮商品添加": ((800, 24, 88, 40), BUTTON),
    "超级列表框监控": ((16, 88, 888, 392), LIST),
    "图片框": ((16, 488, 888, 95), ()),
    "编辑框发邮件账号": ((980, 45, 92, 35), EDIT),
    "编辑框发邮件密码": ((980, 95, 92, 35), EDIT),
    "编辑框收邮件地址": ((984, 173, 88, 35), EDIT),
    "编辑框监控间隔": ((1060, 248, 72, 24), EDIT),
    "选择框邮件提醒": ((948, 280, 76, 24), CHECK),
    "选择框音乐提醒": ((1052, 280, 76, 24), CHECK),
    "选择框有货停止": ((948, 312, 76, 24), CHECK),
    "选择框保存记录": ((1052, 312, 76, 24), CHECK),
    "按钮商品监控": ((963, 352, 165, 50), BUTTON),
    "按钮更多优惠": ((963, 424, 165, 50), BUTTON),
    "按钮问题反馈": ((963, 496, 165, 50), BUTTON),
}

# WatchList columns.
COLUMNS = ["Index", "ProductId", "ProductName", "PcPrice", "MobilePrice", "WeChatPrice",
           "MobileQr", "WeChatQr", "Status", "Region", "WishedPrice", "VenderId", "Cat"]


def _atspi():
    import pyatspi  # imported late: it joins the buses of the environment at import
    from gi.repository import Atspi
    return pyatspi, Atspi


class Program:
    """One run of the program in its run directory."""

    def __init__(self, session, executable, run_dir, artefacts, label):
        self.session = session
        self.executable = executable
        self.run_dir = run_dir
        self.artefacts = artefacts
        self.label = label
        self.process = None
        self.window = None      # X window id
        self.origin = None      # screen point of the client area's top left corner
        self.size = None
        self.app = None         # AT-SPI application
        self.frame = None       # AT-SPI main window
        self.stderr_path = os.path.join(artefacts, f"{label}.stderr.log")
        # Where the sound card's stand-in writes what the program plays (see start).
        self.sound_path = os.path.join(artefacts, f"{label}-sound.wav")
        self.shot_count = 0
        self.found = {}         # control name -> accessible, found once per run

    # --- life ------------------------------------------------------------------

    def start(self, timeout=60):
        env = dict(self.session.env)
        env.update(sanitizer_environment(env, self.artefacts))
        env.update(self._sound_environment())
        exe = os.path.join(self.run_dir, os.path.basename(self.executable))
        with open(self.stderr_path, "wb") as err:
            self.process = subprocess.Popen([exe], cwd="/", env=env, stdin=subprocess.DEVNULL,
                                            stdout=err, stderr=subprocess.STDOUT,
                                            start_new_session=True)
        self.window = poll("the main window 'Quillmoor' on the screen", self._find_window, timeout)
        geometry = self.xdotool("getwindowgeometry", "--shell", self.window)
        values = dict(line.split("=", 1) for line in geometry.split() if "=" in line)
        self.origin = (int(values["X"]), int(values["Y"]))
        self.size = (int(values["WIDTH"]), int(values["HEIGHT"]))
        self.app = poll("the program on the AT-SPI bus", self._find_app, timeout)
        self.frame = poll("the main window on the AT-SPI bus", self._find_frame, timeout)
        return self

    def _sound_environment(self):
        """The machine has no sound card. libout123's default output here is OpenAL,
        whose own configuration (not the program's) can send its output to a wave
        file at the pace of a real device: what the program plays lands there."""
        conf = os.path.join(self.artefacts, f"{self.label}-alsoft.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(f"[general]\ndrivers = wave\n\n[wave]\nfile = {self.sound_path}\n")
        return {"ALSOFT_CONF": conf, "ALSOFT_DRIVERS": "wave"}

    def sound_bytes(self):
        """How much the program has played so far, in bytes of the wave file."""
        try:
            return os.path.getsize(self.sound_path)
        except OSError:
            return 0

    def _find_window(self):
        self.check_alive()
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.process.pid),
                              "--name", "^Quillmoor$"], env=self.session.env,
                             capture_output=True, text=True, timeout=20).stdout.split()
        return out[0] if out else None

    def _find_app(self):
        pyatspi, _ = _atspi()
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def _find_frame(self):
        for window in self.windows():
            if window.name == "Quillmoor":
                return window
        return None

    def alive(self):
        return self.process is not None and self.process.poll() is None

    def check_alive(self):
        if self.process is not None and self.process.poll() is not None:
            raise AssertionError(f"the program ended unexpectedly with status "
                                 f"{self.process.returncode} (see {self.stderr_path})")

    def wait_exit(self, timeout=30):
        poll("the program to end", lambda: self.process.poll() is not None, timeout)
        return self.process.returncode

    def kill(self):
        """Ends the program if still running (used on the way out of a failed run)."""
        if self.process is not None and self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.process.wait(10)

    def stderr_text(self):
        try:
            with open(self.stderr_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    # --- input -----------------------------------------------------------------

    def xdotool(self, *args):
        result = subprocess.run(["xdotool", *map(str, args)], env=self.session.env,
                                capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise RuntimeError(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
        return result.stdout

    def screen_point(self, x, y):
        return self.origin[0] + x, self.origin[1] + y

    def click_at(self, x, y, button=1, repeat=1):
        """Clicks at a point of the client area."""
        self.check_alive()
        sx, sy = self.screen_point(x, y)
        self.move_pointer(sx, sy)
        args = ["click"]
        if repeat > 1:
            args += ["--repeat", repeat, "--delay", 80]
        self.xdotool(*args, button)

    def click_screen(self, sx, sy, button=1, repeat=1):
        """Clicks at a point of the screen (a popup list outside the window, say)."""
        self.check_alive()
        self.move_pointer(sx, sy)
        if repeat > 1:
            self.xdotool("click", "--repeat", repeat, "--delay", 80, button)
        else:
            self.xdotool("click", button)

    def move_pointer(self, sx, sy):
        # "mousemove --sync" to where the pointer already is waits for a motion that
        # never comes (15 s in xdotool 3.20211022), so only a real move is synced.
        where = dict(line.split("=", 1) for line in
                     self.xdotool("getmouselocation", "--shell").split() if "=" in line)
        if (int(where["X"]), int(where["Y"])) != (sx, sy):
            self.xdotool("mousemove", "--sync", sx, sy)

    def click(self, control, dx=None, dy=None, button=1, repeat=1):
        """Clicks a control of the form: at its centre, or at dx, dy inside it."""
        (x, y, w, h), _ = FORM[control]
        self.click_at(x + (w // 2 if dx is None else dx), y + (h // 2 if dy is None else dy),
                      button, repeat)

    def key(self, *keys):
        self.check_alive()
        self.xdotool("key", "--clearmodifiers", "--delay", 40, *keys)

    def type_text(self, text):
        self.check_alive()
        self.xdotool("type", "--clearmodifiers", "--delay", 40, text)

    def replace_text(self, control, text):
        """Clicks into an edit box, selects all it holds and types the text."""
        self.click(control)
        self.key("ctrl+a")
        if text:
            self.type_text(text)
        else:
            self.key("BackSpace")

    def screenshot(self, name):
        self.shot_count += 1
        path = os.path.join(self.artefacts, f"{self.label}-{self.shot_count:02d}-{name}.png")
        subprocess.run(["import", "-display", self.session.display, "-window", "root", path],
                       env=self.session.env, capture_output=True, timeout=30)
        return path

    # --- reading the window through AT-SPI -------------------------------------

    def windows(self):
        """The program's top-level windows on the AT-SPI bus, read afresh."""
        _, atspi = _atspi()
        app = self.app or self._find_app()
        if app is None:
            return []
        atspi.Accessible.clear_cache(app)
        return [app.getChildAtIndex(i) for i in range(app.childCount)]

    @staticmethod
    def walk(node, depth=0, limit=12):
        """Every accessible below node (node included), depth first."""
        yield node
        if depth >= limit:
            return
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is not None:
                yield from Program.walk(child, depth + 1, limit)

    @staticmethod
    def extents(node):
        pyatspi, _ = _atspi()
        e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return e.x, e.y, e.width, e.height

    def control(self, name):
        """The accessible of a form control: the one named like the control, else the
        one of a fitting role lying at the control's place."""
        _, atspi = _atspi()
        node = self.found.get(name)
        if node is not None:
            try:
                atspi.Accessible.clear_cache(node)
                node.getRoleName()
                return node
            except Exception:  # gone from the bus: look again
                del self.found[name]
        return self._locate(name)

    def _locate(self, name):
        """One walk over the window finds every control of the form at once."""
        _, atspi = _atspi()
        atspi.Accessible.clear_cache(self.frame)
        nodes = []
        for node in self.walk(self.frame):
            try:
                nodes.append((node, node.name, node.getRoleName(), self.extents(node)))
            except Exception:
                continue
        for control, ((x, y, w, h), roles) in FORM.items():
            if control in self.found and control != name:
                continue
            sx, sy = self.screen_point(x, y)
            best = None
            for node, node_name, role, (ex, ey, ew, eh) in nodes:
                if node_name == control:
                    best = (-1, node)
                    break
                if roles and role in roles:
                    off = abs(ex - sx) + abs(ey - sy) + abs(ew - w) + abs(eh - h)
                    if off <= 12 and (best is None or off < best[0]):
                        best = (off, node)
            if best is not None:
                self.found[control] = best[1]
        if name not in self.found:
            (x, y, w, h), roles = FORM[name]
            raise AssertionError(f"no accessible for the control {name} (role {roles}, "
                                 f"place {x},{y} {w}x{h})")
        return self.found[name]

    def text_of(self, name):
        """The text an edit box or a combo box's edit field shows."""
        node = self.control(name)
        if node.getRoleName() in COMBO:
            for child in self.walk(node):
                if child.getRoleName() in EDIT:
                    return child.queryText().getText(0, -1)
            return node.name
        return node.queryText().getText(0, -1)

    def checked(self, name):
        pyatspi, _ = _atspi()
        return self.control(name).getState().contains(pyatspi.STATE_CHECKED)

    def combo_items(self, name):
        node = self.control(name)
        items = []
        for child in self.walk(node):
            if child.getRoleName() == "list item":
                items.append(child.name)
        return items

    def list_rows(self):
        """The WatchList as rows of thirteen cell texts, read through the table
        interface of the list view."""
        _, atspi = _atspi()
        node = self.control("超级列表框监控")
        atspi.Accessible.clear_cache(node)
        table = node.queryTable()
        rows = []
        for r in range(table.nRows):
            row = []
            for c in range(table.nColumns):
                cell = table.getAccessibleAt(r, c)
                row.append(cell.name if cell is not None else "")
            rows.append(row)
        return rows

    def texts_anywhere(self):
        """Every name, description and text that the program's windows on screen
        expose, for finding a balloon or a message box wherever the toolkit puts it."""
        pyatspi, _ = _atspi()
        found = []
        for window in self.windows():
            try:
                if not window.getState().contains(pyatspi.STATE_SHOWING):
                    continue
            except Exception:
                continue
            for node in self.walk(window):
                try:
                    found.extend(t for t in (node.name, node.description) if t)
                    text = node.queryText().getText(0, -1)
                    if text:
                        found.append(text)
                except Exception:
                    pass
        return found


def sanitizer_environment(env, scratch):
    """Under ThreadSanitizer, the suite's suppressions plus those of the libraries
    only a program on a real display loads (one file: TSAN_OPTIONS takes one)."""
    options = env.get("TSAN_OPTIONS")
    if options is None:
        return {}
    parts = [p for p in options.split(":") if p]
    text = ""
    for p in parts:
        if p.startswith("suppressions="):
            with open(p.split("=", 1)[1], encoding="utf-8") as f:
                text += f.read() + "\n"
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "tsan-e2e.supp"),
              encoding="utf-8") as f:
        text += f.read()
    merged = os.path.join(scratch, "tsan.supp")
    with open(merged, "w", encoding="utf-8") as f:
        f.write(text)
    parts = [p for p in parts if not p.startswith("suppressions=")]
    return {"TSAN_OPTIONS": ":".join(parts + [f"suppressions={merged}"])}


def prepare_run_dir(executable, run_dir):
    """A fresh run directory holding a copy of the program."""
    os.makedirs(run_dir, exist_ok=True)
    target = os.path.join(run_dir, os.path.basename(executable))
    shutil.copy2(executable, target)
    return target


def settle(seconds=0.3):
    """A short pause for the X server to pass an input event on; never a wait for a
    result, which is always a poll with a deadline."""
    time.sleep(seconds)
