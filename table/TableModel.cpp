#include "TableModel.h"

#include "CellColors.h"
#include "CellEditCommand.h"
#include "EntryCheck.h"
#include "TableLayout.h"
#include "common/Errors.h"
#include "exchange/TableText.h"
#include "model/MoneyText.h"
#include "model/ShownText.h"
#include "model/WholeNumber.h"

#include <QAbstractProxyModel>
#include <QColor>
#include <QDebug>
#include <QFont>
#include <QUndoStack>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

const QString reservedWord = QStringLiteral("Зарезервировано");

QString fieldHeader(int number, const FieldInfo& field)
{
    return QString::number(number + 1) + QStringLiteral(" . ") + field.m_name;
}

// A zero-filled field keeps its number without the leading zeros; an empty
// text means 0. Other texts are not numbers the field can hold.
bool zeroFilledValue(const QString& text, QByteArray& stored)
{
    const QByteArray trimmed = text.trimmed().toUtf8();
    const std::optional<uint64_t> number = trimmed.isEmpty() ? 0 : WholeNumber::read(trimmed);
    if (!number)
        return false;
    stored = QByteArray::number(qulonglong(*number));
    return true;
}

// The smallest block of view cells that holds every cell added.
class ViewBlock
{
public:
    void add(const QModelIndex& index)
    {
        if (!index.isValid())
            return;
        m_top = m_top < 0 ? index.row() : qMin(m_top, index.row());
        m_bottom = qMax(m_bottom, index.row());
        m_left = m_left < 0 ? index.column() : qMin(m_left, index.column());
        m_right = qMax(m_right, index.column());
    }
    bool isEmpty() const { return m_top < 0; }
    QModelIndex topLeft(const QAbstractItemModel& model) const { return model.index(m_top, m_left); }
    QModelIndex bottomRight(const QAbstractItemModel& model) const { return model.index(m_bottom, m_right); }

private:
    int m_top = -1;
    int m_bottom = -1;
    int m_left = -1;
    int m_right = -1;
};

} // namespace

TableModel::TableModel(const TableInfo& table, const DataRows& rows)
    : m_table(table)
    , m_tableData(rows)
    , m_readData(rows)
    , m_registerRows(rows)
{
}

TableModel::~TableModel() = default;

int TableModel::rowCount(const QModelIndex& parent) const
{
    // A table: its cells have no children.
    if (parent.isValid())
        return 0;
    return TableLayout(m_table.type).rowCount(m_tableData.size(), m_table.fields.size());
}

int TableModel::columnCount(const QModelIndex& parent) const
{
    // A table: its cells have no children.
    if (parent.isValid())
        return 0;
    return TableLayout(m_table.type).columnCount(m_table.fields.size());
}

TableModel::Position TableModel::position(const QModelIndex& index) const
{
    const TableLayout::Cell cell = TableLayout(m_table.type).cellAt(index.row(), index.column());
    return {cell.row, cell.column, cell.field};
}

const FieldInfo* TableModel::fieldForIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return nullptr;
    const int field = position(index).field;
    if (field < 0 || field >= m_table.fields.size())
        return nullptr;
    return &m_table.fields[field];
}

const TableModel* TableModel::sourceOf(const QModelIndex& index, QModelIndex* sourceIndex)
{
    QModelIndex source = index;
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(source.model()))
        source = proxy->mapToSource(source);
    const auto* model = qobject_cast<const TableModel*>(source.model());
    if (sourceIndex)
        *sourceIndex = source;
    return model;
}

const FieldInfo* TableModel::fieldAt(const QModelIndex& index)
{
    QModelIndex source;
    const TableModel* model = sourceOf(index, &source);
    return model ? model->fieldForIndex(source) : nullptr;
}

const Cell* TableModel::cellAt(int row, int column) const
{
    if (row < 0 || row >= m_tableData.size())
        return nullptr;
    const DataRow& cells = m_tableData[row];
    if (column < 0 || column >= cells.size())
        return nullptr;
    return &cells[column];
}

