#!/usr/bin/env bash
# Opens documents of 10, 40 and 100 full-page captures in the real application, under its
# own virtual X server with openbox, and prints for each: the time from the window showing
# to the first frame with every visible picture in place (no stand-ins), the resident
# memory at rest after the fit and the peak (VmHWM) of the application's process; then the
# time and peak memory of `pintora-cli export` of each document to PNG.
# Usage: bench/open-bench.sh [COUNTS...]; PINTORA_BENCH_PRESET picks the build (default).
set -euo pipefail
cd "$(dirname "$0")/.."
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10 40 100)
site="${PINTORA_BENCH_SITE:-../shared/bench-site}"
[ -d "$site" ] || site=/work/shared/bench-site
preset="${PINTORA_BENCH_PRESET:-default}"
scripts/install-deps.sh >&2
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target pintora pintora-cli big_document -j2 >&2
build="build/$preset"
work=$(mktemp -d)
port=$((20000 + RANDOM % 20000))
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$site" >/dev/null 2>&1 &
server=$!
display=":$((100 + RANDOM % 400))"
Xvfb "$display" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $server $xvfb 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 1
export DISPLAY="$display"
openbox >/dev/null 2>&1 &
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"; fi
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# The four factory sizes of the shared 5,000 px page, full page: the pictures repeated.
QT_QPA_PLATFORM=offscreen "$build/src/pintora-cli" capture "http://127.0.0.1:$port/tall.html" \
  --full-page --size 1920x1080 --size 1280x800 --size 834x1194 --size 390x844 -o "$work/four.pintora"

for n in "${counts[@]}"; do
  "$build/bench/big_document" "$work/four.pintora" "$n" "$work/doc$n.pintora"
  python3 - "$build/src/pintora" "$work/doc$n.pintora" "$work/home$n" "$n" <<'PY'
import os, subprocess, sys, time, re
app, doc, home, n = sys.argv[1:]
os.makedirs(f"{home}/config/Pintora", exist_ok=True)
with open(f"{home}/config/Pintora/Pintora.conf", "w") as f:
    f.write("[General]\nhasSeenIntro=true\ndefaultTab=annotate\ndefaultURL=about:blank\n")
env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=f"{home}/config", XDG_DATA_HOME=f"{home}/data",
           XDG_CACHE_HOME=f"{home}/cache", PINTORA_FRAME_LOG="1", QT_QPA_PLATFORM="xcb")
def status(pid, field):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1]) * 1024
    return 0
proc = subprocess.Popen([app, doc], env=env, stderr=subprocess.PIPE)
os.set_blocking(proc.stderr.fileno(), False)
frame = re.compile(r"pintora frame: (\d+) ms after show, (\d+) stand-ins, zoom ([\d.]+)")
first_full, zoom, deadline, buffered = None, None, time.monotonic() + 60, ""
while time.monotonic() < deadline and proc.poll() is None:
    chunk = proc.stderr.read()
    buffered += (chunk or b"").decode(errors="replace")
    *lines, buffered = buffered.split("\n")
    for line in lines:
        if os.environ.get("PINTORA_BENCH_VERBOSE"): print(line, file=sys.stderr)
        m = frame.search(line)
        # The first frame with every picture in place after the fit (the fit zooms out).
        if m and m.group(2) == "0" and float(m.group(3)) < 0.5 and first_full is None:
            first_full, zoom = int(m.group(1)), float(m.group(3))
            deadline = time.monotonic() + 8  # then at rest
    time.sleep(0.02)
rss, hwm = status(proc.pid, "VmRSS"), status(proc.pid, "VmHWM")
proc.terminate()
proc.wait(30)
size = os.path.getsize(doc) / 2**20
if first_full is None:
    sys.exit(f"{n} captures: no frame with every picture in place within a minute")
print(f"{n:>3} captures ({size:.0f} MB on disk): first full frame {first_full / 1000:.2f} s after "
      f"the window shows (zoom {zoom:.3f}), resident at rest {rss / 2**20:.0f} MB, "
      f"peak {hwm / 2**20:.0f} MB")
PY
done

for n in "${counts[@]}"; do
  python3 - "$build/src/pintora-cli" "$work/doc$n.pintora" "$work/doc$n.png" "$n" <<'PY'
import os, resource, subprocess, sys, time
cli, doc, out, n = sys.argv[1:]
start = time.monotonic()
subprocess.run([cli, "export", doc, out], check=True,
               env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
took = time.monotonic() - start
peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
print(f"{n:>3} captures: export {took:.2f} s to a {os.path.getsize(out) / 2**20:.0f} MB PNG, "
      f"peak {peak:.0f} MB")
PY
done
