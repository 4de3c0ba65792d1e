#!/usr/bin/env bash
# One installer layout drawn by skinview.exe under Wine (real GDI, msimg32
# and GDI+) against the Linux skinview's picture of it:
#
#   pictures_test.sh WINE_RUN SKINVIEW_EXE PYTHON SOURCE_DIR LAYOUT
#
# The control trees must be the same; the pictures must agree by
# compare_pictures.py's measure (outside text no channel differs by more
# than 2; inside text boxes a small blurred mean difference). The pictures
# and the difference picture are kept in $PICTURES_KEEP when that is set.
set -euo pipefail
WINE_RUN="$1"
SKINVIEW="$2"
PYTHON="$3"
SOURCE="$4"
LAYOUT="$5"
FIXTURES="$SOURCE/tests/fixtures/skin_pictures"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/skin-pictures.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Wine's drive Z: is the Linux root.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Wine runs as a Chinese Windows, the installer's users' system: its default
# GUI font is then the 9-point (12-pixel) CJK face that plat/gfx gives on
# Linux; an English one gives "MS Shell Dlg" at 11 pixels. The template
# prefix replaces the Chinese faces by the installed one (scripts/wine-run).
# Wine needs no Linux locale of that name; bash's warning that it has none
# is left out.
LC_ALL=zh_CN.UTF-8 "$WINE_RUN" "$SKINVIEW" --skin "$(windows_path "$SOURCE/skin")" \
  --out "$(windows_path "$WORK/$LAYOUT.png")" --tree "$LAYOUT.xml" >"$WORK/$LAYOUT.tree" \
  2> >(grep -v 'setlocale: LC_ALL: cannot change locale' >&2) ||
  fail "skinview.exe failed on $LAYOUT.xml"
[ -s "$WORK/$LAYOUT.png" ] || fail "skinview.exe wrote no picture of $LAYOUT.xml"
diff -u "$FIXTURES/$LAYOUT.tree" "$WORK/$LAYOUT.tree" ||
  fail "the control tree of $LAYOUT.xml differs from Linux's"

status=0
"$PYTHON" "$SOURCE/tests/windows_pictures/compare_pictures.py" \
  "$FIXTURES/$LAYOUT.png" "$WORK/$LAYOUT.png" "$WORK/$LAYOUT.tree" \
  --difference "$WORK/$LAYOUT-difference.png" || status=$?
if [ -n "${PICTURES_KEEP:-}" ]; then
  mkdir -p "$PICTURES_KEEP"
  cp "$WORK/$LAYOUT.png" "$PICTURES_KEEP/$LAYOUT-wine.png"
  [ -f "$WORK/$LAYOUT-difference.png" ] && cp "$WORK/$LAYOUT-difference.png" "$PICTURES_KEEP/"
fi
[ "$status" = 0 ] || fail "the pictures of $LAYOUT.xml do not agree"
echo "$LAYOUT.xml: Wine's picture agrees with Linux's"
