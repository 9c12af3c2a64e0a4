#!/usr/bin/env bash
# The main job: sales on the virtual printer, from a fresh Debian 12 machine (run as root, or with
# sudo at hand for the packages).
#
# Installs what is missing, builds the release preset (its output goes to a log file), makes a
# demo folder with a registry of its own, registers the component there, starts the virtual
# printer on a new COM port, connects the driver to it, runs the automatic sales test (2 days of
# 5 receipts, each day closed by a Z report that saves the day's electronic journal) and tells
# what was done: receipts, totals, reports, and where the paper and the journal files are. The
# printer started here is ended by its pid when the script ends, however it ends.
#
# Usage: scripts/main-job.sh [demo folder]   (default: build/demo)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
demo=${1:-$root/build/demo}
build=$root/build/release
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
log=$demo/build.log

say() { echo "main-job: $*"; }
fail() {
    echo "main-job: $*" >&2
    exit 1
}

# Output of the installation and the build goes to the log; on failure its end is shown.
started=$(date +%s)
: >"$log"
if ! { scripts/install-deps.sh && cmake --preset release &&
    cmake --build --preset release --target BrontalOcx regsvr vprinter drvkeltor; } >>"$log" 2>&1; then
    tail -n 30 "$log" >&2
    fail "the build failed; the whole output is in $log"
fi
say "built the driver, drvkeltor and vprinter in $(($(date +%s) - started)) s (output in $log)"

# A fresh demo each run: its registry, printer state, paper and journals are remade.
rm -rf "$demo/registry"
rm -f "$demo/printer.state" "$demo/paper.txt" "$demo/vprinter.out" "$demo/vprinter.err" \
    "$demo/sales.out" "$demo/sales.err" "$demo"/callflow.txt "$demo"/tracexch.txt "$demo"/[0-9]*.txt
mkdir -p "$demo/registry"
export BRONTAL_REGISTRY_DIR="$demo/registry"
"$build/bin/regsvr" -s "$build/lib/libBrontalOcx.so" || fail "the component could not be registered"

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
device=""
for _ in $(seq 1 100); do
    if read -r com device <"$demo/vprinter.out" 2>/dev/null && [[ "$com" =~ ^COM([0-9]+)$ ]]; then
        port=${BASH_REMATCH[1]}
        break
    fi
    if ! kill -0 "$vprinter_pid" 2>/dev/null; then
        cat "$demo/vprinter.err" >&2
        fail "the virtual printer did not start"
    fi
    sleep 0.1
done
[ -n "$port" ] || fail "the virtual printer did not report its port"
say "the virtual printer serves as COM$port ($device)"

# The Z reports save each day's journal to the current folder (ElectronicJournalSavePath).
cd "$demo"
if ! "$build/bin/drvkeltor" --no-progress ComPort="$port" BaudRate=9600 SuppressAutodetect=1 \
    NecessityToDownloadEJ=1 Connect ?PrinterName ?SoftwareVersion \
    salestest --days 2 --receipts 5 --article 3 >"$demo/sales.out" 2>"$demo/sales.err"; then
    cat "$demo/sales.out" "$demo/sales.err" >&2
    fail "the sales test failed"
fi

printer=$(sed -n 's/^PrinterName=//p' "$demo/sales.out")
version=$(sed -n 's/^SoftwareVersion=//p' "$demo/sales.out")
receipts=$(grep -c "^salestest: day [0-9]*, receipt [0-9]* closed" "$demo/sales.out" || true)
days=$(grep -c "^salestest: day [0-9]* closed by its Z report" "$demo/sales.out" || true)
paper=$(iconv -f CP1251 -t UTF-8 "$demo/paper.txt")
say "driver $version connected to the printer $printer on COM$port"
say "sold $receipts receipts of potatoes (3.261 kg at 6.71 each, 21.88) over $days days, paid in cash"
# The Z reports' own lines: the day, its receipts and its cash sales.
say "each day ended with a Z report:"
echo "$paper" | awk '
    /Z-ОТЧЕТ/ { z = 1 }
    z && /^ *СМЕНА [0-9]+ +ОТКРЫТА/ { day = $2 }
    z && /^ЧЕКОВ ПРОДАЖИ/ { receipts = $NF }
    z && /^RUB ПРОДАЖИ/ { total = $NF }
    z && /НАКОПЛЕНО ПРОДАЖ/ { grand = $NF }
    z && /СМЕНА [0-9]+ ЗАКРЫТА/ {
        printf "    day %s: %s receipts, sales %s in cash; sales since fiscalisation %s\n", day, receipts, total, grand
        z = 0
    }'
journals=$(ls "$demo"/[0-9]*.txt 2>/dev/null || true)
if [ -n "$journals" ]; then
    say "the electronic journal of each day was read and saved (Windows-1251):"
    for file in $journals; do
        echo "    $file ($(wc -c <"$file") bytes)"
    done
else
    fail "no journal file was written to $demo"
fi
say "what the printer printed is in $demo/paper.txt (Windows-1251), its first receipt:"
echo "$paper" | awk '/ЧЕК ПРОДАЖИ/ && !seen { on = 1; seen = 1 } on { print "    " $0 } on && /ФИСКАЛЬНЫЙ ДОКУМЕНТ/ { exit }'
stop_vprinter
say "done; the virtual printer was stopped (run the job again at will)"
