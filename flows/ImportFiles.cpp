#include "ImportFiles.h"

#include "FlowFailure.h"
#include "TableReader.h"
#include "WriteBefore.h"

#include "common/Errors.h"
#include "device/RegisterAddress.h"
#include "exchange/CsvExchange.h"

namespace {

// The first data row with marked cells whose register row the register's rows lack; -1 when it has them all.
int firstMissingRow(const TableInfo& table, const DataRows& rows, const DataRows& registerRows)
{
    const RegisterAddress address(table, rows);
    const RegisterAddress held(table, registerRows);
    for (int i = 0; i < rows.size(); ++i) {
        const unsigned registerRow = address.registerRow(i);
        if (registerRow == 0 || held.dataRow(registerRow) >= 0)
            continue;
        for (const Cell& cell : rows.at(i)) {
            if (cell.changed)
                return i;
        }
    }
    return -1;
}

} // namespace

QVector<ImportFiles::File> ImportFiles::load(const QStringList& paths, const QList<TableInfo>& tables,
                                             const RegisterCharsets& charsets, FileEncoding::Choice encoding)
{
    QVector<File> files;
    QStringList refusals;
    QVector<FlowFailure::Place> places;
    CsvExchange exchange(charsets);
    exchange.setEncoding(encoding);
    for (const QString& path : paths) {
        File file;
        file.path = path;
        QVector<ImportProblem> problems;
        try {
            file.rows = exchange.importTable(path, tables, file.table, problems);
            file.ignoredLines = exchange.ignoredLines();
            file.encodingNote = exchange.encodingNote();
        } catch (const RunTimeError& error) {
            problems << ImportProblem{error.message(), 0, QString()};
        }
        for (const ImportProblem& problem : qAsConst(problems)) {
            const QString line = QStringLiteral("%1: %2").arg(path, problem.message);
            refusals << line;
            places << FlowFailure::Place{line, path, problem.row, problem.field};
        }
        files.append(file);
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')), places);
    return files;
}

QVector<DataRows> ImportFiles::readRegister(const RegisterLink& link, const QVector<File>& files, RegisterRead what,
                                            ProgressReporter* progress)
{
    QVector<DataRows> read;
    QStringList refusals;
    QVector<FlowFailure::Place> places;
    for (const File& file : files) {
        DataRows registerRows;
        int fileRow = 0; // the file's data row a refusal names, from 1
        try {
            switch (what) {
            case RegisterRead::WholeTables: {
                unsigned cellsRead = 0;
                registerRows = TableReader::read(link, file.table, cellsRead, progress);
                const int missing = firstMissingRow(file.table, file.rows, registerRows);
                if (missing >= 0) {
                    fileRow = missing + 1;
                    const unsigned registerRow = RegisterAddress(file.table, file.rows).registerRow(missing);
                    throw FlowFailure(FlowFailure::Refused, WriteBefore::missingRow(file.table, registerRow));
                }
                break;
            }
            case RegisterRead::WrittenCells:
                registerRows = WriteBefore::read(link, file.table, file.rows);
                break;
            case RegisterRead::RowsOnly:
                WriteBefore::checkRows(link, file.table, file.rows);
                break;
            }
        } catch (const FlowFailure& failure) {
            const QString line = QStringLiteral("%1: %2").arg(file.path, failure.message());
            if (failure.kind() != FlowFailure::Refused)
                throw FlowFailure(failure.kind(), line, {FlowFailure::Place{line, file.path, 0, QString()}});
            refusals << line;
            places << FlowFailure::Place{line, file.path, fileRow, QString()};
        }
        read.append(registerRows);
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')), places);
    return read;
}
