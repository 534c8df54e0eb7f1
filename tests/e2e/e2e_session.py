"""The desktop the program runs on: its own Xvfb, D-Bus session and AT-SPI bus.

Every process is started in a process group of its own and is ended by that group
at the end, also when a step failed, so nothing outlives the run.
"""

import os
import signal
import subprocess
import tempfile
import time


def poll(what, probe, timeout, interval=0.1):
    """Calls probe until it gives a true value and returns that value; raises
    TimeoutError naming what was awaited when the deadline passes first."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = probe()
            if value:
                return value
        except Exception as error:  # a probe may fail while the thing comes up
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error!r})" if last_error else ""
            raise TimeoutError(f"timed out after {timeout:.0f} s waiting for {what}{detail}")
        time.sleep(interval)


class ProcessGroup:
    """The processes this run started, each in a session of its own."""

    def __init__(self):
        self.processes = []

    def start(self, name, argv, **kwargs):
        kwargs.setdefault("stdin", subprocess.DEVNULL)
        process = subprocess.Popen(argv, start_new_session=True, **kwargs)
        self.processes.append((name, process))
        return process

    def stop(self, process, timeout=5.0):
        """Ends one started process and everything it started in its group."""
        if process.poll() is None:
            try:
                os.killpg(process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                pass
        # Children of the group (an activated bus service, say) go too.
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        if process.poll() is None:
            process.wait(timeout)

    def stop_all(self):
        for _, process in reversed(self.processes):
            self.stop(process)
        self.processes.clear()


class DesktopSession:
    """Xvfb on a free display, a D-Bus session bus and the AT-SPI bus, with the
    environment a Qt program and pyatspi need to meet on them."""

    WIDTH, HEIGHT = 1280, 800

    def __init__(self, log_dir):
        self.log_dir = log_dir
        self.group = ProcessGroup()
        self.tmp = tempfile.TemporaryDirectory(prefix="qm-e2e-session-")
        self.display = None
        self.env = None

    def _log(self, name):
        return open(os.path.join(self.log_dir, f"{name}.log"), "wb")

    def start(self):
        runtime = os.path.join(self.tmp.name, "runtime")
        home = os.path.join(self.tmp.name, "home")
        os.makedirs(runtime, mode=0o700)
        os.makedirs(home)

        # Xvfb picks a free display itself and writes its number to the pipe.
        read_fd, write_fd = os.pipe()
        xvfb = self.group.start(
            "Xvfb",
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{self.WIDTH}x{self.HEIGHT}x24", "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=self._log("xvfb"), stderr=subprocess.STDOUT)
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 20
        while not number.endswith(b"\n"):
            if time.monotonic() > deadline or xvfb.poll() is not None:
                raise RuntimeError("Xvfb did not start (see xvfb.log)")
            chunk = os.read(read_fd, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not report its display (see xvfb.log)")
            number += chunk
        os.close(read_fd)
        self.display = ":" + number.decode().strip()

        env = dict(os.environ)
        for key in ("DBUS_SESSION_BUS_ADDRESS", "AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY",
                    "SESSION_MANAGER", "XAUTHORITY"):
            env.pop(key, None)
        env.update({
            "DISPLAY": self.display,
            "XDG_RUNTIME_DIR": runtime,
            "HOME": home,
            "NO_AT_BRIDGE": "0",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "QT_ACCESSIBILITY": "1",
            "QT_QPA_PLATFORM": "xcb",
            "GTK_MODULES": "",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })

        dbus = self.group.start(
            "dbus-daemon",
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"],
            env=env, stdout=subprocess.PIPE, stderr=self._log("dbus"))
        address = dbus.stdout.readline().decode().strip()
        if not address:
            raise RuntimeError("dbus-daemon did not report its address (see dbus.log)")
        env["DBUS_SESSION_BUS_ADDRESS"] = address

        # The accessibility bus: the launcher publishes its address on the X root
        # window and on the session bus, where Qt and pyatspi look for it.
        self.group.start(
            "at-spi-bus-launcher",
            ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
            env=env, stdout=self._log("at-spi"), stderr=subprocess.STDOUT)
        poll("the AT-SPI bus", lambda: self._root_has_atspi_bus(env), 20)
        self.env = env
        # pyatspi connects to the buses of this process's environment on import.
        os.environ.update(env)
        for key in ("AT_SPI_BUS_ADDRESS", "XAUTHORITY"):
            os.environ.pop(key, None)
        return self

    @staticmethod
    def _root_has_atspi_bus(env):
        out = subprocess.run(["xprop", "-root", "AT_SPI_BUS"], env=env, capture_output=True,
                             text=True, timeout=10).stdout
        return "unix:" in out

    def stop(self):
        self.group.stop_all()
        self.tmp.cleanup()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False
