#!/usr/bin/env bash
# distd and nginx under the same slow-client attack, one after the other in
# one run: 1,000 connections sending a header byte a second plus 2,000 idle
# connections (each opened again when the server closes it), while another
# client sends ordinary requests on new connections (distd: GET
# /service/clause; nginx: the same page as a static file) and measures them.
# Prints for each the requests' count, failures, median and 99th percentile
# latency, and the ratio of the 99th percentiles (goal: distd within 2x of
# nginx, no failures).
#
#   bench/attack_distd.sh [seconds] [build_dir]   defaults: 40 build/bench
#
# nginx runs with its usual timeouts (client_header_timeout 60 s,
# keepalive_timeout 75 s) and enough worker connections for the attack.
set -euo pipefail

seconds="${1:-40}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build/bench}"
slow=1000
idle=2000
rate=20

. "$root/bench/distd_bench_common.sh"
bench_build "$build" distd
command -v python3 >/dev/null || { echo "python3 is not installed"; exit 1; }
bench_need_nginx
# Each side holds some 3,000 connections, the attacker as many.
ulimit -n "$(ulimit -Hn)"
[ "$(ulimit -n)" -ge 8192 ] || { echo "needs 8192 file descriptors, have $(ulimit -n)"; exit 1; }

bench_workdir
attack="$root/bench/http_attack.py"

mkdir -p "$work/packages" "$work/nginx/html"
echo "package" > "$work/packages/package.bin"
cat > "$work/catalogue.json" <<JSON
{"package_dir": "packages",
 "products": [{"id": "51", "key": "5b7d2e90a4c1f38e6d0b9a27c4e8f153", "iv": "p8K#v2Lq!Wz7@Rt4"}],
 "channels": [{"channel": "*", "releases": [{"product_version": "1", "package": "package.bin"}]}]}
JSON

distd_port="$(free_port)"
"$build/server/distd" serve --listen "127.0.0.1:$distd_port" --catalogue "$work/catalogue.json" \
  --store "$work/distd.db" > "$work/distd.out" 2> "$work/distd.err" &
distd_pid=$!
for _ in $(seq 200); do grep -q "listening on" "$work/distd.out" 2>/dev/null && break; sleep 0.05; done
grep -q "listening on" "$work/distd.out" || { cat "$work/distd.err"; exit 1; }
# nginx serves the very page distd answers.
curl -s -o "$work/nginx/html/clause.html" "http://127.0.0.1:$distd_port/service/clause"

nginx_port="$(free_port)"
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
worker_rlimit_nofile 16384;
user root;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log crit;
events { worker_connections 8192; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$nginx_port backlog=4096;
    root $work/nginx/html;
  }
}
CONF
"$nginx_bin" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$nginx_port/clause.html" && break; sleep 0.05; done

# One side: the attack for `seconds`, the measurement from 5 s in until 5 s
# before its end.
run_side() {
  local name="$1" port="$2" path="$3"
  python3 "$attack" attack "$port" "$seconds" "$slow" "$idle" > "$work/$name.attack" &
  local attacker=$!
  sleep 5
  python3 "$attack" measure "$port" "$path" "$((seconds - 10))" "$rate" > "$work/$name.measure"
  wait "$attacker" || true
  printf "%-6s %s | %s\n" "$name" "$(cat "$work/$name.measure")" "$(cat "$work/$name.attack")"
}

echo "attack: $slow slow + $idle idle connections for ${seconds} s each side; $rate requests/s measured"
run_side distd "$distd_port" /service/clause
sleep 2
run_side nginx "$nginx_port" /clause.html

field() { awk -v k="$2" '{ for (i = 1; i < NF; ++i) if ($i == k) print $(i + 1) }' "$work/$1.measure"; }
awk -v d="$(field distd p99_ms)" -v n="$(field nginx p99_ms)" \
    -v df="$(field distd failures)" -v nf="$(field nginx failures)" 'BEGIN {
  printf "p99 distd %.2f ms, nginx %.2f ms: ratio %.2f (goal <= 2.00); failures distd %d, nginx %d (goal 0)\n",
         d, n, (n > 0 ? d / n : 0), df, nf
}'
kill -0 "$distd_pid" 2>/dev/null || { echo "distd is gone"; cat "$work/distd.err"; exit 1; }
