"""A private desktop session for driving the real program from outside.

    with Session(program, site_script, pages=2) as s:
        s.start_program()
        ...   # pyatspi and xdotool now talk to this session only

A session owns a fresh display, a private D-Bus session bus (the accessibility bus is started from it on demand), the
demo site on a free port and the program, whose requests for the
share-search host go to that site. The display is an X server (Xvfb, the
display picked with -displayfd) or, with `wayland=True`, a headless Wayland
compositor (weston's headless backend), which the program then talks to as
a Wayland client. A headless compositor has no input devices: a Wayland
session is driven through the accessibility tree alone. `xdg-open` is replaced by a script that
records the links it is given instead of starting a browser.

Everything started here, and everything those processes leave behind, is
ended when the session closes: this process becomes a child subreaper, so
orphaned grandchildren (the accessibility bus, the web engine's helpers)
are reparented to it and can be found and ended. Processes started directly
also receive SIGKILL should this process die first.
"""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PR_SET_PDEATHSIG = 1
PR_SET_CHILD_SUBREAPER = 36
SEARCH_HOST = "so.quorvane.example:80"

_libc = ctypes.CDLL(None, use_errno=True)


def _die_with_parent():
    _libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _read_line(stream, timeout, what):
    """One line from a pipe, waiting at most `timeout` seconds."""
    deadline = time.monotonic() + timeout
    data = b""
    fd = stream.fileno()
    while not data.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise RuntimeError(f"timed out waiting for {what}")
        chunk = os.read(fd, 256)
        if not chunk:
            raise RuntimeError(f"{what}: the process ended early")
        data += chunk
    return data.decode().strip()


def _children_of(pid):
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat") as f:
                stat = f.read()
        except OSError:
            continue
        # The command name is in parentheses and may hold spaces.
        fields = stat[stat.rindex(")") + 2:].split()
        if int(fields[1]) == pid:
            found.append(int(entry))
    return found


