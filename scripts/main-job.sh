#!/usr/bin/env bash
# The main job: sales on the virtual printer, from a fresh Debian 12 machine (run as root, or with
# sudo at hand for the packages).
#
# Installs what is missing, builds the release preset, makes a demo folder with a registry of its
# own, registers the component there, starts the virtual printer on a new COM port, connects the
# driver to it, runs the automatic sales test (2 days of 5 receipts) and shows the printer's
# paper. The printer started here is ended by its pid when the script ends, however it ends.
#
# Usage: scripts/main-job.sh [demo folder]   (default: build/demo)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
demo=${1:-$root/build/demo}
build=$root/build/release

scripts/install-deps.sh
cmake --preset release
cmake --build --preset release --target BrontalOcx regsvr vprinter drvkeltor

# A fresh demo each run: its registry, printer state, paper and journals are remade.
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
rm -rf "$demo/registry"
rm -f "$demo/printer.state" "$demo/paper.txt" "$demo/vprinter.out" "$demo/vprinter.err" \
    "$demo"/callflow.txt "$demo"/tracexch.txt
mkdir -p "$demo/registry"
export BRONTAL_REGISTRY_DIR="$demo/registry"

"$build/bin/regsvr" -s "$build/lib/libBrontalOcx.so"

vprinter_pid=""
stop_vprinter() {
    if [ -n "$vprinter_pid" ] && kill -0 "$vprinter_pid" 2>/dev/null; then
        kill -TERM "$vprinter_pid"
        wait "$vprinter_pid" 2>/dev/null || true
    fi
    vprinter_pid=""
}
trap stop_vprinter EXIT
trap 'exit 130' INT TERM

"$build/bin/vprinter" --state "$demo/printer.state" --paper "$demo/paper.txt" \
    >"$demo/vprinter.out" 2>"$demo/vprinter.err" &
vprinter_pid=$!

# The printer says "COMn /dev/pts/K" once it serves.
port=""
for _ in $(seq 1 100); do
    if read -r com device <"$demo/vprinter.out" 2>/dev/null && [[ "$com" =~ ^COM([0-9]+)$ ]]; then
        port=${BASH_REMATCH[1]}
        break
    fi
    if ! kill -0 "$vprinter_pid" 2>/dev/null; then
        echo "main-job: the virtual printer did not start:" >&2
        cat "$demo/vprinter.err" >&2
        exit 1
    fi
    sleep 0.1
done
if [ -z "$port" ]; then
    echo "main-job: the virtual printer did not report its port" >&2
    exit 1
fi
echo "main-job: virtual printer on COM$port ($device), pid $vprinter_pid"

# The journal files of the Z reports go to the current folder.
cd "$demo"
"$build/bin/drvkeltor" ComPort="$port" BaudRate=9600 SuppressAutodetect=1 Connect \
    ?PrinterName ?SoftwareVersion \
    salestest --days 2 --receipts 5 --article 3

echo "main-job: what the printer printed ($demo/paper.txt):"
iconv -f CP1251 -t UTF-8 "$demo/paper.txt"

stop_vprinter
echo "main-job: done"
