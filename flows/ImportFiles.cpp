#include "ImportFiles.h"

#include "FlowFailure.h"

#include "common/Errors.h"
#include "exchange/CsvExchange.h"
#include "exchange/CsvValueError.h"

QVector<ImportFiles::File> ImportFiles::load(const QStringList& paths, const QList<TableInfo>& tables)
{
    QVector<File> files;
    CsvExchange exchange;
    for (const QString& path : paths) {
        File file;
        file.path = path;
        try {
            file.rows = exchange.importTable(path, tables, file.table);
        } catch (const CsvValueError& error) {
            throw FlowFailure(FlowFailure::Refused, QStringLiteral("%1: %2").arg(path, error.message()),
                              {path, error.row(), error.field()});
        } catch (const RunTimeError& error) {
            throw FlowFailure(FlowFailure::Refused, QStringLiteral("%1: %2").arg(path, error.message()), {path});
        }
        files.append(file);
    }
    return files;
}
