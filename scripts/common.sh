# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the build scripts: make sure the Debian packages are there.
# Usage: ensure_packages pkg...
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
            sudo=(sudo)
        elif command -v sudo >/dev/null 2>&1 && [ -t 0 ]; then
            sudo=(sudo)
        else
            echo "These Debian packages are missing: ${missing[*]}" >&2
            echo "Install them as root (apt-get install ${missing[*]}) and run this again." >&2
            exit 1
        fi
    fi
    echo "Installing ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

BUILD_PACKAGES=(cmake make g++ qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev fonts-liberation)
# Clang with its sanitizer runtimes, libFuzzer, and llvm-symbolizer for readable reports.
SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev libfuzzer-14-dev llvm-14)

# The installed tree's checks, the Debian package's (CPack's library scan and
# lintian), systemd-analyze for the helper's units, the D-Bus services the
# keep-awake tests talk to, and the cross compiler that checks the Windows branches.
TEST_PACKAGES=(desktop-file-utils appstream libxml2-utils dpkg-dev lintian dbus python3-dbusmock
               g++-mingw-w64-x86-64-posix systemd)

configure_and_build() {
    local dir="$1"
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

# The build under AddressSanitizer and UndefinedBehaviorSanitizer, with the fuzz targets.
# Usage: configure_and_build_sanitized DIR [cmake args...]
configure_and_build_sanitized() {
    local dir="$1"
    shift
    configure_and_build "$dir" -DCMAKE_CXX_COMPILER=clang++-14 -DDORVIK_SANITIZE=ON "$@"
}
