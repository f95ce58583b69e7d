#include "MoneyAmount.h"

#include <QRegularExpression>

bool MoneyAmount::toKopecks(const QString& text, QByteArray& kopecks)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        kopecks.clear();
        return true;
    }

    static const QRegularExpression amount(QStringLiteral("^([0-9]+)(?:[.,]([0-9]{1,2}))?$"));
    const QRegularExpressionMatch match = amount.match(trimmed);
    if (!match.hasMatch())
        return false;

    const QString digits = match.captured(1) + match.captured(2).leftJustified(2, QLatin1Char('0'));
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok, 10);
    if (!ok)
        return false;
    kopecks = QByteArray::number(value);
    return true;
}
