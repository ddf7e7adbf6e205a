# SPDX-License-Identifier: GPL-3.0-or-later
"""Drives the program through the accessibility tree, as assistive technology does:
controls are found by role and caption, read and pressed through AT-SPI."""

import time

import pyatspi


def wait_for(predicate, timeout=20.0, what="condition"):
    end = time.time() + timeout
    while time.time() < end:
        try:
            value = predicate()
        except Exception:  # the tree changes under us while the program works
            value = None
        if value:
            return value
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


def app(name="pelmora", timeout=30.0):
    def find():
        for a in pyatspi.Registry.getDesktop(0):
            if a is not None and a.name == name:
                return a
        return None
    return wait_for(find, timeout, "the application on the accessibility bus")


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find_all(root, role=None, name=None):
    return [n for n in walk(root)
            if (role is None or n.getRoleName() == role) and (name is None or n.name == name)]


def find(root, role, name=None, index=0):
    found = find_all(root, role, name)
    if len(found) <= index:
        raise AssertionError(f"no {role} {name!r} (#{index})")
    return found[index]


def children(node):
    return [c for c in node if c is not None]


def after(parent, role, name, wanted_role, skip=0):
    """The first control of wanted_role created after the control (role, name) in parent."""
    items = children(parent)
    for i, c in enumerate(items):
        if c.getRoleName() == role and c.name == name:
            for d in items[i + 1:]:
                if d.getRoleName() == wanted_role:
                    if skip == 0:
                        return d
                    skip -= 1
    raise AssertionError(f"no {wanted_role} after {role} {name!r}")


def enabled(node):
    return node.getState().contains(pyatspi.STATE_ENABLED)


def checked(node):
    return node.getState().contains(pyatspi.STATE_CHECKED)


def press(node):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) in ("click", "press", "activate", "toggle"):
            action.doAction(i)
            return
    action.doAction(0)


def text_of(node):
    t = node.queryText()
    return t.getText(0, t.characterCount)


def set_text(node, value):
    node.queryEditableText().setTextContents(value)


def select_item(combo, item_name):
    menu = find(combo, "menu")
    for i, item in enumerate(children(menu)):
        if item.name == item_name:
            combo.querySelection().selectChild(i)
            return
    raise AssertionError(f"no item {item_name!r}")


class Window:
    """The main window: its tabs, buttons and boxes."""

    def __init__(self):
        self.app = app()
        self.frame = find(self.app, "frame", "Pelmora")
        self.tabs = find(self.frame, "page tab list")

    def tab(self, title):
        return find(self.tabs, "page tab", title)

    def page(self, title):
        return children(self.tab(title))[0]

    def show(self, title):
        for i, t in enumerate(children(self.tabs)):
            if t.name == title:
                self.tabs.querySelection().selectChild(i)
                wait_for(lambda: self.tabs.querySelection().isChildSelected(i), 5, "tab " + title)
                return self.page(title)
        raise AssertionError("no tab " + title)

    def button(self, name):
        return find(self.frame, "push button", name)

    def record_button(self):
        found = find_all(self.frame, "push button", "Record") + find_all(self.frame, "push button", "Stop")
        return found[0]
