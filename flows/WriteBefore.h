#pragma once

#include "device/Cell.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class RegisterLink;
class TableInfo;
class ValueCheck;

// The register's values of the cells a write is about to send, read just
// before it: they are the journal's "before", and they tell which cells were
// changed on the register since a tab was read.
class WriteBefore
{
public:
    struct ChangedCell
    {
        unsigned row = 0; // register row, from 1
        int field = 0;    // from 1
        QString fieldName;
        QByteArray read;  // what the tab read
        QByteArray now;   // what the register holds
    };

    // Reads the cells marked changed in rows from the register on link, in the
    // cheapest form the table allows: one whole-row request per register row
    // of a fastRead table, one request per cell otherwise, so never more
    // requests than the write sends cells. The result is shaped as the
    // table's data rows (RegisterAddress finds a register row in it); cells the
    // write does not touch are empty. Raises FlowFailure (DriverFailed) with
    // the driver's message, before anything is written; Refused (missingRow)
    // when the register's table ends before a row the write names.
    static DataRows read(const RegisterLink& link, const TableInfo& table, const DataRows& rows);

    // Only whether the register's table holds every row whose cells rows mark,
    // for a listing that shows no register values: a few requests instead of
    // one per row. Raises what read raises for the first row it lacks or
    // cannot read.
    static void checkRows(const RegisterLink& link, const TableInfo& table, const DataRows& rows);

    // "в ККТ нет ряда 301 таблицы 1 (База товаров)": a write names a row beyond the register's table.
    static QString missingRow(const TableInfo& table, unsigned registerRow);

    // The cells marked in rows whose value in before differs from the one in
    // readRows; cells readRows lacks are not compared. check: in the
    // register's character sets, which decide what a value stores.
    static QVector<ChangedCell> changedSince(const TableInfo& table, const DataRows& rows, const DataRows& readRows,
                                             const DataRows& before, const ValueCheck& check);

    // "Таблица 6 (Налоговые ставки), ряд 1, поле 1 (Ставка, %): прочитано «20.00», в ККТ сейчас «21.00»",
    // one line per cell, values as a file of the table shows them.
    static QString describe(const TableInfo& table, const QVector<ChangedCell>& cells);
};
