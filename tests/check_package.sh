#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package as the README says and checks it with Debian's
# lintian: an error or a warning fails, and so does an info tag that the
# package's overrides (data/dorvik.lintian-overrides) do not keep.
# Usage: check_package.sh CPACK BUILD_DIR
set -euo pipefail

cpack="$1"
build_dir="$2"

for tool in lintian:lintian dpkg-shlibdeps:dpkg-dev; do
    command -v "${tool%%:*}" >/dev/null \
        || { echo "FAIL: ${tool%%:*} is missing (apt-get install ${tool#*:})"; exit 1; }
done

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
if ! "$cpack" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
fi
deb="$(echo "$out"/*.deb)"
echo "built $(basename "$deb")"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)', not utils"
[ "$(field Recommends)" = polkitd ] || fail "Recommends is '$(field Recommends)', not polkitd"
# The shared-library scan names libc6 and Qt's libraries with their versions.
for library in libc6 libqt6core6 libqt6dbus6 libqt6widgets6; do
    field Depends | grep -Eq "(^|, )$library \(>= " || fail "Depends lacks $library from the library scan: $(field Depends)"
done

# Kept info tags are overridden, with their reason, and so not shown here;
# an override that nothing uses yet is only noted.
report="$(lintian --display-info --fail-on none "$deb" 2>&1)" || fail "lintian could not check the package"
echo "$report"
tags="$(echo "$report" | grep -E '^[EWI]: ' | grep -v ' unused-override ' || true)"
[ -z "$tags" ] || fail "lintian: $(echo "$tags" | wc -l) tag(s) above"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "the package passes lintian"
