#include "JournalRecord.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cstdint>
#include <limits>

namespace {

const QString TimeKey = QStringLiteral("time");
const QString ProgramKey = QStringLiteral("program");
const QString VersionKey = QStringLiteral("version");
const QString WriteKey = QStringLiteral("write");
const QString ModelCodeKey = QStringLiteral("modelCode");
const QString ModelNameKey = QStringLiteral("modelName");
const QString SerialKey = QStringLiteral("serialNumber");
const QString TableKey = QStringLiteral("table");
const QString TableNameKey = QStringLiteral("tableName");
const QString CellsKey = QStringLiteral("cells");
const QString RowKey = QStringLiteral("row");
const QString FieldKey = QStringLiteral("field");
const QString FieldNameKey = QStringLiteral("fieldName");
const QString BeforeKey = QStringLiteral("before");
const QString AfterKey = QStringLiteral("after");

// A whole number from min to max; anything else (a fraction, 2^32 for an
// unsigned) refuses the record rather than wrap to another table or row.
bool inRange(const QJsonValue& value, double min, double max)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return number >= min && number <= max && number == double(qint64(number));
}

bool positive(const QJsonValue& value, double max)
{
    return inRange(value, 1, max);
}

const double TableMax = std::numeric_limits<uint16_t>::max();
const double RowMax = std::numeric_limits<unsigned>::max();
const double IntMax = std::numeric_limits<int>::max();

} // namespace

QJsonObject JournalRecord::cellToJson(const CellChange& cell)
{
    QJsonObject object;
    object.insert(RowKey, qint64(cell.row));
    object.insert(FieldKey, cell.field);
    object.insert(FieldNameKey, cell.fieldName);
    object.insert(BeforeKey, QString::fromUtf8(cell.before));
    object.insert(AfterKey, QString::fromUtf8(cell.after));
    return object;
}

QJsonObject JournalRecord::toJson() const
{
    QJsonArray cellArray;
    for (const CellChange& cell : cells)
        cellArray.append(cellToJson(cell));
    QJsonObject object;
    object.insert(TimeKey, time.toUTC().toString(Qt::ISODateWithMs));
    object.insert(ProgramKey, program);
    object.insert(VersionKey, version);
    object.insert(WriteKey, writeId);
    object.insert(ModelCodeKey, modelCode);
    object.insert(ModelNameKey, modelName);
    object.insert(SerialKey, serialNumber);
    object.insert(TableKey, qint64(tableNumber));
    object.insert(TableNameKey, tableName);
    object.insert(CellsKey, cellArray);
    return object;
}

QByteArray JournalRecord::toJsonLine() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

bool JournalRecord::fromJsonLine(const QByteArray& line, JournalRecord& record)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    for (const QString& key : {TimeKey, ProgramKey, VersionKey, WriteKey, ModelNameKey, SerialKey, TableNameKey}) {
        if (!object.value(key).isString())
            return false;
    }
    if (!inRange(object.value(ModelCodeKey), std::numeric_limits<int>::min(), IntMax)
        || !positive(object.value(TableKey), TableMax)
        || !object.value(CellsKey).isArray())
        return false;

    JournalRecord result;
    result.time = QDateTime::fromString(object.value(TimeKey).toString(), Qt::ISODateWithMs).toUTC();
    if (!result.time.isValid() || object.value(WriteKey).toString().isEmpty())
        return false;
    result.program = object.value(ProgramKey).toString();
    result.version = object.value(VersionKey).toString();
    result.writeId = object.value(WriteKey).toString();
    result.modelCode = object.value(ModelCodeKey).toInt();
    result.modelName = object.value(ModelNameKey).toString();
    result.serialNumber = object.value(SerialKey).toString();
    result.tableNumber = unsigned(object.value(TableKey).toDouble());
    result.tableName = object.value(TableNameKey).toString();
    for (const QJsonValue& value : object.value(CellsKey).toArray()) {
        const QJsonObject cell = value.toObject();
        if (!positive(cell.value(RowKey), RowMax) || !positive(cell.value(FieldKey), IntMax)
            || !cell.value(BeforeKey).isString() || !cell.value(AfterKey).isString())
            return false;
        CellChange change;
        change.row = unsigned(cell.value(RowKey).toDouble());
        change.field = cell.value(FieldKey).toInt();
        change.fieldName = cell.value(FieldNameKey).toString();
        change.before = cell.value(BeforeKey).toString().toUtf8();
        change.after = cell.value(AfterKey).toString().toUtf8();
        result.cells.append(change);
    }
    record = result;
    return true;
}
