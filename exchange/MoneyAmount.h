#pragma once

#include <QByteArray>
#include <QString>

// Reads a money text ("12.34", "12,5", "12") into whole kopecks, exactly.
class MoneyAmount
{
public:
    // An empty text gives an empty value. A negative amount, more than two
    // decimals, anything that is not a plain decimal amount, or an amount
    // beyond 64 bits of kopecks is refused (false, kopecks untouched).
    static bool toKopecks(const QString& text, QByteArray& kopecks);
};
