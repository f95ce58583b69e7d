#include "ImportFiles.h"

#include "FlowFailure.h"

#include "common/Errors.h"
#include "exchange/CsvExchange.h"

QVector<ImportFiles::File> ImportFiles::load(const QStringList& paths, const QList<TableInfo>& tables)
{
    QVector<File> files;
    QStringList refusals;
    CsvExchange exchange;
    for (const QString& path : paths) {
        File file;
        file.path = path;
        QStringList problems;
        try {
            file.rows = exchange.importTable(path, tables, file.table, problems);
        } catch (const RunTimeError& error) {
            problems << error.message();
        }
        for (const QString& problem : qAsConst(problems))
            refusals << QStringLiteral("%1: %2").arg(path, problem);
        files.append(file);
    }
    if (!refusals.isEmpty())
        throw FlowFailure(FlowFailure::Refused, refusals.join(QLatin1Char('\n')));
    return files;
}
