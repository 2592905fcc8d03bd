#!/usr/bin/env bash
# Makes the build's Debian package and checks it as apt and the desktop would: its control
# fields and files, its metadata (AppStream, desktop entry, lintian), then installs it into a
# scratch root, runs the installed pintora-cli and removes the package again.
# Usage: check-package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) ||
  { cat "$work/cpack.log" >&2; fail "cpack failed"; }
arch=$(dpkg --print-architecture)
deb=$(ls "$work"/out/pintora_*_"$arch".deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no pintora_VERSION_$arch.deb in $(ls "$work/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pintora ] || fail "Package: $(field Package)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[[ $(field Version) =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "Version: $(field Version)"
[[ $(field Recommends) == chromium,* ]] || fail "Recommends: $(field Recommends)"
for library in libc6 libqt6core6 libqt6webenginewidgets6 libqt6svg6 libsimdjson; do
  field Depends | grep -q "$library" || fail "Depends lacks $library: $(field Depends)"
done

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | sort >"$work/files"
for path in /usr/bin/pintora /usr/bin/pintora-cli \
  /usr/share/applications/com.orlanvale.Pintora.desktop \
  /usr/share/mime/packages/com.orlanvale.Pintora.xml \
  /usr/share/metainfo/com.orlanvale.Pintora.metainfo.xml \
  /usr/share/icons/hicolor/scalable/apps/com.orlanvale.Pintora.svg \
  /usr/share/icons/hicolor/48x48/apps/com.orlanvale.Pintora.png \
  /usr/share/icons/hicolor/256x256/apps/com.orlanvale.Pintora.png \
  /usr/share/man/man1/pintora.1.gz /usr/share/man/man1/pintora-cli.1.gz \
  /usr/share/bash-completion/completions/pintora-cli \
  /usr/share/doc/pintora/changelog.gz /usr/share/doc/pintora/copyright; do
  grep -qx "$path" "$work/files" || fail "not in the package: $path"
done
# Nothing of the build's own: no tests, benchmarks, headers or libraries.
stray=$(grep -vE '^/usr/(bin|bin/pintora(-cli)?|share/(applications|mime|metainfo|icons|man|bash-completion|doc)(/.*)?)?/?$|^/$|^/usr/share/?$' "$work/files" || true)
[ -z "$stray" ] || fail "unexpected files: $stray"

appstreamcli validate --no-net --pedantic "$source/resources/desktop/com.orlanvale.Pintora.metainfo.xml" \
  >"$work/appstream.log" 2>&1 || { cat "$work/appstream.log" >&2; fail "AppStream metadata invalid"; }
# Errors fail; the warnings kept are listed in the README.
lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log" >&2; fail "lintian found errors"; }

root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status"
# The libraries it depends on are this machine's, not the scratch root's.
dpkg --root="$root" --force-depends -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log" >&2; fail "dpkg -i failed"; }
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME"
version=$("$root/usr/bin/pintora-cli" --version)
[ "$version" = "pintora-cli $(field Version)" ] || fail "installed pintora-cli --version: $version"
"$root/usr/bin/pintora-cli" info "$source/tests/fuzz/corpus/document_fuzzer/every-kind.pintora" \
  >"$work/info.json" || fail "installed pintora-cli info failed"
grep -q '"counts"' "$work/info.json" || fail "pintora-cli info printed: $(cat "$work/info.json")"
man -l "$root/usr/share/man/man1/pintora-cli.1.gz" 2>/dev/null | grep -q -- '--full-page' ||
  fail "the pintora-cli man page lacks the capture options"
# What the completion offers after "pintora-cli capture --fu" and after "pintora-cli ex".
complete_words() {
  PATH="$root/usr/bin:$PATH" bash -c 'source /usr/share/bash-completion/bash_completion
    source "$1/usr/share/bash-completion/completions/pintora-cli"
    COMP_WORDS=("${@:2}"); COMP_CWORD=$(($# - 2)); COMP_LINE="${*:2}"; COMP_POINT=${#COMP_LINE}
    _pintora_cli; echo "${COMPREPLY[*]}"' _ "$root" "$@"
}
[ "$(complete_words pintora-cli capture --fu)" = --full-page ] ||
  fail "completion of capture --fu: $(complete_words pintora-cli capture --fu)"
[ "$(complete_words pintora-cli ex)" = export ] || fail "completion of ex: $(complete_words pintora-cli ex)"

dpkg --root="$root" -r pintora >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -r failed"; }
left=$(find "$root/usr" -type f 2>/dev/null | head -5 || true)
[ -z "$left" ] || fail "files left after removal: $left"
echo "package ok: $(basename "$deb"), $(wc -l <"$work/files") paths"
