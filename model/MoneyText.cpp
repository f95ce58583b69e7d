#include "MoneyText.h"

#include <QRegularExpression>

QString MoneyText::fromKopecks(const QByteArray& kopecks)
{
    return QString::fromUtf8(bytesFromKopecks(kopecks));
}

QByteArray MoneyText::bytesFromKopecks(const QByteArray& kopecks)
{
    if (kopecks.isEmpty())
        return QByteArray();
    if (kopecks == "0")
        return QByteArrayLiteral("0.00");
    // At least one rouble digit before the point: 5 -> 0.05, 42 -> 0.42.
    const int digits = kopecks.size();
    QByteArray text;
    text.reserve(qMax(digits, 3) + 1);
    text.append(qMax(0, 3 - digits), '0');
    text.append(kopecks);
    text.insert(text.size() - 2, '.');
    return text;
}

bool MoneyText::toKopecks(const QString& text, QByteArray& kopecks)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        kopecks.clear();
        return true;
    }

    static const QRegularExpression amount(QStringLiteral("^([0-9]+)(?:[.,]([0-9]{0,2}))?$"));
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
