"""The frame every scenario runs in: named steps that report where a run failed
and keep a screenshot of that moment, and the peers the program talks to, all
stopped at the end whatever happened."""

import contextlib
import fcntl
import hashlib
import json
import os
import re
import shutil
import sys
import tempfile
import time
import traceback

from app_driver import Program, prepare_run_dir
from e2e_session import DesktopSession, poll
from mail_stub import MailStub
from x11_close import close_window
from shop_stub import Product, ShopStub

HERE = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(HERE, "e2e_endpoints.json"), encoding="utf-8") as f:
    ENDPOINTS = json.load(f)
HOST = ENDPOINTS["host"]
PORTS = ENDPOINTS["ports"]
HOME_PAGE = f"http://{HOST}:{PORTS['publisher']}/home"

RECORD_FILE = "京东监控记录.txt"
SETTINGS_FILE = "god.xin"
SOUND_FILE = "autio.mp3"
QR_FILE = "二维码.jpg"

# The product the shop stub sells.
PRODUCT = Product(sku="5089253", name="Quillmoor 测试商品 蓝色 64GB", vender_id="1000000127",
                  cat="9987,653,655")


class StepFailed(Exception):
    pass


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def snapshot(directory):
    """name -> sha256 of every regular file of a directory."""
    return {name: sha256(os.path.join(directory, name)) for name in sorted(os.listdir(directory))
            if os.path.isfile(os.path.join(directory, name))}


