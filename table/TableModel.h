#pragma once

#include "StoredCell.h"

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

class QUndoStack;

// The cells of one register table behind its tab: texts, colours, edit flags.
class TableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    TableModel(const TableInfo& table, const DataRows& rows);
    ~TableModel() override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    uint16_t tableNumber() const { return m_table.id; }
    TableType layoutType() const { return m_table.type; }
    QStringList fieldNames() const;
    QString cellText(int row, int column) const;
    QByteArray rowLabel(int row) const;

    const TableInfo& tableInfo() const { return m_table; }
    const DataRows& tableData() const { return m_tableData; }
    bool hasChangedCells() const;

    // The value a cell held when its rows came from the register (or a file),
    // by data row and column as in tableData(); empty for a cell the rows do not hold.
    QByteArray readValue(int row, int column) const;
    // True when the cell's value differs from the value read.
    bool isEdited(int row, int column) const;
    // The view index that shows a data cell.
    QModelIndex indexOfCell(int row, int column) const;
    // The data row and column an index of this model shows; false for an index without a cell.
    bool cellOfIndex(const QModelIndex& index, int& row, int& column) const;

    // Sets a cell's stored value as it is; the cell is marked while its value
    // differs from the value read, or when it arrived marked. Undo and revert use it.
    bool setStoredValue(int row, int column, const QByteArray& value);
    // The same for many cells, with one change signal for them all.
    void setStoredValues(const QVector<StoredCell>& cells);
    // The rows as a write of a copy of tableData() left them. The cells whose
    // marks the write cleared hold the register's values now: they lose their
    // marks here and become the values read, and the rows become the
    // register's rows. Views learn it through dataChanged() and marksChanged().
    void adoptWrittenRows(const DataRows& written);
    // Marks or unmarks cells (data row and column) whose values stay as they
    // are; the value read takes the mark too, so that an edit back to it
    // leaves the cell as this made it.
    void setMarks(const QVector<QPair<int, int>>& cells, bool marked);

    // The snapshot's values of the cells in which a comparison found the
    // register different. While a cell's value is not the snapshot's, it has
    // its own colour and the snapshot's value as tooltip.
    void setSnapshotValues(const QVector<StoredCell>& cells);
    // True once the rows were compared with a snapshot, also when none differed.
    bool comparedWithSnapshot() const { return m_comparedWithSnapshot; }
    // The comparison is over (the register was restored): no snapshot colour, no count.
    void forgetSnapshot();
    // The cells whose values still differ from the snapshot's, with the snapshot's values, in row order.
    QVector<StoredCell> snapshotDifferences() const;
    int snapshotDifferenceCount() const;

    // Edits through setData() go onto this stack, so that they can be undone;
    // without one they apply at once.
    void setUndoStack(QUndoStack* stack) { m_undoStack = stack; }
    QUndoStack* undoStack() const { return m_undoStack; }

    // The stored form of an edit text for a field; false when the text is no
    // value the field's editor can give.
    static bool storedValue(const FieldInfo& field, const QString& text, QByteArray& stored);
    // The text a cell of the field shows for a stored value: list names,
    // roubles, zero-filled numbers; null for a zero-filled number that is 0.
    static QString shownText(const FieldInfo& field, const QByteArray& stored);

    // The rows as the register held them when the tab was read or last
    // written: the values before the edits, for the journal of writes. A tab
    // filled from a file has none until it is written.
    bool knowsRegisterRows() const { return m_knowsRegisterRows; }
    const DataRows& registerRows() const { return m_registerRows; }
    void setRegisterRows(const DataRows& rows);
    void forgetRegisterRows();

    // The field an index of this model shows, or nullptr when the table
    // description has no field for it.
    const FieldInfo* fieldForIndex(const QModelIndex& index) const;
    // The same for an index of a table model or of a proxy model over one.
    static const FieldInfo* fieldAt(const QModelIndex& index);
    // The table model behind an index and the index of that model; nullptr when there is none.
    static const TableModel* sourceOf(const QModelIndex& index, QModelIndex* sourceIndex = nullptr);

signals:
    // The rows do not match the table description. data() cannot throw while a
    // view paints, so it shows such cells empty and reports the first failure here.
    void displayError(const QString& message);
    // An edit was refused because the register cannot store the value; the message says why.
    void editRefused(const QString& message);
    // Some cell's mark was set or cleared.
    void marksChanged();

private:
    struct Position
    {
        int row;    // data row
        int column; // data column
        int field;  // field number
    };
    Position position(const QModelIndex& index) const;
    QVariant displayData(const QModelIndex& index, int role) const;
    QVariant background(const QModelIndex& index, const Position& pos) const;
    bool rowIsReadOnly(int viewRow) const;
    static QString shownText(const FieldInfo& field, const QByteArray& stored, const QString& text);
    // Sets a cell's value and mark without telling the views.
    bool storeValue(int row, int column, const QByteArray& value);
    const Cell* cellAt(int row, int column) const;
    // The snapshot's value of a cell that differs from it; nullptr for any other cell.
    const QByteArray* differingSnapshotValue(int row, int column) const;

    TableInfo m_table;
    DataRows m_tableData;
    // The rows as they arrived, marks included; written cells are taken over.
    DataRows m_readData;
    QUndoStack* m_undoStack = nullptr;
    DataRows m_registerRows;
    bool m_knowsRegisterRows = true;
    int curX = 0;
    int curY = 0;
    mutable bool m_displayErrorReported = false;
    QHash<QPair<int, int>, QByteArray> m_snapshotValues; // by data row and column
    bool m_comparedWithSnapshot = false;
};
