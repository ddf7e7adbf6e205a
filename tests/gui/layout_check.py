# SPDX-License-Identifier: GPL-3.0-or-later
"""Every showing control of every settings page and tuning dialog, as the accessibility tree
reports its place: inside its page (or dialog) and its frame, overlapping no other control,
and with room for its text (the toolkit's own text extents against the control's). Then the
contrast of the tab titles and of the status panel's texts, measured on the screen."""

import subprocess
import sys

import gi
import pyatspi

gi.require_version("Pango", "1.0")
gi.require_version("PangoCairo", "1.0")
from gi.repository import Pango, PangoCairo  # noqa: E402

import atspi
from atspi import children, find, find_all, wait_for

TAG = sys.argv[1]
TEXT_SCALE = float(sys.argv[3]) if len(sys.argv) > 3 else 1.0
INDICATOR = 20            # a check or radio mark and its spacing, at the least
FRAME_ROLES = {"panel", "frame", "filler"}
TEXT_ROLES = {"label", "check box", "radio button", "push button", "toggle button"}
SLACK = 1                 # a pixel of rounding
problems = []


def rect(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return (e.x, e.y, e.x + e.width, e.y + e.height)


def showing(node):
    s = node.getState()
    return s.contains(pyatspi.STATE_SHOWING) and s.contains(pyatspi.STATE_VISIBLE)


def inside(inner, outer):
    return (inner[0] >= outer[0] - SLACK and inner[1] >= outer[1] - SLACK and inner[2] <= outer[2] + SLACK
            and inner[3] <= outer[3] + SLACK)


def overlap(a, b):
    return min(a[2], b[2]) - max(a[0], b[0]) > SLACK and min(a[3], b[3]) - max(a[1], b[1]) > SLACK


def describe(node):
    return f"{node.getRoleName()} {node.name!r}"


def text_extents(node):
    """The rectangle the toolkit lays the control's text out in, or None."""
    try:
        t = node.queryText()
    except NotImplementedError:
        return None
    n = t.characterCount
    if n == 0:
        return None
    x0 = y0 = 10 ** 9
    x1 = y1 = -10 ** 9
    for i in (0, n - 1):
        e = t.getCharacterExtents(i, pyatspi.DESKTOP_COORDS)
        if e[2] <= 0 and e[3] <= 0:
            return None
        x0, y0 = min(x0, e[0]), min(y0, e[1])
        x1, y1 = max(x1, e[0] + e[2]), max(y1, e[1] + e[3])
    return (x0, y0, x1, y1)


def font_of(root):
    """The font of the labels in root, as the toolkit reports it."""
    for label in find_all(root, "label"):
        try:
            text = label.queryText().getDefaultAttributes()
            attributes = dict(a.strip().split(":", 1) for a in text.split(";") if ":" in a)
        except NotImplementedError:
            continue
        if "family-name" in attributes and "size" in attributes:
            return f"{attributes['family-name']} {attributes['size']}"
    return None


def text_width(font, text):
    context = PangoCairo.FontMap.get_default().create_context()
    PangoCairo.context_set_resolution(context, 96.0 * TEXT_SCALE)
    layout = Pango.Layout(context)
    layout.set_font_description(Pango.FontDescription.from_string(font))
    layout.set_text(text, -1)
    return layout.get_pixel_size()[0]


def is_box(node):
    """A group box: the toolkit's frame, a panel holding only its caption."""
    kids = children(node)
    return node.getRoleName() == "panel" and len(kids) == 1 and kids[0].getRoleName() == "label"


def controls(root):
    """The showing controls in root (not descending into a control's own parts)."""
    out = []
    for c in children(root):
        if not showing(c):
            continue
        if is_box(c):
            out.append(c)
        elif c.getRoleName() in FRAME_ROLES and c.childCount:
            out.extend(controls(c))
        else:
            out.append(c)
    return out


def check(where, root):
    area = rect(root)
    items = [(c, rect(c)) for c in controls(root)]
    boxes = [(c, r) for c, r in items if is_box(c)]
    plain = [(c, r) for c, r in items if not is_box(c)]
    for c, r in items:
        if r[2] - r[0] <= 0 or r[3] - r[1] <= 0:
            continue
        if not inside(r, area):
            problems.append(f"{where}: {describe(c)} {r} leaves its window area {area}")
    font = font_of(root)
    for c, r in plain:
        if font and c.getRoleName() in ("check box", "radio button") and c.name:
            need = INDICATOR + text_width(font, c.name)
            if r[2] - r[0] < need:
                problems.append(f"{where}: {describe(c)} is {r[2] - r[0]} wide, its text needs {need}")
        centre = ((r[0] + r[2]) // 2, (r[1] + r[3]) // 2)
        for b, br in boxes:
            if br[0] <= centre[0] < br[2] and br[1] <= centre[1] < br[3] and not inside(r, br):
                problems.append(f"{where}: {describe(c)} {r} crosses its frame {children(b)[0].name!r} {br}")
        text = text_extents(c) if c.getRoleName() in TEXT_ROLES else None
        if text and not inside(text, r):
            problems.append(f"{where}: the text of {describe(c)} {text} does not fit {r}")
    for i, (a, ar) in enumerate(plain):
        for b, br in plain[i + 1:]:
            if overlap(ar, br):
                problems.append(f"{where}: {describe(a)} {ar} overlaps {describe(b)} {br}")
    return len(items)


def click(node):
    e = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    subprocess.run(["xdotool", "mousemove", str(e.x + e.width // 2), str(e.y + e.height // 2), "click", "1"],
                   check=True)


w = atspi.Window()


def top_level(title):
    return [c for c in w.app if c is not None and c.name == title and showing(c)]


def dialog(page_title, button, title):
    page = w.show(page_title)
    click(find(page, "push button", button))
    d = wait_for(lambda: top_level(title), 10, "the dialog " + title)[0]
    wait_for(lambda: find_all(d, "push button", "Cancel"), 10, "the dialog's buttons")
    count = check(title, d)
    atspi.press(find(d, "push button", "Cancel"))
    wait_for(lambda: not top_level(title), 10, "the dialog " + title + " to close")
    return count


SHOTS = sys.argv[2] if len(sys.argv) > 2 else ""


def shoot(name):
    if SHOTS:
        subprocess.run(["import", "-window", "root", f"{SHOTS}/{name}.png"], check=False)


def luminance(rgb):
    def linear(c):
        c /= 255.0
        return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4
    r, g, b = (linear(float(v)) for v in rgb)
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    la, lb = sorted((luminance(a), luminance(b)), reverse=True)
    return (la + 0.05) / (lb + 0.05)


def pixels(x, y, width, height):
    """The screen's pixels in a rectangle, as RGB triples."""
    data = subprocess.run(["import", "-window", "root", "-crop", f"{width}x{height}+{x}+{y}", "-depth", "8", "ppm:-"],
                          capture_output=True, check=True).stdout
    # P6 header: magic, width, height, maximum, then the samples.
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    body = data[pos + 1:]
    return [tuple(body[i:i + 3]) for i in range(0, len(body) - 2, 3)]


GRID = (220, 220, 220)  # the status panel's grid lines, not text


def text_contrast(where, x, y, width, height):
    """Contrast of the text in a rectangle of one background: its commonest colour against the
    pixel that differs most from it (a glyph's fully covered pixel has the text's colour)."""
    px = pixels(x, y, width, height)
    counts = {}
    for p in px:
        if p != GRID:
            counts[p] = counts.get(p, 0) + 1
    background = max(counts, key=counts.get)
    ratio = max(contrast(background, p) for p in counts)
    if ratio < 4.5:
        problems.append(f"{where}: text contrast {ratio:.2f}:1 on {background}")
    return ratio


def check_contrast():
    """The tab titles on the sheet's strip and the status panel's texts, banner included."""
    frame = rect(w.frame)
    fx, fy, fw, fh = frame[0], frame[1], frame[2] - frame[0], frame[3] - frame[1]
    du = lambda dx, dy: (fx + dx * fw // 400, fy + dy * fh // 313)  # noqa: E731
    # The strip of tabs, left of the selected one's underline: the titles on the green.
    strip = [rect(t) for t in children(w.tabs) if showing(t)]
    left, top = min(r[0] for r in strip), min(r[1] for r in strip)
    right, bottom = max(r[2] for r in strip), min(r[3] for r in strip)
    ratios = {"tab titles": text_contrast("tab titles", left, top, right - left, (bottom - top) * 3 // 4)}
    # Status panel (282, 0, 111 x 115 dialog units): the banner band, then the rows below it.
    x0, y0 = du(289, 2)
    x1, y1 = du(386, 8)
    ratios["banner"] = text_contrast("status banner", x0, y0, x1 - x0, y1 - y0)
    x0, y0 = du(289, 14)
    x1, y1 = du(386, 75)
    ratios["status rows"] = text_contrast("status rows", x0, y0, x1 - x0, y1 - y0)
    return ratios


counts = {}
for title in ["General", "Advanced", "XBR", "Expert", "Audio Processing", "Performance", "Operations"]:
    page = w.show(title)
    wait_for(lambda: controls(page), 5, "the controls of " + title)
    counts[title] = check(title, page)
    shoot(TAG.strip("[]").replace(", ", "-").replace(" ", "") + "-" + title.replace(" ", "-").lower())
counts["Sound buffers"] = dialog("Performance", "Buffers' Setup", "Sound buffers")
counts["Priorities"] = dialog("Performance", "Change Priorities", "Priority setup (you know what you do...)")
counts["DC filter"] = dialog("Audio Processing", "DC Filter Setup", "DC  filter configuration")
w.show("General")
print(TAG, "controls checked:", counts)
print(TAG, "contrast:", {k: round(v, 2) for k, v in check_contrast().items()})
for p in problems:
    print(TAG, p)
sys.exit(1 if problems else 0)
