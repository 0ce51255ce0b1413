#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR with prefix /usr, as the
# Debian package does, and checks what a desktop needs from the tree.
# Usage: check_installed_tree.sh CMAKE BUILD_DIR HAS_DEMO(0|1)
set -euo pipefail

cmake="$1"
build_dir="$2"
has_demo="$3"
app_id=io.github.dorvik.Dorvik

for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream xmllint:libxml2-utils; do
    command -v "${tool%%:*}" >/dev/null \
        || { echo "FAIL: ${tool%%:*} is missing (apt-get install ${tool#*:})"; exit 1; }
done

destdir="$(mktemp -d)"
trap 'rm -rf "$destdir"' EXIT
DESTDIR="$destdir" "$cmake" --install "$build_dir" --prefix /usr >/dev/null
root="$destdir/usr"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

check_executable() {
    [ -f "$root/bin/$1" ] && [ -x "$root/bin/$1" ] || fail "bin/$1 is not an installed executable"
}

# Width and height from the PNG header: the IHDR chunk follows the
# 8-byte signature and its own 8-byte length and type.
png_size() {
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8 }'
}

desktop_value() {
    sed -n "s/^$1=//p" "$desktop"
}

check_executable dorvik
if [ "$has_demo" = 1 ]; then
    check_executable dorvik-demo
fi

desktop="$root/share/applications/$app_id.desktop"
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop entry does not validate"
    exec_program="$(desktop_value Exec | cut -d' ' -f1)"
    check_executable "$exec_program"
    [ "$(desktop_value Icon)" = "$app_id" ] || fail "desktop entry's Icon is not $app_id"
else
    fail "desktop entry share/applications/$app_id.desktop is missing"
fi

# The reminder at login, where autostart entries of a /usr install belong.
autostart="$destdir/etc/xdg/autostart/$app_id-remind.desktop"
if [ -f "$autostart" ]; then
    desktop-file-validate "$autostart" || fail "autostart entry does not validate"
    grep -qx 'Exec=dorvik --remind' "$autostart" || fail "autostart entry does not run dorvik --remind"
else
    fail "autostart entry /etc/xdg/autostart/$app_id-remind.desktop is missing"
fi

metainfo="$root/share/metainfo/$app_id.metainfo.xml"
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "metainfo does not validate"
    grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo's id is not $app_id"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
        || fail "metainfo does not launch $app_id.desktop"
else
    fail "metainfo share/metainfo/$app_id.metainfo.xml is missing"
fi

svg="$root/share/icons/hicolor/scalable/apps/$app_id.svg"
png="$root/share/icons/hicolor/32x32/apps/$app_id.png"
if [ -f "$svg" ]; then
    grep -q '<svg' "$svg" || fail "$svg is not an SVG image"
else
    fail "scalable icon is missing"
