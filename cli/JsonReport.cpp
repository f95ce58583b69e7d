#include "JsonReport.h"

#include "model/TableInfo.h"

#include <QJsonDocument>

namespace {

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

} // namespace

JsonReport::JsonReport(const QString& command)
{
    m_root.insert(QStringLiteral("command"), command);
    m_root.insert(QStringLiteral("changed"), false);
    m_root.insert(QStringLiteral("error"), QJsonValue());
}

void JsonReport::set(const QString& key, const QJsonValue& value)
{
    m_root.insert(key, value);
}

void JsonReport::setChanged(bool changed)
{
    m_root.insert(QStringLiteral("changed"), changed);
}

void JsonReport::addCell(const QString& file, const TableInfo& table, const TableComparison::CellPair& cell,
                         bool withBefore)
{
    QJsonObject object;
    object.insert(QStringLiteral("file"), file);
    object.insert(QStringLiteral("table"), int(table.id));
    object.insert(QStringLiteral("row"), qint64(cell.registerRow));
    object.insert(QStringLiteral("field"), cell.fieldNumber);
    object.insert(QStringLiteral("name"),
                  cell.fieldIndex >= 0 ? QJsonValue(table.fields.at(cell.fieldIndex).m_name) : QJsonValue());
    object.insert(QStringLiteral("before"),
                  withBefore && cell.inRegister ? QJsonValue(QString::fromUtf8(cell.registerText)) : QJsonValue());
    object.insert(QStringLiteral("after"), QString::fromUtf8(cell.fileText));
    m_cells.append(object);
}

void JsonReport::addTable(const QString& file, const TableInfo& table,
                          const QVector<TableComparison::CellPair>& cells, bool withBefore)
{
    if (cells.isEmpty())
        return;
    QJsonObject object;
    object.insert(QStringLiteral("file"), file);
    object.insert(QStringLiteral("table"), int(table.id));
    object.insert(QStringLiteral("name"), table.name);
    object.insert(QStringLiteral("cells"), cells.size());
    m_tables.append(object);
    for (const TableComparison::CellPair& cell : cells)
        addCell(file, table, cell, withBefore);
}

void JsonReport::setError(const QString& message, const QVector<FlowFailure::Place>& places)
{
    const auto placed = [](const QString& text, const FlowFailure::Place& place) {
        QJsonObject object;
        object.insert(QStringLiteral("message"), text);
        object.insert(QStringLiteral("file"), textOrNull(place.file));
        object.insert(QStringLiteral("row"), place.row > 0 ? QJsonValue(place.row) : QJsonValue());
        object.insert(QStringLiteral("field"), textOrNull(place.field));
        return object;
    };
    QJsonArray problems;
    for (const FlowFailure::Place& place : places)
        problems.append(placed(place.message, place));
    // The whole message, placed where its first part lies.
    QJsonObject error = placed(message, places.isEmpty() ? FlowFailure::Place() : places.first());
    error.insert(QStringLiteral("problems"), problems);
    m_root.insert(QStringLiteral("error"), error);
}

QByteArray JsonReport::toJson() const
{
    QJsonObject root = m_root;
    root.insert(QStringLiteral("tables"), m_tables);
    root.insert(QStringLiteral("cells"), m_cells);
    return QJsonDocument(root).toJson(QJsonDocument::Compact);
}
