#!/bin/sh
# private_network.sh COMMAND...: runs the command in a network namespace of
# its own (its own loopback interface, brought up), inside a user namespace
# so that no privilege is needed. Exits 77 (test skipped) when the system
# allows no such namespace.
if ! unshare --user --map-root-user --net true 2>/dev/null; then
  echo "private_network: this system allows no unprivileged network namespace; skipped" >&2
  exit 77
fi
exec unshare --user --map-root-user --net sh -c 'ip link set lo up && exec "$@"' private_network "$@"
