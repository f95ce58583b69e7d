#include "ReadOnlyNote.h"

namespace {

const QString ReadOnly = QStringLiteral("только для чтения");

} // namespace

QString ReadOnlyNote::place(const TableInfo& table, const TableComparison::CellPair& cell)
{
    QString text = QStringLiteral("Таблица %1 (%2), ряд %3, поле %4")
                       .arg(QString::number(table.id), table.name, QString::number(cell.registerRow),
                            QString::number(cell.fieldNumber));
    if (cell.fieldIndex >= 0 && cell.fieldIndex < table.fields.size())
        text += QStringLiteral(" (%1)").arg(table.fields.at(cell.fieldIndex).m_name);
    return text;
}

QString ReadOnlyNote::notWritten(const TableInfo& table, const TableComparison::CellPair& cell)
{
    return QStringLiteral("%1: не записано: %2").arg(place(table, cell), ReadOnly);
}

QString ReadOnlyNote::notWrittenCount(const QString& path, int cells)
{
    return QStringLiteral("%1: не записано: %2, ячеек: %3").arg(path, ReadOnly, QString::number(cells));
}
