#!/bin/sh
# Runs a command in a network namespace of its own (only loopback, up) and
# under an X server of its own, so it may listen on port 2023 while other
# test runs on this machine do the same.
#   tests/soak/isolated.sh PROGRAM [ARGS...]
set -e
if [ "$(id -u)" -eq 0 ]; then
  namespace="unshare -n"
else
  namespace="unshare -rn"
fi
exec $namespace sh -c 'ip link set lo up && exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" "$@"' \
  isolated "$@"