class Harness:
    def __init__(self, executable, artefacts, scenario):
        self.executable = os.path.abspath(executable)
        self.scenario = scenario
        self.artefacts = os.path.abspath(artefacts)
        self.passed = []
        self.stack = contextlib.ExitStack()
        self.session = None
        self.shop = None
        self.mail = None
        self.programs = []
        self.current = None

    # --- set-up and tear-down ----------------------------------------------

    def __enter__(self):
        if os.path.isdir(self.artefacts):
            shutil.rmtree(self.artefacts)
        os.makedirs(self.artefacts)
        self.stack.__enter__()
        self._take_port_lock()
        self.session = DesktopSession(self.artefacts)
        self.stack.callback(self.session.stop)
        self.session.start()
        return self

    def __exit__(self, kind, error, tb):
        for program in self.programs:
            program.kill()
        self._dump_logs()
        self.stack.__exit__(None, None, None)
        return False

    def _take_port_lock(self):
        """The peers' ports are fixed in the build, so runs of the suite from several
        build trees on one machine take turns."""
        lock = open(os.path.join(tempfile.gettempdir(), "quillmoor-e2e-ports.lock"), "w")
        self.stack.callback(lock.close)
        poll("the end-to-end port lock (another run of the suite holds it)",
             lambda: self._try_lock(lock), 420, interval=1.0)

    @staticmethod
    def _try_lock(lock):
        try:
            fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
            return True
        except BlockingIOError:
            return False

    def start_peers(self, refuse_mail=False, phase="normal"):
        self.shop = ShopStub(HOST, PORTS, PRODUCT)
        self.shop.set_phase(phase)
        self.shop.start()
        self.stack.callback(self.shop.stop)
        self.mail = MailStub(HOST, PORTS["smtp"], refuse=refuse_mail)
        self.mail.start()
        self.stack.callback(self.mail.stop)

    def new_run_dir(self, tmpfs=False):
        path = tempfile.mkdtemp(prefix="qm-e2e-run-")
        self.stack.callback(shutil.rmtree, path, True)
        if tmpfs:
            self.mount("-t", "tmpfs", "-o", "size=64m,mode=0755", "tmpfs", path)
            self.stack.callback(self.mount_quiet, "umount", "-l", path)
        prepare_run_dir(self.executable, path)
        return path

    @staticmethod
    def mount(*args, command="mount"):
        import subprocess
        result = subprocess.run([command, *args], capture_output=True, text=True, timeout=30)
        if result.returncode != 0:
            raise RuntimeError(f"{command} {' '.join(args)}: {result.stderr.strip()}")

    @staticmethod
    def mount_quiet(command, *args):
        import subprocess
        subprocess.run([command, *args], capture_output=True, timeout=30)

    def start_program(self, run_dir, label):
        program = Program(self.session, self.executable, run_dir, self.artefacts, label)
        self.programs.append(program)
        self.current = program
        return program.start()

    # --- steps --------------------------------------------------------------

    @contextlib.contextmanager
    def step(self, name):
        started = time.monotonic()
        # The monotonic clock of the peers' logs, so the two can be read side by side.
        print(f"[e2e {self.scenario}] step: {name} ... (t={started:.3f})", flush=True)
        try:
            yield
        except Exception as error:
            shot = None
            if self.current is not None:
                try:
                    slug = re.sub(r"[^0-9A-Za-z]+", "-", name).strip("-")[:60]
                    shot = self.current.screenshot("FAILED-" + slug)
                except Exception:
                    pass
            print(f"[e2e {self.scenario}] FAILED step: {name}: {error}", flush=True)
            traceback.print_exc()
            if shot:
                print(f"[e2e {self.scenario}] screenshot of the failure: {shot}", flush=True)
            raise StepFailed(name) from error
        self.passed.append(name)
        print(f"[e2e {self.scenario}] ok: {name} ({time.monotonic() - started:.1f} s)", flush=True)

    def _dump_logs(self):
        """What the peers saw, and what the windows showed last, kept for reading."""
        try:
            if self.shop is not None:
                with open(os.path.join(self.artefacts, "http-requests.log"), "w",
                          encoding="utf-8") as f:
                    for r in self.shop.requests():
                        f.write(f"{r['time']:.3f} {r['service']}: {r['request_line']}\n")
            if self.mail is not None:
                with open(os.path.join(self.artefacts, "smtp.log"), "w", encoding="utf-8") as f:
                    f.write(f"MAIL attempts: {self.mail.attempts}\n")
                    for login in self.mail.logins:
                        f.write(f"login: {login!r}\n")
                    for record, message in self.mail.messages():
                        f.write(f"--- from {record['sender']} to {record['recipients']}\n")
                        f.write(f"subject: {message['subject']}\n")
                        f.write(message.get_body(("plain",)).get_content() + "\n")
        except Exception as error:  # the logs must never hide the real outcome
            print(f"[e2e] could not write the peer logs: {error!r}", file=sys.stderr)

    # --- checks shared by the scenarios ---------------------------------------

    def expect(self, condition, message):
        if not condition:
            raise AssertionError(message)

    def wait_until(self, what, probe, timeout=30, interval=0.2):
        if self.current is not None:
            program = self.current

            def checked():
                program.check_alive()
                return probe()
            return poll(what, checked, timeout, interval)
        return poll(what, probe, timeout, interval)

    def quiet_for(self, what, count, quiet, timeout):
        """Waits until count() has not changed for `quiet` seconds; gives its value."""
        deadline = time.monotonic() + timeout
        value, since = count(), time.monotonic()
        while time.monotonic() < deadline:
            time.sleep(0.2)
            if self.current is not None:
                self.current.check_alive()
            now = count()
            if now != value:
                value, since = now, time.monotonic()
            elif time.monotonic() - since >= quiet:
                return value
        raise TimeoutError(f"{what} did not settle within {timeout} s (last value {value})")

    def close_program(self, program, how="escape"):
        """Closes the main window as the user does and checks that the program ended
        cleanly."""
        if how == "escape":
            program.click_at(1040, 572)  # an empty spot of the right-hand panel
            program.key("Escape")
        elif how == "close box":
            close_window(self.session.display, program.window)
        else:
            raise ValueError(how)
        code = program.wait_exit(30)
        log = program.stderr_text()
        for marker in ("AddressSanitizer", "ThreadSanitizer", "runtime error:", "Segmentation",
                       "QObject::", "ASSERT"):
            self.expect(marker not in log, f"the program's output holds {marker!r}: see "
                                           f"{program.stderr_path}")
        self.expect(code == 0, f"the program ended with status {code} (see {program.stderr_path})")
