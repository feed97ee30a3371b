#!/usr/bin/python3
"""Start-up of Varnik against a bare window with the same five controls.

Both programs are started in turn on an X server of our own (Xvfb, no window
manager); the time is taken from starting the process to its window being
mapped (Varnik fills its lines before it shows the window, so mapped means
filled), and the peak memory (VmHWM) is read at that moment. Varnik reads its
lines from a name_start.txt. Prints the medians and their ratios, and the
fastest round of each, which a busy machine disturbs least.

On Linux (the default) the yardstick is a bare Qt window, and Varnik reaches
the stand-in object on a private bus, started once before the rounds. With
--windows, varnik.exe and a bare Win32 program (bench/bare_window_win32.cpp)
run under Wine, stripped as the zip has them, in a Wine prefix of the
benchmark's own that is booted (its server and system processes up) before
the rounds, with the stand-in COM object registered in it; both create it
before their window shows.
"""
import argparse
import os
import pathlib
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

from Xlib import X, display as xdisplay

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir={listen}</listen>
  <auth>EXTERNAL</auth>
  <servicedir>{services}</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


def start_xvfb():
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                             "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        return xvfb, ":" + pipe.readline().strip()


def start_bus(work, build):
    services = work / "services"
    services.mkdir()
    (services / "VeruVeve.SetupConfig.service").write_text(
        "[D-BUS Service]\nName=VeruVeve.SetupConfig\n"
        f"Exec=/usr/bin/env XDG_STATE_HOME={work / 'state'} "
        f"{build / 'bin' / 'varnik-setupconfig-standin'}\n")
    config = work / "bus.conf"
    config.write_text(BUS_CONFIG.format(listen=work, services=services))
    bus = subprocess.Popen(["dbus-daemon", "--nofork", "--print-address", f"--config-file={config}"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return bus, bus.stdout.readline().strip()


def windows_environment(build, work, display_name):
    """Boots a fresh Wine prefix for the rounds and registers the stand-in in it."""
    prefix = build / "bench-prefix"
    wine_run = pathlib.Path(__file__).resolve().parent.parent / "scripts" / "wine-run"
    quiet = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                 env=dict(os.environ, DISPLAY=display_name))
    subprocess.run([wine_run, "--prefix", prefix, "--stop"], **quiet)
    shutil.rmtree(prefix, ignore_errors=True)
    if subprocess.run([wine_run, "--prefix", prefix, "--boot"], **quiet).returncode != 0:
        # A server of the prefix just removed may still be going away: once more.
        subprocess.run([wine_run, "--prefix", prefix, "--stop"], **quiet)
        subprocess.run([wine_run, "--prefix", prefix, "--boot"], check=True, **quiet)
    subprocess.run([wine_run, "--prefix", prefix, "regsvr32", "/s",
                    f"Z:{build / 'bin' / 'varnik_standin.dll'}"], check=True, **quiet)
    # What scripts/wine-run sets, without a shell between the clock and Wine.
    env = dict(WINEPREFIX=str(prefix), WINEARCH="win64", WINEDEBUG=os.environ.get("WINEDEBUG", "-all"),
               WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d", LC_ALL="C", LANG="C",
               WINESERVER=shutil.which("wineserver64", path="/usr/lib/wine:" + os.environ["PATH"]),
               VARNIK_STANDIN_DIR=f"Z:{work / 'standin'}")
    (work / "standin").mkdir()
    wine = shutil.which("wine64", path="/usr/lib/wine:" + os.environ["PATH"])
    programs = {}
    for name, exe in (("varnik", "varnik.exe"), ("bare Win32 window", "bare_window.exe")):
        stripped = work / exe
        subprocess.run(["x86_64-w64-mingw32-strip", "-o", stripped, build / "bin" / exe], check=True)
        programs[name] = [wine, str(stripped)]
    stop = lambda: subprocess.run([wine_run, "--prefix", prefix, "--stop"], **quiet)
    return programs, env, stop


def peak_memory_kib(pid):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0


def time_to_window(command, env, cwd, x, timeout=30.0):
    """Seconds until the program's first top-level window is mapped, and its peak memory."""
    root = x.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    x.sync()
    started = time.perf_counter()
    process = subprocess.Popen(command, env=env, cwd=cwd,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = started + timeout
        while time.perf_counter() < deadline:
            if x.pending_events() == 0:
                # Block on the X connection, at most until the deadline.
                select.select([x], [], [], max(deadline - time.perf_counter(), 0))
                continue
            event = x.next_event()
            if event.type == X.MapNotify and event.event == root:
                elapsed = time.perf_counter() - started
                return elapsed, peak_memory_kib(process.pid)
        raise RuntimeError(f"{command[-1]} showed no window within {timeout} s")
    finally:
        process.kill()
        process.wait()
        root.change_attributes(event_mask=0)
        x.sync()
        while x.pending_events():
            x.next_event()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--windows", action="store_true",
                        help="varnik.exe and a bare Win32 window under Wine")
    parser.add_argument("--build", type=pathlib.Path,
                        help="the build folder (build/linux, or build/mingw with --windows)")
    parser.add_argument("--rounds", type=int, help="default 20, or 30 with --windows")
    args = parser.parse_args()
    build = (args.build or pathlib.Path("build/mingw" if args.windows else "build/linux")).resolve()
    rounds = args.rounds or (30 if args.windows else 20)

    with tempfile.TemporaryDirectory(prefix="varnik-bench-") as temp:
        work = pathlib.Path(temp)
        (work / "name_start.txt").write_bytes(b"ROSSI\r\nROSSI-2\r\n")
        xvfb, display_name = start_xvfb()
        stop = []
        try:
            env = dict(os.environ, DISPLAY=display_name)
            if args.windows:
                programs, wine_env, stop_wine = windows_environment(build, work, display_name)
                stop.append(stop_wine)
                env.update(wine_env)
                yardstick = "bare Win32 window"
            else:
                bus, address = start_bus(work, build)
                stop.append(lambda: (bus.terminate(), bus.wait()))
                env.update(DBUS_SESSION_BUS_ADDRESS=address, QT_QPA_PLATFORM="xcb")
                programs = {"varnik": [str(build / "bin" / "varnik")],
                            "bare Qt window": [str(build / "bin" / "bare_window")]}
                yardstick = "bare Qt window"
            x = xdisplay.Display(display_name)
            results = {name: ([], []) for name in programs}
            for round_number in range(rounds + 1):
                order = list(programs.items())
                if round_number % 2:
                    order.reverse()
                for name, command in order:
                    seconds, kib = time_to_window(command, env, work, x)
                    if round_number > 0:  # the first round only warms caches and the bus
                        results[name][0].append(seconds)
                        results[name][1].append(kib)
        finally:
            for step in stop:
                step()
            xvfb.terminate()
            xvfb.wait()

    medians = {name: (statistics.median(t), statistics.median(m)) for name, (t, m) in results.items()}
    fastest = {name: min(t) for name, (t, _) in results.items()}
    width = max(len(name) for name in medians)
    print(f"{'program':<{width}} {'start to window (ms)':>22} {'fastest (ms)':>13} "
          f"{'peak memory (MiB)':>19}")
    for name, (seconds, kib) in medians.items():
        print(f"{name:<{width}} {seconds * 1000:>22.1f} {fastest[name] * 1000:>13.1f} "
              f"{kib / 1024:>19.1f}")
    (vt, vm), (bt, bm) = medians["varnik"], medians[yardstick]
    print(f"{'ratio':<{width}} {vt / bt:>22.2f} {fastest['varnik'] / fastest[yardstick]:>13.2f} "
          f"{vm / bm:>19.2f}")
    print(f"medians of {rounds} rounds")


if __name__ == "__main__":
    sys.exit(main())
