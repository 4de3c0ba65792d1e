#!/bin/bash
# demo_failures.sh DEMO BUILD WORK: scripts/demo's refusals and failures,
# each with its message, and an output folder that is not the demo's left
# alone. Runs in a network namespace of its own (private_network.sh), where
# the test build's port is the only one in use.
set -u
DEMO="$1" BUILD="$2" WORK="$3"
failures=0
expect() { # expect NAME WANT_STATUS PATTERN STATUS OUTPUT
  if [ "$4" != "$2" ] || ! grep -qF -- "$3" <<<"$5"; then
    echo "FAIL $1: status $4 (want $2), output:"
    echo "$5"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}
rm -rf "$WORK" && mkdir -p "$WORK"

out="$("$DEMO" --frobnicate 2>&1)"
expect "unknown option" 2 "unknown option --frobnicate" $? "$out"

out="$("$DEMO" --port 70000 --out "$WORK/o1" 2>&1)"
expect "bad port" 2 "--port wants a port number" $? "$out"

# A folder with files of its own is never emptied.
mkdir -p "$WORK/mine" && echo precious >"$WORK/mine/notes.txt"
out="$("$DEMO" --headless --build "$BUILD" --out "$WORK/mine" 2>&1)"
expect "foreign output folder" 2 "is not empty and not a demo output folder" $? "$out"
[ "$(cat "$WORK/mine/notes.txt" 2>/dev/null)" = precious ] || {
  echo "FAIL foreign output folder: its file is gone"
  failures=$((failures + 1))
}

out="$("$DEMO" --headless --build "$WORK/no-build" --out "$WORK/o2" 2>&1)"
expect "not a build folder" 1 'FAILED at step "build"' $? "$out"

# The installer's port taken by someone else.
port="$(sed -n 's|^TARVEX_API_URL:[A-Z]*=http://127\.0\.0\.1:\([0-9]*\)$|\1|p' "$BUILD/CMakeCache.txt")"
python3 -c "
import socket, sys, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('127.0.0.1', $port)); s.listen(1); print('ready', flush=True); time.sleep(120)
" >"$WORK/holder.log" 2>&1 &
holder=$!
for _ in $(seq 50); do grep -q ready "$WORK/holder.log" && break; sleep 0.1; done
out="$("$DEMO" --headless --build "$BUILD" --out "$WORK/o3" 2>&1)"
status=$?
kill "$holder" 2>/dev/null; wait "$holder" 2>/dev/null
expect "busy port" 1 "could not listen on 127.0.0.1:$port (is the port busy?" $status "$out"
expect "busy port names the log" 1 "read $WORK/o3/logs/distd.log" $status "$out"

# A package missing from the catalogue's folder: a build folder of the same
# programs whose demo catalogue lacks the .NET package.
fake="$WORK/fake-build"
mkdir -p "$fake/server" "$fake/tools/regtool" "$fake/demo/user" "$fake/windows"
cp "$BUILD/CMakeCache.txt" "$fake/"
for program in server/distd tools/regtool/regtool demo/user/demo_user windows/TarvexPDFConverInst; do
  ln -s "$BUILD/$program" "$fake/$program"
done
mkdir -p "$fake/demo/catalogue"
cp -r "$BUILD/demo/catalogue/site" "$fake/demo/catalogue/site"
rm "$fake/demo/catalogue/site/packages/DotNetStandIn.exe"
out="$("$DEMO" --headless --build "$fake" --out "$WORK/o4" 2>&1)"
status=$?
expect "missing package" 1 'FAILED at step "check the catalogue"' $status "$out"
expect "missing package names it" 1 "DotNetStandIn.exe" $status "$out"
expect "missing package names the log" 1 "read $WORK/o4/logs/" $status "$out"

echo "[$failures failure(s)]"
[ "$failures" = 0 ]
