# The demo with the Windows installer under Wine (scripts/demo --windows;
# sourced by scripts/demo once the output folder is fresh). The Windows
# build's installer talks to the port its build names (8780 by default):
# distd, the Linux program, listens there with the Windows catalogue. The
# installer runs in a Wine prefix of the output folder's own, on an X server
# of the run's own (or $DISPLAY with --x11), in a Chinese locale, and the
# demo's user drives it from this side with xdotool as a person would: it
# clicks the buttons where the skin's layouts put them and pictures each
# window from the screen.

WINDOWS_OPTION=" --windows"
WIN_BUILD="$ROOT/build/windows"
BUILD="$ROOT/build/demo" # distd, a program of this machine
PREFIX="$OUT/prefix"
X_PID=""

for program in wine wineserver Xvfb xdotool sqlite3; do
  command -v "$program" >/dev/null ||
    fail "tools" "$program is missing (scripts/deps installs what the Windows build and its tests need)"
done

# Every Wine process runs without address randomisation (scripts/without-aslr
# says why).
wine() { "$ROOT/scripts/without-aslr" wine "$@"; }

# ---- the builds --------------------------------------------------------------
step "Windows build" scripts/build-windows
if [ ! -f "$BUILD/build.ninja" ]; then
  step "configure release build" cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTARVEX_TESTS=OFF -DTARVEX_BENCH=OFF
fi
step "build distd" cmake --build "$BUILD" -j "$(nproc)" --target distd
[ -x "$BUILD/server/distd" ] || fail "build" "$BUILD/server/distd is missing (build target distd)"
INSTALLER_BUILT="$WIN_BUILD/windows/TarvexPDFConverInst.exe"
[ -f "$INSTALLER_BUILT" ] || fail "build" "$INSTALLER_BUILT is missing (scripts/build-windows)"
SITE_SOURCE="$WIN_BUILD/demo/catalogue/site"
[ -f "$SITE_SOURCE/catalogue.json" ] || fail "build" "the Windows demo catalogue is missing in $SITE_SOURCE"
INSTALLER_VERSION="$(cache_value "$WIN_BUILD" CMAKE_PROJECT_VERSION)"
BUILT_URL="$(cache_value "$WIN_BUILD" TARVEX_API_URL)"
WIN_PORT="$(port_of_url "$BUILT_URL")"
[ -n "$WIN_PORT" ] || fail "build" "the Windows installer talks to $BUILT_URL, not to a loopback port"
INSTALLER="$OUT/bin/TarvexPDFConverInst_10086.exe"
cp "$INSTALLER_BUILT" "$INSTALLER"

# ---- distd -------------------------------------------------------------------
cp -r "$SITE_SOURCE" "$OUT/site"
step "check the catalogue" "$BUILD/server/distd" check "$OUT/site/catalogue.json"
printf 'demo: %-30s' "start distd"
# Downloads paced so that they take about two seconds, long enough to see
# the progress.
PACKAGE_BYTES="$(cat "$OUT"/site/packages/* | wc -c)"
RATE=$((PACKAGE_BYTES / 2 > 65536 ? PACKAGE_BYTES / 2 : 65536))
if ! start_distd "$WIN_PORT"; then
  echo "FAILED"
  fail "start distd" "distd could not listen on 127.0.0.1:$WIN_PORT, the port the Windows installer was built for (is it busy? ss -ltnp 'sport = :$WIN_PORT' names who holds it; a demo left with --keep stops with scripts/demo --stop)" "$LOGS/distd.log"
fi
DISTD="http://127.0.0.1:$DISTD_PORT"
echo "ok ($DISTD)"

# ---- Wine and its screen -----------------------------------------------------
stop_wine() {
  local status=$?
  if [ -d "$PREFIX" ]; then
    WINEPREFIX="$PREFIX" wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$X_PID" ]; then
    kill "$X_PID" 2>/dev/null || true
    wait "$X_PID" 2>/dev/null || true
  fi
  return "$status"
}
trap 'stop_wine; cleanup' EXIT

