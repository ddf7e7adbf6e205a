#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Picks the null sink's monitor in the General page's Device list by its text, as a user
would, after checking the list: "Default source" first, every source by its description,
no ALSA route into the sound server."""

import sys

import atspi
from atspi import children, find, find_all, select_item, wait_for


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


w = atspi.Window()
w.show("General")
page = w.page("General")
device = find_all(page, "combo box")[0]
items = [i.name for i in children(find(device, "menu"))]
if not items or items[0] != "Default source":
    fail("the list does not start with Default source: %s" % items)
for wanted in ("Monitor of Null Output", "Quiet"):
    if items.count(wanted) != 1:
        fail("%r is not listed once: %s" % (wanted, items))
for route in ("default", "pulse", "pipewire"):
    if route in items:
        fail("%r is listed: %s" % (route, items))
select_item(device, "Monitor of Null Output")
wait_for(lambda: device.name == "Monitor of Null Output", 10, "the monitor to be selected")
print("picked Monitor of Null Output among %s" % items)
