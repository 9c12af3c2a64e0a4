' A sale receipt through BrontalOcx.DrvKeltor: one article, paid in cash with change.
'
' Usage: cscript //nologo receipt-example.vbs PORT
'   PORT  the number n of the printer's port COMn (the speed is 9600 baud here)
'
' Every method sets ResultCode (0: done) and ResultCodeDescription. A failing method also raises
' a script error whose Number is &H80040000 plus the code's digits and whose Description is the
' same text, so a script may use either; this one turns errors off and reads ResultCode.
Option Explicit

Dim drv
If WScript.Arguments.Count <> 1 Then
    WScript.Echo "usage: cscript //nologo receipt-example.vbs PORT"
    WScript.Quit 2
End If

Set drv = CreateObject("BrontalOcx.DrvKeltor")
drv.ComPort = CInt(WScript.Arguments(0))
drv.BaudRate = 9600
drv.SuppressAutodetect = 1

' Ends the script when the last call failed.
Sub Check(name)
    If drv.ResultCode <> 0 Then
        WScript.Echo name & " failed: " & drv.ResultCode & " " & drv.ResultCodeDescription
        WScript.Quit 1
    End If
    WScript.Echo name & ": done"
End Sub

On Error Resume Next

drv.Connect
Check "Connect"
WScript.Echo "Printer: " & drv.PrinterName

drv.ReceiptType = 1         ' a sale
drv.OpenReceipt
Check "OpenReceipt"

drv.Article = "Coffee"
drv.Price = CCur("6.54")    ' money is Currency: amounts with up to four decimals
drv.Quantity = 2
drv.Department = 1
drv.Sale
Check "Sale"
WScript.Echo "Subtotal: " & drv.Subtotal

drv.CompleteReceipt
Check "CompleteReceipt"
drv.Amount = 20
drv.PayCash
Check "PayCash"
WScript.Echo "Change: " & drv.Change

drv.CloseReceipt
Check "CloseReceipt"
drv.Disconnect
WScript.Quit 0
