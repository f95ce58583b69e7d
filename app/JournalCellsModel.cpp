#include "JournalCellsModel.h"

#include "JournalFields.h"

#include <algorithm>

namespace {

const QStringList Headers{QStringLiteral("Таблица"), QStringLiteral("Ряд"), QStringLiteral("Поле"),
                          QStringLiteral("Было"), QStringLiteral("Стало")};
// The columns of the values before and after.
const int ValueColumn = 3;

QString numbered(unsigned number, const QString& name)
{
    return name.isEmpty() ? QString::number(number) : QStringLiteral("%1 %2").arg(number).arg(name);
}

} // namespace

JournalCellsModel::JournalCellsModel(const FieldOf& fieldOf, QObject* parent)
    : QAbstractTableModel(parent), m_fieldOf(fieldOf)
{
}

void JournalCellsModel::setWrite(const RecordedWrite& write)
{
    beginResetModel();
    m_records = write.records();
    m_firstRows.clear();
    m_rowCount = 0;
    for (const JournalRecord& record : qAsConst(m_records)) {
        m_firstRows << m_rowCount;
        m_rowCount += record.cells.size();
    }
    m_unread.clear();
    m_unreadWhere.clear();
    endResetModel();
}

void JournalCellsModel::setUnread(const QString& why, const QString& where)
{
    beginResetModel();
    m_records.clear();
    m_firstRows.clear();
    m_rowCount = 1;
    m_unread = why;
    m_unreadWhere = where;
    endResetModel();
}

void JournalCellsModel::clear()
{
    setWrite(RecordedWrite());
}

int JournalCellsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rowCount;
}

int JournalCellsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Headers.size();
}

QVariant JournalCellsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < Headers.size())
        return Headers.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

QVariant JournalCellsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rowCount)
        return QVariant();
    if (!m_unread.isEmpty()) {
        if (index.column() != 0)
            return QVariant();
        // The path at full length on the tooltip: in the row it would cut the reason short.
        return role == Qt::DisplayRole ? QVariant(m_unread) : role == Qt::ToolTipRole ? QVariant(m_unreadWhere) : QVariant();
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    return cellData(index.row(), index.column(), role);
}

QVariant JournalCellsModel::cellData(int row, int column, int role) const
{
    const int at = int(std::upper_bound(m_firstRows.cbegin(), m_firstRows.cend(), row) - m_firstRows.cbegin()) - 1;
    const JournalRecord& record = m_records.at(at);
    const JournalRecord::CellChange& cell = record.cells.at(row - m_firstRows.at(at));
    if (column < ValueColumn) {
        if (role != Qt::DisplayRole)
            return QVariant();
        if (column == 1)
            return QString::number(cell.row);
        if (column == 2)
            return numbered(unsigned(cell.field), cell.fieldName);
        QString table = numbered(record.tableNumber, record.tableName);
        if (!record.confirmed)
            table += QStringLiteral(" (%1)").arg(JournalRecord::unconfirmedNote());
        return table;
    }
    // The values as the tab shows them; the stored form on the tooltip.
    const QByteArray& value = column == ValueColumn ? cell.before : cell.after;
    const QString shown = JournalFields::shown(m_fieldOf(record, cell), value);
    if (role == Qt::DisplayRole)
        return shown;
    const QString stored = QString::fromUtf8(value);
    return shown != stored ? QStringLiteral("В ККТ хранится: \"%1\"").arg(stored) : QVariant();
}
