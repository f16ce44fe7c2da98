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
    VORNIK_ATSPI_INNER=1 exec dbus-run-session -- "$0" "$@"
fi
# A display number the server picks itself and names once it is ready
# (xvfb-run -a can lose a free number to another server starting alongside).
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
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
"$python" "$(dirname "$0")/atspi_names.py" "$window_pid"
status=$?
kill "$window_pid" "$launcher_pid" "$xvfb_pid" 2>/dev/null
wait
exit $status
