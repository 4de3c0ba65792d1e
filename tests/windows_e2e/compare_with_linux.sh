#!/usr/bin/env bash
# Compares the pictures a Windows end-to-end test kept of the installer's
# windows under Wine with the Linux skinview's pictures of the same layouts
# in the same states (what the Linux headless window host paints, as the
# Linux end-to-end tests show), by compare_pictures.py's measure.
#
#   compare_with_linux.sh SKINVIEW RUN_FOLDER
#
# SKINVIEW    skinview of the Linux build
# RUN_FOLDER  the test's folder: expected-pictures lists the states, one a
#             line, tab-separated: name, layout, size, the controls left out
#             and the text boxes judged by their ink alone (each
#             comma-separated, or -), skinview's state options; the pictures
#             are pictures/NAME.png
#
# PICTURES_KEEP=DIR keeps each state's Wine picture, Linux picture and their
# difference in DIR (NAME-wine.png, NAME-linux.png, NAME-difference.png).
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: compare_with_linux.sh SKINVIEW RUN_FOLDER" >&2; exit 2; }
SKINVIEW="$1" RUN="$2"
SOURCE="$(cd "$(dirname "$0")/../.." && pwd)"
if [ ! -x "$SKINVIEW" ]; then
  echo "compare_with_linux.sh: skinview of the Linux build is missing at $SKINVIEW" >&2
  exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

status=0
while read -r line; do
  line="${line%$'\r'}" # written by a Windows program: CR LF
  [ -z "$line" ] && continue
  IFS=$'\t' read -r -a fields <<<"$line"
  if [ "${#fields[@]}" -lt 5 ]; then
    echo "FAIL: bad line in expected-pictures: $line"
    status=1
    continue
  fi
  name="${fields[0]}" layout="${fields[1]}" size="${fields[2]}"
  options=("${fields[@]:5}")
  # --ignore and --ink-only for each item of the two lists.
  judging=()
  for list in "--ignore ${fields[3]}" "--ink-only ${fields[4]}"; do
    [ "${list#* }" = - ] && continue
    IFS=, read -r -a items <<<"${list#* }"
    for item in "${items[@]}"; do judging+=("${list%% *}" "$item"); done
  done
  echo "$name: $layout at $size, Wine's window against Linux's picture"
  # The reference renderer's own leaks are not this test's subject.
  if ! ASAN_OPTIONS=detect_leaks=0 "$SKINVIEW" --skin "$SOURCE/skin" --size "$size" \
    "${options[@]}" --out "$work/$name-linux.png" --tree "$layout" >"$work/$name.tree"; then
    echo "FAIL: skinview could not draw $layout in the state of $name"
    status=1
    continue
  fi
  "$SOURCE/tests/windows_pictures/compare_pictures.py" "$work/$name-linux.png" \
    "$RUN/pictures/$name.png" "$work/$name.tree" --difference "$work/$name-difference.png" \
    "${judging[@]}" || status=1
  if [ -n "${PICTURES_KEEP:-}" ]; then
    mkdir -p "$PICTURES_KEEP"
    cp "$RUN/pictures/$name.png" "$PICTURES_KEEP/$name-wine.png"
    cp "$work/$name-linux.png" "$PICTURES_KEEP/$name-linux.png"
    [ -f "$work/$name-difference.png" ] && cp "$work/$name-difference.png" "$PICTURES_KEEP/"
  fi
done <"$RUN/expected-pictures"
[ "$status" = 0 ] || echo "FAIL: a window under Wine does not agree with Linux's picture"
exit "$status"
