#include "MoneyText.h"

#include <QRegularExpression>

QString MoneyText::fromKopecks(const QByteArray& kopecks)
{
    if (kopecks.isEmpty())
        return QString();
    if (kopecks == "0")
        return QStringLiteral("0.00");
    QString text = QString::fromUtf8(kopecks);
    if (text.size() == 1)
        text.prepend(QLatin1Char('0'));
    if (text.size() == 2)
        text.prepend(QLatin1Char('0'));
    text.insert(text.size() - 2, QLatin1Char('.'));
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
