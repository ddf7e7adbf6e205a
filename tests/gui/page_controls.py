# SPDX-License-Identifier: GPL-3.0-or-later
"""A user steps the ABR target with the box's arrows, one step a press, and picks a new
output file name in the save chooser, which proposes the current name in the output folder."""

import os
import subprocess
import sys

import pyatspi

import atspi
from atspi import find, find_all, wait_for, enabled, text_of, set_text, select_item

PROG = sys.argv[1]
w = atspi.Window()


def fail(message):
    raise AssertionError(message)


def click_at(node, fx, fy):
    """A pointer click at a fraction of the control's extents (modal dialogs and the arrows
    need the pointer, not an accessibility action)."""
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    x, y = e.x + int(e.width * fx), e.y + int(e.height * fy)
    subprocess.run(["xdotool", "mousemove", str(x), str(y), "click", "1"], check=True)


def press_arrow(arrows, step):
    """GTK lays the two buttons side by side ("-" then "+") or, upright, "+" above "-"."""
    e = arrows.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    if e.width >= e.height:
        click_at(arrows, 0.75 if step > 0 else 0.25, 0.5)
    else:
        click_at(arrows, 0.5, 0.25 if step > 0 else 0.75)


def options_line():
    found = [t for t in find_all(w.frame, "text") if text_of(t).startswith("lame")]
    return text_of(found[0]) if found else ""


# 1. The ABR arrows: every press moves the value by one, and the encoder line follows.
page = w.show("XBR")
select_item(find_all(page, "combo box")[0], "ABR")
box = atspi.after(page, "label", "ABR Bitrate", "text")
arrows = find(page, "spin button")
wait_for(lambda: enabled(arrows), 5, "the ABR arrows usable")
start = int(text_of(box))
value = start
# The box starts at the top of the MPEG-2 range (160): down first.
for step in (-1, -1, -1, +1, +1):
    press_arrow(arrows, step)
    value += step
    wait_for(lambda: text_of(box) == str(value), 5, f"the ABR box at {value} (shows {text_of(box)!r})")
    wait_for(lambda: f" --abr {value} " in options_line(), 5, f"--abr {value} in the options line")
print(f"ABR arrows: {start} -> {value} one step a press")
if value != start - 1:
    fail("arrows out of step")

# 2. The output file: the save chooser proposes the name in the output folder; a new name is taken.
page = w.show("General")
browse = max((b for b in find_all(page, "push button") if not b.name),
             key=lambda b: b.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).y)
click_at(browse, 0.5, 0.5)
chooser = wait_for(lambda: [c for c in w.app if c is not None and c.name == "Out file name"], 10,
                   "the file chooser")[0]
name_box = wait_for(lambda: [t for t in find_all(chooser, "text") if text_of(t) == "out.mp3"], 5,
                    "a name box proposing out.mp3")[0]
set_text(name_box, "take2.mp3")
save = wait_for(lambda: [b for b in find_all(chooser, "push button", "Save") if enabled(b)], 5, "Save")[0]
click_at(save, 0.5, 0.5)
wait_for(lambda: not [c for c in w.app if c is not None and c.name == "Out file name"], 10, "the chooser closed")
wait_for(lambda: [t for t in find_all(page, "text") if text_of(t) == "take2.mp3"], 5,
                 "take2.mp3 in the output file box")[0]
if os.path.exists(os.path.join(PROG, "take2.mp3")):
    fail("choosing a name made a file")
print("output file chooser passed")
