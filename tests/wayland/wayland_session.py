#!/usr/bin/python3
"""The real program as a native Wayland client, on a real compositor.

Usage: wayland_session.py PINTORA_BINARY WAYLAND_POINTER DND_PEER SHOTS_DIR
Starts sway headless with PipeWire and the desktop portal (xdg-desktop-portal with its wlr and
gtk parts) in a D-Bus session of an ordinary user (sway refuses root: as root the script makes
the user `pintora-test` and runs itself again as it), then runs the program with
QT_QPA_PLATFORM=wayland and checks, on grim screenshots and on what it saves: the first window
and the welcome sheet over it, a rectangle placed from the keyboard, Copy as PNG read by
another program (wl-paste), a window capture through the portal's Screenshot interface, and
SIGTERM keeping the work. Keys come from wtype, the pointer from WAYLAND_POINTER (a virtual
pointer: a headless compositor has no mouse). The one stand-in is the user's choice on the
desktop's selection screen: `slurp`, which the portal runs to let the user drag out an area,
answers a fixed area. Screenshots go to SHOTS_DIR.
"""

import base64
import glob
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# The shared helpers sit in ../support beside the sources, or beside this file in its copy.
here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(here, "..", "support"), here]
from scenario import Picture, png_size, poll, solid_png  # noqa: E402

USER = "pintora-test"
AREA = (0, 0, 640, 400)  # what the user drags out on the desktop's selection screen
STROKE_RED = (0xFF, 0x3B, 0x30)