fi
if [ -f "$png" ]; then
    [ "$(head -c8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] \
        || fail "$png is not a PNG image"
    [ "$(png_size "$png")" = 32x32 ] || fail "$png is $(png_size "$png"), not 32x32"
else
    fail "32x32 icon is missing"
fi

# Compressed as Debian wants it: gzip -9n, so no name and no time in the
# header (flags and mtime zero), and the same bytes on every build.
check_gzipped() {
    if [ ! -f "$root/$1.gz" ]; then
        fail "$1.gz is missing"
    elif ! gzip -t "$root/$1.gz" 2>/dev/null; then
        fail "$1.gz is not gzipped"
    elif [ "$(od -An -tu1 -j3 -N5 "$root/$1.gz" | tr -s ' ')" != " 0 0 0 0 0" ]; then
        fail "$1.gz keeps a name or a time in its header"
    fi
    [ ! -e "$root/$1" ] || fail "$1 is installed uncompressed too"
}

# Each manual page carries the release's version, as the changelog's first line does.
version="$(zcat "$root/share/doc/dorvik/changelog.gz" 2>/dev/null | sed -n '1s/^dorvik (\([^)]*\)).*/\1/p')"
pages=(man1/dorvik.1 man8/dorvik-power-helper.8)
[ "$has_demo" = 1 ] && pages+=(man1/dorvik-demo.1)
for page in "${pages[@]}"; do
    check_gzipped "share/man/$page"
    zcat "$root/share/man/$page.gz" 2>/dev/null | grep -q "^\.TH [A-Z-]* [18] \"[A-Z][a-z]* [0-9]*\" \"Dorvik $version\"" \
        || fail "share/man/$page.gz does not head its page with Dorvik $version and the release's month"
done
check_gzipped share/doc/dorvik/changelog
[ -n "$version" ] || fail "share/doc/dorvik/changelog.gz does not start with an entry for dorvik"
grep -q "<release version=\"$version\"" "$metainfo" 2>/dev/null || fail "metainfo has no release $version"
[ "$(head -1 "$root/share/doc/dorvik/copyright" 2>/dev/null)" = \
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] \
    || fail "share/doc/dorvik/copyright is missing or not machine-readable"

# The power helper, its bus activation file, bus policy, polkit actions and
# systemd units, wherever the build machine's pkg-config put them.
helper=/usr/libexec/dorvik/dorvik-power-helper
[ -f "$destdir$helper" ] && [ -x "$destdir$helper" ] || fail "$helper is not an installed executable"
installed() {
    find "$destdir" -path "*/$1" -print -quit
}
service="$(installed dbus-1/system-services/io.github.dorvik.PowerHelper.service)"
if [ -n "$service" ]; then
    [ "$(sed -n 1p "$service")" = "[D-BUS Service]" ] || fail "$service does not start with [D-BUS Service]"
    grep -qx 'Name=io.github.dorvik.PowerHelper' "$service" || fail "$service names another service"
    grep -qx "Exec=$helper" "$service" || fail "$service does not run $helper"
    grep -qx 'User=root' "$service" || fail "$service does not run as root"
    grep -qx 'SystemdService=dorvik-power-helper.service' "$service" || fail "$service is not started through systemd"
else
    fail "dbus-1/system-services/io.github.dorvik.PowerHelper.service is missing"
fi
for xml in dbus-1/system.d/io.github.dorvik.PowerHelper.conf polkit-1/actions/io.github.dorvik.policy; do
    if [ -n "$(installed "$xml")" ]; then
        xmllint --noout "$(installed "$xml")" || fail "$xml is not well-formed"
    else
        fail "$xml is missing"
    fi
done
grep -q '<allow own="io.github.dorvik.PowerHelper"/>' "$(installed dbus-1/system.d/io.github.dorvik.PowerHelper.conf)" 2>/dev/null \
    || fail "the bus policy does not let root own the helper's name"
for action in discharge-on-mains lift-charge-limit; do
    grep -q "<action id=\"io.github.dorvik.$action\">" "$(installed polkit-1/actions/io.github.dorvik.policy)" 2>/dev/null \
        || fail "the polkit policy has no action io.github.dorvik.$action"
done

unit="$(installed systemd/system/dorvik-power-helper.service)"
restore_unit="$(installed systemd/system/dorvik-power-helper-restore.service)"
[ -n "$unit" ] || fail "systemd/system/dorvik-power-helper.service is missing"
[ -n "$restore_unit" ] || fail "systemd/system/dorvik-power-helper-restore.service is missing"
if [ -n "$unit" ] && [ -n "$restore_unit" ]; then
    for line in Type=dbus BusName=io.github.dorvik.PowerHelper StateDirectory=dorvik-power-helper "ExecStart=$helper"; do
        grep -qx "$line" "$unit" || fail "$unit lacks $line"
    done
    for line in ConditionPathExists=/var/lib/dorvik-power-helper/changes "ExecStart=$helper --restore-only"; do
        grep -qx "$line" "$restore_unit" || fail "$restore_unit lacks $line"
    done
    [ -L "$(dirname "$restore_unit")/multi-user.target.wants/dorvik-power-helper-restore.service" ] \
        || fail "the boot-time restore is not enabled"
    if command -v systemd-analyze >/dev/null; then
        # Checked as installed, the helper found in the temporary tree.
        units="$(mktemp -d)"
        for file in "$unit" "$restore_unit"; do
            sed "s|^ExecStart=$helper|ExecStart=$destdir$helper|" "$file" >"$units/$(basename "$file")"
        done
        (cd "$units" && systemd-analyze verify --man=no ./*.service) || fail "the helper's units do not verify"
        for file in "$units"/*.service; do
            exposure="$(systemd-analyze security --offline=yes "$file" | sed -n 's/.*Overall exposure level for .*: \([0-9.]*\) .*/\1/p')"
            echo "$(basename "$file"): exposure $exposure"
            awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.9) }' \
                || fail "$(basename "$file") is exposed at ${exposure:-an unknown level}, above 2.9"
        done
        rm -rf "$units"
    else
        echo "systemd-analyze is missing: the units are not verified (apt-get install systemd)"
    fi
fi

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "installed tree is complete"
