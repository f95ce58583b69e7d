#include "RussianPlural.h"

QString RussianPlural::choose(qulonglong n, const QString& one, const QString& few, const QString& many)
{
    const qulonglong lastTwo = n % 100;
    const qulonglong last = n % 10;
    if (lastTwo >= 11 && lastTwo <= 14)
        return many;
    if (last == 1)
        return one;
    if (last >= 2 && last <= 4)
        return few;
    return many;
}

QString RussianPlural::count(qulonglong n, const QString& one, const QString& few, const QString& many)
{
    return QString::number(n) + QLatin1Char(' ') + choose(n, one, few, many);
}
