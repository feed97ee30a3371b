#!/usr/bin/python3
"""What a screen reader hears from the real program, read through the
accessibility bus (AT-SPI) as a screen reader reads it, and what it does when
driven from there.

    screen_reader_test.py VARNIK STANDIN_SHARE_DIR

STANDIN_SHARE_DIR is the build tree's share folder, whose dbus-1/services
starts the stand-in.

Runs on a desktop of its own (scripts/x-desktop runs it) with a session bus of
its own, on which the stand-in object and the accessibility bus start on
demand. The program picks its platform itself, as it does for a user. On X,
the keyboard walks the form with Tab and presses an apply button with Enter,
as a user who cannot see the screen would. In a Wayland session, which takes
no keys from outside, the button is pressed through the accessibility bus.
Then, the same everywhere: the warning is dismissed, a name typed into the
first line and applied through the accessibility bus, and the object and the
list receive it. Through XWayland the window opens in the middle of the
screen. A second run applies the first line while the object is slow to take
the Name, and meanwhile presses the second apply button and "Esci" through
the accessibility bus: both are refused, one action at a time.
"""

import importlib
import os
import re
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
# The list the program starts with (the first line empty, so that applying it
# brings the warning), the name then typed into that line, and the list saved.
LIST = b'\r\nVERDI\r\n'
TYPED = 'ROSSI'
SAVED = b'ROSSI\r\nVERDI\r\n'


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


def do(control):
    """The control's first action (a button's press), as a screen reader does it."""
    control.queryAction().doAction(0)


def x_desktop():
    """Whether the desktop is X alone, whose keyboard xdotool reaches."""
    return not os.environ.get('WAYLAND_DISPLAY')


def x_window_number(title):
    """The X window of that title, or None when X has none."""
    found = subprocess.run(['xdotool', 'search', '--name', '^' + title + '$'],
                           capture_output=True, text=True)
    windows = found.stdout.split()
    return windows[0] if windows else None


def x_geometry(*which):
    """Left, top, width and height of an X window, given by xwininfo's options."""
    info = subprocess.run(['xwininfo', *which], capture_output=True, text=True,
                          check=True).stdout
    keys = ['Absolute upper-left X:', 'Absolute upper-left Y:', 'Width:', 'Height:']
    return [int(re.search('^ *' + key + ' *(-?[0-9]+)', info, re.M)[1]) for key in keys]


def x_parent(window):
    info = subprocess.run(['xwininfo', '-children', '-id', window], capture_output=True,
                          text=True, check=True).stdout
    return re.search('Parent window id: (0x[0-9a-f]+)', info)[1]


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
        listed = os.path.join(folder, 'name_start.txt')
        with open(listed, 'wb') as out:
            out.write(LIST)
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1')
        environment.pop('QT_QPA_PLATFORM', None)
        standin = os.path.join(folder, 'state', 'varnik-setupconfig-standin')
        calls = os.path.join(standin, 'calls')
        try:
            for checks in (check, check_one_action_at_a_time):
                run = subprocess.Popen([program], cwd=folder, env=environment)
                try:
                    checks(run.pid, calls)
                    assert run.wait(timeout=20) == 0, run.returncode
                    with open(calls, encoding='utf-8') as called:
                        assert called.read() == 'Set Name %s\nApply true\n' % TYPED
                    with open(listed, 'rb') as saved:
                        assert saved.read() == SAVED
                finally:
                    run.kill()
                    run.wait()
        finally:
            bus.kill()
            bus.wait()


def check(pid, _calls):
    form = wait_for(lambda: next((w for w in windows_of(pid) if heard(w) == FORM), None),
                    'the form on the accessibility bus')
    assert [heard(c) for c in form] == CONTROLS, [heard(c) for c in form]
    if os.environ.get('WAYLAND_DISPLAY') and os.environ.get('DISPLAY'):
        check_centred_on_xwayland()

    if x_desktop():
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
    else:
        do(form[1])
    box = wait_for(lambda: next((w for w in windows_of(pid) if heard(w) == WARNING[:2]), None),
                   'the warning')
    texts = [c.name for c in box if c.getRoleName() == 'label']
    assert texts == [WARNING[2]], texts

    do(pyatspi.findDescendant(box, lambda c: c.getRoleName() == 'push button'))
    wait_for(lambda: not any(heard(w) == WARNING[:2] for w in windows_of(pid)),
             'the warning to go')
    form[0].queryEditableText().insertText(0, TYPED, len(TYPED))
    wait_for(lambda: form[0].queryText().getText(0, -1) == TYPED, 'the typed line')
    do(form[1])


def check_one_action_at_a_time(pid, calls):
    """The first line applied while the object takes seconds to answer Set,
    and meanwhile the second apply button and "Esci" pressed: nothing but the
    first apply happens."""
    with open(calls, 'w', encoding='utf-8'):
        pass
    with open(os.path.join(os.path.dirname(calls), 'set-name.delay'), 'w') as delay:
        delay.write('4')
    form = wait_for(lambda: next((w for w in windows_of(pid) if heard(w) == FORM), None),
                    'the form on the accessibility bus')
    do(form[1])
    wait_for(lambda: open(calls, encoding='utf-8').read(), 'the object to be called')
    do(form[4])
    do(form[2])


def check_centred_on_xwayland():
    """The window is an X window, in the middle of the screen. The compositor
    frames it without telling X clients how (no _NET_FRAME_EXTENTS), so the
    window centres itself as if unframed and the compositor puts its frame's
    corner there: the middle may be off by the frame's thickness, no more."""
    window = wait_for(lambda: x_window_number(FORM[1]), 'the window on X')
    _, _, screen_width, screen_height = x_geometry('-root')
    off = []

    def centred():
        left, top, width, height = x_geometry('-id', window)
        _, _, frame_width, frame_height = x_geometry('-id', x_parent(window))
        off[:] = [abs(2 * left + width - screen_width) / 2,
                  abs(2 * top + height - screen_height) / 2,
                  frame_width - width, frame_height - height]
        return off[0] <= off[2] / 2 and off[1] <= off[3] / 2
    try:
        wait_for(centred, 'the window in the middle')
    except AssertionError:
        raise AssertionError('off the middle by %s, %s; frame %s, %s' % tuple(off)) from None


if __name__ == '__main__':
    main(*sys.argv[1:])
    print('screen_reader_test: passed')
