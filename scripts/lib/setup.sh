# Installs what building, testing and running need, from Debian's packages,
# and only what is missing. Sourced by scripts/test and scripts/run.
vornik_setup() {
    local packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgtest-dev libgmock-dev
                    libbenchmark-dev xvfb xauth iproute2
                    # the window's faces and Qt's own texts in Chinese
                    fonts-wqy-microhei fonts-arphic-uming fonts-dejavu-core qt6-translations-l10n
                    # vornikctl
                    libcli11-dev nlohmann-json3-dev
                    # packet records and the dissector's test
                    libpcap-dev tshark
                    # the Debian package and its checks (scripts/package-test)
                    scdoc dpkg-dev file lintian desktop-file-utils appstream git
                    # the fuzz targets (scripts/fuzz): clang with libFuzzer and the sanitizers
                    clang libclang-rt-14-dev)
    local missing=()
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
