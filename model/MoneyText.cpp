#include "MoneyText.h"

#include <algorithm>

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
    return toKopecks(text.trimmed().toUtf8(), kopecks);
}

bool MoneyText::toKopecks(const QByteArray& text, QByteArray& kopecks)
{
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        kopecks.clear();
        return true;
    }

    // Rouble digits, then at most one separator with at most two decimals.
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    int at = 0;
    while (at < trimmed.size() && isDigit(trimmed.at(at)))
        ++at;
    const int roubles = at;
    if (roubles == 0)
        return false;
    QByteArray decimals;
    if (at < trimmed.size()) {
        if (trimmed.at(at) != '.' && trimmed.at(at) != ',')
            return false;
        decimals = trimmed.mid(at + 1);
        if (decimals.size() > 2 || !std::all_of(decimals.cbegin(), decimals.cend(), isDigit))
            return false;
    }

    bool ok = false;
    const qulonglong value = (trimmed.left(roubles) + decimals.leftJustified(2, '0')).toULongLong(&ok, 10);
    if (!ok)
        return false;
    kopecks = QByteArray::number(value);
    return true;
}
