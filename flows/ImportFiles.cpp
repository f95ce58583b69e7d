#include "ImportFiles.h"

#include "FlowFailure.h"

#include "common/Errors.h"
#include "exchange/CsvExchange.h"

QVector<ImportFiles::File> ImportFiles::load(const QStringList& paths, const QList<TableInfo>& tables)
{
    QVector<File> files;
    CsvExchange exchange;
    for (const QString& path : paths) {
        File file;
        file.path = path;
        try {
            file.rows = exchange.importTable(path, tables, file.table);
        } catch (const RunTimeError& error) {
            throw FlowFailure(FlowFailure::Refused, QStringLiteral("%1: %2").arg(path, error.message()));
        }
        files.append(file);
    }
    return files;
}
