#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QAbstractTableModel>
#include <QStringList>

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
    // The write engine clears the marks of the cells it writes in place.
    DataRows& tableData() { return m_tableData; }
    const DataRows& tableData() const { return m_tableData; }
    bool hasChangedCells() const;

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

signals:
    // The rows do not match the table description. data() cannot throw while a
    // view paints, so it shows such cells empty and reports the first failure here.
    void displayError(const QString& message);

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
    const Cell* cellAt(int row, int column) const;

    TableInfo m_table;
    DataRows m_tableData;
    DataRows m_registerRows;
    bool m_knowsRegisterRows = true;
    int curX = 0;
    int curY = 0;
    mutable bool m_displayErrorReported = false;
};
