#!/usr/bin/env bash
# tests/lan/testlan.sh: the test LAN. Runs a command on a simulated PC that is joined to a simulated router
# side, both in network namespaces of their own, and tears everything down afterwards.
#
# Usage:
#   tests/lan/testlan.sh [OPTIONS] -- PC-COMMAND [ARGS...]
#
# Options:
#   --router-addr ADDR   give the router side the address ADDR (repeatable), e.g. 192.168.0.1
#   --no-echo ADDR       the router side drops ICMP echo requests to ADDR (repeatable; ADDR must be
#                        one of the --router-addr addresses). Needs iptables.
#   --router 'CMD'       run CMD (a bash command line) on the router side in the background and wait
#                        until it prints the ready line on stdout before the PC command starts
#   --ready TEXT         the ready line of the router command (default "routersim: ready")
#   --ready-timeout SEC  how long to wait for the ready line (default 10)
#   --delay-ms MS        hold every packet on the veth MS ms (0 to 60000) on its way into and out of the
#                        router side, so that a round trip takes 2 x MS longer. Needs iptables and --delayer.
#   --delayer PATH       the packet delayer for --delay-ms, nfdelay of the build (default: $FW_NFDELAY)
#   -h, --help           show this text
#
# Example:
#   tests/lan/testlan.sh --router-addr 192.168.0.1 \
#       --router "build/bin/routersim --device addr=192.168.0.1,module=XY,detail=1.0,answers=normal" \
#       -- build/bin/lan_probe normal 255.255.255.255
#
# The LAN:
#   PC side      10.77.0.2/24 on "pc0", default route via 10.77.0.1, so every address of the router
#                side is reached through the veth; broadcasts to 255.255.255.255 go out on pc0.
#   router side  10.77.0.1/24 on "rt0", each --router-addr as a /32 on rt0; replies to 10.77.0.2 go
#                back over the veth. Forwarding is off: whatever the PC sends elsewhere is dropped.
#   delay        with --delay-ms, the router side runs the delayer on netfilter queue 7 and, once it is ready,
#                two iptables rules of the mangle table hand it every IPv4 packet that comes in on rt0
#                (PREROUTING) and that goes out on rt0 (POSTROUTING); ARP is not delayed. The rules have
#                no --queue-bypass: the delayer is bound before they go in, and were it to end early the
#                link would drop every packet rather than run on undelayed.
# Each namespace is held by an "unshare --net" process that dies with the harness (parent-death signal).
# On the way out the harness ends every process found in either namespace, whatever started it, and a
# watchdog does the same if the harness itself is killed (SIGKILL), so no namespace outlives it. Both veth
# ends are made inside the namespaces: the launcher's own network is never touched.
#
# The PC command runs in the PC namespace with the harness's stdin, stdout and stderr; before it is
# started, the harness checks from inside that its namespace is not the launcher's and holds only lo and
# pc0, and refuses otherwise. The router command's stderr goes to the harness's stderr, its stdout too
# once it ends. The harness logs its own steps on stderr, prefixed "testlan:", among them
#   testlan: pc namespace net:[N] held by pid P   (and the same for "router")
#   testlan: router pid P
#   testlan: router exited with status S
#   testlan: delayer pid P                        (and its exit status, the same way)
#
# Exit status: the PC command's; 2 bad command line; 77 no network namespaces can be made here (or a
# tool is missing: install with scripts/deps.sh); 125 the harness failed or refused to run the command;
# 128+N when it was ended by signal N (SIGINT, SIGTERM, SIGHUP). Cleanup runs on every one of these. (A
# PC command that exits 77 itself reads as a skip.)
#
# Internal: the harness re-enters itself as "testlan.sh --pc-guard LAUNCHER-NS DEVICE -- CMD..." inside
# the PC namespace to make the check above just before it execs CMD.

set -u

readonly kPcAddr=10.77.0.2
readonly kRouterAddr=10.77.0.1
readonly kPrefix=24
readonly kPcDev=pc0
readonly kRouterDev=rt0
readonly kRefused=125
readonly kDelayQueue=7
readonly kDelayerReady="nfdelay: ready"

say() { printf 'testlan: %s\n' "$*" >&2; }

usage() { sed -n '2,/^$/{s/^# \{0,1\}//;p}' "${BASH_SOURCE[0]}"; }