bool TableModel::rowIsReadOnly(int viewRow) const
{
    return TableLayout(m_table.type).rowsAreDataRows() && m_table.readOnlyRows.contains(viewRow + 1);
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    const TableLayout layout(m_table.type);
    if (!layout.showsCells())
        return QVariant();
    if (layout.rowsAreDataRows()) {
        if (orientation == Qt::Horizontal) {
            if (section < m_table.fields.size())
                return fieldHeader(section, m_table.fields[section]);
            return QVariant();
        }
        if (section < m_table.rowNames.size())
            return m_table.rowNames[section];
        // Rows without a name of their own (none given, or the names ran out)
        // are titled with their row label.
        if (section < m_tableData.size() && !m_tableData[section].isEmpty())
            return QString::fromUtf8(m_tableData[section].last().value);
        return QVariant();
    }
    if (orientation == Qt::Vertical && section < m_table.fields.size())
        return fieldHeader(section, m_table.fields[section]);
    return QVariant();
}

QVariant TableModel::data(const QModelIndex& index, int role) const
{
    try {
        return displayData(index, role);
    } catch (const RunTimeError& error) {
        qDebug() << "TableModel::data()," << error.message();
        if (!m_displayErrorReported) {
            m_displayErrorReported = true;
            emit const_cast<TableModel*>(this)->displayError(error.message());
        }
        return QVariant();
    }
}

QVariant TableModel::displayData(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const Position pos = position(index);
    if (pos.field < 0)
        return QVariant();
    if (pos.field >= m_table.fields.size())
        throw RunTimeError(
            QStringLiteral("Ошибка отображения. Кол-во полей в описании %1 не соответствует допустимому значению")
                .arg(m_table.name));
    const FieldInfo& field = m_table.fields[pos.field];

    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        const QString text = TableText::storedText(m_tableData, pos.row, pos.column);
        const QString shown = shownText(field, m_tableData[pos.row][pos.column].value, text);
        if (shown.isNull())
            return QVariant();
        return shown;
    }
    case Qt::FontRole:
        if (field.m_cliche)
            return QFont(QStringLiteral("monospace"));
        return QVariant();
    case Qt::BackgroundRole:
        return background(index, pos);
    case Qt::ToolTipRole:
        if (const QByteArray* snapshot = differingSnapshotValue(pos.row, pos.column))
            return QStringLiteral("В снимке: %1").arg(shownText(field, *snapshot));
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant TableModel::background(const QModelIndex& index, const Position& pos) const
{
    // Each test that holds overrides the one before: read-only beats changed,
    // changed beats a difference from a snapshot, which beats reserved.
    QVariant colour;
    if (headerData(index.row(), Qt::Vertical, Qt::DisplayRole).toString().contains(reservedWord))
        colour = QColor(CellColors::reserved);
    if (differingSnapshotValue(pos.row, pos.column))
        colour = QColor(CellColors::snapshotDiffers);
    const Cell* cell = cellAt(pos.row, pos.column);
    if (cell && cell->changed)
        colour = QColor(CellColors::changed);
    if (m_table.fields[pos.field].m_readOnly)
        colour = QColor(CellColors::readOnly);
    if (rowIsReadOnly(index.row()))
        colour = QColor(CellColors::readOnly);
    return colour;
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsEnabled;
    const FieldInfo* field = fieldForIndex(index);
    const bool editable = field && !field->m_readOnly && !field->m_name.contains(reservedWord)
        && !rowIsReadOnly(index.row());
    const Qt::ItemFlags base = QAbstractTableModel::flags(index);
    return editable ? base | Qt::ItemIsEditable : base & ~Qt::ItemIsEditable;
}

QString TableModel::shownText(const FieldInfo& field, const QByteArray& stored, const QString& text)
{
    return ShownText::of(field, stored, text);
}

QString TableModel::shownText(const FieldInfo& field, const QByteArray& stored)
{
    return shownText(field, stored, QString::fromUtf8(stored));
}

