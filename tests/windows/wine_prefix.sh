# Sourced by the wine tests: a scratch prefix of the test's own (unless
# WINEPREFIX names one), its wine server ended with it; with `wine_fonts`,
# the Chinese faces the window's templates name mapped to faces installed
# here; with `wine_display`, a virtual display when there is none.
#   . wine_prefix.sh WINE WORK      (then: wine_fonts; wine_display; ...; wine_cleanup)
wine_bin=$1
wine_work=$2
wine_own_prefix=""
if [ -z "${WINEPREFIX:-}" ]; then
    wine_own_prefix=$wine_work/prefix
    export WINEPREFIX=$wine_own_prefix
fi
export WINEDEBUG=-all
wine_xvfb_pid=""

wine_cleanup() {
    [ -z "$wine_own_prefix" ] || "${wine_bin%/*}/wineserver" -k 2>/dev/null || true
    [ -z "$wine_xvfb_pid" ] || kill "$wine_xvfb_pid" 2>/dev/null || true
}

# 宋体 (the templates' font) and the dialog shell fonts as Chinese faces that
# exist: without them every Chinese character is drawn as a box.
wine_fonts() {
    local song sans
    song=$(fc-list : family | grep -m1 -o 'AR PL UMing CN' || true)
    sans=$(fc-list : family | grep -m1 -o 'WenQuanYi Micro Hei' || true)
    [ -n "$sans" ] || sans=$(fc-list :lang=zh-cn family | head -n1 | cut -d, -f1)
    [ -n "$song" ] || song=$sans
    [ -n "$song" ] || { echo "no Chinese font installed (fonts-arphic-uming, fonts-wqy-microhei)"; return 1; }
    # A registry file with Chinese names in it: version 5, in UTF-16 with its mark.
    {
        printf '\xff\xfe'
        iconv -f UTF-8 -t UTF-16LE <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]
"宋体"="$song"
"SimSun"="$song"
"NSimSun"="$song"
"MS Shell Dlg"="$sans"
"MS Shell Dlg 2"="$sans"
REG
    } >"$wine_work/fonts.reg"
    "$wine_bin" regedit "$wine_work/fonts.reg" >/dev/null 2>&1
    # The new prefix's server keeps the registry; end it so the file is written.
    "${wine_bin%/*}/wineserver" -w 2>/dev/null || true
}

# A display of our own when there is none; the first free number from 90.
wine_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    command -v Xvfb >/dev/null || { echo "no DISPLAY and no Xvfb (xvfb)"; return 1; }
    local n
    for n in $(seq 90 120); do
        [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1400x900x24 -nolisten tcp >"$wine_work/xvfb.log" 2>&1 &
        wine_xvfb_pid=$!
        local deadline=$((SECONDS + 20))
        while ((SECONDS < deadline)); do
            [ -e "/tmp/.X11-unix/X$n" ] && { export DISPLAY=":$n"; return 0; }
            kill -0 "$wine_xvfb_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$wine_xvfb_pid" 2>/dev/null
        wine_xvfb_pid=""
    done
    echo "could not start Xvfb: $(cat "$wine_work/xvfb.log")"
    return 1
}