# Runs in the PC namespace just before the PC command: makes sure that this is a namespace of the test
# LAN and not the launcher's, then becomes the command.
pcGuard()
{
    if [ $# -lt 4 ] || [ "$3" != -- ]; then
        say "refused: --pc-guard wants LAUNCHER-NS DEVICE -- COMMAND"
        exit "$kRefused"
    fi
    local launcher=$1 device=$2
    shift 3
    local own init
    own=$(readlink /proc/self/ns/net)
    init=$(readlink /proc/1/ns/net 2>/dev/null)
    if [ -z "$own" ] || [ -z "$launcher" ] || [ "$own" = "$launcher" ]; then
        say "refused: the PC command would run in the launcher's network namespace (${own:-unknown})"
        exit "$kRefused"
    fi
    if [ -n "$init" ] && [ "$own" = "$init" ]; then
        say "refused: the PC command would run in the network namespace of PID 1"
        exit "$kRefused"
    fi
    local devices want
    devices=$(awk -F: 'NR > 2 { gsub(/ /, "", $1); print $1 }' /proc/self/net/dev | sort | tr '\n' ' ')
    want=$(printf '%s\n' lo "$device" | sort | tr '\n' ' ')
    if [ "$devices" != "$want" ]; then
        say "refused: the PC namespace should hold only lo and $device, it holds: ${devices% }"
        exit "$kRefused"
    fi
    if ! ip -d -o link show dev "$device" 2>/dev/null | grep -qw veth; then
        say "refused: $device in the PC namespace is not the veth of the test LAN"
        exit "$kRefused"
    fi
    exec "$@"
}

if [ "${1:-}" = --pc-guard ]; then
    shift
    pcGuard "$@"
fi

# ---- command line

routerAddrs=()
noEcho=()
routerCmd=
readyLine="routersim: ready"
readyTimeout=10
delayMs=
delayer=${FW_NFDELAY:-}

usageError() {
    say "$*"
    say "try '$0 --help'"
    exit 2
}

isIpv4() {
    local IFS=. part
    local -a parts
    [[ $1 =~ ^[0-9]{1,3}(\.[0-9]{1,3}){3}$ ]] || return 1
    read -ra parts <<<"$1"
    for part in "${parts[@]}"; do [ "$((10#$part))" -le 255 ] || return 1; done
}

needValue() { [ $# -ge 2 ] || usageError "$1 needs a value"; }

while [ $# -gt 0 ]; do
    case $1 in
    -h | --help) usage; exit 0 ;;
    --router-addr)
        needValue "$@"
        isIpv4 "$2" || usageError "--router-addr $2 is not an IPv4 address"
        case $2 in 10.77.0.* | 127.* | 0.* | 255.255.255.255 | 22[4-9].* | 23[0-9].*)
            usageError "--router-addr $2 cannot be given to the router side" ;;
        esac
        routerAddrs+=("$2"); shift 2 ;;
    --no-echo)
        needValue "$@"
        isIpv4 "$2" || usageError "--no-echo $2 is not an IPv4 address"
        noEcho+=("$2"); shift 2 ;;
    --router) needValue "$@"; routerCmd=$2; shift 2 ;;
    --ready) needValue "$@"; readyLine=$2; shift 2 ;;
    --ready-timeout)
        needValue "$@"
        [[ $2 =~ ^[0-9]+$ ]] && [ "$2" -ge 1 ] || usageError "--ready-timeout $2 is not a number of seconds"
        readyTimeout=$2; shift 2 ;;
    --delay-ms)
        needValue "$@"
        [[ $2 =~ ^[0-9]{1,5}$ ]] && [ "$((10#$2))" -le 60000 ] ||
            usageError "--delay-ms $2 is not a number of milliseconds from 0 to 60000"
        delayMs=$((10#$2)); shift 2 ;;
    --delayer) needValue "$@"; delayer=$2; shift 2 ;;
    --) shift; break ;;
    *) usageError "unknown argument '$1' (the PC command follows '--')" ;;
    esac
