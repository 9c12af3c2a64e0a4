#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need. Runs as root (or through sudo).
set -euo pipefail

packages=(
    build-essential cmake pkg-config clang-format
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libxml2-dev
    clang-14 libclang-rt-14-dev
    help2man dpkg-dev
    # The test utility: Qt 6 Widgets, and for its tests a virtual X server, its window lister
    # and fonts with Cyrillic letters for the screenshots.
    qt6-base-dev xvfb xauth x11-utils fonts-dejavu-core
    # The Windows build and its tests under Wine (tests/windows/wine-test.sh): the mingw-w64
    # cross compilers, widl (mingw-w64-tools) with Wine's IDL files (libwine-dev), Wine for
    # 64-bit and, through i386 multiarch, 32-bit programs (its display is the xvfb above).
    g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
    wine64 wine32:i386 libwine-dev
    # The HTTP service: its HTTP, JSON and SQLite libraries, and a browser for its page test.
    libcpp-httplib-dev nlohmann-json3-dev libsqlite3-dev libssl-dev chromium
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -q -x i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
