#!/usr/bin/python3
"""What a screen reader hears from the real program, read through the
accessibility bus (AT-SPI) as a screen reader reads it.

    screen_reader_test.py VARNIK STANDIN_SHARE_DIR

STANDIN_SHARE_DIR is the build tree's share folder, whose dbus-1/services
starts the stand-in.

Runs on an X desktop (scripts/x-desktop runs it) with a session bus of its
own, on which the stand-in object and the accessibility bus start on demand.
The keyboard walks the form with Tab and presses an apply button with Enter,
as a user who cannot see the screen would.
"""

import importlib
import os
import subprocess
import sys
import tempfile
import time

pyatspi = None  # imported once the session bus is up: it connects at once

# What the user must hear, in the order Tab takes the controls.
FORM = ('frame', 'Varnik')
CONTROLS = [
    ('text', 'Prima riga'),
    ('push button', 'Metti la prima riga su Name'),
    ('push button', 'Esci'),
    ('text', 'Seconda riga'),
    ('push button', 'Metti la seconda riga su Name'),
]
WARNING = ('alert', 'ATTENZIONE', 'Errore nella prima riga: indicare il dato. ')


def wait_for(probe, what, seconds=20):
    """probe()'s first true value, checked until the time runs out."""
    deadline = time.monotonic() + seconds
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError('timed out waiting for ' + what)
        time.sleep(0.05)


def heard(accessible):
    return (accessible.getRoleName(), accessible.name)


def windows_of(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return list(app)
    return []


def focused(window):
    for control in window:
        if control.getState().contains(pyatspi.STATE_FOCUSED):
            return control
    return None


def press(key):
    subprocess.run(['xdotool', 'key', '--clearmodifiers', key], check=True)


def start_bus(folder, standin_share):
    """The standard session bus, on which the build tree's stand-in comes
    before any installed one, and the accessibility bus starts on demand."""
    environment = dict(os.environ, XDG_DATA_HOME=standin_share,
                       XDG_STATE_HOME=os.path.join(folder, 'state'))
    environment.pop('XDG_RUNTIME_DIR', None)
    bus = subprocess.Popen(['dbus-daemon', '--session', '--nofork', '--print-address'],
                           stdout=subprocess.PIPE, text=True, env=environment)
    return bus, bus.stdout.readline().strip()


def main(program, standin_share):
    program, standin_share = os.path.abspath(program), os.path.abspath(standin_share)
    with tempfile.TemporaryDirectory() as folder:
        bus, address = start_bus(folder, standin_share)
        os.environ['DBUS_SESSION_BUS_ADDRESS'] = address
        global pyatspi
        pyatspi = importlib.import_module('pyatspi')
        # The first line empty, so that applying it brings the warning.
        with open(os.path.join(folder, 'name_start.txt'), 'wb') as out:
            out.write(b'\r\nVERDI\r\n')
        run = subprocess.Popen([program], cwd=folder, env=dict(
            os.environ, QT_QPA_PLATFORM='xcb', QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1'))
        try:
            check(run.pid)
        finally:
            run.kill()
            run.wait()
            bus.kill()
            bus.wait()


def check(pid):
    form = wait_for(lambda: next((w for w in windows_of(pid) if heard(w) == FORM), None),
                    'the form on the accessibility bus')
    assert [heard(c) for c in form] == CONTROLS, [heard(c) for c in form]

    # Tab walks all five controls in order and comes back to the first.
    now = wait_for(lambda: focused(form), 'the focus')
    order = [heard(now)]
    for _ in CONTROLS:
        before = now.getIndexInParent()
        press('Tab')
        now = wait_for(lambda: (f := focused(form)) and f.getIndexInParent() != before and f,
                       'the focus to move')
        order.append(heard(now))
    assert order == CONTROLS + CONTROLS[:1], order

    # Enter on the first apply button, with its line empty.
    press('Tab')
    wait_for(lambda: (f := focused(form)) and heard(f) == CONTROLS[1], 'the apply button')
    press('Return')
    box = wait_for(lambda: next((w for w in windows_of(pid) if heard(w) == WARNING[:2]), None),
                   'the warning')
    texts = [c.name for c in box if c.getRoleName() == 'label']
    assert texts == [WARNING[2]], texts


if __name__ == '__main__':
    main(*sys.argv[1:])
    print('screen_reader_test: passed')