done
[ $# -gt 0 ] || usageError "no PC command given after '--'"
for a in ${noEcho[@]+"${noEcho[@]}"}; do
    found=0
    for b in ${routerAddrs[@]+"${routerAddrs[@]}"}; do [ "$a" = "$b" ] && found=1; done
    [ "$found" = 1 ] || usageError "--no-echo $a is not one of the --router-addr addresses"
done
if [ -n "$delayMs" ]; then
    [ -n "$delayer" ] || usageError "--delay-ms needs the delayer: give --delayer PATH or set FW_NFDELAY"
    [ -f "$delayer" ] && [ -x "$delayer" ] || usageError "the delayer '$delayer' is not an executable file"
fi

# ---- the environment

tools=(unshare nsenter setpriv ip awk readlink)
[ ${#noEcho[@]} -gt 0 ] || [ -n "$delayMs" ] && tools+=(iptables)
for tool in "${tools[@]}"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        say "skipped: '$tool' is missing (install it with scripts/deps.sh)"
        exit 77
    fi
done
launcherNs=$(readlink /proc/self/ns/net)
if [ -z "$launcherNs" ]; then
    say "skipped: cannot read this process's network namespace"
    exit 77
fi
if ! err=$(unshare --net true 2>&1); then
    say "skipped: cannot make network namespaces here: $err"
    exit 77
fi

# ---- teardown, on every way out

pcHolder=
routerHolder=
pcNs=
routerNs=
routerPid=
delayerPid=
pcPid=
workDir=
lifeline=
watchdogPid=
pcPin=
routerPin=

nsInode()
{
    local link
    link=$(readlink "/proc/$1/ns/net") || return 1
    link=${link#net:[}
    echo "${link%]}"
}

# The pids of the processes in the network namespace with the inode given, one a line.
nsMembers()
{
    stat -L -c '%i %n' /proc/[0-9]*/ns/net 2>/dev/null |
        awk -v ino="$1" '$1 == ino { split($2, p, "/"); print p[3] }'
}

# Ends every process in a namespace but its holder: TERM, and KILL for what is left after the grace
# time. A process the command left behind would hold the namespace as firmly as the holder does.
clearNamespace() # INODE HOLDER GRACE-TENTHS
{
    local ino=$1 holder=$2 tenths=$3 i pids
    [ -n "$ino" ] || return 0
    for ((i = 0; i <= tenths; i++)); do
        pids=$(nsMembers "$ino" | grep -vx -- "${holder:-none}")
        [ -n "$pids" ] || return 0
        [ "$i" -eq 0 ] && kill -TERM $pids 2>/dev/null
        sleep 0.1
    done
    kill -KILL $pids 2>/dev/null
}

cleanup()
{
    local status=$? holder
    trap '' INT TERM HUP
    clearNamespace "$pcNs" "$pcHolder" 20
    [ -n "$pcPid" ] && wait "$pcPid" 2>/dev/null
    clearNamespace "$routerNs" "$routerHolder" 30
    if [ -n "$routerPid" ]; then
        wait "$routerPid" 2>/dev/null
        say "router exited with status $?"
        [ -s "$workDir/router.out" ] && cat "$workDir/router.out" >&2
    fi
    if [ -n "$delayerPid" ]; then
        wait "$delayerPid" 2>/dev/null
        say "delayer exited with status $?"
    fi
    for holder in $pcHolder $routerHolder; do
        kill -KILL "$holder" 2>/dev/null
        wait "$holder" 2>/dev/null
    done
    if [ -n "$lifeline" ]; then
        echo done >&"$lifeline"
        exec {lifeline}>&-
        [ -n "$watchdogPid" ] && wait "$watchdogPid" 2>/dev/null
    fi
    [ -n "$workDir" ] && rm -rf "$workDir"
    exit "$status"
}
trap cleanup EXIT
onSignal() { say "ended by SIG$1"; exit $((128 + $2)); }
trap 'onSignal INT 2' INT
trap 'onSignal TERM 15' TERM
trap 'onSignal HUP 1' HUP

fail() { say "failed: $*"; exit "$kRefused"; }

workDir=$(mktemp -d "${TMPDIR:-/tmp}/testlan.XXXXXX") || fail "cannot make a temporary folder"

# Starts a process that holds a new network namespace and dies with the harness (not run in a subshell:
# the parent-death signal would end it with the subshell); its pid goes into the variable named VAR.
startHolder() # VAR
{
    setpriv --pdeathsig KILL -- unshare --net -- sleep infinity </dev/null >/dev/null 2>&1 &
    local pid=$! i ns
    printf -v "$1" %s "$pid"
    for ((i = 0; i < 100; i++)); do
        ns=$(readlink "/proc/$pid/ns/net" 2>/dev/null) || return 1
        [ -n "$ns" ] && [ "$ns" != "$launcherNs" ] && return 0
        sleep 0.02
    done
    return 1
}

inNs() { local holder=$1; shift; nsenter --net="/proc/$holder/ns/net" -- "$@"; }
inPc() { inNs "$pcHolder" "$@"; }
inRouter() { inNs "$routerHolder" "$@"; }
run() { local out; out=$("$@" 2>&1) || fail "$* => ${out:-exit $?}"; }

startHolder pcHolder || fail "cannot start the PC namespace"
startHolder routerHolder || fail "cannot start the router namespace"
pcNs=$(nsInode "$pcHolder") || fail "cannot read the PC namespace"
routerNs=$(nsInode "$routerHolder") || fail "cannot read the router namespace"
# Open descriptors pin both namespaces: a namespace's inode number is handed out again as soon as it is
# gone, and the processes of another LAN must never be taken for ours. The pins go with the harness and
# its watchdog, so the namespaces still end with them.
exec {pcPin}<"/proc/$pcHolder/ns/net" {routerPin}<"/proc/$routerHolder/ns/net" ||
    fail "cannot pin the namespaces"
[ "$(nsInode "$pcHolder")" = "$pcNs" ] && [ "$(nsInode "$routerHolder")" = "$routerNs" ] ||
    fail "a namespace holder ended while starting"
say "pc namespace net:[$pcNs] held by pid $pcHolder"
say "router namespace net:[$routerNs] held by pid $routerHolder"

# The holders die with the harness, but what runs in the namespaces may have children of its own. This
# watchdog clears both namespaces when the harness is gone without saying "done", e.g. after a SIGKILL.
# Every process started from here on closes its copies of the lifeline and the pins, so only the harness
# (and the watchdog, the pins) hold them.
exec {lifeline}> >(
    exec >/dev/null 2>&1
    trap '' INT TERM HUP
    read -r word
    [ "$word" = done ] && exit 0
    clearNamespace "$pcNs" "$pcHolder" 10
    clearNamespace "$routerNs" "$routerHolder" 10
)
watchdogPid=$!

# ---- the network

run inPc ip link add "$kPcDev" type veth peer name "$kRouterDev" netns "$routerHolder"
run inPc ip link set lo up
run inPc ip addr add "$kPcAddr/$kPrefix" dev "$kPcDev"
run inPc ip link set "$kPcDev" up
run inRouter ip link set lo up
run inRouter ip addr add "$kRouterAddr/$kPrefix" dev "$kRouterDev"
for addr in ${routerAddrs[@]+"${routerAddrs[@]}"}; do
    run inRouter ip addr add "$addr/32" dev "$kRouterDev"
done
run inRouter ip link set "$kRouterDev" up
run inPc ip route add default via "$kRouterAddr" dev "$kPcDev"
for addr in ${noEcho[@]+"${noEcho[@]}"}; do
    run inRouter iptables -w -A INPUT -d "$addr/32" -p icmp --icmp-type echo-request -j DROP
done

# ---- the router side's processes

# Starts a process in the router namespace in the background, its stdout into FILE; its pid goes into the
# variable named VAR. setsid takes it away from the terminal: a Ctrl-C goes to the harness, which then stops
# it with SIGTERM in its turn, after the PC command.
startInRouter() # VAR FILE COMMAND...
{
    local var=$1 file=$2
    shift 2
    setpriv --pdeathsig KILL -- nsenter --net="/proc/$routerHolder/ns/net" -- \
        setsid "$@" </dev/null >"$file" {lifeline}>&- {pcPin}<&- {routerPin}<&- &
    printf -v "$var" %s "$!"
}

# Waits until the process in the variable named VAR prints LINE into FILE. Fails the harness when it does
# not within the ready timeout, or ends first (then its pid is taken out of VAR: it is reaped here).
awaitReady() # WHAT VAR FILE LINE
{
    local what=$1 file=$3 line=$4 i status
    local -n pidOf=$2
    for ((i = 0; i < readyTimeout * 20; i++)); do
        grep -qxF -- "$line" "$file" 2>/dev/null && return 0
        kill -0 "$pidOf" 2>/dev/null || break
        sleep 0.05
    done
    if kill -0 "$pidOf" 2>/dev/null; then
        fail "the $what printed no '$line' within ${readyTimeout}s"
    fi
    wait "$pidOf"
    status=$?
    pidOf=
    [ -s "$file" ] && cat "$file" >&2
    fail "the $what ended with status $status before it was ready"
}

if [ -n "$delayMs" ]; then
    startInRouter delayerPid "$workDir/delayer.out" "$delayer" --queue "$kDelayQueue" --delay-ms "$delayMs"
    say "delayer pid $delayerPid"
    awaitReady delayer delayerPid "$workDir/delayer.out" "$kDelayerReady"
    run inRouter iptables -w -t mangle -A PREROUTING -i "$kRouterDev" -j NFQUEUE --queue-num "$kDelayQueue"
    run inRouter iptables -w -t mangle -A POSTROUTING -o "$kRouterDev" -j NFQUEUE --queue-num "$kDelayQueue"
    say "every packet on $kRouterDev is held $delayMs ms each way"
fi

if [ -n "$routerCmd" ]; then
    startInRouter routerPid "$workDir/router.out" bash -c "$routerCmd"
    say "router pid $routerPid"
    awaitReady "router command" routerPid "$workDir/router.out" "$readyLine"
fi

# ---- the PC command

# A background job would get /dev/null as stdin; it is handed ours explicitly. It runs in the background
# so that a signal to the harness is handled at once, not after the command.
exec 3<&0
setpriv --pdeathsig KILL -- nsenter --net="/proc/$pcHolder/ns/net" -- \
    bash "${BASH_SOURCE[0]}" --pc-guard "$launcherNs" "$kPcDev" -- "$@" \
    <&3 3<&- {lifeline}>&- {pcPin}<&- {routerPin}<&- &
pcPid=$!
exec 3<&-
wait "$pcPid"
status=$?
pcPid=
exit "$status"
