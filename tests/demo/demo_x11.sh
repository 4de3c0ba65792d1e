#!/bin/bash
# demo_x11.sh DEMO BUILD WORK: scripts/demo --x11 on an X server of the
# test's own, a person's clicks played by xdotool: install, then the finish
# window's start button; the run must end with its summary and the product
# started, and the product's window is then closed by its button. Runs in a
# network namespace of its own (private_network.sh).
set -u
DEMO="$1" BUILD="$2" WORK="$3"
rm -rf "$WORK" && mkdir -p "$WORK"
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "no $tool; skipped"; exit 77; }
done

exec 5>"$WORK/display"
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
xvfb=$!
exec 5>&-
for _ in $(seq 100); do [ -s "$WORK/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$WORK/display")"
demo=""
finish() {
  [ -n "$demo" ] && kill "$demo" 2>/dev/null
  kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
}
trap finish EXIT
[ "$DISPLAY" != ":" ] || { echo "Xvfb did not start:"; cat "$WORK/xvfb.log"; exit 1; }

# wait_window NAME: the id of the visible window with that title, within 60 s.
wait_window() {
  local id
  for _ in $(seq 600); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window \"$1\" within 60 s" >&2
  return 1
}

# click ID X Y: a left click at (X, Y) inside the window.
click() {
  local x y
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3)) sleep 0.2 click 1
}

"$DEMO" --x11 --build "$BUILD" --out "$WORK/out" >"$WORK/demo.log" 2>&1 &
demo=$!

status=1
if start="$(wait_window InstallerStartWnd)"; then
  sleep 0.5
  click "$start" 280 301 # "installbtn"
  if finish_window="$(wait_window InstallerFinishWnd)"; then
    sleep 0.5
    click "$finish_window" 276 322 # "startbtn"
    if product="$(wait_window TarvexPDFConver)"; then
      wait "$demo"
      status=$?
      demo=""
      sleep 0.5
      click "$product" 320 348 # "okbtn"
    fi
  fi
fi
cat "$WORK/demo.log"
[ "$status" = 0 ] || { echo "FAIL: scripts/demo --x11 ended with $status"; exit 1; }
grep -q "product started       yes" "$WORK/demo.log" || { echo "FAIL: no product start"; exit 1; }
for _ in $(seq 100); do
  xdotool search --onlyvisible --name '^TarvexPDFConver$' >/dev/null 2>&1 || exit 0
  sleep 0.1
done
echo "FAIL: the product's window did not close"
exit 1
