#!/usr/bin/env bash
# The dashboard and `distd stats` with many distinct channel/version pairs:
# fills a SQLite store with PAIRS pairs (three reports each), starts a
# Release distd on it and times `GET /` five times with curl, and `distd
# stats` once. Prints the median and the slowest page (goal: under 1 s with
# 100,000 pairs) and the page's size.
#
#   bench/distd_dashboard.sh [pairs] [build_dir]      defaults: 100000 build/bench
set -euo pipefail

pairs="${1:-100000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build/bench}"

. "$root/bench/distd_bench_common.sh"
bench_build "$build" distd bench_distd_fill
command -v curl >/dev/null || { echo "curl is not installed"; exit 1; }

bench_workdir

mkdir -p "$work/packages"
echo package > "$work/packages/package.bin"
cat > "$work/catalogue.json" <<JSON
{"package_dir": "packages",
 "products": [{"id": "51", "key": "5b7d2e90a4c1f38e6d0b9a27c4e8f153", "iv": "p8K#v2Lq!Wz7@Rt4"}],
 "channels": [{"channel": "*", "releases": [{"product_version": "1", "package": "package.bin"}]}]}
JSON

echo "filling a store with $pairs channel/version pairs"
"$build/bench/bench_distd_fill" "$work/distd.db" "$pairs"

"$build/server/distd" serve --listen 127.0.0.1:0 --catalogue "$work/catalogue.json" \
  --store "$work/distd.db" > "$work/distd.out" 2> "$work/distd.err" &
distd_pid=$!
for _ in $(seq 200); do grep -q "listening on" "$work/distd.out" 2>/dev/null && break; sleep 0.05; done
port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/distd.out")"
[ -n "$port" ] || { cat "$work/distd.err"; exit 1; }

times=()
for _ in 1 2 3 4 5; do
  read -r status seconds size < <(curl -s -o "$work/page.html" \
    -w '%{http_code} %{time_total} %{size_download}\n' "http://127.0.0.1:$port/")
  [ "$status" = 200 ] || { echo "GET / answered $status"; exit 1; }
  times+=("$seconds")
done
grep -q "the other $((pairs - 50)) pairs" "$work/page.html" ||
  { echo "the page does not sum the other pairs"; exit 1; }
start="$(date +%s.%N)"
"$build/server/distd" stats --store "$work/distd.db" > "$work/stats.txt"
end="$(date +%s.%N)"

printf '%s\n' "${times[@]}" | sort -n | awk -v pairs="$pairs" -v size="$size" \
  -v stats="$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')" '
  { t[NR] = $1 }
  END {
    printf "dashboard, %d pairs: median %.3f s, slowest %.3f s (goal < 1 s), page %d bytes; distd stats %s s\n",
           pairs, t[3], t[5], size, stats
  }'
