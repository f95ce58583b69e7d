#include "MoneyValidator.h"

#include <QRegularExpression>

MoneyValidator::MoneyValidator(double bottom, double top, int decimals, QObject* parent)
    : QDoubleValidator(bottom, top, decimals, parent)
{
}

MoneyValidator::~MoneyValidator() = default;

QValidator::State MoneyValidator::validate(QString& input, int&) const
{
    if (input.isEmpty())
        return Intermediate;

    QString copy = input;
    copy.replace(locale().decimalPoint(), QLatin1Char('.'));

    const int point = copy.indexOf(QLatin1Char('.'));
    if (point >= 0 && copy.size() - point - 1 > decimals())
        return Invalid;

    // Digits with one optional point only: the number reader would also take
    // signs, exponents, blanks, "nan" and "inf", none of which is an amount.
    static const QRegularExpression form(QStringLiteral("^[0-9]*\\.?[0-9]*$"));
    if (!form.match(copy).hasMatch())
        return Invalid;

    bool ok = false;
    const double number = copy.toDouble(&ok);
    if (!ok)
        return Invalid;
    if (number < bottom() || number > top())
        return Invalid;
    return Acceptable;
}
