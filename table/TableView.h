#pragma once

#include "model/TableInfo.h"

#include <QPointer>
#include <QTableView>

// The view of one register table: an editor per field and the column widths.
// A model without a parent that is set on the view belongs to the view: it is
// deleted with the view, or when another model replaces it.
class TableView : public QTableView
{
public:
    explicit TableView(const TableInfo& table, QWidget* parent = nullptr);
    ~TableView() override;

    void setModel(QAbstractItemModel* model) override;

    // Width kept for column 2 of table 1 (its field's maximum with two
    // decimals); -1 for tables whose columns all fit their contents.
    int fixedColumnWidth() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TableInfo m_table;
    QPointer<QAbstractItemModel> m_ownedModel;
};
