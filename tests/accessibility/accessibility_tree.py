#!/usr/bin/python3
"""Reads the real program's accessibility tree over AT-SPI, as a screen reader does.

Usage: accessibility_tree.py PINTORA_BINARY [--dump]
Runs under an X server and inside `dbus-run-session`: it starts the accessibility bus, a
window manager and the program on a document holding one picture, reaches each part of the
window from the keyboard (xdotool), and requires a name on every control a user can act on,
and the roles, names and states of the table below. --dump prints each scene's tree.
"""

import os
import subprocess
import sys
import tempfile
import time

import pyatspi

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from scenario import poll, solid_png  # noqa: E402

ACTIONABLE = {
    "push button", "toggle button", "check box", "radio button", "slider", "spin button",
    "text", "entry", "password text", "list item", "page tab", "combo box", "canvas",
    "menu item", "table cell", "tree item", "list",
}

# scene, role, name, what must hold of it (checked, or words its description holds)
EXPECTED = [
    ("annotate", "check box", "Select (V)", "checked"),
    ("annotate", "check box", "Rect (R)", "unchecked"),
    ("annotate", "check box", "Redact (X)", "unchecked"),
    ("annotate", "push button", "Fit all content to viewport", ""),
    ("annotate", "slider", "Zoom", ""),
    ("annotate", "push button", "Export", ""),
    ("annotate", "canvas", "Canvas", "1 picture"),
    ("annotate", "check box", "Annotate", "checked"),
    ("annotate", "check box", "Capture", "unchecked"),
    ("rectangle tool", "check box", "Rect (R)", "checked"),
    ("rectangle tool", "slider", "Line width", ""),
    ("rectangle tool", "push button", "Color", "#"),
    ("note tool", "slider", "Font size", ""),
    ("note tool", "check box", "Critical", "checked"),
    ("note tool", "check box", "Success", "unchecked"),
    ("picture selected", "canvas", "Canvas", "1 selected"),
    ("picture selected", "push button", "Crop image", ""),
    ("crop sheet", "push button", "Reset", ""),
    ("crop sheet", "push button", "Cancel", ""),
    ("crop sheet", "push button", "Done", ""),
    ("crop sheet", "canvas", "Crop area", "Arrow keys move the crop"),
    ("capture", "text", "Address", ""),
    ("capture", "push button", "Back", ""),
    ("capture", "page tab", "Green", ""),
    ("capture", "list", "Viewport sizes", ""),
    ("capture", "list item", "Laptop, 1280 × 800", ""),
    ("capture", "check box", "Full page", "unchecked"),
    ("capture", "push button", "Capture", ""),
]


def document():
    import base64
    import json
    picture = {"image": {"_0": {
        "id": "E0329C1E-0266-4190-BAB2-8A428B1FE2B9",
        "frame": [[0, 0], [400, 300]],
        "pngData": base64.b64encode(solid_png(400, 300, (0, 0, 255))).decode(),
        "cropRect": [[0, 0], [1, 1]]}}}
    return json.dumps({"items": [picture], "zoom": 1, "panX": 0, "panY": 0,
                       "tabs": [{"id": "815E8387-E7A7-4486-9FCA-72A284D3DED7",
                                 "url": "data:text/html,<title>Green</title>",
                                 "title": "Green"}],
                       "activeTabIndex": 0})


def keys(*sequences):
    for sequence in sequences:
        subprocess.run(["xdotool", "key", "--clearmodifiers", sequence], check=True)
        time.sleep(0.15)


def nodes(root):
    """Every showing object under root, with its role, name, description and states."""
    out = []

    def walk(o):
        states = o.getState()
        if not states.contains(pyatspi.STATE_SHOWING):
            return
        out.append({"role": o.getRoleName(), "name": o.name or "",
                    "description": o.description or "",
                    "checked": states.contains(pyatspi.STATE_CHECKED),
                    "focused": states.contains(pyatspi.STATE_FOCUSED),
                    "focusable": states.contains(pyatspi.STATE_FOCUSABLE)})
        for i in range(o.childCount):
            child = o.getChildAtIndex(i)
            if child is not None:
                walk(child)

    walk(root)
    return out


