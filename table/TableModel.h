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

    // Money text of a stored value: 5 -> 0.05, 1234 -> 12.34, "0" -> 0.00.
    static QString moneyText(const QByteArray& stored);

private:
    TableInfo m_table;
    DataRows m_tableData;
    int curX = 0;
    int curY = 0;
};
