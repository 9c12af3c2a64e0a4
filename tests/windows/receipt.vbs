' A client that binds late, as point-of-sale scripts do: the driver by its ProgID, properties set
' and methods called by name, ResultCode and ResultCodeDescription checked after each call. It
' also changes the trace mask in the registry and waits for the object to see it.
'
' Usage: cscript //nologo receipt.vbs PORT MISSING_PORT TEXTS RECEIVED
'   PORT          the COM port number of the printer
'   MISSING_PORT  a COM port number with no device behind it
'   TEXTS         a UTF-16 file of three lines: the two article names, then the description
'                 the driver gives when it cannot reach the printer
'   RECEIVED      a UTF-16 file the script writes the descriptions it received to
'
' Prints "ok ..." for each step, then "done"; the first step that goes wrong prints "FAIL ..."
' and ends the script with exit code 1. The Russian texts come from and go to UTF-16 files, so
' that neither the script's own encoding nor the console's code page can change them.
Option Explicit

Const ForReading = 1
Const UnicodeFile = -1

Dim fso, drv, received, firstArticle, secondArticle, missingText
If WScript.Arguments.Count <> 4 Then
    WScript.Echo "usage: receipt.vbs PORT MISSING_PORT TEXTS RECEIVED"
    WScript.Quit 2
End If

Set fso = CreateObject("Scripting.FileSystemObject")
Dim texts
Set texts = fso.OpenTextFile(WScript.Arguments(2), ForReading, False, UnicodeFile)
firstArticle = texts.ReadLine
secondArticle = texts.ReadLine
missingText = texts.ReadLine
texts.Close
Set received = fso.CreateTextFile(WScript.Arguments(3), True, True)

Sub Fail(what)
    received.Close
    WScript.Echo "FAIL " & what
    WScript.Quit 1
End Sub

' After a call made under "On Error Resume Next": the call and ResultCode must say success.
Sub Check(name)
    Dim number, description
    number = Err.Number
    description = Err.Description
    Err.Clear
    received.WriteLine name & ": " & drv.ResultCodeDescription
    If number <> 0 Then Fail name & ": error 0x" & Hex(number) & " (see the received texts)"
    If drv.ResultCode <> 0 Then Fail name & ": ResultCode " & drv.ResultCode
    WScript.Echo "ok " & name
End Sub

Sub Sell(article, price, quantity)
    On Error Resume Next
    drv.Article = article
    drv.Price = CCur(price)
    drv.Quantity = quantity
    drv.Sale
    Check "Sale of " & quantity & " at " & price
End Sub

Sub Expect(what, actual, expected)
    If actual <> expected Then Fail what & " = " & actual & ", expected " & expected
    WScript.Echo "ok " & what & " = " & actual
End Sub

Set drv = CreateObject("BrontalOcx.DrvKeltor")
WScript.Echo "ok CreateObject"

' The settings follow the registry: a trace mask written there by another program reaches the
' object through its registry monitor. (Wine's script host has no WScript.Sleep: the wait polls
' the clock, and only a failure waits long.)
Const TraceMaskValue = "HKCU\SOFTWARE\Orvane\Brontl\Settings\TraceMask"
Function SecondsSince(start)
    SecondsSince = Timer - start
    If SecondsSince < 0 Then SecondsSince = SecondsSince + 86400
End Function
Sub ExpectTraceMask(mask)
    Dim shell, start
    Set shell = CreateObject("WScript.Shell")
    shell.RegWrite TraceMaskValue, mask, "REG_DWORD"
    start = Timer
    ' Unsigned Automation types (TraceMask is VT_UI2) take part in no VBScript comparison.
    Do While CLng(drv.TraceMask) <> mask And SecondsSince(start) < 20
    Loop
    Expect "TraceMask after the registry changed", CLng(drv.TraceMask), mask
End Sub
ExpectTraceMask 3
ExpectTraceMask 0

' The failure path: a port with no device. The driver's result code reaches the script as the
' error number (0x80040000 with the code) with the description as its text and the ProgID as
' its source; ResultCode and ResultCodeDescription say the same afterwards.
Dim number, description, source
drv.SuppressAutodetect = 1
drv.BaudRate = 9600
drv.ComPort = CInt(WScript.Arguments(1))
On Error Resume Next
drv.Connect
number = Err.Number
description = Err.Description
source = Err.Source
Err.Clear
On Error GoTo 0
received.WriteLine "Connect error: " & description
received.WriteLine "Connect: " & drv.ResultCodeDescription
Expect "failed Connect: ResultCode", drv.ResultCode, -9004
Expect "failed Connect: error number", "0x" & Hex(number), "0x" & Hex(&H80040000 + 9004)
Expect "failed Connect: error source", source, "BrontalOcx.DrvKeltor"
If description <> missingText Then Fail "failed Connect: error description is not the expected text"
If drv.ResultCodeDescription <> missingText Then Fail "failed Connect: ResultCodeDescription is not the expected text"
WScript.Echo "ok failed Connect: both descriptions are the expected Russian text"

' The receipt: two lines, paid in cash with change.
drv.ComPort = CInt(WScript.Arguments(0))
On Error Resume Next
drv.Connect
Check "Connect"
On Error GoTo 0
' Dates cross as Automation dates: the printer's clock, which the virtual printer keeps at the
' machine's.
Expect "DateTime's type", VarType(drv.DateTime), vbDate
If Abs(CDbl(drv.DateTime) - CDbl(Now)) * 86400 > 300 Then Fail "DateTime " & drv.DateTime & " is not the clock, " & Now
WScript.Echo "ok DateTime is the printer's clock"
On Error Resume Next
drv.ReceiptType = 1
drv.OpenReceipt
Check "OpenReceipt"
Sell firstArticle, "8.70", 2
Sell secondArticle, "3.15", 1
On Error GoTo 0
Expect "Subtotal in coins", CLng(drv.Subtotal * 100), 2055
On Error Resume Next
drv.CompleteReceipt
Check "CompleteReceipt"
drv.Amount = 25
drv.PayCash
Check "PayCash"
On Error GoTo 0
Expect "Change in coins", CLng(drv.Change * 100), 445
On Error Resume Next
drv.CloseReceipt
Check "CloseReceipt"
On Error GoTo 0
Expect "StateReceiptOpen", CLng(drv.StateReceiptOpen), 0
On Error Resume Next
drv.Disconnect
Check "Disconnect"
On Error GoTo 0

received.Close
WScript.Echo "done"
WScript.Quit 0
