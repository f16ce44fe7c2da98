#!/bin/bash
# atspi_names.sh PROGRAM: the window under Xvfb on a session and accessibility
# bus of its own, asked by atspi_names.py what a screen reader hears. Skipped
# (77) without the pieces; scripts/test installs them (scripts/lib/setup.sh).
set -u
launcher=/usr/libexec/at-spi-bus-launcher
python=/usr/bin/python3 # Debian's pyatspi, whatever python3 comes first in PATH
missing=()
command -v dbus-run-session >/dev/null || missing+=(dbus-bin)
command -v Xvfb >/dev/null || missing+=(xvfb)
[ -x "$launcher" ] || missing+=(at-spi2-core)
"$python" -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if ((${#missing[@]})); then
    echo "SKIP: the screen-reader test needs ${missing[*]}"
    exit 77
fi
if [ -z "${VORNIK_ATSPI_INNER:-}" ]; then
    # X's and D-Bus's abstract socket names belong to the network namespace,
    # and a CI job may share that with other jobs whose /tmp is not ours: a
    # display number free by our lock files can be another job's server, and
    # the window connects there and is refused. A namespace of our own where
    # one can be had (root, or a user namespace); as before where not.
    private=()
    if unshare --net true 2>/dev/null; then
        private=(unshare --net)
    elif unshare -rn true 2>/dev/null; then
        private=(unshare -rn)
    fi
    VORNIK_ATSPI_INNER=1 exec "${private[@]}" dbus-run-session -- "$0" "$@"
fi
# A fresh namespace has loopback down, and the window binds 127.0.0.1.
ip link set lo up 2>/dev/null || true
# A display number the server picks itself and names once it is ready
# (xvfb-run -a can lose a free number to another server starting alongside).
# A window that cannot reach its display dies at once; the server is then
# started again (its log printed), at most three times, so that the test
# speaks of what the window says and not of a display lost at start.
xvfb_log=$(mktemp)
window_pid="" launcher_pid="" xvfb_pid=""
for attempt in 1 2 3; do
    display_file=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>"$xvfb_log" &
    xvfb_pid=$!
    deadline=$((SECONDS + 20))
    until [ -s "$display_file" ] || ((SECONDS > deadline)); do sleep 0.1; done
    export DISPLAY=":$(head -n1 "$display_file")"
    rm -f "$display_file"
    "$launcher" --launch-immediately &
    launcher_pid=$!
    # On loopback and a port of its own; it is never asked to search.
    VORNIK_PORT=$((40000 + $$ % 20000)) VORNIK_BROADCAST=127.255.255.255 VORNIK_ADDRESSES=127.0.0.1 \
        QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1" &
    window_pid=$!
    for _ in $(seq 30); do kill -0 "$window_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$window_pid" 2>/dev/null && break
    echo "attempt $attempt: the window could not stay on display $DISPLAY; the server said:"
    cat "$xvfb_log"
    kill "$launcher_pid" "$xvfb_pid" 2>/dev/null
    wait
    window_pid=""
done
status=1
[ -n "$window_pid" ] && { "$python" "$(dirname "$0")/atspi_names.py" "$window_pid"; status=$?; }
kill "$window_pid" "$launcher_pid" "$xvfb_pid" 2>/dev/null
wait
rm -f "$xvfb_log"
exit $status
