#!/usr/bin/env bash
# The Windows zip and the MSI as the build made them: the files each holds,
# the same programs in both, CRLF texts, the firewall line, version resources
# and manifests in the programs; the MSI's tables (msiinfo) with the
# Start-menu entries, the icon shown by the uninstall entry and the upgrade.
#   packages.sh ZIP MSI
set -uo pipefail
zip=$1 msi=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for tool in unzip msiinfo msiextract; do
    command -v "$tool" >/dev/null || { echo "packages: no $tool (scripts/lib/setup.sh installs unzip and msitools)"; exit 1; }
done

# ---- the zip ----
top=$(basename "$zip" .zip)
unzip -q "$zip" -d "$work/zip" || fail "the zip does not unpack"
for f in Vornik_Setup.exe vornikctl.exe vornik-sim.exe README.txt LICENSE.txt; do
    [ -s "$work/zip/$top/$f" ] || fail "the zip lacks $top/$f"
done
for f in README.txt LICENSE.txt; do
    t=$work/zip/$top/$f
    [ -f "$t" ] || continue
    lines=$(wc -l <"$t")
    crlf=$(grep -c $'\r$' "$t")
    [ "$lines" -gt 0 ] && [ "$crlf" -eq "$lines" ] || fail "$f: $crlf of $lines lines end in CRLF"
done
readme=$work/zip/$top/README.txt
grep -q 'netsh advfirewall firewall add rule .*dir=in action=allow protocol=UDP localport=1901 program=' "$readme" ||
    fail "README.txt gives no inbound rule for UDP 1901"
for notice in 'CLI11' 'nlohmann-json' 'SQLite' 'winpthreads' 'GCC RUNTIME LIBRARY EXCEPTION' 'All rights reserved'; do
    grep -q "$notice" "$work/zip/$top/LICENSE.txt" || fail "LICENSE.txt lacks the notice of $notice"
done
for exe in Vornik_Setup vornikctl vornik-sim; do
    f=$work/zip/$top/$exe.exe
    [ -f "$f" ] || continue
    # Version resources are UTF-16 text; the manifest is UTF-8.
    strings -n 3 -e l "$f" >"$work/$exe.strings"
    grep -qx 'ProductVersion' "$work/$exe.strings" || fail "$exe.exe: no version resource"
    grep -qx "$exe.exe" "$work/$exe.strings" || fail "$exe.exe: its version resource names another file"
    grep -q 'supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"' "$f" || fail "$exe.exe: no manifest naming Windows 10"
    grep -q 'requestedExecutionLevel level="asInvoker"' "$f" || fail "$exe.exe: the manifest asks for elevation"
done
# The window asks for the common controls of version 6 (the list view's and tab control's look).
grep -q 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$work/zip/$top/Vornik_Setup.exe" ||
    grep -q 'Microsoft.Windows.Common-Controls' "$work/zip/$top/Vornik_Setup.exe" ||
    fail "Vornik_Setup.exe: its manifest asks for no common controls 6"
version=$(strings -n 3 -e l "$work/zip/$top/vornikctl.exe" | grep -A1 -x 'ProductVersion' | tail -n1)
[[ "$top" == vornik-setup-"$version"-windows-x86_64 ]] || fail "the zip's name $top does not carry the programs' version $version"

# ---- the MSI ----
msiinfo tables "$msi" >"$work/tables" || fail "msiinfo cannot read the MSI"
for table in File Component Directory Shortcut Registry Property Icon Upgrade Media; do
    grep -qx "$table" "$work/tables" || fail "the MSI has no $table table"
done
msiinfo export "$msi" File >"$work/File"
for f in Vornik_Setup.exe vornikctl.exe vornik-sim.exe README.txt LICENSE.txt vornik-setup.ico; do
    grep -qP "\t([^\t|]*\|)?\Q$f\E\t" "$work/File" ||
        fail "the MSI's File table lacks $f"
done
msiinfo export "$msi" Shortcut >"$work/Shortcut"
grep -q 'cmd.exe' "$work/Shortcut" && grep -q 'vornikctl.exe --help' "$work/Shortcut" ||
    fail "no Start-menu entry opening a console with vornikctl's help: $(cat "$work/Shortcut")"
grep -qP '\[INSTALLDIR\]Vornik_Setup\.exe' "$work/Shortcut" || fail "no Start-menu entry starting the window: $(cat "$work/Shortcut")"
grep -q 'README.txt' "$work/Shortcut" || fail "no Start-menu entry for the README"
grep -q 'msiexec.exe' "$work/Shortcut" && grep -q '/x \[ProductCode\]' "$work/Shortcut" || fail "no Start-menu uninstall"
msiinfo export "$msi" Property >"$work/Property"
grep -qP '^ProductVersion\t'"${version//./\\.}"'(\.0)?\r?$' "$work/Property" ||
    fail "the MSI's ProductVersion is not the programs' $version: $(grep ProductVersion "$work/Property")"
grep -qP '^ARPPRODUCTICON\t' "$work/Property" || fail "the uninstall entry has no icon"
grep -qP '^UpgradeCode\t' "$work/Property" || fail "no UpgradeCode: a newer MSI could not replace this one"
msiinfo export "$msi" Directory >"$work/Directory"
grep -q 'ProgramFiles64Folder' "$work/Directory" || fail "not installed under the 64-bit Program Files"
grep -q 'ProgramMenuFolder' "$work/Directory" || fail "no Start-menu folder"
# The installed programs are the zip's, byte for byte.
mkdir -p "$work/msi"
(cd "$work/msi" && msiextract -C . "$msi" >/dev/null) || fail "msiextract cannot unpack the MSI"
for f in Vornik_Setup.exe vornikctl.exe vornik-sim.exe README.txt LICENSE.txt; do
    got=$(find "$work/msi" -name "$f" -type f | head -n1)
    [ -n "$got" ] && cmp -s "$got" "$work/zip/$top/$f" || fail "the MSI's $f is not the zip's"
done

if ((failures)); then
    echo "packages: $failures failure(s)"
    exit 1
fi
echo "packages: the zip and the MSI hold the same programs (version $version), CRLF texts, the firewall line, the menu entries"
