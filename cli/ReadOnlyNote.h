#pragma once

#include "flows/TableComparison.h"
#include "model/TableInfo.h"

#include <QString>

// The lines in which the shell names the cells a restore or an import leaves
// because the model marks them read-only (a diff does not compare them, for
// no write could make them agree).
class ReadOnlyNote
{
public:
    // "Таблица 6 (Налоговые ставки), ряд 1, поле 3 (Название): не записано: только для чтения"
    static QString notWritten(const TableInfo& table, const TableComparison::CellPair& cell);
    // "FILE: не записано: только для чтения, ячеек: 3" for an import that does not compare them.
    static QString notWrittenCount(const QString& path, int cells);

private:
    static QString place(const TableInfo& table, const TableComparison::CellPair& cell);
};
