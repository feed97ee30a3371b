#!/usr/bin/python3
"""Start-up of Varnik against a bare Qt window with the same five controls.

Both programs are started in turn on an X server of our own (Xvfb, no window
manager); the time is taken from starting the process to its window being
mapped (Varnik fills its lines before it shows the window, so mapped means
filled), and the peak memory (VmHWM) is read at that moment. Varnik reaches
the stand-in object on a private bus, started once before the rounds, and
reads its lines from a name_start.txt. Prints the medians and their ratios.
"""
import argparse
import os
import pathlib
import select
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


def peak_memory_kib(pid):
    for line in pathlib.Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0


def time_to_window(program, env, cwd, x, timeout=30.0):
    """Seconds until the program's first top-level window is mapped, and its peak memory."""
    root = x.screen().root
    root.change_attributes(event_mask=X.SubstructureNotifyMask)
    x.sync()
    started = time.perf_counter()
    process = subprocess.Popen([str(program)], env=env, cwd=cwd,
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
        raise RuntimeError(f"{program} showed no window within {timeout} s")
    finally:
        process.kill()
        process.wait()
        root.change_attributes(event_mask=0)
        x.sync()
        while x.pending_events():
            x.next_event()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build/linux", type=pathlib.Path)
    parser.add_argument("--rounds", default=20, type=int)
    args = parser.parse_args()
    build = args.build.resolve()
    programs = {"varnik": build / "bin" / "varnik", "bare Qt window": build / "bin" / "bare_window"}

    with tempfile.TemporaryDirectory(prefix="varnik-bench-") as temp:
        work = pathlib.Path(temp)
        (work / "name_start.txt").write_bytes(b"ROSSI\r\nROSSI-2\r\n")
        xvfb, display_name = start_xvfb()
        bus, address = start_bus(work, build)
        try:
            env = dict(os.environ, DISPLAY=display_name, DBUS_SESSION_BUS_ADDRESS=address,
                       QT_QPA_PLATFORM="xcb")
            x = xdisplay.Display(display_name)
            results = {name: ([], []) for name in programs}
            for round_number in range(args.rounds + 1):
                order = list(programs.items())
                if round_number % 2:
                    order.reverse()
                for name, program in order:
                    seconds, kib = time_to_window(program, env, work, x)
                    if round_number > 0:  # the first round only warms caches and the bus
                        results[name][0].append(seconds)
                        results[name][1].append(kib)
        finally:
            bus.terminate()
            xvfb.terminate()
            bus.wait()
            xvfb.wait()

    medians = {name: (statistics.median(t), statistics.median(m)) for name, (t, m) in results.items()}
    print(f"{'program':<16} {'start to window (ms)':>22} {'peak memory (MiB)':>19}")
    for name, (seconds, kib) in medians.items():
        print(f"{name:<16} {seconds * 1000:>22.1f} {kib / 1024:>19.1f}")
    (vt, vm), (bt, bm) = medians["varnik"], medians["bare Qt window"]
    print(f"{'ratio':<16} {vt / bt:>22.2f} {vm / bm:>19.2f}")
    print(f"medians of {args.rounds} rounds")


if __name__ == "__main__":
    sys.exit(main())