class Session:
    def __init__(self, program, site_script, pages=5, screen="1280x1024x24", wayland=False):
        self.program = program
        self.wayland = wayland
        self.site_script = site_script
        self.pages = pages
        self.screen = screen
        self.processes = []
        self.program_process = None
        self.dir = None
        self.env = None

    # Set-up ---------------------------------------------------------------

    def __enter__(self):
        _libc.prctl(PR_SET_CHILD_SUBREAPER, 1)
        self.dir = tempfile.mkdtemp(prefix="quorvane-e2e.")
        try:
            # The compositor's socket lives in the runtime folder the
            # environment makes; an X server reports the display it took.
            if self.wayland:
                self._prepare_environment()
                self._start_compositor()
            else:
                self._start_display()
                self._prepare_environment()
            self._start_bus()
            self._start_site()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, kind, value, traceback):
        if kind is not None:
            self.dump_logs()
        self.close()
        return False

    def _spawn(self, args, log_name, **kwargs):
        log = open(os.path.join(self.dir, log_name), "wb")
        kwargs.setdefault("stdout", log)
        process = subprocess.Popen(
            args, stdin=subprocess.DEVNULL, stderr=log, preexec_fn=_die_with_parent, **kwargs
        )
        log.close()
        self.processes.append(process)
        return process

    def _start_display(self):
        read_end, write_end = os.pipe()
        self._spawn(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", self.screen, "-nolisten", "tcp", "-noreset"],
            "xvfb.log",
            pass_fds=(write_end,),
        )
        os.close(write_end)
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            self.display = ":" + _read_line(pipe, 20, "Xvfb to report its display")

    def _start_compositor(self):
        width, height = self.screen.split("x")[:2]
        socket = "wayland-quorvane"
        self._spawn(
            ["weston", "--backend=headless-backend.so", f"--socket={socket}", f"--width={width}",
             f"--height={height}", "--idle-time=0"],
            "weston.log",
            env=self.env,
        )
        path = os.path.join(self.env["XDG_RUNTIME_DIR"], socket)
        deadline = time.monotonic() + 20
        while not os.path.exists(path):
            if self.processes[-1].poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the Wayland compositor did not start")
            time.sleep(0.02)
        self.env["WAYLAND_DISPLAY"] = socket

    def _prepare_environment(self):
        env = dict(os.environ)
        for name in ("WAYLAND_DISPLAY", "NO_AT_BRIDGE", "AT_SPI_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS",
                     "SESSION_MANAGER", "XAUTHORITY"):
            env.pop(name, None)
        runtime = os.path.join(self.dir, "run")
        os.mkdir(runtime, 0o700)
        bin_dir = os.path.join(self.dir, "bin")
        os.mkdir(bin_dir)
        self.opened_links = os.path.join(self.dir, "opened-links")
        opener = os.path.join(bin_dir, "xdg-open")
        with open(opener, "w") as f:
            f.write('#!/bin/sh\nprintf "%s\\n" "$*" >> "$QUORVANE_E2E_OPENED"\n')
        os.chmod(opener, 0o755)
        if self.wayland:
            env.pop("DISPLAY", None)
            env["GDK_BACKEND"] = "wayland"
        else:
            env.update(DISPLAY=self.display, GDK_BACKEND="x11")
        env.update(
            XDG_RUNTIME_DIR=runtime,
            XDG_CONFIG_HOME=os.path.join(self.dir, "config"),
            XDG_CACHE_HOME=os.path.join(self.dir, "cache"),
            XDG_DATA_HOME=os.path.join(self.dir, "data"),
            GSETTINGS_BACKEND="memory",
            PATH=bin_dir + os.pathsep + env.get("PATH", "/usr/bin:/bin"),
            QUORVANE_E2E_OPENED=self.opened_links,
        )
        self.env = env

    def _start_bus(self):
        address = "unix:path=" + os.path.join(self.env["XDG_RUNTIME_DIR"], "bus")
        bus = self._spawn(
            ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address, "--print-address=1"],
            "dbus.log",
            stdout=subprocess.PIPE,
            env=self.env,
        )
        self.env["DBUS_SESSION_BUS_ADDRESS"] = _read_line(bus.stdout, 20, "the session bus to start")

    def _start_site(self):
        port_file = os.path.join(self.dir, "site.port")
        site = self._spawn(
            ["/usr/bin/python3", self.site_script, "--port-file", port_file, "--pages", str(self.pages), "--verbose"],
            "site.log",
            stdout=subprocess.DEVNULL,
            env=self.env,
        )
        deadline = time.monotonic() + 20
        while not os.path.exists(port_file):
            if site.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("the demo site did not start")
            time.sleep(0.02)
        with open(port_file) as f:
            self.site_port = int(f.read())

    # Use ------------------------------------------------------------------

    def start_program(self, extra_env=None):
        env = dict(self.env, QUORVANE_CONNECT_TO=f"{SEARCH_HOST}:127.0.0.1:{self.site_port}")
        env.update(extra_env or {})
        self.program_process = self._spawn([self.program], "program.log", env=env)
        return self.program_process

    def use_in_this_process(self):
        """Points this process (pyatspi, xdotool) at the session. Must run
        before pyatspi is imported: it connects to the bus on import."""
        for name in ("WAYLAND_DISPLAY", "NO_AT_BRIDGE", "AT_SPI_BUS_ADDRESS"):
            os.environ.pop(name, None)
        os.environ.pop("DISPLAY", None)
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "XDG_RUNTIME_DIR", "GSETTINGS_BACKEND"):
            if name in self.env:
                os.environ[name] = self.env[name]

    def links_opened(self):
        try:
            with open(self.opened_links) as f:
                return f.read().splitlines()
        except FileNotFoundError:
            return []

    def log(self, name):
        try:
            with open(os.path.join(self.dir, name), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def dump_logs(self):
        for name in ("program.log", "site.log", "dbus.log", "xvfb.log", "weston.log"):
            text = self.log(name).strip()
            if text:
                sys.stderr.write(f"---- {name} ----\n{text[-6000:]}\n")

    # Tear-down ------------------------------------------------------------

    def close(self):
        # The program first, so that it does not see its display or bus go.
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
        deadline = time.monotonic() + 3
        for process in reversed(self.processes):
            try:
                process.wait(max(0.0, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for process in self.processes:
            if process.stdout:
                process.stdout.close()
        self._end_orphans()
        if self.dir:
            shutil.rmtree(self.dir, ignore_errors=True)
            self.dir = None

    def _end_orphans(self):
        """Ends whatever was reparented to this process, until nothing is."""
        me = os.getpid()
        for attempt in range(100):
            left = _children_of(me)
            if not left:
                return
            for pid in left:
                try:
                    os.kill(pid, signal.SIGTERM if attempt < 20 else signal.SIGKILL)
                except ProcessLookupError:
                    pass
            time.sleep(0.05)
            while True:
                try:
                    pid, _ = os.waitpid(-1, os.WNOHANG)
                except ChildProcessError:
                    break
                if pid == 0:
                    break
