#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the General page's mixer controls through the accessibility tree, as a user would,
against the private PulseAudio server that env.sh starts (the server's default source, the
null sink's monitor, has no ports: its one line is named after it, "Monitor of Null Output").

    mixer_atspi.py WINDOW_ID

Checks: the sliders show the source volume by the reading rule; moving them sets the source
volume by the writing rule; a volume change in another program moves the sliders while the
window is not the active one; the padlock disables and re-enables the controls and gives the
keyboard focus to Record."""

import subprocess
import sys
import time

import pyatspi

WID = sys.argv[1]
RANGE = 65536  # the pulse plugin's capture volume: 0..65536


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def wait_for(condition, what, seconds=15):
    """Polls a condition on the program or the sound server until it holds."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            if condition():
                return
        except Exception:  # the tree may be rebuilt while we look
            pass
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name and "pelmora" in app.name.lower():
            return app
    return None


def all_nodes(node):
    stack = [node]
    while stack:
        n = stack.pop()
        if n is None:
            continue
        yield n
        stack.extend(n[i] for i in range(n.childCount))


def by_role(app, role):
    return [n for n in all_nodes(app) if n.getRole() == role]


def has_state(node, state):
    return node.getState().contains(state)


def enabled(node):
    return has_state(node, pyatspi.STATE_SENSITIVE)


def source_volume():
    out = subprocess.run(["pactl", "get-source-volume", "tone.monitor"], capture_output=True, text=True).stdout
    left = int(out.split("front-left:")[1].split("/")[0])
    right = int(out.split("front-right:")[1].split("/")[0])
    return left, right


def set_source_volume(left, right):
    subprocess.run(["pactl", "set-source-volume", "tone.monitor", str(left), str(right)], check=True)


def pointer_into_window(inside):
    if inside:
        subprocess.run(["xdotool", "mousemove", "--window", WID, "40", "40"], check=True)
    else:
        subprocess.run(["xdotool", "mousemove", "0", "0"], check=True)


def main():
    wait_for(lambda: find_app() is not None, "the program in the accessibility tree", 30)
    app = find_app()
    frame = next(n for n in all_nodes(app) if n.getRole() in (pyatspi.ROLE_DIALOG, pyatspi.ROLE_FRAME))

    sliders = {}
    for s in by_role(app, pyatspi.ROLE_SLIDER):
        v = s.queryValue()
        sliders[(int(v.minimumValue), int(v.maximumValue))] = s
    volume, balance = sliders.get((0, 100)), sliders.get((-100, 100))
    if volume is None or balance is None:
        fail("no Volume or Balance slider among %s" % list(sliders))
    labels = {n.name: n for n in by_role(app, pyatspi.ROLE_LABEL) if n.name in ("Source", "Volume", "Balance")}
    if len(labels) != 3:
        fail("labels found: %s" % list(labels))
    source = next(n for n in by_role(app, pyatspi.ROLE_COMBO_BOX)
                  if any(c.name == "Monitor of Null Output" for c in all_nodes(n)))
    buttons = by_role(app, pyatspi.ROLE_PUSH_BUTTON)
    record = next(b for b in buttons if b.name == "Record")
    # Icon buttons have no caption; the padlock is the topmost one of the page on view.
    unnamed = [b for b in buttons if not b.name and has_state(b, pyatspi.STATE_SHOWING)]
    padlock = min(unnamed, key=lambda b: b.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y)
    controls = [source, volume, balance] + list(labels.values())

    # Start-up: the source's 40000 / 20000, read by the reading rule.
    wait_for(lambda: all(enabled(c) for c in controls), "the mixer controls to be enabled")
    value = lambda s: int(round(s.queryValue().currentValue))
    if (value(volume), value(balance)) != (61, -50):
        fail("start-up sliders %d / %d, expected 61 / -50" % (value(volume), value(balance)))

    # Moving the sliders writes the source volume: 65536 x 50 / 100 = 32768, right halved.
    pointer_into_window(True)
    volume.queryValue().currentValue = 50
    wait_for(lambda: source_volume() == (32768, 16384), "the volume slider to set 32768 / 16384")
    balance.queryValue().currentValue = 80
    # Right louder: the left pulled 80 % of the way to 0.
    wait_for(lambda: source_volume() == (int(abs(0.2 * 32768)), 32768), "the balance slider to set the left channel")
    balance.queryValue().currentValue = 6
    wait_for(lambda: value(balance) == 0, "the balance to snap to the centre")
    wait_for(lambda: source_volume() == (32768, 32768), "equal channels after the snap")
    print("sliders write the source volume")

    # Another program changes the volume while the window is in the background.
    pointer_into_window(False)
    wait_for(lambda: not has_state(frame, pyatspi.STATE_ACTIVE), "the window to become inactive")
    set_source_volume(20000, 40000)
    wait_for(lambda: (value(volume), value(balance)) == (61, 50), "the sliders to follow the outside change")
    print("outside change followed")

    # The padlock.
    pointer_into_window(True)
    wait_for(lambda: has_state(frame, pyatspi.STATE_ACTIVE), "the window to become active")
    before = source_volume()
    # The focus starts elsewhere, so that each check sees it move to Record.
    padlock.queryComponent().grabFocus()
    wait_for(lambda: has_state(padlock, pyatspi.STATE_FOCUSED), "the focus on the padlock")
    padlock.queryAction().doAction(0)
    wait_for(lambda: not any(enabled(c) for c in controls), "the padlock to disable the mixer controls")
    wait_for(lambda: has_state(record, pyatspi.STATE_FOCUSED), "the focus on Record after locking")
    if source_volume() != before:
        fail("the padlock changed the source volume")
    padlock.queryComponent().grabFocus()
    wait_for(lambda: has_state(padlock, pyatspi.STATE_FOCUSED), "the focus on the padlock")
    padlock.queryAction().doAction(0)
    wait_for(lambda: all(enabled(c) for c in controls), "the padlock to enable the mixer controls again")
    wait_for(lambda: has_state(record, pyatspi.STATE_FOCUSED), "the focus on Record after unlocking")
    print("padlock locks and unlocks")


if __name__ == "__main__":
    main()
