#pragma once

#include "device/Cell.h"
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
    };

    // Raises FlowFailure (Refused) naming the file, and the row and field
    // where they are known, when any file is refused.
    static QVector<File> load(const QStringList& paths, const QList<TableInfo>& tables);
};
