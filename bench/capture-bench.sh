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

port=$((20000 + RANDOM % 20000))
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$site" >/dev/null 2>&1 &
server=$!
trap 'kill $server' EXIT
sleep 1
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
if [ "$(id -u)" -eq 0 ]; then export QTWEBENGINE_CHROMIUM_FLAGS="--no-sandbox"; fi

cp bench/playwright-whole.js "$peer/"

echo "== whole processes, $runs paired runs each, up to PNG files on disk"
# Each run times Playwright, then pintora-cli on each engine, on the same page and sizes; wall
# time and the peak of the resident memory summed over the process and all it started, sampled
# every 20 ms.
python3 - "build/$preset/src/pintora-cli" "http://127.0.0.1:$port/tall.html" "$runs" "$peer" <<'PY'
import os, subprocess, sys, tempfile, time
cli, url, runs, peer = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
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
def timed(command, cwd=None):
    out = tempfile.mkdtemp()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    start = time.monotonic()
    proc = subprocess.Popen([part.replace("OUT", out) for part in command], cwd=cwd, env=env,
                            stderr=subprocess.DEVNULL)
    peak = 0
    while proc.poll() is None:
        peak = max(peak, tree_rss(proc.pid))
        time.sleep(0.02)
    took = time.monotonic() - start
    if proc.returncode != 0 or len(os.listdir(out)) != 4:
        sys.exit(f"{command[0]} failed ({proc.returncode})")
    return took, peak
runners = {
    "playwright": lambda full: (["node", "playwright-whole.js", url, "full" if full else "vp", "OUT"], peer),
    "pintora-cli chromium": lambda full: ([cli, "capture", url, *sizes, "--engine", "chromium",
                                           *(["--full-page"] if full else []), "--png-dir", "OUT"], None),
    "pintora-cli builtin": lambda full: ([cli, "capture", url, *sizes, "--engine", "builtin",
                                          *(["--full-page"] if full else []), "--png-dir", "OUT"], None),
}
for full in (False, True):
    results = {name: [] for name in runners}
    for _ in range(runs):
        for name, runner in runners.items():
            results[name].append(timed(*runner(full)))
    median = lambda values: sorted(values)[len(values) // 2]
    peer_time = median([t for t, _ in results["playwright"]])
    for name, rows in results.items():
        times = [t for t, _ in rows]
        print(f"{name:22} tall {'full page' if full else 'visible  '}: {median(times):.2f} s "
              f"(median; {min(times):.2f} to {max(times):.2f}), {median(times) / peer_time:.2f}x the peer, "
              f"peak memory {max(p for _, p in rows) / 2**20:.0f} MB")
PY

echo "== Pintora's batch capture in process (the application's waits)"
PINTORA_BENCH_URL="http://127.0.0.1:$port/tall.html" QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" \
  "build/$preset/bench/capture_bench" --benchmark_format=console
