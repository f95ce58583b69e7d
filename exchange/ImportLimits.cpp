#include "ImportLimits.h"

#include "model/FieldInfo.h"
#include "model/TableInfo.h"

#include <algorithm>

namespace {

// The title and column lines, and whatever blank lines come with them.
const qint64 HeadBytes = 1024 * 1024;
// A value's quotes and separator; a line's end.
const qint64 ValueFrame = 3;
const qint64 LineEnd = 2;
// The longest number, address or money text a field shows.
const qint64 NumberBytes = 24;
// The most bytes one character of a text takes in a file (UTF-8).
const qint64 CharacterBytes = 3;
// No register field is longer.
const qint64 LongestText = 4096;

} // namespace

int ImportLimits::dataLines(const TableInfo& table)
{
    switch (table.type) {
    case Db:
        return table.rowNames.isEmpty() ? MostRegisterRows : table.rowNames.size();
    case List:
    case TransposedList:
        return 1;
    case Plain:
        break;
    }
    return 0;
}

qint64 ImportLimits::widestValue(const FieldInfo& field)
{
    if (field.m_deviceType == FieldInfo::String866 || field.m_deviceType == FieldInfo::Ascii)
        return CharacterBytes * std::clamp<qint64>(field.m_maxLength, 0, LongestText) + ValueFrame;
    return NumberBytes + ValueFrame;
}

qint64 ImportLimits::fileBytes(const TableInfo& table)
{
    qint64 line = NumberBytes + ValueFrame + LineEnd; // the row label
    qint64 head = HeadBytes;
    for (const FieldInfo& field : table.fields) {
        line += widestValue(field);
        head += CharacterBytes * field.m_name.size() + ValueFrame;
    }
    head += CharacterBytes * table.name.size();
    return head + line * qint64(std::max(dataLines(table), 1));
}

qint64 ImportLimits::fileBytes(const QList<TableInfo>& tables)
{
    qint64 largest = HeadBytes;
    for (const TableInfo& table : tables) {
        largest = std::max(largest, fileBytes(table));
        if (largest >= MostFileBytes)
            return MostFileBytes;
    }
    return largest;
}
