#!/usr/bin/env bash
# The home-network path end to end, inside network namespaces of the test's
# own: the desktop's side with a private address (and, first on the same
# interface, one outside the private ranges), the phone's side with one of
# each, joined by a veth pair. Traffic passes only between those two ends.
#   homenet_check.sh TST_HOMENET
# Skips (77) where namespaces cannot be made (not root, no iproute2).
set -uo pipefail
test_program=$1
command -v ip >/dev/null 2>&1 || { echo "SKIP: iproute2 is not installed"; exit 77; }
[ "$(id -u)" = 0 ] || { echo "SKIP: making network namespaces needs root"; exit 77; }
desk=pantrio-desk-$$ phone=pantrio-phone-$$
cleanup() { ip netns del "$desk" 2>/dev/null; ip netns del "$phone" 2>/dev/null; }
trap cleanup EXIT
if ! ip netns add "$desk" 2>/dev/null || ! ip netns add "$phone"; then
    echo "SKIP: network namespaces cannot be made here"
    exit 77
fi
# Entering a namespace needs a mount namespace of its own, which some roots
# (a chroot) cannot give.
if ! ip netns exec "$desk" true 2>/dev/null; then
    echo "SKIP: a network namespace cannot be entered here"
    exit 77
fi
set -e
ip link add "pd$$" netns "$desk" type veth peer name "pp$$" netns "$phone"
ip -n "$desk" link set lo up
ip -n "$phone" link set lo up
# Outside the private ranges first, so the desktop must choose.
ip -n "$desk" addr add 198.51.100.1/24 dev "pd$$"
ip -n "$desk" addr add 192.168.231.1/24 dev "pd$$"
ip -n "$phone" addr add 192.168.231.2/24 dev "pp$$"
ip -n "$phone" addr add 198.51.100.2/24 dev "pp$$"
ip -n "$desk" link set "pd$$" up
ip -n "$phone" link set "pp$$" up
set +e
PANTRIO_PHONE_NETNS=$phone ip netns exec "$desk" "$test_program"
