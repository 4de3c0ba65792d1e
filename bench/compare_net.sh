#!/usr/bin/env bash
# Side by side, in one run: downloading a file over loopback with our
# downloader (the install engine's progress sink attached) against `curl -o`,
# FileMd5Hex against `md5sum` on the same file, and the download's peak
# memory above the process's start. Prints the figures and the ratios
# (ours / peer throughput; goal >= 0.9 for the download and >= 1.0 for
# the MD5, memory goal < 16 MiB).
#
#   bench/compare_net.sh [size_MiB] [build_dir]     defaults: 512, build/bench
#
# Each measurement runs twice, alternating with its peer; the better of the
# two runs counts, so that a cold cache does not favour either side.
set -euo pipefail

size_mib="${1:-512}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build/bench}"

if [ ! -x "$build/bench/bench_net" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARVEX_TESTS=OFF -DTARVEX_BENCH=ON >/dev/null
  nice -n 10 ninja -C "$build" -j2 bench_net >/dev/null
fi
bench="$build/bench/bench_net"
command -v curl >/dev/null || { echo "curl is not installed"; exit 1; }
command -v md5sum >/dev/null || { echo "md5sum is not installed"; exit 1; }

work="$(mktemp -d)"
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  exec 3>&- 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "preparing a ${size_mib} MiB file"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/src.bin"

# The server reads its stdin until it closes: keep a pipe open on fd 3.
mkfifo "$work/ctl"
"$bench" serve "$work/src.bin" < "$work/ctl" > "$work/port" &
server_pid=$!
exec 3>"$work/ctl"
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port="$(head -n1 "$work/port")"
url="http://127.0.0.1:$port/file"

now() { date +%s.%N; }
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }

ours_dl=999999; curl_dl=999999; peak=0
for run in 1 2; do
  out="$("$bench" download "$url" "$work/ours.bin")"
  s="$(awk '/^seconds/ {print $2}' <<<"$out")"
  ours_dl="$(best "$ours_dl" "$s")"
  p="$(awk '/^peak_above_start_KiB/ {print $2}' <<<"$out")"
  [ "$p" -gt "$peak" ] && peak="$p"
  rm -f "$work/ours.bin"
  t0="$(now)"; curl -s -o "$work/curl.bin" "$url"; t1="$(now)"
  curl_dl="$(best "$curl_dl" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")"
  rm -f "$work/curl.bin"
done
"$bench" download "$url" "$work/ours.bin" >/dev/null
cmp -s "$work/src.bin" "$work/ours.bin" || { echo "downloaded file differs"; exit 1; }

ours_md5=999999; peer_md5=999999; alone_md5=999999
for run in 1 2; do
  alone_md5="$(best "$alone_md5" "$("$bench" md5mem "$work/src.bin" | awk '/^seconds/ {print $2}')")"
  out="$("$bench" md5 "$work/src.bin")"
  ours_md5="$(best "$ours_md5" "$(awk '/^seconds/ {print $2}' <<<"$out")")"
  digest="$(awk '/^digest/ {print tolower($2)}' <<<"$out")"
  t0="$(now)"; peer="$(md5sum "$work/src.bin" | cut -d' ' -f1)"; t1="$(now)"
  peer_md5="$(best "$peer_md5" "$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")"
done
[ "$digest" = "$peer" ] || { echo "digests differ: $digest vs $peer"; exit 1; }

awk -v mib="$size_mib" -v od="$ours_dl" -v cd="$curl_dl" -v om="$ours_md5" -v pm="$peer_md5" \
    -v am="$alone_md5" -v peak="$peak" 'BEGIN {
  printf "download  %5d MiB: ours %7.1f MiB/s  curl   %7.1f MiB/s  ratio %.2f (goal >= 0.90)\n",
         mib, mib / od, mib / cd, cd / od
  printf "md5       %5d MiB: ours %7.1f MiB/s  md5sum %7.1f MiB/s  ratio %.2f (goal >= 1.00)\n",
         mib, mib / om, mib / pm, pm / om
  printf "md5 alone %5d MiB: the hash over memory %7.1f MiB/s (the most FileMd5Hex can reach)\n",
         mib, mib / am
  printf "download peak memory above start: %.1f MiB (goal < 16)\n", peak / 1024
}'
