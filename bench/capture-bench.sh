#!/usr/bin/env bash
# Benchmarks our batch capture against the Playwright peer in one run, on the shared
# benchmark pages: usage bench/capture-bench.sh [RUNS]. Installs what the peer needs.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
site="${PINTORA_BENCH_SITE:-../shared/bench-site}"
[ -d "$site" ] || site=/work/shared/bench-site
scripts/install-deps.sh
missing=()
for p in chromium nodejs npm; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done
# npm may come with nodejs from another packaging; only a missing command needs installing.
if [ ${#missing[@]} -gt 0 ]; then
  todo=()
  for p in "${missing[@]}"; do
    case "$p" in npm) command -v npm >/dev/null || todo+=(npm) ;; nodejs) command -v node >/dev/null || todo+=(nodejs) ;; *) todo+=("$p") ;; esac
  done
  if [ ${#todo[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends "${todo[@]}" >&2
  fi
fi
preset="${PINTORA_BENCH_PRESET:-default}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target capture_bench pintora-cli -j2
peer=build/bench-peer
mkdir -p "$peer"
[ -d "$peer/node_modules/playwright-core" ] || (cd "$peer" && npm install --silent --no-save playwright-core >&2)
cp "$site/playwright-capture.js" "$peer/"

port=$((20000 + RANDOM % 20000))
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$site" >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"; fi

echo "== Playwright peer ($runs runs)"
out=$(mktemp -d)
(cd "$peer" && node playwright-capture.js "$port" "$runs" "$out") >&2
node -e '
const rows = require(process.argv[1] + "/rows.json").filter(r => r.kind === "total4" && r.page === "tall" && r.mode === "reuse");
const med = a => { a = a.slice().sort((x, y) => x - y); return a[Math.floor(a.length / 2)]; };
for (const full of [false, true]) console.log(`playwright tall ${full ? "full page" : "visible  "}: ${(med(rows.filter(r => r.full === full).map(r => r.ms)) / 1000).toFixed(2)} s (median)`);
' "$out"

echo "== pintora-cli (whole process, $runs runs, up to PNG files on disk)"
# Wall time of each run, and the peak of the resident memory summed over the process and its
# web-engine helpers, sampled every 20 ms.
python3 - "build/$preset/src/pintora-cli" "http://127.0.0.1:$port/tall.html" "$runs" <<'PY'
import os, subprocess, sys, tempfile, time
cli, url, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
sizes = ["--size", "1920x1080", "--size", "1280x800", "--size", "834x1194", "--size", "390x844"]
def tree_rss(root):
    kids, rss = {}, {}
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            kids.setdefault(int(fields[1]), []).append(int(pid))
            rss[int(pid)] = int(fields[21]) * os.sysconf("SC_PAGE_SIZE")
        except (OSError, IndexError, ValueError):
            pass
    total, todo = 0, [root]
    while todo:
        pid = todo.pop()
        total += rss.get(pid, 0)
        todo += kids.get(pid, [])
    return total
env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
for full in (False, True):
    times, peaks = [], []
    for _ in range(runs):
        out = tempfile.mkdtemp()
        start = time.monotonic()
        proc = subprocess.Popen([cli, "capture", url, *sizes, *(["--full-page"] if full else []),
                                 "--png-dir", out], env=env, stderr=subprocess.DEVNULL)
        peak = 0
        while proc.poll() is None:
            peak = max(peak, tree_rss(proc.pid))
            time.sleep(0.02)
        times.append(time.monotonic() - start)
        peaks.append(peak)
        if proc.returncode != 0 or len(os.listdir(out)) != 4:
            sys.exit(f"pintora-cli failed ({proc.returncode})")
    times.sort()
    print(f"pintora-cli tall {'full page' if full else 'visible  '}: {times[len(times) // 2]:.2f} s "
          f"(median; {times[0]:.2f} to {times[-1]:.2f}), peak memory {max(peaks) / 2**20:.0f} MB "
          "(process and helpers)")
PY

echo "== Pintora's batch capture in process (the application's waits)"
PINTORA_BENCH_URL="http://127.0.0.1:$port/tall.html" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
  "build/$preset/bench/capture_bench" --benchmark_format=console
