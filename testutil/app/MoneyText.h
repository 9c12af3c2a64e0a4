// Amounts, quantities, dates and words as the pages show and take them.
#pragma once

#include <windows.h>

#include <QDateTime>
#include <QString>

// "8.70", "-1,5", "3.261": an amount times 10000 (the Automation currency); false for a text
// with more than four decimals or that is no number.
bool ParseMoney(const QString& text, LONGLONG* money);
// The amount with at least two decimals and no trailing zeros beyond them: "8.70", "3.261".
QString FormatMoney(LONGLONG money);
// "dd.MM.yyyy hh:mm:ss" of an Automation date; empty for one that is no date.
QString FormatDate(DATE date);
// Local times as the printer keeps its clock; an invalid QDateTime for a DATE that is none.
DATE ToAutomationDate(const QDateTime& moment);
QDateTime FromAutomationDate(DATE date);
// The low 16 bits of a status word or checksum as "%04X".
QString FormatHex4(LONG value);
