#pragma once

#include <QString>

// Russian words that agree with a number: "1 ячейка", "2 ячейки", "5 ячеек",
// "21 таблица", "11 таблиц".
class RussianPlural
{
public:
    // The word for n among its three forms: one (1, 21, 101, ...), few (2-4,
    // 22-24, ..., but not 12-14) and many (0, 5-20, 25-30, ...).
    static QString choose(qulonglong n, const QString& one, const QString& few, const QString& many);
    // n in decimal, a blank and the chosen word.
    static QString count(qulonglong n, const QString& one, const QString& few, const QString& many);
};
