# Shared by the distd benchmark scripts (sourced, not run): the Release
# build they measure, a free loopback port, nginx, and a work folder that is
# removed with the servers the script started.

# bench_build BUILD_DIR TARGET...: configures and builds a Release build of
# the targets in BUILD_DIR when one of them is missing there.
bench_build() {
  local build="$1" target missing=0
  shift
  for target in "$@"; do
    case "$target" in
      distd) [ -x "$build/server/distd" ] || missing=1 ;;
      *) [ -x "$build/bench/$target" ] || missing=1 ;;
    esac
  done
  [ "$missing" = 0 ] && return 0
  cmake -S "$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF -DTARVEX_BENCH=ON >/dev/null
  nice -n 10 ninja -C "$build" -j2 "$@" >/dev/null
}

# nginx_bin: Debian's nginx, or a stop with what to install.
bench_need_nginx() {
  nginx_bin="$(command -v nginx || echo /usr/sbin/nginx)"
  [ -x "$nginx_bin" ] || { echo "nginx is not installed (scripts/deps installs nginx-light)"; exit 1; }
}

free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# work: a fresh folder; on exit the servers in distd_pid and nginx_pid are
# stopped and the folder removed.
bench_workdir() {
  work="$(mktemp -d)"
  distd_pid=""
  nginx_pid=""
  trap bench_cleanup EXIT
}
bench_cleanup() {
  [ -n "$distd_pid" ] && kill "$distd_pid" 2>/dev/null && wait "$distd_pid" 2>/dev/null || true
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
