# shellcheck shell=bash
# Shared by the scripts: installs the Debian packages a script needs (only
# those missing), gives Qt a private runtime folder, and configures a build
# tree once.
#
#   vornik_setup NEED...   NEED: run, check, package, fuzz, windows, sqlite-source,
#                          test (all of them)
#   vornik_runtime_dir     sets XDG_RUNTIME_DIR when the session gives none
#   vornik_configure DIR CMAKE-ARG...
#                          configures DIR unless it holds a CMakeCache.txt already

# Opening the window: the compiler, CMake, Qt, the libraries every layer
# links, the window's faces and a virtual display.
vornik_packages_run=(cmake ninja-build g++ pkg-config git qt6-base-dev
                     # Qt's CMake files look for it; without it every configure says "Could NOT find XKB"
                     libxkbcommon-dev
                     libpcap-dev libcli11-dev nlohmann-json3-dev
                     # the settings history (src/history)
                     libsqlite3-dev
                     # the window's faces and Qt's own texts in Chinese
                     fonts-wqy-microhei fonts-arphic-uming fonts-dejavu-core qt6-translations-l10n
                     # no display: xvfb-run; the demo's free port: ss
                     xvfb xauth iproute2)
# Building and running the tests and the benchmarks.
vornik_packages_check=(libgtest-dev libgmock-dev libbenchmark-dev)
# The Debian package and its checks (scripts/package-test).
vornik_packages_package=(scdoc dpkg-dev file lintian desktop-file-utils appstream
                         # hardening-check
                         devscripts)
# The fuzz targets (scripts/fuzz): clang with libFuzzer and the sanitizers.
vornik_packages_fuzz=(clang libclang-rt-14-dev)
# The whole suite: all of the above, the dissector's test, the
# screen-reader test (the window asked over the accessibility bus) and the
# Ansible collection's (tests/ansible).
vornik_packages_test=(tshark python3-pyatspi at-spi2-core dbus-bin ansible-core)
# The Windows programs (the "windows" preset) and their run under wine:
# MinGW-w64 with POSIX threads (std::thread), GoogleTest's source, wine64;
# the MSI (wixl, and msiinfo for its test), the zip's test (unzip), the
# icon file (python3); the locales the Chinese cases run wine in (locales);
# the window's display and the Chinese faces its prefix maps 宋体 to.
vornik_packages_windows=(g++-mingw-w64-x86-64-posix googletest wine64 wixl msitools unzip python3 locales
                         xvfb fonts-arphic-uming fonts-wqy-microhei)
# SQLite's amalgamation made from Debian's source package (scripts/fetch-sqlite):
# dpkg-source, and configure and make with tclsh.
vornik_packages_sqlite_source=(dpkg-dev gcc make tcl xz-utils)

vornik_setup() {
    local packages=() need
    for need in "$@"; do
        case "$need" in
            run) packages+=("${vornik_packages_run[@]}") ;;
            check) packages+=("${vornik_packages_run[@]}" "${vornik_packages_check[@]}") ;;
            package) packages+=("${vornik_packages_package[@]}") ;;
            fuzz) packages+=("${vornik_packages_fuzz[@]}") ;;
            windows) packages+=("${vornik_packages_windows[@]}" "${vornik_packages_sqlite_source[@]}") ;;
            sqlite-source) packages+=("${vornik_packages_sqlite_source[@]}") ;;
            test) packages+=("${vornik_packages_run[@]}" "${vornik_packages_check[@]}" "${vornik_packages_package[@]}"
                             "${vornik_packages_fuzz[@]}" "${vornik_packages_windows[@]}" "${vornik_packages_sqlite_source[@]}"
                             "${vornik_packages_test[@]}") ;;
            *) echo "setup: unknown need '$need'" >&2; return 2 ;;
        esac
    done
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# Qt warns "XDG_RUNTIME_DIR not set" at every start outside a desktop session
# (a shell over ssh, CI, a container). A folder of our own, mode 0700, as a
# session would give; one that someone else made or opened up is not used.
vornik_runtime_dir() {
    [ -n "${XDG_RUNTIME_DIR:-}" ] && return 0
    local uid dir
    uid=$(id -u)
    dir="${TMPDIR:-/tmp}/vornik-runtime-$uid"
    mkdir -m 0700 "$dir" 2>/dev/null || true
    if [ ! -d "$dir" ] || [ -L "$dir" ] || [ "$(stat -c '%u %a' "$dir")" != "$uid 700" ]; then
        dir=$(mktemp -d "${TMPDIR:-/tmp}/vornik-runtime-$uid.XXXXXX")
    fi
    export XDG_RUNTIME_DIR="$dir"
}

# Configuring again at every start costs seconds and repeats CMake's report;
# once the tree exists, `cmake --build` configures again by itself whenever a
# CMakeLists.txt has changed.
vornik_configure() {
    local dir="$1"
    shift
    [ -f "$dir/CMakeCache.txt" ] || cmake -S . -B "$dir" -G Ninja "$@"
}
