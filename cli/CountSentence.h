#pragma once

#include <QString>

// The summary lines of vescor-cli, in Russian that agrees with its numbers:
// "Успешно записана 1 ячейка в 1 таблице", "Будет записано 4 ячейки в 3 таблицах".
class CountSentence
{
public:
    // lead, then the participle agreeing with the cells (one: "записана",
    // other counts: "записано"), the cells and the tables they are in.
    static QString cellsInTables(const QString& lead, const QString& participleOne, const QString& participleOther,
                                 qulonglong cells, qulonglong tables);
};
