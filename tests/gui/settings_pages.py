# SPDX-License-Identifier: GPL-3.0-or-later
"""A user sets up recordings on the settings pages and checks what the program writes:
a WAV file, a raw file, a recording stopped by its write time limit with its own log file
and lame's output shown live in its console, and every page locked while a recording runs."""

import os
import re
import subprocess
import sys
import tempfile
import time
import wave

import atspi
from atspi import find, find_all, press, wait_for, enabled, checked, text_of, set_text, select_item, after

PROG, HELPER = sys.argv[1], sys.argv[2]
w = atspi.Window()


def fail(message):
    raise AssertionError(message)


def record_button(name):
    return find_all(w.frame, "push button", name)


def start_recording():
    press(w.button("Record"))
    wait_for(lambda: record_button("Stop"), 10, "the recording to start")


def wait_ready(timeout):
    wait_for(lambda: record_button("Record"), timeout, "the recording to end")


def check_tone(path, expect_min, expect_max):
    out = subprocess.run([HELPER, "check-wav", path], capture_output=True, text=True)
    if out.returncode != 0:
        fail(f"{path}: {out.stderr}")
    values = dict(kv.split("=") for kv in out.stdout.split())
    seconds, hz, rms = float(values["seconds"]), float(values["hz"]), float(values["rms"])
    print(f"{os.path.basename(path)}: {out.stdout.strip()}")
    if not (expect_min <= seconds <= expect_max and 950 <= hz <= 1050 and rms >= 0.2):
        fail(f"{path} does not hold {expect_min}-{expect_max} s of the tone")
    return seconds


def format_of_general_page():
    page = w.show("General")
    name = find_all(page, "combo box")[1].name  # Device, Format, ...
    m = re.match(r"([\d.]+) kHz, (\d+) bit, (mono|stereo)", name)
    if not m:
        fail("unexpected format " + name)
    return int(float(m.group(1)) * 1000), int(m.group(2)), 1 if m.group(3) == "mono" else 2


def expect_locked(title):
    page = w.show(title)
    if title == "General":
        # The mixer's line controls stay usable; everything else is locked.
        controls = find_all(page, "check box") + find_all(page, "text") + find_all(page, "combo box")[:2]
    else:
        controls = [c for role in ("check box", "radio button", "combo box", "text", "slider", "push button")
                    for c in find_all(page, role) if c.name != "Change Priorities"]
    still = [f"{c.getRoleName()} {c.name!r}" for c in controls if enabled(c)]
    if still:
        fail(f"{title} page during a recording: usable {still}")
    print(f"{title}: {len(controls)} controls locked")


rate, bits, channels = format_of_general_page()
frame_bytes = bits // 8 * channels

# 1. Uncompressed WAV, and every page locked while it records.
page = w.show("Audio Processing")
wav_box = find(page, "check box", "Write uncompressed wav")
press(wav_box)
wait_for(lambda: checked(wav_box), 5, "the WAV box ticked")
raw_box = find(page, "check box", "raw pcm")
wait_for(lambda: enabled(raw_box), 5, "raw pcm usable")
start_recording()
started = time.time()
for title in ("General", "Advanced", "XBR", "Expert", "Audio Processing", "Performance", "Operations"):
    expect_locked(title)
time.sleep(max(0.0, 2.0 - (time.time() - started)))
press(w.button("Stop"))
wait_ready(20)
wav = os.path.join(PROG, "out.wav")
data = open(wav, "rb").read()
if data[:4] != b"RIFF" or int.from_bytes(data[4:8], "little") != len(data) - 8:
    fail("WAV RIFF size does not match the file")
if int.from_bytes(data[40:44], "little") != len(data) - 44:
    fail("WAV data size does not match the file")
check_tone(wav, 1.5, 60)
page = w.show("Operations")
if not enabled(find(page, "check box", "Write time")):
    fail("Operations page still locked after Stop")

# 2. Raw PCM: no header, whole frames, about two seconds of the tone.
page = w.show("Audio Processing")
raw_box = find(page, "check box", "raw pcm")
press(raw_box)
wait_for(lambda: checked(raw_box), 5, "raw pcm ticked")
start_recording()
time.sleep(2)
press(w.button("Stop"))
wait_ready(20)
raw = open(os.path.join(PROG, "out.raw"), "rb").read()
if raw[:4] == b"RIFF" or len(raw) % frame_bytes:
    fail(f"raw file of {len(raw)} bytes is not headerless whole frames")
with tempfile.NamedTemporaryFile(suffix=".wav", delete=False) as tmp:
    as_wav = tmp.name
with wave.open(as_wav, "wb") as out:
    out.setnchannels(channels)
    out.setsampwidth(bits // 8)
    out.setframerate(rate)
    out.writeframesraw(raw)
check_tone(as_wav, 1.5, 4.0)
os.unlink(as_wav)

# 3. MP3 with VBR quality 2, stopped by a write time limit of 4 s, with its own log file and
# lame's console on view.
page = w.show("Audio Processing")
press(find(page, "check box", "Write uncompressed wav"))
page = w.show("Advanced")
console_box = find(page, "check box", "Show lame console")
press(console_box)
wait_for(lambda: checked(console_box), 5, "Show lame console ticked")
page = w.show("XBR")
select_item(find_all(page, "combo box")[0], "VBR")
quality = find_all(page, "combo box")[1]
wait_for(lambda: enabled(quality), 5, "VBR Quality usable")
select_item(quality, "2")
page = w.show("Operations")
press(find(page, "check box", "Write time"))
hours = after(page, "check box", "Write time", "text")
wait_for(lambda: enabled(hours), 5, "the write time boxes usable")
set_text(hours, "0")
set_text(after(page, "label", "h:", "text"), "0")
set_text(after(page, "label", "m:", "text"), "4")
press(find(page, "check box", "Write log file during recording"))
per_recording = find(page, "radio button", "Create log file for every recording (%OUTFILEPATH%.log)")
wait_for(lambda: enabled(per_recording), 5, "the log file choice usable")
press(per_recording)
wait_for(lambda: checked(per_recording), 5, "one log file per recording")
options = wait_for(lambda: [t for t in find_all(w.frame, "text") if text_of(t).startswith("lame")], 5,
                   "the compression options line")[0]
options_text = text_of(options)
if " -V 2" not in options_text:
    fail("compression options without VBR quality 2: " + options_text)
start_recording()
started = time.time()
console = wait_for(lambda: find_all(w.app, "frame", "lame console"), 10, "the lame console")[0]
if not record_button("Stop"):
    fail("the lame console opened only after the recording")
wait_ready(15)
# lame 3.100 holds its messages back until it ends; the window shows them as they come.
console_text = find(console, "text")
wait_for(lambda: "LAME" in text_of(console_text), 10, "lame's own output in its console")
print(f"stopped by itself after {time.time() - started:.1f} s")
log_path = os.path.join(PROG, "out.mp3.log")
def read_log():
    try:
        return open(log_path, encoding="utf-8", errors="replace").read()
    except FileNotFoundError:
        return ""
# The stop writes the summary into the log file as it finishes the output.
wait_for(lambda: "Recording stoped" in read_log(), 10, f"the summary in {log_path}")
log = read_log()
if "Output: " + options_text not in log:
    fail(f"{log_path} has no line 'Output: {options_text}':\n{log}")
if "Maximum duration reached (4 sec)" not in log:
    fail(f"{log_path} does not tell why the recording stopped:\n{log}")
print("settings pages session passed")