class Session:
    def __init__(self, binary, pointer, peer, shots):
        self.binary, self.peer, self.shots, self.children = binary, peer, shots, []
        self.home = tempfile.mkdtemp(prefix="pintora-wayland-home-")
        runtime = os.environ["XDG_RUNTIME_DIR"]
        shim = os.path.join(self.home, "bin")
        os.makedirs(shim)
        with open(os.path.join(shim, "slurp"), "w") as f:
            f.write("#!/bin/sh\necho '%d,%d %dx%d'\n" % AREA)
        os.chmod(os.path.join(shim, "slurp"), 0o755)
        with open(os.path.join(self.home, "sway.conf"), "w") as f:
            # No borders: the window's own pixels start at the screen's edge.
            f.write("output HEADLESS-1 resolution 1280x800\ndefault_border none\n"
                    "default_floating_border none\n"
                    # The other program floats over the canvas rather than halving the window.
                    "for_window [app_id=\"dnd_peer\"] floating enable, "
                    "resize set 300 240, move position 900 480\n")
        self.env = dict(os.environ, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
                        WLR_RENDERER="pixman", XDG_CURRENT_DESKTOP="sway",
                        PATH=shim + ":" + os.environ["PATH"])
        self.spawn(["sway", "-c", os.path.join(self.home, "sway.conf")])
        display = poll(lambda: [os.path.basename(p) for p in glob.glob(runtime + "/wayland-?")])
        if not display:
            raise RuntimeError("sway did not start")
        self.env["WAYLAND_DISPLAY"] = display[0]
        self.env["SWAYSOCK"] = poll(lambda: glob.glob(runtime + "/sway-ipc.*"))[0]
        subprocess.run(["dbus-update-activation-environment", "WAYLAND_DISPLAY",
                        "XDG_CURRENT_DESKTOP", "SWAYSOCK", "PATH"], env=self.env, check=False)
        self.spawn(["pipewire"])
        time.sleep(0.5)
        for part in ("xdg-desktop-portal-wlr", "xdg-desktop-portal-gtk"):
            self.spawn(["/usr/libexec/" + part])
        time.sleep(0.5)
        self.spawn(["/usr/libexec/xdg-desktop-portal"])
        # A page to browse and capture, served here.
        site = os.path.join(self.home, "site")
        os.makedirs(site)
        with open(os.path.join(site, "index.html"), "w") as f:
            f.write("<!doctype html><title>Green</title>"
                    "<body style='margin:0;background:#00aa00'><div style='height:900px'>")
        self.spawn([sys.executable, "-m", "http.server", "--bind", "127.0.0.1", "8765"], cwd=site)
        # A keyboard that stays: the seat offers a keyboard to clients only while one exists.
        self.spawn(["wtype", "-s", "3600000", "-k", "F13"])
        self.pointer = subprocess.Popen([pointer, "1280", "800"], env=self.env, text=True,
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.children.append(self.pointer)
        if self.pointer.stdout.readline().strip() != "ok":
            raise RuntimeError("no virtual pointer")
        self.app = None

    def spawn(self, command, **kwargs):
        kwargs.setdefault("stdout", subprocess.DEVNULL)
        child = subprocess.Popen(command, env=kwargs.pop("env", self.env),
                                 stderr=subprocess.DEVNULL, **kwargs)
        self.children.append(child)
        return child

    def launch(self, settings):
        config = os.path.join(self.home, "config/Pintora")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "Pintora.conf"), "w") as f:
            f.write("[General]\ndefaultURL=http://127.0.0.1:8765/\n" + settings)
        env = self.app_env = dict(self.env, HOME=self.home, XDG_CONFIG_HOME=self.home + "/config",
                   XDG_DATA_HOME=self.home + "/data", XDG_CACHE_HOME=self.home + "/cache",
                   QT_QPA_PLATFORM="wayland", QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox")
        started = time.time()
        self.app = self.spawn([self.binary], env=env)
        if not poll(lambda: self.window("Pintora"), 60, 0.05):
            raise RuntimeError("no window showed")
        return time.time() - started

    def windows(self):
        tree = json.loads(subprocess.run(["swaymsg", "-t", "get_tree"], env=self.env,
                                         capture_output=True, text=True).stdout)
        found = []

        def walk(node):
            if node.get("pid"):
                node["name"] = node.get("name") or ""
                found.append(node)
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                walk(child)

        walk(tree)
        return found

    def window(self, title):
        return next((w for w in self.windows() if title in w["name"]), None)

    def keys(self, *names):
        for name in names:
            if "+" in name:
                *mods, key = name.split("+")
                args = sum((["-M", m] for m in mods), []) + ["-k", key] + sum(
                    (["-m", m] for m in mods), [])
            else:
                args = ["-k", name]
            subprocess.run(["wtype"] + args, env=self.env, check=True)
            time.sleep(0.15)

    def point(self, *commands):
        for command in commands:
            self.pointer.stdin.write(command + "\n")
            self.pointer.stdin.flush()
            if self.pointer.stdout.readline().strip() != "ok":
                raise RuntimeError("the pointer did not take " + command)
            time.sleep(0.02)

    def click(self, x, y):
        self.point("move %d %d" % (x, y), "down", "up")

    def drag(self, start, end, steps=8, press=True):
        self.point("move %d %d" % start, *(["down"] if press else []))
        for i in range(1, steps + 1):
            self.point("move %d %d" % (start[0] + (end[0] - start[0]) * i // steps,
                                       start[1] + (end[1] - start[1]) * i // steps))
        self.point("up")

    def shot(self, name=None):
        """The screen now; saved as NAME.png in the shots folder when named."""
        if name:
            subprocess.run(["grim", os.path.join(self.shots, name + ".png")], env=self.env,
                           check=True)
        return Picture(subprocess.run(["grim", "-t", "ppm", "-"], env=self.env,
                                      capture_output=True, check=True).stdout)

    def drafts(self):
        items = []
        for path in glob.glob(self.home + "/data/**/*.pintora", recursive=True):
            with open(path) as f:
                items += json.load(f).get("items", [])
        return items

    def close(self):
        for child in reversed(self.children):
            child.terminate()
        for child in self.children:
            try:
                child.wait(10)
            except subprocess.TimeoutExpired:
                child.kill()


def start(session, failures):
    report = {}
    # The first window, with the welcome sheet over it: a dialog the compositor places.
    # The built-in engine captures: its views are the ones that must never show.
    report["first window (s)"] = round(session.launch("captureEngine=builtin\n"), 2)
    sheet = poll(lambda: session.window("Welcome to Pintora"), 30)
    main = session.window("Untitled")
    session.shot("welcome")
    if not sheet or not main:
        failures.append("no welcome sheet over the window")
    else:
        sc = (sheet["rect"]["x"] + sheet["rect"]["width"] / 2)
        mc = (main["rect"]["x"] + main["rect"]["width"] / 2)
        if abs(sc - mc) > 4 or sheet.get("type") != "floating_con":
            failures.append("the welcome sheet is not a dialog centred over its window")
    session.keys("Return")
    if poll(lambda: session.window("Welcome to Pintora") is None, 10) is None:
        failures.append("Return did not close the welcome sheet")
    return report


def keyboard_and_pointer(session, failures):
    # The keyboard reaches the canvas, and Return there places a rectangle.
    session.keys("ctrl+2")
    time.sleep(0.5)
    session.keys("r")
    ringed = False
    for _ in range(25):
        session.keys("Tab")
        screen = session.shot()
        column = [screen.pixel(1, y) for y in range(screen.height // 2 - 100,
                                                    screen.height // 2 + 100)]
        if sum(1 for p in column if p[2] - p[0] > 60) > 180:
            ringed = True
            break
    if not ringed:
        failures.append("Tab never reached the canvas")
    session.keys("Return")
    red = session.shot("rectangle").count(STROKE_RED)
    if red < 200:
        failures.append("Return placed no rectangle (%d red pixels)" % red)
    # The pointer draws an ellipse where it is dragged, and the colour swatch's second click
    # closes the popover its first opened.
    session.keys("o")
    before = session.shot()
    session.drag((200, 560), (420, 720))
    drawn = session.shot("ellipse-dragged")
    inside = sum(1 for x in range(190, 430, 2) for y in range(550, 730, 2)
                 if drawn.pixel(x, y) != before.pixel(x, y))
    if inside < 100:
        failures.append("the pointer drew nothing where it was dragged")
    session.click(375, 80)
    time.sleep(0.8)
    opened = session.shot("popover-clicked")
    session.click(375, 80)
    time.sleep(0.8)
    closed = session.shot()
    under = lambda screen: [screen.pixel(x, y) for x in range(260, 500, 4) for y in range(110, 240, 4)]
    if under(opened) == under(drawn):
        failures.append("a click on the colour swatch opened no popover")
    elif under(closed) != under(drawn):
        failures.append("a second click on the colour swatch left the popover open")



def drag_and_drop(session, failures):
    # A picture file dragged from another program lands on the canvas where it is dropped.
    dropped_file = os.path.join(session.home, "dropped.png")
    with open(dropped_file, "wb") as f:
        f.write(solid_png(240, 160, (0, 0xAA, 0)))
    source = session.spawn([session.peer, "source", dropped_file, "0", "0"], env=session.app_env)
    beside = poll(lambda: next((w for w in session.windows() if w["pid"] == source.pid), None))
    if not beside:
        failures.append("the other program's window never showed")
    else:
        r = beside["rect"]
        time.sleep(0.5)
        session.drag((r["x"] + r["width"] // 2, r["y"] + r["height"] // 2), (200, 600), 12)
        time.sleep(1)
        session.shot("dropped")
    source.terminate()
    source.wait(10)
    poll(lambda: len(session.windows()) == 1, 10)

    # The canvas dragged out of its thumbnail drops, as a PNG and its file, into the other
    # program: on Wayland an ordinary drag, onto a window in front of this one.
    target = session.spawn([session.peer, "target", "0", "0"], env=session.app_env,
                           stdout=subprocess.PIPE)
    beside = poll(lambda: next((w for w in session.windows() if w["pid"] == target.pid), None))
    if beside:
        r = beside["rect"]
        session.point("move 1144 80", "down", "move 1136 92")
        time.sleep(1)  # the PNG renders before the drag starts
        session.drag((1136, 92), (r["x"] + r["width"] // 2, r["y"] + r["height"] // 2), 12,
                     press=False)
        try:
            said, _ = target.communicate(timeout=15)
        except subprocess.TimeoutExpired:
            target.kill()
            said, _ = target.communicate()
        said = said.decode()
        if "png " not in said or " same" not in said or "png 0" in said:
            failures.append("the canvas dragged out did not drop as a PNG and its file: %r" % said)
    else:
        failures.append("the drop target's window never showed")
        target.kill()
    poll(lambda: len(session.windows()) == 1, 10)



def tools_and_clipboard(session, failures):
    # Every other tool places its item from the keyboard too; a text and a note take words.
    for key in "oalc":
        session.keys(key, "Return")
    for key in "tn":
        session.keys(key, "Return")
        time.sleep(0.3)
        subprocess.run(["wtype", "words"], env=session.env, check=True)
        session.keys("Escape")
    session.shot("every-tool")
    # The items go to the clipboard under the program's own type, beside a picture of them.
    session.keys("ctrl+a", "ctrl+c")
    offered = poll(lambda: "application/x-pintora-items" in subprocess.run(
        ["wl-paste", "-l"], env=session.env, capture_output=True, text=True, timeout=5).stdout, 10)
    if not offered:
        failures.append("copied items are not on the clipboard under their own type")

    # Copy as PNG, read by another program.
    session.keys("ctrl+shift+c")
    pasted = poll(lambda: subprocess.run(["wl-paste", "-t", "image/png"], env=session.env,
                                         capture_output=True, timeout=5).stdout[:24], 20)
    if not pasted or pasted[:8] != b"\x89PNG\r\n\x1a\n" or png_size(pasted)[0] < 100:
        failures.append("Copy as PNG gave no picture to wl-paste")

    # A picture another program copied is pasted onto the canvas.
    with open(os.path.join(session.home, "copied.png"), "wb") as f:
        f.write(solid_png(300, 200, (0, 0xAA, 0)))
    copier = session.spawn(["wl-copy", "-t", "image/png"],
                           stdin=open(os.path.join(session.home, "copied.png"), "rb"))
    copier.wait(10)
    session.keys("Escape", "ctrl+v")
    time.sleep(1)
    # The colour popover opens from the keyboard, over the toolbar.
    # Tab reaches the colour swatch, whose ring shows; Space opens its popover.
    session.keys("r")
    for _ in range(25):
        session.keys("Tab")
        screen = session.shot()
        if sum(1 for x in range(362, 390) for y in range(66, 94)
               if screen.pixel(x, y)[2] - screen.pixel(x, y)[0] > 60) > 20:
            break
    else:
        failures.append("Tab never reached the colour swatch")
    session.keys("space")
    time.sleep(1)
    session.shot("popover")
    session.keys("Escape")



def second_launch(session, failures):
    # A second launch hands its document to the running program, which opens it, and ends.
    second_file = os.path.join(session.home, "second.pintora")
    with open(second_file, "w") as f:
        json.dump({"items": [], "zoom": 1, "panX": 0, "panY": 0, "tabs": [],
                   "activeTabIndex": 0}, f)
    second = session.spawn([session.binary, second_file], env=session.app_env)
    try:
        if second.wait(30) != 0:
            failures.append("a second launch did not hand over and end cleanly")
    except subprocess.TimeoutExpired:
        failures.append("a second launch kept running beside the first")
    if not poll(lambda: session.window("second.pintora"), 20):
        failures.append("the running program did not open the second launch's document: %s" %
                        [w["name"] for w in session.windows()])
    session.shot("second-window")
    session.keys("ctrl+w")
    poll(lambda: session.window("second.pintora") is None, 10)



def captures(session, failures):
    # A window capture goes through the portal; the area the user picks lands on the canvas.
    session.keys("ctrl+1", "F6", "Tab", "Tab", "Tab", "Return")
    time.sleep(1.5)
    session.shot("window-menu")
    session.keys("Down", "Return")
    time.sleep(3)
    session.shot("window-captured")
    # The page in the built-in browser is captured at two sizes; no capture view ever shows.
    session.keys("ctrl+1")
    time.sleep(1)
    session.keys("ctrl+k")
    time.sleep(1)
    session.shot("capturing")
    stray = set()
    def placed():
        # Only document windows ("Untitled — Pintora"): a capture view has no title of its own.
        stray.update(repr(w["name"]) for w in session.windows()
                     if not w["name"].endswith(" — Pintora"))
        # The annotate tab is back (grid, not the page, at the left edge) with the pictures.
        screen = session.shot()
        return (abs(screen.pixel(2, screen.height - 20)[1] - 0xAA) > 20 and
                screen.count((0, 0xAA, 0), 4) > 100000)
    if not poll(placed, 90, 0.5):
        failures.append("the captures never showed on the canvas")
    session.shot("page-captured")
    if stray:
        failures.append("windows other than the program's showed: %s" % sorted(stray))



def quit_keeps_the_work(session, failures):
    # SIGTERM keeps the work in a draft, as Quit does, with the words still in an open editor.
    session.keys("n")
    session.click(640, 700)  # a click with the note tool places a card, its editor open
    time.sleep(0.5)
    subprocess.run(["wtype", "still typing"], env=session.env, check=True)
    time.sleep(0.3)
    session.app.send_signal(signal.SIGTERM)
    try:
        code = session.app.wait(30)
        if code != 0:
            failures.append("SIGTERM ended the program with %d" % code)
    except subprocess.TimeoutExpired:
        failures.append("SIGTERM did not end the program")
    pictures = [png_size(base64.b64decode(i["image"]["_0"]["pngData"]))
                for i in session.drafts() if "image" in i]
    if (240, 160) not in pictures:
        failures.append("the picture dropped from another program is not on the canvas")
    if (300, 200) not in pictures:
        failures.append("the picture copied by another program was not pasted: %s" % pictures)
    if (AREA[2], AREA[3]) not in pictures:
        failures.append("no %dx%d window capture in the draft: %s" % (AREA[2], AREA[3], pictures))
    if len(pictures) < 4:
        failures.append("the two page captures are not in the draft: %s" % pictures)
    texts = [i["text"]["_0"].get("string", "") for i in session.drafts() if "text" in i]
    if "still typing" not in texts:
        failures.append("the words in the open editor were lost at SIGTERM: %s" % texts)
    kinds = sorted(k for i in session.drafts() for k in i if k != "image")
    if kinds.count("shape") < 5 or kinds.count("text") < 2:
        failures.append("the items placed from the keyboard are not all in the draft: %s" % kinds)


def inner(binary, pointer, peer, shots):
    failures = []
    session = Session(binary, pointer, peer, shots)
    try:
        report = start(session, failures)
        # In this order: each leaves the window as the next expects it, and the last reads the
        # draft that all of them made.
        for scenario in (keyboard_and_pointer, drag_and_drop, tools_and_clipboard,
                         second_launch, captures, quit_keeps_the_work):
            scenario(session, failures)
    finally:
        session.close()
    for failure in failures:
        print("FAIL " + failure)
    print("wayland: %s, %d failures" % (report, len(failures)))
    return 1 if failures else 0


def main():
    binary, pointer, peer, shots = (os.path.abspath(a) for a in sys.argv[1:5])
    os.makedirs(shots, exist_ok=True)
    if "--inner" in sys.argv:
        return inner(binary, pointer, peer, shots)
    if os.geteuid() != 0:
        return subprocess.call(["dbus-run-session", "--", sys.executable, __file__, binary,
                                pointer, peer, shots, "--inner"])
    # sway refuses root: an ordinary user runs the session, from copies it can read.
    if subprocess.run(["id", USER], capture_output=True).returncode != 0:
        subprocess.run(["useradd", "-m", USER], check=True)
    # The portal's wlr part saves every screenshot as /tmp/out.png: one another user left
    # behind would make it fail.
    if os.path.exists("/tmp/out.png") and os.stat("/tmp/out.png").st_uid != int(
            subprocess.run(["id", "-u", USER], capture_output=True, text=True).stdout):
        os.remove("/tmp/out.png")
    work = tempfile.mkdtemp(prefix="pintora-wayland-")
    os.chmod(work, 0o755)
    shutil.copy(binary, work + "/pintora")
    shutil.copy(pointer, work + "/wayland_pointer")
    shutil.copy(peer, work + "/dnd_peer")
    shutil.copy(__file__, work + "/wayland_session.py")
    shutil.copy(os.path.join(here, "..", "support", "scenario.py"), work)
    runtime = work + "/runtime"
    os.makedirs(runtime)
    shutil.chown(runtime, USER)
    os.chmod(runtime, 0o700)
    out = work + "/shots"
    os.makedirs(out)
    shutil.chown(out, USER)
    try:
        code = subprocess.call(["runuser", "-u", USER, "--", "env", "XDG_RUNTIME_DIR=" + runtime,
                                "dbus-run-session", "--", sys.executable,
                                work + "/wayland_session.py", work + "/pintora",
                                work + "/wayland_pointer", work + "/dnd_peer", out,
                                "--inner"])
        for shot in glob.glob(out + "/*.png"):
            shutil.copy(shot, shots)
        return code
    finally:
        subprocess.run(["pkill", "-u", USER], check=False)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