bool TableModel::storedValue(const FieldInfo& field, const QString& text, QByteArray& stored)
{
    switch (field.m_guiType) {
    case FieldInfo::List:
        for (auto it = field.m_items.cbegin(); it != field.m_items.cend(); ++it) {
            qDebug() << "it->second" << it->second;
            qDebug() << "value.toString()" << text;
            if (it->second == text) {
                stored = QByteArray::number(it->first);
                return true;
            }
        }
        return false;
    case FieldInfo::Money:
        return MoneyText::toKopecks(text, stored);
    default:
        break;
    }
    if (field.zeroMaskLength() > 0)
        return zeroFilledValue(text, stored);
    stored = text.toUtf8();
    return true;
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const Position pos = position(index);
    curX = pos.row;
    curY = pos.column;
    if (!index.isValid() || role != Qt::EditRole)
        return false;

    const QString text = value.toString();
    qDebug() << "TableModel::setData(), value = " << text;

    const FieldInfo* field = fieldForIndex(index);
    if (!field || !cellAt(pos.row, pos.column))
        return false;
    const Cell& cell = m_tableData[pos.row][pos.column];
    if (text == QString::fromUtf8(cell.value))
        return false;

    // A text that names no list item, or no value of the field, leaves the cell as it is, unmarked.
    QByteArray stored;
    if (!storedValue(*field, text, stored) || stored == cell.value)
        return false;
    if (field->m_guiType == FieldInfo::List)
        qDebug() << "Y = " << curX << "Y = " << curY << " m_tableData[curX][curY] = " << stored;
    const QString problem = EntryCheck::problem(*field, stored);
    if (!problem.isEmpty()) {
        emit editRefused(problem);
        return false;
    }

    if (m_undoStack)
        m_undoStack->push(new CellEditCommand(this, pos.row, pos.column, cell.value, stored));
    else
        setStoredValue(pos.row, pos.column, stored);
    return true;
}

bool TableModel::setStoredValue(int row, int column, const QByteArray& value)
{
    if (!storeValue(row, column, value))
        return false;
    const QModelIndex index = indexOfCell(row, column);
    if (index.isValid())
        emit dataChanged(index, index, {});
    emit marksChanged();
    return true;
}

bool TableModel::storeValue(int row, int column, const QByteArray& value)
{
    if (!cellAt(row, column))
        return false;
    Cell& cell = m_tableData[row][column];
    cell.value = value;
    const Cell* read = row < m_readData.size() && column < m_readData[row].size() ? &m_readData[row][column] : nullptr;
    cell.changed = !read || read->changed || read->value != value;
    return true;
}

void TableModel::setStoredValues(const QVector<StoredCell>& cells)
{
    ViewBlock changed;
    for (const StoredCell& cell : cells) {
        if (storeValue(cell.row, cell.column, cell.value))
            changed.add(indexOfCell(cell.row, cell.column));
    }
    if (!changed.isEmpty())
        emit dataChanged(changed.topLeft(*this), changed.bottomRight(*this), {});
    emit marksChanged();
}

void TableModel::adoptWrittenRows(const DataRows& written)
{
    // The rows are shared with the rows read and with the write's copy: only
    // the rows of cells that change are written to, so that no row is copied
    // for a cell of another.
    ViewBlock cleared;
    for (int r = 0; r < m_tableData.size() && r < written.size(); ++r) {
        const DataRow& row = m_tableData.at(r);
        const DataRow& writtenRow = written.at(r);
        // A row the write did not touch holds no mark it cleared.
        if (row.isSharedWith(writtenRow))
            continue;
        for (int c = 0; c < row.size() && c < writtenRow.size(); ++c) {
            const Cell& cell = row.at(c);
            // Only a mark the write cleared on the value it was given counts.
            if (!cell.changed || writtenRow.at(c).changed || writtenRow.at(c).value != cell.value)
                continue;
            m_tableData[r][c].changed = false;
            cleared.add(indexOfCell(r, c));
        }
    }
    for (int r = 0; r < m_tableData.size() && r < m_readData.size(); ++r) {
        const DataRow& row = m_tableData.at(r);
        const DataRow& readRow = m_readData.at(r);
        if (row.isSharedWith(readRow))
            continue;
        for (int c = 0; c < row.size() && c < readRow.size(); ++c) {
            const Cell& read = readRow.at(c);
            if (!row.at(c).changed && (read.changed || read.value != row.at(c).value))
                m_readData[r][c] = Cell(row.at(c).value, false);
        }
    }
    setRegisterRows(m_tableData);
    // The colours of the rows whose marks were cleared change; their texts stay.
    if (!cleared.isEmpty())
        emit dataChanged(cleared.topLeft(*this), cleared.bottomRight(*this), {Qt::BackgroundRole});
    emit marksChanged();
}

