#!/usr/bin/env bash
# Runs one Windows test program of the installer's end-to-end tests under
# Wine beside a distd of its own (a Linux program: the installer's real
# peer), and judges afterwards what distd stored.
#
#   with_distd.sh DISTD SITE WINE_RUN PROGRAM.exe [ARGUMENTS...]
#
# DISTD      the distd program of the Linux build
# SITE       the folder with catalogue.json and packages/ it serves
# WINE_RUN   scripts/wine-run, which runs the program in a Wine prefix and
#            on an X server of its own
#
# The program finds distd at TARVEX_DISTD_URL and a folder of its run at
# TARVEX_E2E_WORK (a path of this machine; Z: under Wine). When the program
# succeeds and has written TARVEX_E2E_WORK/expected-reports, each of its
# lines names a report distd must have stored, decoded, for channel 10086:
#   launch | exit | event LABEL
# Reports reach distd's store a moment after it answered them: the check
# waits for them (bounded) and then stops distd, which writes what it holds.
#
# When the program has written TARVEX_E2E_WORK/expected-pictures, the
# pictures it kept of the installer's windows are compared with the Linux
# skinview's (TARVEX_HOST_SKINVIEW) by compare_with_linux.sh.
#
# TARVEX_E2E_PRODUCT_MD5=DIGEST: channel 10086's product is offered, under
# another name, from distd's own download URL with this digest (a package
# another host serves is trusted by its given digest), so that what arrives
# does not match what the configuration promises.
set -uo pipefail
[ $# -ge 4 ] || { echo "usage: with_distd.sh DISTD SITE WINE_RUN PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
DISTD="$1" SITE="$2" WINE_RUN="$3"
shift 3
if [ ! -x "$DISTD" ]; then
  echo "with_distd.sh: distd is missing at $DISTD (scripts/build-windows --test builds it)" >&2
  exit 1
fi
command -v sqlite3 >/dev/null || { echo "with_distd.sh: sqlite3 is missing (scripts/deps)" >&2; exit 1; }

work="$(mktemp -d)"
distd_pid=""
cleanup() {
  if [ -n "$distd_pid" ]; then
    kill -TERM "$distd_pid" 2>/dev/null
    wait "$distd_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT

cp -r "$SITE" "$work/site"
"$DISTD" serve --listen 127.0.0.1:0 --catalogue "$work/site/catalogue.json" \
  --store "$work/distd.db" >"$work/distd.log" 2>&1 &
distd_pid=$!
url=""
for _ in $(seq 200); do
  url="$(sed -n 's/^distd: listening on //p' "$work/distd.log")"
  [ -n "$url" ] && break
  kill -0 "$distd_pid" 2>/dev/null || break
  sleep 0.05
done
if [ -z "$url" ]; then
  echo "with_distd.sh: distd did not start:" >&2
  cat "$work/distd.log" >&2
  exit 1
fi

if [ -n "${TARVEX_E2E_PRODUCT_MD5:-}" ]; then
  python3 - "$work/site/catalogue.json" "$url" "$TARVEX_E2E_PRODUCT_MD5" <<'PY' || exit 1
import json, sys
path, url, digest = sys.argv[1:4]
with open(path) as f:
    catalogue = json.load(f)
for channel in catalogue["channels"]:
    if channel["channel"] == "10086":
        for release in channel["releases"]:
            release["url"] = url + "/download/" + release["package"]
            release["package"] = "Mismatched_" + release["package"]
            release["md5"] = digest
with open(path, "w") as f:
    json.dump(catalogue, f)
PY
  kill -HUP "$distd_pid"
  for _ in $(seq 100); do
    grep -q 'reloaded\|reload refused' "$work/distd.log" && break
    sleep 0.05
  done
  if ! grep -q 'reloaded' "$work/distd.log"; then
    echo "with_distd.sh: distd did not take the changed catalogue:" >&2
    cat "$work/distd.log" >&2
    exit 1
  fi
fi

mkdir -p "$work/run"
# A Chinese system, as the installer's users have: its default GUI font is
# the 12-pixel CJK face its windows were drawn with. Wine needs no Linux
# locale for that; bash's warning about the missing one is left out.
TARVEX_DISTD_URL="$url" TARVEX_E2E_WORK="$work/run" WINE_RUN_DISPLAY=1 LC_ALL=zh_CN.UTF-8 \
  "$WINE_RUN" "$@" 2> >(grep -v 'setlocale: LC_ALL: cannot change locale' >&2)
status=$?
[ "$status" -eq 0 ] || exit "$status"
if [ -f "$work/run/expected-pictures" ]; then
  "$(dirname "$0")/compare_with_linux.sh" "${TARVEX_HOST_SKINVIEW:-}" "$work/run" || exit 1
fi
expected="$work/run/expected-reports"
[ -f "$expected" ] || exit 0

# count_stored LINE: how many reports of the line's kind (and event label)
# distd stored for channel 10086.
count_stored() {
  local kind label
  read -r kind label <<<"${1%$'\r'}"
  case "$kind" in
    launch|exit)
      sqlite3 "$work/distd.db" \
        "SELECT COUNT(*) FROM reports WHERE kind = '$kind' AND channel = '10086';" ;;
    event)
      sqlite3 "$work/distd.db" \
        "SELECT COUNT(*) FROM events e JOIN reports r ON r.id = e.report_id
         WHERE r.kind = 'events' AND r.channel = '10086' AND e.label = '$label';" ;;
    *) echo "bad expected report line: $1" >&2; echo 0 ;;
  esac 2>/dev/null || echo 0
}
missing=""
for _ in $(seq 100); do
  missing=""
  while read -r line; do
    line="${line%$'\r'}" # written by a Windows program: CR LF
    [ -z "$line" ] && continue
    [ "$(count_stored "$line")" -ge 1 ] || missing="$missing [$line]"
  done <"$expected"
  [ -z "$missing" ] && break
  sleep 0.1
done
if [ -n "$missing" ]; then
  echo "FAIL: distd did not store the reports$missing; it stored:"
  sqlite3 "$work/distd.db" "SELECT kind, channel, ver FROM reports;" 2>&1
  sqlite3 "$work/distd.db" "SELECT reason, detail FROM rejects;" 2>&1
  exit 1
fi
echo "distd stored the expected reports: $(tr '\n' ';' <"$expected")"
exit 0
