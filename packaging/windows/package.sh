#!/usr/bin/env bash
# Builds the Windows package, BrontalOcx-<version>-windows.zip, from the windows (64-bit) and
# windows32 (32-bit) builds: both DLLs with their type libraries and drvkeltor.exe, the README
# and the example script, texts with Windows line ends.
#
# Usage: packaging/windows/package.sh [output folder]   (default: build/windows-package)
# Prints the path of the zip it wrote.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
out=${1:-$root/build/windows-package}
here=$root/packaging/windows

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/windows/CMakeCache.txt")
if [ -z "$version" ]; then
    echo "package: build the windows preset first" >&2
    exit 1
fi
name=BrontalOcx-$version-windows
stage=$out/$name

rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/x64" "$stage/x86"
for width in x64:windows x86:windows32; do
    folder=${width%%:*}
    build=$root/build/${width#*:}
    for file in lib/BrontalOcx.dll hosting/BrontalOcx.tlb bin/drvkeltor.exe; do
        if [ ! -f "$build/$file" ]; then
            echo "package: $build/$file is missing: build the ${width#*:} preset" >&2
            exit 1
        fi
        cp "$build/$file" "$stage/$folder/"
    done
done
# Notepad and cscript on older Windows want CR LF.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$here/README.txt" >"$stage/README.txt"
sed -e 's/$/\r/' "$here/receipt-example.vbs" >"$stage/receipt-example.vbs"

(cd "$out" && cmake -E tar cf "$name.zip" --format=zip "$name")
rm -rf "$stage"
echo "$out/$name.zip"