# The prefix: a copy of the template the Windows tests use (made once, with
# the Chinese font replacements), kept by scripts/wine-run in the output
# folder; its log shows the replacements.
TEMPLATE="$WIN_BUILD/wine/template"
step "Wine template prefix" env WINE_RUN_TEMPLATE="$TEMPLATE" scripts/wine-run --make-template
step "Wine prefix" env WINE_RUN_TEMPLATE="$TEMPLATE" WINE_RUN_KEEP="$PREFIX" \
  scripts/wine-run reg query 'HKCU\Software\Wine\Fonts\Replacements'

# start_x: a headless X server; the server picks a free display number
# itself (-displayfd), so that two runs never share one.
start_x() {
  local number_file="$OUT/tmp/display-number"
  Xvfb -displayfd 9 -screen 0 1920x1080x24 -nolisten tcp 9>"$number_file" >"$LOGS/xvfb.log" 2>&1 &
  X_PID=$!
  local n=""
  for _ in $(seq 200); do
    n="$(head -n 1 "$number_file" 2>/dev/null)"
    if [ -n "$n" ] && [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      echo "Xvfb (pid $X_PID) on $DISPLAY"
      return 0
    fi
    kill -0 "$X_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "Xvfb did not start"
  return 1
}
if [ "$MODE" = headless ]; then
  # The step runs in this shell: the display and the server's pid stay.
  step "start a headless X server" start_x
else
  export XAUTHORITY="${XAUTHORITY:-$HOME/.Xauthority}"
  echo "demo: the installer's windows are on $DISPLAY; the demo's user clicks through them."
fi
export WINEPREFIX="$PREFIX" WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="

# ---- the demo's user ---------------------------------------------------------
USER_LOG="$LOGS/user.log"
: >"$USER_LOG"
INSTALLER_PID=""

# window_named TITLE SECONDS: the id of the visible window with that title,
# waited for; false when it did not come.
window_named() {
  local id
  for _ in $(seq $(($2 * 10))); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# click WINDOW X Y: a person's click at (X, Y) of the window: the pointer
# comes over it, rests so that the button shows its hover, presses and
# releases. Screen coordinates: Wine takes the pointer's position from the
# screen.
click() {
  local X Y WIDTH HEIGHT WINDOW SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove "$((X + $2 - 30))" "$((Y + $3))"
  sleep 0.2
  xdotool mousemove "$((X + $2))" "$((Y + $3))"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.1
  xdotool mouseup 1
}

# picture WINDOW STEP FILE WHAT: the window as the screen shows it, and the
# step in the user's log as the Linux demo's user writes it.
picture() {
  python3 "$ROOT/scripts/x11_capture.py" "$1" "$OUT/pictures/$3" 2>>"$LOGS/installer.log" ||
    installer_failed "$2" "the $4 could not be pictured (scripts/x11_capture.py)"
  local size
  size="$(xdotool getwindowgeometry "$1" | sed -n 's/^ *Geometry: \([0-9]*\)x\([0-9]*\)/\1 x \2/p')"
  printf 'step\t%s\t%s\t%s %s\n' "$2" "$3" "$4" "$size" >>"$USER_LOG"
}

# The installer's end: its exit code, once it has ended.
installer_ended() {
  [ -n "$INSTALLER_PID" ] && ! kill -0 "$INSTALLER_PID" 2>/dev/null
}

# Where the skin's layouts put the buttons in the 560 x 408 windows:
# installerstart.xml: installbtn is 240 x 38, centred, 40 below the 242
#   pixels of the picture: its centre (280, 301);
# installerfinish.xml: startbtn is 190 x 48 at (182, 32 + 267): its centre
#   (277, 323).
INSTALL_BUTTON=(280 301)
START_BUTTON=(277 323)

printf 'demo: %-30s' "run the installer"
STARTED=$SECONDS
# A Chinese system, as the installer's users have; Wine needs no Linux
# locale for that (bash's warning about the missing one is left out).
(LC_ALL=zh_CN.UTF-8 wine "$INSTALLER" >"$LOGS/installer.log" \
  2> >(grep -v 'setlocale: LC_ALL: cannot change locale' >>"$LOGS/installer.log")) &
INSTALLER_PID=$!

installer_failed() {
  echo "FAILED"
  printf 'failed\t%s\t%s\n' "$1" "$2" >>"$USER_LOG"
  fail "run the installer" "$2" "$LOGS/installer.log"
}

START_WND="$(window_named InstallerStartWnd 60)" ||
  installer_failed start "the start window (InstallerStartWnd) did not appear within 60 s"
sleep 0.5 # its first frame drawn
picture "$START_WND" start 1-start.png "start window"
click "$START_WND" "${INSTALL_BUTTON[@]}" || installer_failed start "xdotool could not click the install button"

if INSTALL_WND="$(window_named InstallerInstallWnd 30)"; then
  sleep 0.5
  if python3 "$ROOT/scripts/x11_capture.py" "$INSTALL_WND" "$OUT/pictures/2-progress.png" 2>/dev/null; then
    printf 'step\tprogress\t2-progress.png\tinstall window\n' >>"$USER_LOG"
  else
    printf 'step\tprogress\t-\tinstall window (closed before its picture could be taken)\n' >>"$USER_LOG"
  fi
elif ! window_named InstallerFinishWnd 1 >/dev/null; then
  installer_failed install "the install window (InstallerInstallWnd) did not appear after the install button"
fi

FINISH_WND="$(window_named InstallerFinishWnd 180)" ||
  installer_failed finish "the finish window (InstallerFinishWnd) did not appear within 180 s"
sleep 0.5
picture "$FINISH_WND" finish 3-finish.png "finish window"
click "$FINISH_WND" "${START_BUTTON[@]}" || installer_failed finish "xdotool could not click the start button"

for _ in $(seq 300); do installer_ended && break; sleep 0.1; done
installer_ended || installer_failed "start product" "the installer did not end within 30 s of its start button"
CODE=0
wait "$INSTALLER_PID" || CODE=$?
printf 'step\tinstaller ended\t-\texit code %s\n' "$CODE" >>"$USER_LOG"
[ "$CODE" = 1 ] || installer_failed "installer ended" "the installer ended with $CODE instead of 1"

PRODUCT_WND="$(window_named TarvexPDFConver 60)" ||
  installer_failed product "the product's window (TarvexPDFConver) did not appear within 60 s"
sleep 0.5
picture "$PRODUCT_WND" product 4-product.png "product window"
echo "ok ($((SECONDS - STARTED)) s)"

# ---- what happened -----------------------------------------------------------
# reg_value KEY NAME: the value as `wine reg query` prints it.
reg_value() {
  wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | head -n 1
}

sql() { sqlite3 -readonly "$OUT/distd.db" "$1" 2>/dev/null; }
for _ in $(seq 50); do
  [ "$(sql 'SELECT count(*) FROM reports' || echo 0)" -ge 3 ] && break
  sleep 0.1
done

CONFIG_URL="$DISTD/api/soft/pdf/type/install/sp/1.0/ver/$INSTALLER_VERSION/channel/10086"
curl -s --max-time 5 "$CONFIG_URL" >"$OUT/configuration.json" || true

INSTALL_PATH="$(reg_value 'HKLM\Software\TarvexPDFConver' installPath || true)"
INSTALL_DIR=""
[ -n "$INSTALL_PATH" ] && INSTALL_DIR="$(wine winepath -u "$INSTALL_PATH" 2>/dev/null | tr -d '\r')"
STARTS="$(reg_value 'HKCU\Software\TarvexPDFConver' startCount || true)"
[ -n "$STARTS" ] && STARTS="$((STARTS))" # REG_DWORD reads 0x1
LAST_START="$(reg_value 'HKCU\Software\TarvexPDFConver' lastStart || true)"
TEMP_DIR="$(find "$PREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -type d -name Temp ! -path '*/Public/*' | head -n 1)"
MODE=windows

summarise_run
