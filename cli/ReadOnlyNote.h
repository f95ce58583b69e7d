#pragma once

#include "flows/TableComparison.h"
#include "model/TableInfo.h"

#include <QString>

// The lines in which the shell names the cells a command leaves because the
// model marks them read-only: a restore and an import write none of them, and
// a diff does not count them as differences, for nothing could make them agree.
class ReadOnlyNote
{
public:
    // "Таблица 6 (Налоговые ставки), ряд 1, поле 3 (Название): не записано: только для чтения"
    static QString notWritten(const TableInfo& table, const TableComparison::CellPair& cell);
    // "…: не сравнивается: только для чтения (в ККТ «A», в снимке «B»)"; other names the second side.
    static QString notCompared(const TableInfo& table, const TableComparison::CellPair& cell, const QString& other);
    // "FILE: не записано: только для чтения, ячеек: 3" for an import that does not compare them.
    static QString notWrittenCount(const QString& path, int cells);

private:
    static QString place(const TableInfo& table, const TableComparison::CellPair& cell);
};
