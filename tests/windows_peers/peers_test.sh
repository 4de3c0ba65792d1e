#!/usr/bin/env bash
# The Windows client code judged by Linux's own tools: peer_tool.exe runs
# under Wine (scripts/wine-run, a prefix of its own) against an HTTP server
# on 127.0.0.1 that this script starts, and the script checks the result.
#
#   peers_test.sh WINE_RUN PEER_TOOL download   a 3 MB download into a folder
#       named with an emoji and CJK Extension B characters: the MD5 the
#       client computes, md5sum of the file it wrote and md5sum of what was
#       served are one and the same
#   peers_test.sh WINE_RUN PEER_TOOL report     an install report: its sealed
#       payload decodes with openssl (AES-256-CFB, Base64) into the JSON
#       document the client was given to send
set -euo pipefail
WINE_RUN="$1"
TOOL="$2"
CASE="$3"

WORK="$(mktemp -d "${TMPDIR:-/tmp}/windows-peers.XXXXXX")"
SERVER_PID=""
cleanup() {
  if [ -n "$SERVER_PID" ]; then
    kill "$SERVER_PID" 2>/dev/null || true
    wait "$SERVER_PID" 2>/dev/null || true
  fi
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# A server on a free loopback port: serves $WORK/site, records each request
# target in $WORK/requests, answers /tj.html with "ok".
mkdir -p "$WORK/site"
python3 - "$WORK" >"$WORK/server.log" 2>&1 <<'EOF' &
import http.server, os, sys
work = sys.argv[1]
class Handler(http.server.SimpleHTTPRequestHandler):
    def __init__(self, *args, **kwargs):
        super().__init__(*args, directory=os.path.join(work, "site"), **kwargs)
    def do_GET(self):
        with open(os.path.join(work, "requests"), "a") as log:
            log.write(self.path + "\n")
        if self.path.startswith("/tj.html"):
            body = b"ok"
            self.send_response(200)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        super().do_GET()
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(os.path.join(work, "port.tmp"), "w") as f:
    f.write(str(server.server_address[1]))
os.rename(os.path.join(work, "port.tmp"), os.path.join(work, "port"))
server.serve_forever()
EOF
SERVER_PID=$!
for _ in $(seq 1 200); do
  [ -f "$WORK/port" ] && break
  sleep 0.05
done
[ -f "$WORK/port" ] || fail "the server did not start: $(cat "$WORK/server.log")"
PORT="$(cat "$WORK/port")"

# The Windows name of a Linux path (Wine's drive Z: is the root).
windows_path() { printf 'Z:%s' "$1" | tr '/' '\\'; }

case "$CASE" in
download)
  head -c 3000000 /dev/urandom >"$WORK/site/payload.bin"
  folder="$WORK/out/安装 😀/𠀀𪛖文件夹"
  mkdir -p "$folder"
  target="$folder/payload.bin"
  printed="$("$WINE_RUN" "$TOOL" download "http://127.0.0.1:$PORT/payload.bin" \
    "$(windows_path "$target")")" || fail "peer_tool download failed: $printed"
  printed="$(printf '%s' "$printed" | tr -d '\r\n')"
  [ -f "$target" ] || fail "no file at $target"
  written="$(md5sum "$target" | cut -c1-32 | tr a-f A-F)"
  served="$(md5sum "$WORK/site/payload.bin" | cut -c1-32 | tr a-f A-F)"
  echo "client $printed, md5sum of the file $written, of what was served $served"
  [ "$printed" = "$written" ] || fail "the client's MD5 differs from md5sum's"
  [ "$written" = "$served" ] || fail "the file differs from what was served"
  ;;
report)
  "$WINE_RUN" "$TOOL" report "http://127.0.0.1:$PORT" || fail "peer_tool report failed"
  request="$(grep '^/tj.html?value=' "$WORK/requests" | head -1)"
  [ -n "$request" ] || fail "no report reached the server: $(cat "$WORK/requests" 2>/dev/null)"
  payload="${request#/tj.html?value=51_}"
  [ "$payload" != "$request" ] || fail "the report is not for product 51: $request"
  key_hex="$(printf '%s' 5b7d2e90a4c1f38e6d0b9a27c4e8f153 | od -An -tx1 | tr -d ' \n')"
  iv_hex="$(printf '%s' 'p8K#v2Lq!Wz7@Rt4' | od -An -tx1 | tr -d ' \n')"
  json="$(printf '%s' "$payload" | openssl enc -d -aes-256-cfb -K "$key_hex" -iv "$iv_hex" \
    -base64 -A)" || fail "openssl could not decode $payload"
  echo "decoded: $json"
  python3 - "$json" <<'EOF' || fail "the decoded document is not the install report"
import json, sys
doc = json.loads(sys.argv[1])
text = json.dumps(doc, ensure_ascii=False)
assert '"10086"' in text and '"1.1.8.305"' in text and '"install"' in text, text
EOF
  ;;
*)
  fail "unknown case $CASE"
  ;;
esac
echo PASS
