#include "JournalFields.h"

#include "model/ShownText.h"

const FieldInfo* JournalFields::field(const QList<TableInfo>& tables, unsigned tableNumber,
                                      const JournalRecord::CellChange& cell)
{
    for (const TableInfo& table : tables) {
        if (table.id == tableNumber)
            return JournalRecord::fieldOf(table, cell);
    }
    return nullptr;
}

QString JournalFields::shown(const FieldInfo* field, const QByteArray& value)
{
    return field ? ShownText::of(*field, value) : QString::fromUtf8(value);
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
