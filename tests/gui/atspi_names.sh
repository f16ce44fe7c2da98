#!/bin/bash
# The window under a virtual X server, on an accessibility bus of its own,
# asked by atspi_names.py what a screen reader hears. Skipped (77) where the
# pieces are not installed: scripts/test installs them (scripts/lib/setup.sh).
#
#   atspi_names.sh PROGRAM
set -u
program="$1"
here=$(cd "$(dirname "$0")" && pwd)

launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && launcher="$candidate" && break
done
missing=()
command -v dbus-run-session >/dev/null || missing+=("dbus-run-session (dbus-bin)")
command -v xvfb-run >/dev/null || missing+=("xvfb-run (xvfb)")
[ -n "$launcher" ] || missing+=("at-spi-bus-launcher (at-spi2-core)")
# Debian's pyatspi is for Debian's Python, whatever python3 comes first in PATH.
python=/usr/bin/python3
"$python" -c 'import pyatspi' 2>/dev/null || missing+=("pyatspi (python3-pyatspi)")
if ((${#missing[@]})); then
    echo "SKIP: the screen-reader check needs ${missing[*]}"
    exit 77
fi

if [ -z "${VORNIK_ATSPI_INNER:-}" ]; then
    # A session bus and a display of the test's own; nothing of the desktop's is used.
    export VORNIK_ATSPI_INNER=1
    exec dbus-run-session -- xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

"$launcher" --launch-immediately &
launcher_pid=$!
# The window on loopback and a port of its own: it is never asked to search,
# and nothing it could send would leave the machine.
export VORNIK_PORT=$((40000 + $$ % 20000)) VORNIK_BROADCAST=127.255.255.255 VORNIK_ADDRESSES=127.0.0.1
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
unset QT_QPA_PLATFORMTHEME
"$program" &
window_pid=$!
"$python" "$here/atspi_names.py" "$window_pid"
status=$?
kill "$window_pid" "$launcher_pid" 2>/dev/null
wait "$window_pid" 2>/dev/null
wait "$launcher_pid" 2>/dev/null
exit $status
