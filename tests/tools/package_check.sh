#!/usr/bin/env bash
# Builds the .deb of a build folder, installs it into a fresh root with dpkg (no container: its
# maintainer scripts run on this machine against that root), and runs the installed files:
# drvkeltor --version, then a receipt against the installed vprinter.
#
# Usage: tests/tools/package_check.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: package_check.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
vprinter_pid=""
cleanup() {
    if [ -n "$vprinter_pid" ] && kill -0 "$vprinter_pid" 2>/dev/null; then
        kill -TERM "$vprinter_pid"
        wait "$vprinter_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "package check: $*" >&2
    exit 1
}

(cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$build"/package/brontal_*.deb | head -n 1)
[ -f "$deb" ] || fail "no package in $build/package"

# A fresh root with an empty package database.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log"
touch "$root/var/lib/dpkg/status"
# The post-install step registers the component into the registry of this check.
export BRONTAL_REGISTRY_DIR=$work/registry
mkdir -p "$BRONTAL_REGISTRY_DIR"
dpkg --root="$root" --log=/dev/null --force-script-chrootless --force-depends --force-bad-path \
    --force-not-root -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log" >&2; fail "dpkg -i failed"; }

component=$(find "$root/usr/lib" -name libBrontalOcx.so | head -n 1)
[ -n "$component" ] || fail "the component is not installed"
for file in usr/bin/drvkeltor usr/bin/vprinter usr/bin/regsvr \
    usr/include/brontal/windows.h usr/include/brontal/IDrvKeltor.h \
    usr/share/bash-completion/completions/drvkeltor lib/udev/rules.d/70-brontal-serial.rules; do
    [ -e "$root/$file" ] || [ -e "$root/usr/$file" ] || fail "$file is not installed"
done
if command -v help2man >/dev/null; then
    [ -s "$root/usr/share/man/man1/drvkeltor.1.gz" ] || [ -s "$root/usr/share/man/man1/drvkeltor.1" ] ||
        fail "the man page of drvkeltor is not installed"
fi
iconv -f UTF-16 -t UTF-8 "$BRONTAL_REGISTRY_DIR/machine.reg" 2>/dev/null | grep -qF "$component" ||
    fail "the post-install step did not register the component for the machine"

version=$("$root/usr/bin/drvkeltor" --version) || fail "drvkeltor --version failed"
[[ $version =~ ^drvkeltor\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "drvkeltor --version said: $version"

"$root/usr/bin/vprinter" --paper "$work/paper.txt" >"$work/vprinter.out" 2>"$work/vprinter.err" &
vprinter_pid=$!
port=""
for _ in $(seq 1 100); do
    if read -r com _ <"$work/vprinter.out" 2>/dev/null && [[ $com =~ ^COM([0-9]+)$ ]]; then
        port=${BASH_REMATCH[1]}
        break
    fi
    kill -0 "$vprinter_pid" 2>/dev/null || { cat "$work/vprinter.err" >&2; fail "vprinter did not start"; }
    sleep 0.1
done
[ -n "$port" ] || fail "vprinter did not say its port"

"$root/usr/bin/drvkeltor" ComPort="$port" BaudRate=9600 SuppressAutodetect=1 Connect \
    ReceiptType=1 OpenReceipt Article=Bread Price=1.50 Quantity=2 Sale CompleteReceipt \
    Amount=3 PayCash CloseReceipt ?StateReceiptOpen >"$work/receipt.out" 2>&1 ||
    { cat "$work/receipt.out" >&2; fail "the receipt failed"; }
grep -q "^CloseReceipt: 0 " "$work/receipt.out" || { cat "$work/receipt.out" >&2; fail "no receipt closed"; }
grep -q "^StateReceiptOpen=0$" "$work/receipt.out" || fail "the receipt stayed open"
grep -q "Bread" "$work/paper.txt" || fail "the receipt is not on the paper"
echo "package check: $(basename "$deb") installs, registers and sells"
