#!/usr/bin/python3
"""The end-to-end scenarios on a real Wayland compositor.

Usage: wayland_session.py E2E_TESTS PINTORA PINTORA_CLI DND_PEER WAYLAND_POINTER SHOTS_DIR [ARGS]
Starts sway headless, PipeWire and the desktop portal (xdg-desktop-portal with its wlr and gtk
parts) in a D-Bus session of an ordinary user (sway refuses root: as root the script makes the
user `pintora-test` and runs itself again as it, from copies of the programs it can read), then
runs E2E_TESTS there with PINTORA_E2E_DESKTOP=wayland: the scenarios the X11 run has, on this
desktop, with ARGS (a --gtest_filter, say). Windows float as on GNOME or Plasma, without borders.
A long-lived wtype keeps a keyboard on the seat; the tests bring their own virtual pointer
(WAYLAND_POINTER), since a headless compositor has no mouse. The one stand-in is the user's choice
on the desktop's selection screen: `slurp`, which the portal runs to let the user drag out an
area, answers a fixed area. Screenshots go to SHOTS_DIR.
"""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

# The shared helpers sit in ../support beside the sources, or beside this file in its copy.
here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(here, "..", "support"), here]
from scenario import poll  # noqa: E402

USER = "pintora-test"
AREA = (0, 0, 640, 400)  # what the user drags out on the desktop's selection screen
PROGRAMS = ("e2e_tests", "pintora", "pintora-cli", "dnd_peer", "wayland_pointer")


def inner(programs, shots, arguments):
    home = tempfile.mkdtemp(prefix="pintora-wayland-home-")
    runtime = os.environ["XDG_RUNTIME_DIR"]
    shim = os.path.join(home, "bin")
    os.makedirs(shim)
    with open(os.path.join(shim, "slurp"), "w") as f:
        f.write("#!/bin/sh\necho '%d,%d %dx%d'\n" % AREA)
    os.chmod(os.path.join(shim, "slurp"), 0o755)
    with open(os.path.join(home, "sway.conf"), "w") as f:
        f.write("output HEADLESS-1 resolution 1920x1080\ndefault_border none\n"
                "default_floating_border none\n"
                "for_window [app_id=\".*\"] floating enable\n"
                "for_window [title=\".*\"] floating enable\n")
    env = dict(os.environ, WLR_BACKENDS="headless", WLR_LIBINPUT_NO_DEVICES="1",
               WLR_RENDERER="pixman", XDG_CURRENT_DESKTOP="sway",
               PATH=shim + ":" + os.environ["PATH"])
    children = []

    def spawn(command):
        children.append(subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL))

    try:
        spawn(["sway", "-c", os.path.join(home, "sway.conf")])
        display = poll(lambda: glob.glob(runtime + "/wayland-?"))
        if not display:
            print("sway did not start")
            return 1
        env["WAYLAND_DISPLAY"] = display[0]
        env["SWAYSOCK"] = poll(lambda: glob.glob(runtime + "/sway-ipc.*"))[0]
        subprocess.run(["dbus-update-activation-environment", "WAYLAND_DISPLAY",
                        "XDG_CURRENT_DESKTOP", "SWAYSOCK", "PATH"], env=env, check=False)
        # The portal's wlr part starts only beside PipeWire; its Screenshot needs gtk's Access.
        spawn(["pipewire"])
        time.sleep(0.5)
        for part in ("xdg-desktop-portal-wlr", "xdg-desktop-portal-gtk"):
            spawn(["/usr/libexec/" + part])
        time.sleep(0.5)
        spawn(["/usr/libexec/xdg-desktop-portal"])
        # The seat offers clients a keyboard only while one exists.
        spawn(["wtype", "-s", "3600000", "-k", "F13"])
        time.sleep(0.5)
        tests, pintora, cli, peer, pointer = programs
        return subprocess.call(
            [tests] + arguments,
            env=dict(env, PINTORA_E2E_DESKTOP="wayland", PINTORA_WAYLAND_POINTER=pointer,
                     PINTORA_BINARY=pintora, PINTORA_CLI=cli, PINTORA_DND_PEER=peer,
                     PINTORA_E2E_SHOTS=shots, QT_QPA_PLATFORM="offscreen",
                     QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"),
            cwd=home)
    finally:
        for child in reversed(children):
            child.terminate()
        for child in children:
            try:
                child.wait(10)
            except subprocess.TimeoutExpired:
                child.kill()
        shutil.rmtree(home, ignore_errors=True)


def main():
    programs = [os.path.abspath(a) for a in sys.argv[1:6]]
    shots = os.path.abspath(sys.argv[6])
    arguments = [a for a in sys.argv[7:] if a != "--inner"]
    os.makedirs(shots, exist_ok=True)
    if "--inner" in sys.argv:
        return inner(programs, shots, arguments)
    if os.geteuid() != 0:
        return subprocess.call(["dbus-run-session", "--", sys.executable, __file__] +
                               sys.argv[1:] + ["--inner"])
    if subprocess.run(["id", USER], capture_output=True).returncode != 0:
        subprocess.run(["useradd", "-m", USER], check=True)
    # The portal's wlr part saves every screenshot as /tmp/out.png: one another user left
    # behind would make it fail.
    if os.path.exists("/tmp/out.png") and os.stat("/tmp/out.png").st_uid != int(
            subprocess.run(["id", "-u", USER], capture_output=True, text=True).stdout):
        os.remove("/tmp/out.png")
    work = tempfile.mkdtemp(prefix="pintora-wayland-")
    os.chmod(work, 0o755)
    copies = [os.path.join(work, name) for name in PROGRAMS]
    for program, copy in zip(programs, copies):
        shutil.copy(program, copy)
    shutil.copy(__file__, work)
    shutil.copy(os.path.join(here, "..", "support", "scenario.py"), work)
    runtime, out = work + "/runtime", work + "/shots"
    for folder in (runtime, out):
        os.makedirs(folder)
        shutil.chown(folder, USER)
    os.chmod(runtime, 0o700)
    try:
        code = subprocess.call(["runuser", "-u", USER, "--", "env", "XDG_RUNTIME_DIR=" + runtime,
                                "dbus-run-session", "--", sys.executable,
                                os.path.join(work, os.path.basename(__file__))] + copies +
                               [out, "--inner"] + arguments)
        shutil.rmtree(shots, ignore_errors=True)
        shutil.copytree(out, shots)
        return code
    finally:
        subprocess.run(["pkill", "-u", USER], check=False)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