void TableModel::setMarks(const QVector<QPair<int, int>>& cells, bool marked)
{
    for (const QPair<int, int>& at : cells) {
        if (!cellAt(at.first, at.second))
            continue;
        m_tableData[at.first][at.second].changed = marked;
        if (at.first < m_readData.size() && at.second < m_readData[at.first].size())
            m_readData[at.first][at.second].changed = marked;
    }
    if (!cells.isEmpty() && rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
    emit marksChanged();
}

QByteArray TableModel::readValue(int row, int column) const
{
    if (row < 0 || row >= m_readData.size() || column < 0 || column >= m_readData[row].size())
        return QByteArray();
    return m_readData[row][column].value;
}

bool TableModel::isEdited(int row, int column) const
{
    const Cell* cell = cellAt(row, column);
    return cell && cell->value != readValue(row, column);
}

QModelIndex TableModel::indexOfCell(int row, int column) const
{
    int viewRow = 0;
    int viewColumn = 0;
    if (!TableLayout(m_table.type).viewOf(row, column, viewRow, viewColumn))
        return QModelIndex();
    return index(viewRow, viewColumn);
}

bool TableModel::cellOfIndex(const QModelIndex& index, int& row, int& column) const
{
    if (!index.isValid() || index.model() != this)
        return false;
    const Position pos = position(index);
    if (pos.field < 0 || !cellAt(pos.row, pos.column))
        return false;
    row = pos.row;
    column = pos.column;
    return true;
}

QStringList TableModel::fieldNames() const
{
    return TableText::fieldNames(m_table);
}

QString TableModel::cellText(int row, int column) const
{
    return TableText::cellText(m_table, m_tableData, row, column);
}

QByteArray TableModel::rowLabel(int row) const
{
    return TableText::rowLabel(m_tableData, row);
}

void TableModel::setRegisterRows(const DataRows& rows)
{
    m_registerRows = rows;
    m_knowsRegisterRows = true;
}

void TableModel::forgetRegisterRows()
{
    m_registerRows.clear();
    m_knowsRegisterRows = false;
}

bool TableModel::hasChangedCells() const
{
    for (const DataRow& row : m_tableData)
        for (const Cell& cell : row)
            if (cell.changed)
                return true;
    return false;
}

void TableModel::setSnapshotValues(const QVector<StoredCell>& cells)
{
    m_snapshotValues.clear();
    for (const StoredCell& cell : cells)
        m_snapshotValues.insert({cell.row, cell.column}, cell.value);
    m_comparedWithSnapshot = true;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole, Qt::ToolTipRole});
    emit marksChanged();
}

void TableModel::forgetSnapshot()
{
    if (!m_comparedWithSnapshot)
        return;
    m_snapshotValues.clear();
    m_comparedWithSnapshot = false;
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole, Qt::ToolTipRole});
    emit marksChanged();
}

const QByteArray* TableModel::differingSnapshotValue(int row, int column) const
{
    const auto found = m_snapshotValues.constFind({row, column});
    if (found == m_snapshotValues.cend())
        return nullptr;
    const Cell* cell = cellAt(row, column);
    return cell && cell->value == found.value() ? nullptr : &found.value();
}

QVector<StoredCell> TableModel::snapshotDifferences() const
{
    QVector<StoredCell> cells;
    for (auto it = m_snapshotValues.cbegin(); it != m_snapshotValues.cend(); ++it) {
        if (differingSnapshotValue(it.key().first, it.key().second))
            cells.append({it.key().first, it.key().second, it.value()});
    }
    std::sort(cells.begin(), cells.end(), [](const StoredCell& a, const StoredCell& b) {
        return std::make_pair(a.row, a.column) < std::make_pair(b.row, b.column);
    });
    return cells;
}

int TableModel::snapshotDifferenceCount() const
{
    int count = 0;
    for (auto it = m_snapshotValues.cbegin(); it != m_snapshotValues.cend(); ++it) {
        if (differingSnapshotValue(it.key().first, it.key().second))
            ++count;
    }
    return count;
}
