#include "ImportFiles.h"

#include "FlowFailure.h"
#include "RegisterRows.h"
#include "TableReader.h"
#include "WriteBefore.h"

#include "common/Errors.h"
#include "exchange/CsvExchange.h"

#include <QSet>

namespace {

// The first register row of the file's marked cells that the register's rows lack; 0 when it has them all.
unsigned firstMissingRow(const TableInfo& table, const DataRows& rows, const DataRows& registerRows)
{
    QSet<unsigned> held;
    for (int i = 0; i < registerRows.size(); ++i)
        held.insert(RegisterRows::registerRowOf(table, registerRows, i));
    for (int i = 0; i < rows.size(); ++i) {
        const unsigned registerRow = RegisterRows::registerRowOf(table, rows, i);
        if (registerRow == 0 || held.contains(registerRow))
            continue;
        for (const Cell& cell : rows.at(i)) {
            if (cell.changed)
                return registerRow;
        }
    }
    return 0;
}

} // namespace

QVector<ImportFiles::File> ImportFiles::load(const QStringList& paths, const QList<TableInfo>& tables)
{
    QVector<File> files;
    QStringList refusals;
    QVector<FlowFailure::Place> places;
    CsvExchange exchange;
    for (const QString& path : paths) {
        File file;
        file.path = path;
        QVector<ImportProblem> problems;
        try {
            file.rows = exchange.importTable(path, tables, file.table, problems);
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

QVector<DataRows> ImportFiles::readRegister(const QVector<File>& files, bool wholeTables)
{
    QVector<DataRows> read;
    QStringList refusals;
    QVector<FlowFailure::Place> places;
    for (const File& file : files) {
        DataRows registerRows;
        try {
            if (wholeTables) {
                unsigned cellsRead = 0;
                registerRows = TableReader::read(file.table, cellsRead);
                if (const unsigned missing = firstMissingRow(file.table, file.rows, registerRows))
                    throw FlowFailure(FlowFailure::Refused, WriteBefore::missingRow(file.table, missing));
            } else {
                registerRows = WriteBefore::read(file.table, file.rows);
            }
        } catch (const FlowFailure& failure) {
            const QString line = QStringLiteral("%1: %2").arg(file.path, failure.message());
            if (failure.kind() != FlowFailure::Refused)
                throw FlowFailure(failure.kind(), line, {FlowFailure::Place{line, file.path, 0, QString()}});
            refusals << line;
            places << FlowFailure::Place{line, file.path, 0, QString()};
        }
        read.append(registerRows);
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')), places);
    return read;
}
