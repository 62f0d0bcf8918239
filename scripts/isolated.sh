#!/usr/bin/env bash
# Runs a command in a network namespace of its own, where only a loopback device exists, so nothing
# it sends can leave this machine. Refuses to run it in the host's namespace. Exits 77 where
# namespaces cannot be made here.
# Usage: scripts/isolated.sh COMMAND [ARG...]
set -euo pipefail

if [ "${1:-}" = "--inside" ]; then
    shift
    # The namespace must be another than the launcher's and PID 1's (where PID 1's can be read),
    # and must hold no device but loopback.
    self=$(readlink /proc/self/ns/net 2>/dev/null || true)
    init=$(readlink /proc/1/ns/net 2>/dev/null || true)
    devices=$(awk -F: 'NR > 2 { gsub(/ /, "", $1); printf "%s ", $1 }' /proc/self/net/dev 2>/dev/null)
    if [ -z "$self" ] || [ "$self" = "${FW_LAUNCHER_NETNS:-}" ] || [ "$self" = "$init" ] || [ "$devices" != "lo " ]; then
        echo "isolated: refusing to run '$1' outside a network namespace of its own" >&2
        exit 70
    fi
    unset FW_LAUNCHER_NETNS
    ip link set lo up 2>/dev/null || true
    exec "$@"
fi

[ $# -gt 0 ] || { echo "usage: $0 COMMAND [ARG...]" >&2; exit 2; }
if [ "$(id -u)" -eq 0 ]; then ns=(unshare --net); else ns=(unshare --user --map-root-user --net); fi
if ! "${ns[@]}" true 2>/dev/null; then
    echo "isolated: cannot make a network namespace on this machine" >&2
    exit 77
fi
# unshare and the script exec in turn, so COMMAND keeps this process id and gets its signals.
FW_LAUNCHER_NETNS=$(readlink /proc/self/ns/net) exec "${ns[@]}" -- "$0" --inside "$@"
