#!/usr/bin/env bash
# The Windows build under Wine, in a fresh Wine prefix of its own.
#
# Builds the windows and windows32 presets and the Windows package, then with the files of the
# package: registers both DLLs with regsvr32 and reads the keys back with reg, unregisters and
# registers again; checks the type library against the member catalogue (typelib_check.exe);
# starts the virtual printer on a pseudo-terminal mapped as COM5; runs a receipt, an X and a Z
# report with drvkeltor.exe; finds the printer by scanning the ports behind the progress
# window; reads the journal behind it with the 32-bit drvkeltor.exe; runs the VBScript client
# (tests/windows/receipt.vbs, with its failure path on COM6, where there is no device) through
# Wine's 64-bit and 32-bit script hosts, and the package's example script.
#
# Wine runs with the C locale, so its ANSI code page is 1252: the Russian texts must come out
# right without a Russian Windows.
#
# Usage: tests/windows/wine-test.sh VPRINTER   (the Linux virtual printer program)
# Ends only what it started: the virtual printer and Xvfb by their ids, the wineserver of its
# own prefix with wineserver -k.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
vprinter=$(realpath "${1:?usage: tests/windows/wine-test.sh VPRINTER}")
started=$SECONDS
work=$root/build/wine-test
here=$root/tests/windows

say() { echo "wine-test: $*"; }
fail() {
    echo "wine-test: FAIL: $*" >&2
    exit 1
}
elapsed() { echo "$((SECONDS - started)) s"; }

# ---- the builds and the package ----
for preset in windows windows32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
say "built ($(elapsed))"

# The 32-bit exports must be undecorated and no binary may need a DLL that a bare Windows
# lacks (the C++ and thread run-times are linked in).
exports=$(i686-w64-mingw32-objdump -p build/windows32/lib/BrontalOcx.dll |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $NF}' | sort | tr '\n' ' ')
[ "$exports" = "DllCanUnloadNow DllGetClassObject DllGetMemberCatalogue DllRegisterServer DllUnregisterServer " ] ||
    fail "32-bit exports: $exports"
for binary in build/windows/lib/BrontalOcx.dll build/windows/bin/drvkeltor.exe \
    build/windows32/lib/BrontalOcx.dll build/windows32/bin/drvkeltor.exe; do
    extra=$(x86_64-w64-mingw32-objdump -p "$binary" | sed -n 's/^\tDLL Name: //p' | tr 'a-z' 'A-Z' |
        grep -v -x -E 'KERNEL32.DLL|ADVAPI32.DLL|USER32.DLL|COMCTL32.DLL|OLE32.DLL|OLEAUT32.DLL|VERSION.DLL|SHELL32.DLL|MSVCRT.DLL' || true)
    [ -z "$extra" ] || fail "$binary needs $extra"
done

rm -rf "$work"
mkdir -p "$work"
zip=$(packaging/windows/package.sh "$work")
(cd "$work" && cmake -E tar xf "$zip")
package=$(echo "$work"/BrontalOcx-*-windows)
for file in README.txt receipt-example.vbs x64/BrontalOcx.dll x64/BrontalOcx.tlb x64/drvkeltor.exe \
    x86/BrontalOcx.dll x86/BrontalOcx.tlb x86/drvkeltor.exe; do
    [ -f "$package/$file" ] || fail "the package lacks $file"
