#!/usr/bin/env bash
# Time from `wine PROGRAM` to its first window on the screen, for the
# Windows installer and for the smallest window program there is, in one
# run under the same Wine, prefix and X server, alternating, and their ratio.
#
#   bench/windows/first_frame.sh [RUNS]     (default 7; needs scripts/build-windows)
#
# The first frame is the moment the window is mapped, visible, on the X
# server (polled with xdotool search --onlyvisible every few milliseconds):
# the program has created and shown it. Wine's server and desktop keep
# running between runs (each program is ended with taskkill), so that both
# programs start against a warm Wine; the first run of each is not counted.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/../.." && pwd)"
# Every Wine process runs without address randomisation (scripts/without-aslr
# says why).
wine() { "$ROOT/scripts/without-aslr" wine "$@"; }
wineboot() { "$ROOT/scripts/without-aslr" wineboot "$@"; }
RUNS="${1:-7}"
BUILD="${TARVEX_WINDOWS_BUILD_DIR:-$ROOT/build/windows}"
INSTALLER="$BUILD/windows/TarvexPDFConverInst.exe"
[ -f "$INSTALLER" ] || { echo "first_frame: $INSTALLER is missing (scripts/build-windows)" >&2; exit 1; }

work="$(mktemp -d)"
x_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true
  [ -n "$x_pid" ] && kill "$x_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

x86_64-w64-mingw32-g++-posix -O2 -municode -mwindows -static \
  -o "$work/MinimalWindow.exe" "$ROOT/bench/windows/minimal_window.cpp"
cp "$INSTALLER" "$work/TarvexPDFConverInst.exe"

exec 9< <(Xvfb -displayfd 1 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null)
x_pid=$!
read -r display <&9
export DISPLAY=":$display" WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p
wineboot -i >/dev/null 2>&1

# first_frame PROGRAM TITLE: milliseconds to its visible window; the
# program is ended afterwards.
first_frame() {
  local start end pid
  start=$(date +%s%N)
  # In a Chinese locale, as the installer's users run it (Wine needs no
  # Linux locale for that; bash's warning about it goes with the output).
  LC_ALL=zh_CN.UTF-8 wine "$work/$1" >/dev/null 2>&1 &
  pid=$!
  # xdotool's own --sync polls twice a second: too coarse here.
  until xdotool search --onlyvisible --name "^$2\$" >/dev/null 2>&1; do
    sleep 0.005
  done
  end=$(date +%s%N)
  wine taskkill /f /im "$1" >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  echo $(((end - start) / 1000000))
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }

first_frame MinimalWindow.exe MinimalWindow >/dev/null
first_frame TarvexPDFConverInst.exe InstallerStartWnd >/dev/null
minimal=() installer=()
for _ in $(seq "$RUNS"); do
  minimal+=("$(first_frame MinimalWindow.exe MinimalWindow)")
  installer+=("$(first_frame TarvexPDFConverInst.exe InstallerStartWnd)")
done
m=$(printf '%s\n' "${minimal[@]}" | median)
i=$(printf '%s\n' "${installer[@]}" | median)
printf 'first frame under %s, median of %d runs:\n' "$(wine --version)" "$RUNS"
printf '  minimal window program  %5d ms  (%s)\n' "$m" "${minimal[*]}"
printf '  TarvexPDFConverInst     %5d ms  (%s)\n' "$i" "${installer[*]}"
awk -v i="$i" -v m="$m" 'BEGIN { printf "  ratio                   %5.2fx\n", i / m }'
printf 'installer size: %d bytes\n' "$(stat -c %s "$INSTALLER")"
