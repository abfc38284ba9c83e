#!/bin/bash
# Private mDNS network for the advertisement test. Nothing is sent on the machine's
# real interfaces: every daemon runs inside network namespaces created here.
#   tst_advert_sandbox.sh up [lo|veth]   lo (default): one namespace "a", only loopback,
#                                    multicast enabled on lo.
#                                  veth: namespaces "a" and "b" joined by a veth
#                                    pair (192.0.2.1/.2, documentation range),
#                                    one avahi-daemon in each.
#   tst_advert_sandbox.sh exec a|b CMD... run CMD in that namespace, with
#                                    DBUS_SYSTEM_BUS_ADDRESS set to its private bus
#   tst_advert_sandbox.sh stop-avahi a|b  stop / restart that node's avahi-daemon (the
#   tst_advert_sandbox.sh start-avahi a|b   private bus stays), for daemon-loss tests
#   tst_advert_sandbox.sh down           stop the daemons, delete the namespaces
#
# Each node has its own dbus-daemon (own config and socket) and an avahi-daemon
# started with its own config, --no-drop-root --no-chroot, and a private /run
# (tmpfs, mount namespace of `ip netns exec`) so it never sees or touches the
# host's /run/avahi-daemon. Needs root, iproute2, dbus-daemon, avahi-daemon.
# Environment: MDNS_SANDBOX_DIR (state, default /tmp/morvenda-mdns-sandbox),
#              MDNS_SANDBOX_NS (namespace prefix, default mdnsbox).
set -euo pipefail

DIR=${MDNS_SANDBOX_DIR:-/tmp/morvenda-mdns-sandbox}
NS=${MDNS_SANDBOX_NS:-mdnsbox}

die() { echo "mdns-sandbox: $*" >&2; exit 1; }

bus_address() { echo "unix:path=$DIR/$1/system_bus_socket"; }

write_configs() {   # node iface
    local node=$1 iface=$2 d="$DIR/$1"
    mkdir -p "$d"
    cat > "$d/dbus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$d/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
    cat > "$d/avahi-daemon.conf" <<CONF
[server]
host-name=mdnsbox-$node
domain-name=local
use-ipv4=yes
use-ipv6=no
allow-interfaces=$iface
enable-dbus=yes
ratelimit-interval-usec=1000000
ratelimit-burst=1000

[wide-area]
enable-wide-area=no

[publish]
publish-hinfo=no
publish-workstation=no

[reflector]

[rlimits]
CONF
}

start_dbus() {   # node
    local node=$1 d="$DIR/$1"
    ip netns exec "$NS-$node" dbus-daemon --config-file="$d/dbus.conf" --fork --print-pid > "$d/dbus.pid"
    for _ in $(seq 250); do [ -S "$d/system_bus_socket" ] && return 0; sleep 0.02; done
    die "dbus-daemon for $node did not start"
}

start_avahi() {   # node
    local node=$1 d="$DIR/$1"
    [ -S "$d/system_bus_socket" ] || die "node '$node' is not up"
    : > "$d/avahi.log"
    # `ip netns exec` gives the command its own mount namespace: a tmpfs on /run
    # there hides the host's /run (pid file and socket of avahi go in it).
    # "$1" is expanded by the inner sh, not here:
    # shellcheck disable=SC2016
    ip netns exec "$NS-$node" env DBUS_SYSTEM_BUS_ADDRESS="$(bus_address "$node")" \
        sh -c 'mount -t tmpfs -o mode=0755 tmpfs /run && exec avahi-daemon --no-drop-root --no-chroot --no-proc-title -f "$1"' \
        sh "$d/avahi-daemon.conf" >> "$d/avahi.log" 2>&1 &
    local pid=$!
    echo "$pid" > "$d/avahi.pid"
    for _ in $(seq 500); do
        grep -q 'Server startup complete' "$d/avahi.log" && return 0
        running "$pid" || break
        sleep 0.02
    done
    cat "$d/avahi.log" >&2
    die "avahi-daemon for $node did not start"
}

up() {
    local mode=${1:-lo}
    [ "$(id -u)" = 0 ] || die "must run as root"
    [ ! -e "$DIR" ] || die "$DIR exists: run '$0 down' first"
    mkdir -p "$DIR"
    trap 'echo "mdns-sandbox: start failed, cleaning up" >&2; down' EXIT
    echo "$mode" > "$DIR/mode"
    case $mode in
    lo)
        ip netns add "$NS-a"
        ip -n "$NS-a" link set lo up
        ip -n "$NS-a" link set lo multicast on
        write_configs a lo
        start_dbus a
        start_avahi a
        ;;
    veth)
        ip netns add "$NS-a"
        ip netns add "$NS-b"
        ip -n "$NS-a" link set lo up
        ip -n "$NS-b" link set lo up
        ip link add mdnsbox0 netns "$NS-a" type veth peer name mdnsbox0 netns "$NS-b"
        ip -n "$NS-a" addr add 192.0.2.1/24 dev mdnsbox0
        ip -n "$NS-b" addr add 192.0.2.2/24 dev mdnsbox0
        ip -n "$NS-a" link set mdnsbox0 up
        ip -n "$NS-b" link set mdnsbox0 up
        write_configs a mdnsbox0
        write_configs b mdnsbox0
        start_dbus a
        start_dbus b
        start_avahi a
        start_avahi b
        ;;
    *) die "unknown mode '$mode' (lo|veth)" ;;
    esac
    trap - EXIT
    echo "mdns-sandbox: up ($mode); run commands with: $0 exec a CMD..."
}

run_in() {   # node cmd...
    local node=$1; shift
    [ -S "$DIR/$node/system_bus_socket" ] || die "node '$node' is not up"
    exec ip netns exec "$NS-$node" env DBUS_SYSTEM_BUS_ADDRESS="$(bus_address "$node")" "$@"
}

# A daemon that has exited stays a zombie until whoever adopted it reaps it, which in a container
# can take seconds; by then it holds no socket and no bus name, so it counts as gone.
running() {   # pid
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || return 1
    [ -n "$state" ] && [ "$state" != Z ]
}

stop_pid() {   # pidfile expected-comm
    local pid
    [ -f "$1" ] || return 0
    pid=$(cat "$1")
    if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$2" ]; then
        kill "$pid"
        for _ in $(seq 250); do running "$pid" || break; sleep 0.02; done
    fi
}

down() {
    for node in a b; do
        [ -d "$DIR/$node" ] || continue
        stop_pid "$DIR/$node/avahi.pid" avahi-daemon
        stop_pid "$DIR/$node/dbus.pid" dbus-daemon
    done
    for node in a b; do
        ip netns list | grep -qw "^$NS-$node" && ip netns del "$NS-$node"
    done
    rm -rf "$DIR"
    echo "mdns-sandbox: down"
}

case ${1:-} in
up) shift; up "$@" ;;
exec) shift; [ $# -ge 2 ] || die "usage: $0 exec a|b CMD..."; run_in "$@" ;;
stop-avahi) stop_pid "$DIR/${2:?node}/avahi.pid" avahi-daemon ;;
start-avahi) start_avahi "${2:?node}" ;;
down) down ;;
*) echo "usage: $0 up [lo|veth] | exec a|b CMD... | stop-avahi a|b | start-avahi a|b | down" >&2; exit 64 ;;
esac
