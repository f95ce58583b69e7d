#include "ImportFiles.h"

#include "FlowFailure.h"

#include "common/Errors.h"
#include "exchange/CsvExchange.h"

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
            file.printableValues = exchange.printableValues();
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
