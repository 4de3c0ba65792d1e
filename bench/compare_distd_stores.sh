#!/usr/bin/env bash
# distd's report ingest rate on its two stores, in one run:
#  - one instance on SQLite (the embedded default);
#  - one instance on PostgreSQL;
#  - two instances on one PostgreSQL database, loaded at the same time.
# bench_distd_load sends N distinct sealed reports over kept-alive
# connections (8 threads in all; split 4 + 4 over two instances); every
# report must be answered 200 and be in the store afterwards. PostgreSQL is
# a throwaway server made here (initdb in a temporary folder, a free port,
# run as "nobody" when this script runs as root), with its default
# durability settings (fsync and synchronous commit on).
#
#   bench/compare_distd_stores.sh [reports] [build_dir]   defaults: 40000 build/bench
set -euo pipefail

reports="${1:-40000}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${2:-$root/build/bench}"

. "$root/bench/distd_bench_common.sh"
bench_build "$build" distd bench_distd_load
pg_bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)"
[ -x "$pg_bin/postgres" ] || { echo "PostgreSQL is not installed (scripts/deps installs it)"; exit 1; }

work="$(mktemp -d)"
pids=()
pg_pid=""
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  # The server runs under the shell that changed its user: the fast
  # shutdown signal goes to the server itself.
  if [ -n "$pg_pid" ]; then
    pkill -INT -P "$pg_pid" 2>/dev/null || true
    wait "$pg_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

as_server_user() { if [ "$(id -u)" -eq 0 ]; then setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; else "$@"; fi; }

chmod 711 "$work" # the server user passes through to its own folder
mkdir -p "$work/pg"
[ "$(id -u)" -eq 0 ] && chown nobody:nogroup "$work/pg"
as_server_user "$pg_bin/initdb" -D "$work/pg/data" -A trust -U distd -E UTF8 --locale=C >/dev/null
pg_port="$(free_port)"
as_server_user "$pg_bin/postgres" -D "$work/pg/data" -p "$pg_port" -k "$work/pg" \
  -c listen_addresses=127.0.0.1 > "$work/pg/server.log" 2>&1 &
pg_pid=$!
for _ in $(seq 200); do "$pg_bin/pg_isready" -q -h 127.0.0.1 -p "$pg_port" && break; sleep 0.1; done
db() { echo "postgresql://distd@127.0.0.1:$pg_port/$1"; }
for name in one two; do
  "$pg_bin/psql" -q -d "$(db postgres)" -c "CREATE DATABASE $name" >/dev/null
done

cat > "$work/catalogue.json" <<JSON
{"package_dir": ".",
 "products": [{"id": "51", "key": "5b7d2e90a4c1f38e6d0b9a27c4e8f153", "iv": "p8K#v2Lq!Wz7@Rt4"}],
 "channels": [{"channel": "*", "releases": [{"product_version": "1", "package": "catalogue.json"}]}]}
JSON

# Starts distd on STORE; prints its port.
start_distd() {
  local name="$work/distd.$RANDOM"
  local out="$name.out"
  # Each instance keeps its own spool (two may not share one).
  "$build/server/distd" serve --listen 127.0.0.1:0 --catalogue "$work/catalogue.json" \
    --store "$1" --spool "$name.spool" > "$out" 2>> "$work/distd.err" &
  pids+=($!)
  for _ in $(seq 200); do grep -q "listening on" "$out" 2>/dev/null && break; sleep 0.05; done
  sed -n 's/.*127\.0\.0\.1:\([0-9]*\)$/\1/p' "$out"
}
stored() { "$build/server/distd" stats --store "$1" | sed -n 's/^reports stored \([0-9]*\),.*/\1/p'; }
check_stored() {
  local got; got="$(stored "$1")"
  [ "$got" = "$2" ] || { echo "the store holds $got of $2 reports"; cat "$work/distd.err"; exit 1; }
}

echo "sending $reports reports to each setup"
port="$(start_distd "sqlite:$work/distd.db")"
sqlite_rate="$("$build/bench/bench_distd_load" "$port" "$reports" 8 | awk '/^rate/ {print $2}')"
check_stored "sqlite:$work/distd.db" "$reports"

port="$(start_distd "$(db one)")"
pg_rate="$("$build/bench/bench_distd_load" "$port" "$reports" 8 | awk '/^rate/ {print $2}')"
check_stored "$(db one)" "$reports"

first="$(start_distd "$(db two)")"
second="$(start_distd "$(db two)")"
half=$((reports / 2))
start_ns="$(date +%s%N)"
"$build/bench/bench_distd_load" "$first" "$half" 4 > "$work/first.load" &
load_a=$!
"$build/bench/bench_distd_load" "$second" "$half" 4 > "$work/second.load" &
load_b=$!
wait "$load_a" "$load_b"
end_ns="$(date +%s%N)"
check_stored "$(db two)" "$((2 * half))"
pg2_rate="$(awk -v n="$((2 * half))" -v ns="$((end_ns - start_ns))" 'BEGIN { printf "%.0f", n / (ns / 1e9) }')"

printf "ingest, reports/s (8 sending threads, every report answered and stored):\n"
printf "  SQLite, one instance:          %8s\n" "$sqlite_rate"
printf "  PostgreSQL, one instance:      %8s  (%s of SQLite)\n" "$pg_rate" \
  "$(awk -v a="$pg_rate" -v b="$sqlite_rate" 'BEGIN { printf "%.2f", a / b }')"
printf "  PostgreSQL, two instances:     %8s  (%s of SQLite)\n" "$pg2_rate" \
  "$(awk -v a="$pg2_rate" -v b="$sqlite_rate" 'BEGIN { printf "%.2f", a / b }')"
