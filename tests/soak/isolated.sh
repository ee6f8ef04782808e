#!/bin/sh
# Runs a command in a network namespace of its own (only loopback, up) and
# under an X server of its own, so it may listen on port 2023 while other
# test runs on this machine do the same.
#   tests/soak/isolated.sh PROGRAM [ARGS...]
inner='ip link set lo up && exec xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" "$@"'
# As root a plain network namespace; otherwise, or where that is not
# allowed, one inside a user namespace.
if [ "$(id -u)" -eq 0 ] && unshare -n true 2> /dev/null; then
  exec unshare -n sh -c "$inner" isolated "$@"
fi
if unshare -rn true 2> /dev/null; then
  exec unshare -rn sh -c "$inner" isolated "$@"
fi
echo "isolated.sh: cannot make a network namespace (unshare -n / -rn refused)" >&2
exit 1
