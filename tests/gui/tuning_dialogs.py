# SPDX-License-Identifier: GPL-3.0-or-later
"""A user tunes the running pipeline: a bigger received-sound storage in the Sound buffers
dialog, shown afterwards on the Performance page; the recommended priority boost, seen in the
threads' nice values; the DC filter dialog with its live graphs, a new display range and period."""

import glob
import os
import re
import resource
import subprocess
import sys

import pyatspi

import atspi
from atspi import find, find_all, press, wait_for, enabled

PID, SHOT, WORK = int(sys.argv[1]), sys.argv[2], sys.argv[3]
w = atspi.Window()


def fail(message):
    raise AssertionError(message)


def click(node):
    """A pointer click: a modal dialog opened from an accessibility action would hold up the
    accessibility bus until it closes."""
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(e.x + e.width // 2), str(e.y + e.height // 2), "click", "1"],
                   check=True)


def top_level(title):
    return [c for c in w.app if c is not None and c.name == title]


def dialog(title):
    try:
        return wait_for(lambda: top_level(title), 10, "the dialog " + title)[0]
    except AssertionError:
        print("windows:", [(c.getRoleName(), c.name) for c in w.app if c is not None])
        subprocess.run(["bash", "-c", f"gdb -p {PID} -batch -ex 'bt 30' 2>/dev/null | grep '^#' | cut -c1-150"])
        subprocess.run(["import", "-window", "root", WORK + "/fail.png"])
        print("screen at the failure:", WORK + "/fail.png (kept with GUI_KEEP=1)")
        raise


def gone(title):
    wait_for(lambda: not top_level(title), 10, "the dialog " + title + " to close")


def labels(root):
    return [n.name for n in find_all(root, "label")]


def label_like(root, pattern):
    rx = re.compile(pattern)
    return [t for t in labels(root) if rx.fullmatch(t)]


def sliders(root):
    return find_all(root, "slider")


def nice_values():
    values = []
    for stat in glob.glob(f"/proc/{PID}/task/*/stat"):
        try:
            text = open(stat).read()
        except OSError:
            continue
        values.append(int(text[text.rfind(")") + 2:].split()[16]))
    return values


# Sound buffers: 5 seconds of received-sound storage instead of 3.
page = w.show("Performance")
wait_for(lambda: len(label_like(page, r"\d+% free \([\d.]+ sec\)")) == 3, 10, "the storage texts")
click(find(page, "push button", "Buffers' Setup"))
d = dialog("Sound buffers")
rate, device, received, output = sliders(d)
if int(received.queryValue().currentValue) != 3:
    fail("received storage starts at %s" % received.queryValue().currentValue)
apply_button = find(d, "push button", "Apply")
if enabled(apply_button):
    fail("Apply enabled before any change")
received.queryValue().currentValue = 5
text = wait_for(lambda: label_like(d, r"5 sec \(\d+ buffers, \d+ B\)"), 5, "the received storage text")[0]
print("buffers dialog:", label_like(d, r"[\d.]+ sec \(buffer size = \d+ B\)")[0], "/", text)
wait_for(lambda: enabled(apply_button), 5, "Apply to be enabled")
press(apply_button)
wait_for(lambda: not enabled(apply_button), 10, "Apply to be disabled again")
press(find(d, "push button", "OK"))
gone("Sound buffers")


def received_seconds():
    texts = label_like(page, r"\d+% free \([\d.]+ sec\)")
    return float(re.search(r"\(([\d.]+) sec\)", texts[1]).group(1))


wait_for(lambda: 4.5 <= received_seconds() <= 5.0, 10, "the Performance page to show 5 s of received storage")
print("performance page after reopening:", label_like(page, r"\d+% free \([\d.]+ sec\)"))

# Priorities: the recommended boost raises the three workers to Above Normal (nice -5). An
# ordinary user may lower a priority but not raise it (RLIMIT_NICE): then the boost is refused
# and no thread moves.
may_raise = os.geteuid() == 0 or 20 - resource.getrlimit(resource.RLIMIT_NICE)[0] <= -5
before = nice_values().count(-5)
before_all = set(nice_values())
click(find(page, "push button", "Change Priorities"))
d = dialog("Priority setup (you know what you do...)")
press(find(d, "push button", "Recomended Boost"))
wait_for(lambda: len([t for t in labels(d) if t == "Above Normal"]) == 4, 5, "four sliders at Above Normal")
apply_button = find(d, "push button", "Apply")
wait_for(lambda: enabled(apply_button), 5, "Apply to be enabled")
press(apply_button)
if may_raise:
    wait_for(lambda: nice_values().count(-5) >= before + 3, 10, "three threads at nice -5")
else:
    # Apply runs on the main thread before the button is shown disabled.
    wait_for(lambda: not enabled(apply_button), 10, "Apply to be disabled again")
    if set(nice_values()) != before_all:
        fail("a refused boost moved threads: nice %s before, %s after" % (sorted(before_all), sorted(nice_values())))
print("nice values after the boost:", sorted(nice_values()))
press(find(d, "push button", "OK"))
gone("Priority setup (you know what you do...)")

# DC filter: graphs drawn every 500 ms, a shorter display range, a new period applied.
page = w.show("Audio Processing")
click(find(page, "push button", "DC Filter Setup"))
d = dialog("DC  filter configuration")
wait_for(lambda: label_like(d, r"Left DC  = -?\d+") and label_like(d, r"120 sec"), 5, "the first drawing")
by_range = {(int(s.queryValue().minimumValue), int(s.queryValue().maximumValue)): s for s in sliders(d)}
period, range_slider = by_range[(1, 20)], by_range[(1, 100)]
range_slider.queryValue().currentValue = 10
wait_for(lambda: label_like(d, r"12 sec"), 5, "the display range to show 12 sec")
apply_button = find(d, "push button", "Apply")
if enabled(apply_button):
    fail("the display range enabled Apply")
period.queryValue().currentValue = 10
wait_for(lambda: "10 sec" in labels(d) and enabled(apply_button), 5, "the period label and Apply")
press(apply_button)
wait_for(lambda: not enabled(apply_button), 5, "Apply to be disabled again")
wait_for(lambda: label_like(d, r"Right DC = -?\d+"), 5, "the right channel's DC")
print("DC dialog labels:", [t for t in labels(d) if re.fullmatch(r"-?\d+|.*DC *= -?\d+|\d+ sec", t)])
wid = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^DC  filter configuration$"],
                     capture_output=True, text=True).stdout.split()
if not wid:
    fail("no window of the DC dialog")
subprocess.run(["import", "-window", wid[0], SHOT], check=True)
press(find(d, "push button", "Cancel"))
gone("DC  filter configuration")
print("tuning dialogs done")