done
version=${package##*/BrontalOcx-}
version=${version%-windows}
say "package $zip"

# ---- Wine, Xvfb and the virtual printer, ended on the way out ----
# The programs' own files (trace files, journals) go to the current folder.
cd "$work"
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C
wine=$(command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
xvfb_pid=""
vprinter_pid=""
cleanup() {
    if [ -n "$vprinter_pid" ]; then
        kill -TERM "$vprinter_pid" 2>/dev/null || true
        wait "$vprinter_pid" 2>/dev/null || true
    fi
    if [ -d "$WINEPREFIX" ]; then
        "$wineserver" -k 2>/dev/null || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill -TERM "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# The progress window is a real window: Wine draws it on a display of our own.
Xvfb -displayfd 3 -nolisten tcp -screen 0 800x600x24 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=""
for _ in $(seq 1 100); do
    display=$(cat "$work/display")
    [ -n "$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
    sleep 0.1
done
[ -n "$display" ] || fail "Xvfb gave no display"
export DISPLAY=:$display

# Windows paths of files here (Wine's drive Z: is the root).
winpath() { echo "Z:${1//\//\\}"; }
# Runs a Windows program; its console output with the CR of its line ends removed.
run() { "$wine" "$@" | tr -d '\r'; }

# One server for the whole stage: the port list written below lives in the volatile hardware
# key, which lasts as long as the server.
mkdir -p "$WINEPREFIX"
"$wineserver" -p >"$work/wineserver.log" 2>&1 || fail "wineserver: $(cat "$work/wineserver.log")"
"$wine" wineboot -i >"$work/wineboot.log" 2>&1 || fail "wineboot: $(cat "$work/wineboot.log")"
say "Wine prefix ready ($(elapsed))"

# ---- registration ----
dll64=$(winpath "$package/x64/BrontalOcx.dll")
dll32=$(winpath "$package/x86/BrontalOcx.dll")
clsid='{3F8A2C61-7B4D-4E19-A5C2-6D0E91B7F4A3}'
libid='{3F8A2C60-7B4D-4E19-A5C2-6D0E91B7F4A3}'
appid='{3F8A2C63-7B4D-4E19-A5C2-6D0E91B7F4A3}'
iid='{3F8A2C62-7B4D-4E19-A5C2-6D0E91B7F4A3}'

# The registry as a program of each width sees it: reg.exe of that width.
reg_of() {
    if [ "$1" = 64 ]; then echo 'C:\windows\system32\reg.exe'; else echo 'C:\windows\syswow64\reg.exe'; fi
}
# expect_value WIDTH KEY NAME DATA: NAME ("" for the default value) of KEY, as a program of
# WIDTH (64 or 32) bits sees it, holds the text DATA.
expect_value() {
    local reg key=$2 name=$3 data=$4 shown
    reg=$(reg_of "$1")
    if [ -z "$name" ]; then
        shown=$(run "$reg" query "$key" /ve 2>/dev/null) || fail "no key $key ($1-bit)"
        name="(Default)"
    else
        shown=$(run "$reg" query "$key" /v "$name" 2>/dev/null) || fail "no value $name in $key ($1-bit)"
    fi
    grep -q -x -F "    $name    REG_SZ    $data" <<<"$shown" ||
        fail "$key ($1-bit): $name is not \"$data\": $shown"
}
expect_key() {
    run "$(reg_of "$1")" query "$2" >/dev/null 2>&1 || fail "no key $2 ($1-bit)"
}
expect_no_key() {
    if run "$(reg_of "$1")" query "$2" >/dev/null 2>&1; then
        fail "$2 ($1-bit) is still there"
    fi
}
expect_registered() {
    local view=$1 dll=$2 kind=$3
    expect_value "$view" "HKCR\\AppID\\$appid" "" BrontalOcx
    expect_value "$view" 'HKCR\AppID\BrontalOcx.DLL' AppID "$appid"
    expect_value "$view" 'HKCR\BrontalOcx.DrvKeltor.1' "" "DrvKeltor Class"
    expect_value "$view" 'HKCR\BrontalOcx.DrvKeltor.1\CLSID' "" "$clsid"
    expect_value "$view" 'HKCR\BrontalOcx.DrvKeltor' "" "DrvKeltor Class"
    expect_value "$view" 'HKCR\BrontalOcx.DrvKeltor\CLSID' "" "$clsid"
    expect_value "$view" 'HKCR\BrontalOcx.DrvKeltor\CurVer' "" BrontalOcx.DrvKeltor.1
    expect_value "$view" "HKCR\\CLSID\\$clsid" "" "DrvKeltor Class"
    expect_value "$view" "HKCR\\CLSID\\$clsid" AppID "$appid"
    expect_value "$view" "HKCR\\CLSID\\$clsid\\ProgID" "" BrontalOcx.DrvKeltor.1
    expect_value "$view" "HKCR\\CLSID\\$clsid\\VersionIndependentProgID" "" BrontalOcx.DrvKeltor
    expect_key "$view" "HKCR\\CLSID\\$clsid\\Programmable"
    expect_value "$view" "HKCR\\CLSID\\$clsid\\InprocServer32" "" "$dll"
    expect_value "$view" "HKCR\\CLSID\\$clsid\\InprocServer32" ThreadingModel Apartment
    expect_value "$view" "HKCR\\CLSID\\$clsid\\TypeLib" "" "$libid"
    expect_value "$view" "HKCR\\TypeLib\\$libid\\1.0\\0\\$kind" "" "$dll"
    expect_value "$view" "HKCR\\Interface\\$iid" "" IDrvKeltor
}
expect_unregistered() {
    local view=$1
    for key in "HKCR\\AppID\\$appid" 'HKCR\AppID\BrontalOcx.DLL' 'HKCR\BrontalOcx.DrvKeltor.1' \
        'HKCR\BrontalOcx.DrvKeltor' "HKCR\\CLSID\\$clsid" "HKCR\\TypeLib\\$libid"; do
        expect_no_key "$view" "$key"
    done
}

run regsvr32 /s "$dll64" || fail "regsvr32 (64-bit)"
expect_registered 64 "$dll64" win64
run regsvr32 /u /s "$dll64" || fail "regsvr32 /u (64-bit)"
expect_unregistered 64
run regsvr32 /s "$dll32" || fail "regsvr32 (32-bit)"
expect_registered 32 "$dll32" win32
run regsvr32 /u /s "$dll32" || fail "regsvr32 /u (32-bit)"
expect_unregistered 32
run regsvr32 /s "$dll64" || fail "regsvr32 again (64-bit)"
run regsvr32 /s "$dll32" || fail "regsvr32 again (32-bit)"
say "regsvr32 registers and unregisters both widths ($(elapsed))"

# ---- what object browsers see ----
for width in windows windows32; do
    checked=$(run "$(winpath "$root/build/$width/bin/typelib_check.exe")" "$version") ||
        fail "typelib_check ($width): $checked"
    say "$width: $(tail -n 1 <<<"$checked")"
done

# ---- the virtual printer as COM5; COM6 has no device ----
mkdir -p "$work/registry" "$work/journal"
BRONTAL_REGISTRY_DIR=$work/registry "$vprinter" --state "$work/printer.state" \
    --paper "$work/paper.txt" >"$work/vprinter.out" 2>"$work/vprinter.err" &
vprinter_pid=$!
device=""
for _ in $(seq 1 100); do
    if read -r _ device <"$work/vprinter.out" 2>/dev/null && [ -n "$device" ]; then
        break
    fi
    kill -0 "$vprinter_pid" 2>/dev/null || fail "vprinter did not start: $(cat "$work/vprinter.err")"
    sleep 0.1
done
[ -n "$device" ] || fail "vprinter gave no device"
ln -sfn "$device" "$WINEPREFIX/dosdevices/com5"
# The ports a scan tries: COM6 first, then the printer's; nothing else of the machine.
serialcomm='HKLM\HARDWARE\DEVICEMAP\SERIALCOMM'
run reg delete "$serialcomm" /va /f >/dev/null || fail "the serial port list cannot be emptied"
# Wine lists values by name.
run reg add "$serialcomm" /v '\Device\Serial0' /d COM6 /f >/dev/null || fail "COM6 cannot be listed"
run reg add "$serialcomm" /v '\Device\Serial1' /d COM5 /f >/dev/null || fail "COM5 cannot be listed"
# The paper so far, as UTF-8 text in a file (grep -q on a pipe would end the writer early).
paper() {
    iconv -f CP1251 -t UTF-8 "$work/paper.txt" >"$work/paper.utf8"
    echo "$work/paper.utf8"
}
say "virtual printer on $device as COM5"

# ---- drvkeltor.exe: a receipt of two lines paid in cash with change, X and Z reports ----
drvkeltor64=$(winpath "$package/x64/drvkeltor.exe")
drvkeltor32=$(winpath "$package/x86/drvkeltor.exe")
# Russian texts on the command line and in a script's name reach the driver whole, though the
# ANSI code page has no letters for them (a UTF-8 locale, so that Wine reads the Unix arguments
# right; its ANSI code page stays 1252).
printf '%s\n' 'Article=Чай' ?Article >"$work/чек.txt"
for client in "$drvkeltor64" "$drvkeltor32"; do
    got=$(LC_ALL=C.UTF-8 run "$client" --no-progress 'Article=Кофе' ?Article -f "$(winpath "$work/чек.txt")") ||
        fail "drvkeltor.exe Russian arguments: $got"
    [ "$got" = $'Article=Кофе\nArticle=Чай' ] || fail "drvkeltor.exe Russian arguments gave: $got"
done
printf '%s\n' ComPort=5 BaudRate=9600 SuppressAutodetect=1 Connect ReceiptType=1 OpenReceipt \
    'Article=Хлеб ржаной' Price=8.70 Quantity=2 Sale 'Article=Молоко' Price=3.15 Quantity=1 Sale \
    ?Subtotal CompleteReceipt Amount=25 PayCash ?Change CloseReceipt PrintXReport PrintZReport \
    >"$work/receipt.txt"
got=$(run "$drvkeltor64" --no-progress -f "$(winpath "$work/receipt.txt")") ||
    fail "drvkeltor.exe receipt: $got"
expected='Connect: 0 (success)
OpenReceipt: 0 (success)
Sale: 0 (success)
Sale: 0 (success)
Subtotal=20.55
CompleteReceipt: 0 (success)
PayCash: 0 (success)
Change=4.45
CloseReceipt: 0 (success)
PrintXReport: 0 (success)
PrintZReport: 0 (success)'
[ "$got" = "$expected" ] || fail "drvkeltor.exe receipt printed: $got"
for line in 'Хлеб ржаной' '  2 x 8.70' 'Молоко' 'ИТОГ                                      =20.55' \
    'НАЛИЧНЫМИ                                  25.00' 'СДАЧА                                       4.45' \
    X-ОТЧЕТ Z-ОТЧЕТ; do
    grep -q -F -- "$line" "$(paper)" || fail "the paper lacks \"$line\""
done
say "drvkeltor.exe: receipt, X and Z reports on the paper ($(elapsed))"

# ---- a port scan behind the progress window finds the printer and keeps its port ----
run "$drvkeltor64" --progress ComPort=0 BaudRate=0 SuppressAutodetect=0 Connect ?ComPort ?BaudRate \
    >"$work/scan.out" 2>"$work/scan.err" || fail "drvkeltor.exe scan: $(cat "$work/scan.out")"
[ "$(tr -d '\r' <"$work/scan.out")" = $'Connect: 0 (success)\nComPort=5\nBaudRate=9600' ] ||
    fail "the scan found: $(cat "$work/scan.out")"
for caption in 'Сканирование портов: COM6 9600' 'Сканирование портов: COM5 9600'; do
    grep -q -F "$caption" "$work/scan.err" || fail "the progress line never showed \"$caption\""
done
stored=$(run reg query 'HKCU\SOFTWARE\Orvane\Brontl\Settings\Communication')
grep -q -E '^    COM    REG_DWORD    0x5$' <<<"$stored" || fail "the found port is not kept: $stored"
say "drvkeltor.exe: the scan found COM5 behind the progress window ($(elapsed))"

# ---- the 32-bit client reads the journal behind the progress window ----
connect=(ComPort=5 BaudRate=9600 SuppressAutodetect=1 Connect SessionNumber=1)
size=$(run "$drvkeltor32" --no-progress "${connect[@]}" RequestSessionElectronicJournalInfo \
    ?ElectronicJournalSize | sed -n 's/^ElectronicJournalSize=//p')
[ "${size:-0}" -gt 1024 ] || fail "the first day's journal has ${size:-no} bytes"
got=$(run "$drvkeltor32" --progress "${connect[@]}" ElectronicJournalReadOffset=0 \
    "ElectronicJournalReadSize=$size" "ElectronicJournalSavePath=$(winpath "$work/journal")" \
    ReadElectronicJournal 2>"$work/journal.err") || fail "drvkeltor.exe (32-bit) journal: $got"
[ "$got" = $'Connect: 0 (success)\nReadElectronicJournal: 0 (success)' ] || fail "journal read printed: $got"
grep -q -F 'Чтение электронного журнала [' "$work/journal.err" ||
    fail "the journal read showed no progress: $(cat "$work/journal.err")"
[ "$(stat -c %s "$work/journal/00000001.txt")" = "$size" ] || fail "the saved journal is not whole"
iconv -f CP1251 -t UTF-8 "$work/journal/00000001.txt" >"$work/journal.utf8"
grep -q -F 'Хлеб ржаной' "$work/journal.utf8" ||
    fail "the saved journal lacks the receipt"
say "drvkeltor.exe (32-bit): the journal read behind the progress window ($(elapsed))"

# ---- VBScript through Wine's script hosts, 64-bit and 32-bit ----
# The script's texts: the two articles and the description of a port without a device.
printf '\xff\xfe' >"$work/texts.txt"
printf 'Батон нарезной\r\nКефир\r\nДрайвер: нет связи с ФР. ФР заблокирован\r\n' |
    iconv -f UTF-8 -t UTF-16LE >>"$work/texts.txt"
for host in 'C:\windows\system32\cscript.exe' 'C:\windows\syswow64\cscript.exe'; do
    # Wine's script host reports a script error with neither a message nor an exit code: the
    # script's last line, "done", is what says it ran to its end.
    got=$(run "$host" //nologo "$(winpath "$here/receipt.vbs")" 5 6 \
        "$(winpath "$work/texts.txt")" "$(winpath "$work/received.txt")") ||
        fail "$host receipt.vbs: $got"
    [ "$(tail -n 1 <<<"$got")" = done ] || fail "$host receipt.vbs: $got"
done
[ "$(grep -c -F 'Батон нарезной' "$(paper)")" -ge 2 ] && [ "$(grep -c -F 'Кефир' "$(paper)")" -ge 2 ] ||
    fail "the paper lacks the scripts' receipts"
got=$(run 'C:\windows\system32\cscript.exe' //nologo "$(winpath "$package/receipt-example.vbs")" 5)
grep -q -x 'CloseReceipt: done' <<<"$got" || fail "receipt-example.vbs: $got"
say "VBScript: receipts and the failure text through both script hosts ($(elapsed))"

cleanup
trap - EXIT
say "passed; the Windows stage took $(elapsed)"
