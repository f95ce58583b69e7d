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

    // The amount the cell would store, by the same rule the model applies:
    // "," and "." are both the decimal separator, whatever the locale, so a
    // separator typed is never refused and dropped, which would join the
    // digits around it into another amount. Blanks are not part of an amount
    // the user types.
    QByteArray kopecks;
    if (input == QLatin1String(".") || input == QLatin1String(","))
        return Intermediate; // the start of ".5"
    if (input != input.trimmed() || !MoneyText::toKopecks(input, kopecks))
        return Invalid;

    bool ok = false;
    const double number = double(kopecks.toULongLong(&ok, 10)) / 100.0;
    if (!ok || number < bottom() || number > top())
        return Invalid;
    return Acceptable;
}
