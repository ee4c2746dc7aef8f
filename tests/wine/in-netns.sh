#!/bin/sh
# Runs a command in a private network namespace with only loopback up, so a test server can own
# port 80 of localhost without touching the machine's ports and nothing leaves the machine.
# The Wine server is started inside the namespace too: sockets belong to the namespace of the
# process that creates them.
set -e
if [ -z "$MIRELSKAN_IN_NETNS" ]; then
  export MIRELSKAN_IN_NETNS=1
  exec unshare -rn "$0" "$@"
fi
ip link set lo up
exec "$@"
