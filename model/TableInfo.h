#pragma once

#include "FieldInfo.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <functional>

enum TableType : int32_t {
    Plain = 0,
    Db = 1,
    List = 2,
    TransposedList = 3,
};

// The description of one register table, as the model description file gives it.
class TableInfo
{
public:
    uint16_t id = 0;
    QString name;
    TableType type = Plain;
    QVector<FieldInfo> fields;
    QStringList rowNames;
    QVector<int32_t> readOnlyRows;
    bool fastRead = false;

    // The largest model description read; a register's dozens of tables take
    // a small part of it.
    static constexpr qint64 MaxFileBytes = qint64(16) << 20;

    // Loads models/<modelId>.json beside the program and checks it against the
    // register's firmware configuration number, which configurationVersion
    // asks the connected register for. Returns 0, 5 (file refused) or 155 (no file).
    static int readTablesInfo(uint32_t modelId, QList<TableInfo>& tables, QString& errorText,
                              const std::function<int()>& configurationVersion);

    // The same with the models directory given explicitly.
    static int readTablesInfo(uint32_t modelId, QList<TableInfo>& tables, QString& errorText,
                              const QString& modelsDir, const std::function<int()>& configurationVersion);
};
