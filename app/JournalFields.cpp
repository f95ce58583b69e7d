#include "JournalFields.h"

#include "table/TableModel.h"

const FieldInfo* JournalFields::field(const QList<TableInfo>& tables, unsigned tableNumber,
                                      const JournalRecord::CellChange& cell)
{
    for (const TableInfo& table : tables) {
        if (table.id != tableNumber)
            continue;
        const int index = table.type == TransposedList ? int(cell.row) - 1 : cell.field - 1;
        return index >= 0 && index < table.fields.size() ? &table.fields.at(index) : nullptr;
    }
    return nullptr;
}

QString JournalFields::shown(const FieldInfo* field, const QByteArray& value)
{
    return field ? TableModel::shownText(*field, value) : QString::fromUtf8(value);
}

const QList<TableInfo>& JournalFields::description(int modelCode)
{
    auto known = m_descriptions.find(modelCode);
    if (known == m_descriptions.end()) {
        QList<TableInfo> tables;
        QString error;
        // Only shown, never written: no register is asked for its configuration.
        if (modelCode <= 0 || TableInfo::readTablesInfo(uint32_t(modelCode), tables, error, nullptr) != 0)
            tables.clear();
        known = m_descriptions.insert(modelCode, tables);
    }
    return known.value();
}
