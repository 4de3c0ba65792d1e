#!/usr/bin/env bash
# distd side by side with nginx, in one run:
#  - download throughput of one package file, served by distd and by nginx
#    (Debian's nginx-light, sendfile on) from the same file on the same disk,
#    fetched with `curl -o /dev/null`; each side three times, alternating, the
#    best run counts; prints both and the ratio distd / nginx (goal >= 0.90);
#  - report ingest rate: bench_distd_load sends N distinct sealed reports from
#    8 threads over kept-alive connections; every one must be answered 200
#    and be in the store afterwards (goal >= 10,000 reports/s).
#
#   bench/compare_distd.sh [size_MiB] [reports] [build_dir]   defaults: 1024 40000 build/bench
set -euo pipefail

size_mib="${1:-1024}"
reports="${2:-40000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${3:-$root/build/bench}"

. "$root/bench/distd_bench_common.sh"
bench_build "$build" distd bench_distd_load
command -v curl >/dev/null || { echo "curl is not installed"; exit 1; }
bench_need_nginx

bench_workdir

echo "preparing a ${size_mib} MiB package"
mkdir -p "$work/packages" "$work/nginx"
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/packages/package.bin"
cat > "$work/catalogue.json" <<JSON
{"package_dir": "packages",
 "products": [{"id": "51", "key": "5b7d2e90a4c1f38e6d0b9a27c4e8f153", "iv": "p8K#v2Lq!Wz7@Rt4"}],
 "channels": [{"channel": "*", "releases": [{"product_version": "1", "package": "package.bin"}]}]}
JSON

"$build/server/distd" serve --listen 127.0.0.1:0 --catalogue "$work/catalogue.json" \
  --store "$work/distd.db" > "$work/distd.out" 2> "$work/distd.err" &
distd_pid=$!
for _ in $(seq 200); do grep -q "listening on" "$work/distd.out" 2>/dev/null && break; sleep 0.05; done
distd_port="$(sed -n 's/.*127\.0\.0\.1:\([0-9]*\)$/\1/p' "$work/distd.out")"
[ -n "$distd_port" ] || { cat "$work/distd.err"; exit 1; }

nginx_port="$(free_port)"
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
user root;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$nginx_port;
    location /download/ { alias $work/packages/; }
  }
}
CONF
"$nginx_bin" -p "$work/nginx" -c "$work/nginx/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$nginx_port/download/package.bin" -r 0-0 && break; sleep 0.05; done

best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a < b ? a : b) }'; }
fetch() { curl -s -o /dev/null -w '%{time_total}' "$1"; }

# Warm the page cache once, then alternate.
cat "$work/packages/package.bin" > /dev/null
ours=999999; peer=999999
for run in 1 2 3; do
  ours="$(best "$ours" "$(fetch "http://127.0.0.1:$distd_port/download/package.bin")")"
  peer="$(best "$peer" "$(fetch "http://127.0.0.1:$nginx_port/download/package.bin")")"
done
size="$(curl -s -o /dev/null -w '%{size_download}' "http://127.0.0.1:$distd_port/download/package.bin")"
[ "$size" = "$((size_mib * 1024 * 1024))" ] || { echo "distd sent $size bytes"; exit 1; }

echo "sending $reports reports from 8 threads"
load="$("$build/bench/bench_distd_load" "$distd_port" "$reports" 8)"
stored="$("$build/server/distd" stats --store "$work/distd.db" | sed -n 's/^reports stored \([0-9]*\),.*/\1/p')"

awk -v mib="$size_mib" -v o="$ours" -v p="$peer" 'BEGIN {
  printf "download %5d MiB: distd %7.1f MiB/s  nginx %7.1f MiB/s  ratio %.2f (goal >= 0.90)\n",
         mib, mib / o, mib / p, p / o
}'
rate="$(awk '/^rate/ {print $2}' <<<"$load")"
answered="$(awk '/^answered/ {print $2}' <<<"$load")"
seconds="$(awk '/^seconds/ {print $2}' <<<"$load")"
printf "ingest: %s reports answered in %s s, %s reports/s (goal >= 10000), %s in the store\n" \
  "$answered" "$seconds" "$rate" "$stored"
[ "$stored" = "$reports" ] || { echo "the store holds $stored of $reports reports"; exit 1; }
