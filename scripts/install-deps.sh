#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Pintora needs.
# Idempotent: when everything is already installed it returns at once.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang-format
  # the fuzz build: clang with libFuzzer and the sanitizer runtimes
  clang libclang-rt-dev
  # Qt 6 and the web engine
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  qt6-svg-dev qt6-image-formats-plugins qt6-qpa-plugins libqt6opengl6-dev qt6-websockets-dev
  libgl-dev libglx-dev libopengl-dev libxkbcommon-dev
  # parsing and encoding
  libsimdjson-dev liblz4-dev libmodpbase64-dev zlib1g-dev
  # the built-in browser's cookie file, read for captures in Chromium
  libsqlite3-dev
  # other browsers' windows
  libxcb1-dev libxcb-composite0-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xclip xdotool x11-utils dbus-x11 fonts-dejavu-core fonts-liberation2
  # a window manager, to show the hidden capture window stays hidden under one
  openbox
  # checking the installed desktop entry and document type
  desktop-file-utils shared-mime-info
  dpkg-dev lintian appstream librsvg2-bin man-db bash-completion
  # reading the accessibility tree as a screen reader does
  at-spi2-core python3-pyatspi
  # a Wayland desktop for the tests: compositor, screenshots, keys, clipboard, the desktop
  # portal (its screenshots need PipeWire and a gtk part for permissions), and Qt's client
  qt6-wayland sway grim wtype wl-clipboard pipewire libwayland-dev
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
  # real browsers and a window manager for the tests with other browsers
  chromium firefox-esr openbox
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
