#include "MoneyText.h"

#include <QRegularExpression>

bool ParseMoney(const QString& text, LONGLONG* money) {
    static const QRegularExpression shape(
        QStringLiteral("^\\s*([-+]?)(\\d{1,14})(?:[.,](\\d{0,4}))?\\s*$"));
    const QRegularExpressionMatch match = shape.match(text);
    if (!match.hasMatch()) {
        return false;
    }
    const QString decimals = (match.captured(3) + QStringLiteral("0000")).left(4);
    LONGLONG value = match.captured(2).toLongLong() * 10000 + decimals.toLongLong();
    *money = match.captured(1) == QStringLiteral("-") ? -value : value;
    return true;
}

QString FormatMoney(LONGLONG money) {
    const bool negative = money < 0;
    const unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(money)
                                                  : static_cast<unsigned long long>(money);
    QString fraction = QStringLiteral("%1").arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
    while (fraction.size() > 2 && fraction.endsWith(QLatin1Char('0'))) {
        fraction.chop(1);
    }
    return (negative ? QStringLiteral("-") : QString()) + QString::number(magnitude / 10000) +
           QLatin1Char('.') + fraction;
}

QString FormatDate(DATE date) {
    const QDateTime moment = FromAutomationDate(date);
    return moment.isValid() ? moment.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")) : QString();
}

DATE ToAutomationDate(const QDateTime& moment) {
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(moment.date().year());
    time.wMonth = static_cast<WORD>(moment.date().month());
    time.wDay = static_cast<WORD>(moment.date().day());
    time.wHour = static_cast<WORD>(moment.time().hour());
    time.wMinute = static_cast<WORD>(moment.time().minute());
    time.wSecond = static_cast<WORD>(moment.time().second());
    DATE date = 0;
    SystemTimeToVariantTime(&time, &date);
    return date;
}

QDateTime FromAutomationDate(DATE date) {
    SYSTEMTIME time = {};
    if (!VariantTimeToSystemTime(date, &time)) {
        return QDateTime();
    }
    return QDateTime(QDate(time.wYear, time.wMonth, time.wDay),
                     QTime(time.wHour, time.wMinute, time.wSecond));
}

QString FormatHex4(LONG value) {
    return QStringLiteral("%1")
        .arg(static_cast<unsigned>(value) & 0xFFFFu, 4, 16, QLatin1Char('0'))
        .toUpper();
}
