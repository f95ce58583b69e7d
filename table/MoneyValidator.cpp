#include "MoneyValidator.h"

#include "model/MoneyText.h"

MoneyValidator::MoneyValidator(double bottom, double top, int decimals, QObject* parent)
    : QDoubleValidator(bottom, top, decimals, parent)
{
}

MoneyValidator::~MoneyValidator() = default;

QValidator::State MoneyValidator::validate(QString& input, int&) const
{
    if (input.isEmpty())
        return Intermediate;

    // Only the locale's decimal separator is typed as one.
    const QChar point = locale().decimalPoint();
    if (point != QLatin1Char(',') && input.contains(QLatin1Char(',')))
        return Invalid;
    QString copy = input;
    copy.replace(point, QLatin1Char('.'));

    // The amount the cell would store, by the same rule the model applies;
    // blanks are not part of an amount the user types.
    QByteArray kopecks;
    if (copy == QLatin1String("."))
        return Intermediate; // the start of ".5"
    if (copy != copy.trimmed() || !MoneyText::toKopecks(copy, kopecks))
        return Invalid;

    bool ok = false;
    const double number = double(kopecks.toULongLong(&ok, 10)) / 100.0;
    if (!ok || number < bottom() || number > top())
        return Invalid;
    return Acceptable;
}
