#pragma once

#include "device/Cell.h"
#include "device/RegisterCharsets.h"
#include "exchange/FileEncoding.h"
#include "model/TableInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>


// The CSV files of an import, each read into the rows of its table of the
// model description, all of them checked before anything is written.
class ImportFiles
{
public:
    struct File
    {
        QString path;
        TableInfo table;
        DataRows rows;
        int ignoredLines = 0; // data lines after the one record of a List or TransposedList file
        QString encodingNote; // CsvExchange::encodingNote()
        bool printableValues = false; // CsvExchange::printableValues()
    };

    // Every file is read and every value checked before the result is given:
    // raises FlowFailure (Refused) naming each refused file, and each refused
    // value with its file, row, field and reason, one per line; the failure's
    // places name them by parts.
    // charsets: the register's, in which the values are checked; encoding:
    // the files', unless each file's own is to be found (CsvExchange).
    static QVector<File> load(const QStringList& paths, const QList<TableInfo>& tables,
                              const RegisterCharsets& charsets, FileEncoding::Choice encoding = FileEncoding::Detect);

    // How much of the register an import reads before it writes (runs/ImportRuns).
    enum class RegisterRead
    {
        WholeTables,  // every file's whole table, to compare the file with
        WrittenCells, // only the cells the file will write: the journal's "before"
        RowsOnly,     // no values: only that the register holds the rows the file writes
    };
};
