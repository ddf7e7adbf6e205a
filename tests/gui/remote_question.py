# SPDX-License-Identifier: GPL-3.0-or-later
"""Answers the window's "File already exists." question, asked by a Record that came over the
session bus: first checks that another command is refused while the question is open."""

import subprocess
import sys

import pyatspi

import atspi
from atspi import find_all, wait_for

ANSWER = sys.argv[1]  # Yes or No
app = atspi.app()


def question():
    for top in app:
        if top is None or top.getRoleName() not in ("alert", "dialog"):
            continue
        texts = [n.name for n in atspi.walk(top) if n.getRoleName() == "label"]
        if any(t.startswith("File already exists.") for t in texts):
            return top
    return None


d = wait_for(question, 20, "the question in the window")
busy = subprocess.run(["gdbus", "call", "--session", "--dest", "org.pelmora.Pelmora", "--object-path",
                       "/org/pelmora/Pelmora", "--method", "org.pelmora.Pelmora.Toggle"],
                      capture_output=True, text=True)
if busy.returncode == 0 or "org.pelmora.Pelmora.Error.Busy" not in busy.stderr:
    raise AssertionError("a command during the question was not refused: " + busy.stdout + busy.stderr)
buttons = wait_for(lambda: [b for b in find_all(d, "push button") if b.name.replace("_", "") == ANSWER], 10,
                   "the button " + ANSWER)
# A pointer click: an accessibility action would wait for the modal loop to end.
e = buttons[0].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
subprocess.run(["xdotool", "mousemove", str(e.x + e.width // 2), str(e.y + e.height // 2), "click", "1"], check=True)
print("answered", ANSWER)