class Program:
    def __init__(self, binary):
        self.home = tempfile.TemporaryDirectory()
        home = self.home.name
        for d in ("config/Pintora", "data", "cache", "runtime"):
            os.makedirs(os.path.join(home, d), mode=0o700, exist_ok=True)
        with open(os.path.join(home, "config/Pintora/Pintora.conf"), "w") as f:
            f.write("[General]\nhasSeenIntro=true\ndefaultTab=annotate\n")
        self.path = os.path.join(home, "shots.pintora")
        with open(self.path, "w") as f:
            f.write(document())
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + "/config",
                   XDG_DATA_HOME=home + "/data", XDG_CACHE_HOME=home + "/cache",
                   XDG_RUNTIME_DIR=home + "/runtime", QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
                   QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox")
        self.children = [
            subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL),
            subprocess.Popen(["openbox", "--sm-disable"], stderr=subprocess.DEVNULL),
        ]
        time.sleep(1)
        self.app = subprocess.Popen([binary, self.path], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
        self.children.insert(0, self.app)

    def frame(self, title):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is None or app.name != "Pintora":
                continue
            for j in range(app.childCount):
                window = app.getChildAtIndex(j)
                if window is not None and title in (window.name or ""):
                    return window
        return None

    def activate(self, title):
        ids = poll(lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--pid", str(self.app.pid), "--name", title],
            capture_output=True, text=True).stdout.split(), 60)
        if not ids:
            raise RuntimeError("no window " + title)
        subprocess.run(["xdotool", "windowactivate", "--sync", ids[0]], check=False)
        time.sleep(0.5)

    def close(self):
        # The bus launcher takes its bus down when asked to end, not when killed.
        for child in self.children:
            child.terminate()
            try:
                child.wait(10)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait()


def main():
    binary = sys.argv[1]
    dump = "--dump" in sys.argv
    program = Program(binary)
    failures = []
    seen = {}
    try:
        main_window = poll(lambda: program.frame("shots.pintora"), 60)
        if not main_window:
            print("the program's window never showed in the accessibility tree")
            return 1
        program.activate("shots.pintora")

        def scene(name, root=None):
            found = poll(lambda: nodes(root or program.frame("shots.pintora")), 10) or []
            seen[name] = found
            if dump:
                print("== " + name)
                for n in found:
                    print("  [%s] %r %r%s" % (n["role"], n["name"], n["description"][:60],
                                              " checked" if n["checked"] else ""))
            for n in found:
                if (n["role"] in ACTIONABLE or n["focusable"]) and not n["name"].strip():
                    failures.append("%s: a %s without a name" % (name, n["role"]))

        scene("annotate")
        keys("r")
        scene("rectangle tool")
        keys("n")
        scene("note tool")
        keys("v")
        # The keyboard reaches the canvas with Tab, and Tab there selects the picture.
        canvas_focused = lambda: any(n["role"] == "canvas" and n["focused"]
                                     for n in nodes(program.frame("shots.pintora")))
        for _ in range(30):
            if canvas_focused():
                break
            keys("Tab")
        if not canvas_focused():
            failures.append("Tab never reaches the canvas")
        keys("Tab")
        scene("picture selected")
        keys("Return")
        sheet = poll(lambda: program.frame("Crop Image"), 10)
        if sheet:
            scene("crop sheet", sheet)
            keys("Escape")
        else:
            failures.append("Return on the selected picture opened no crop sheet")
        poll(lambda: not program.frame("Crop Image"), 10)
        keys("ctrl+1")
        time.sleep(1)
        scene("capture")
    finally:
        program.close()

    for scene_name, role, name, holds in EXPECTED:
        matches = [n for n in seen.get(scene_name, []) if n["role"] == role and n["name"] == name]
        if not matches:
            failures.append("%s: no %s %r" % (scene_name, role, name))
        elif holds in ("checked", "unchecked"):
            if matches[0]["checked"] != (holds == "checked"):
                failures.append("%s: %s %r is not %s" % (scene_name, role, name, holds))
        elif holds and holds not in matches[0]["description"]:
            failures.append("%s: %s %r says %r, not %r" % (
                scene_name, role, name, matches[0]["description"], holds))
    for failure in failures:
        print("FAIL " + failure)
    print("%d objects read in %d scenes, %d failures" % (
        sum(len(v) for v in seen.values()), len(seen), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
