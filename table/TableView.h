#pragma once

#include "model/TableInfo.h"

#include <QPointer>
#include <QTableView>

class QHeaderView;
class TableModel;

// The view of one register table: an editor per field and the column widths.
// A model without a parent that is set on the view belongs to the view: it is
// deleted with the view, or when another model replaces it.
//
// Editing starts on a double click, F2, a click on the selected cell or a key
// typed on the selected cell; moving the current cell opens no editor. A cell
// reached by Tab (into the view or inside it) or the arrows is selected, so
// that typing there replaces its value. Rows
// are as high as the font needs. Columns fit a sample of their rows when the
// view is first shown, unless widths kept from before are given; then the
// user sets them.
class TableView : public QTableView
{
    Q_OBJECT

public:
    explicit TableView(const TableInfo& table, QWidget* parent = nullptr);
    ~TableView() override;

    void setModel(QAbstractItemModel* model) override;
    using QTableView::edit;
    // The current cell (the first one when there is none) becomes the one
    // selected, as Tab into the view makes it: what is typed goes there.
    void chooseCurrentCell();
    // The table model the view shows, through the proxy models over it; nullptr when there is none.
    TableModel* tableModel() const;

    // Width kept for column 2 of table 1 (its field's maximum with two
    // decimals); -1 for tables whose columns all fit their contents.
    int fixedColumnWidth() const;

    // The columns' widths, once the view has been shown; before that, the
    // widths it was given, if any.
    QList<int> columnWidths() const;
    // Widths the columns take instead of fitting their rows, when there is
    // one for each column.
    void setColumnWidths(const QList<int>& widths);

    // Rows whose texts a column's width is fitted to, besides the ones in sight.
    static constexpr int SampleRows = 200;
    // The row height for a font: its line and one pixel for the grid.
    static int compactRowHeight(const QFontMetrics& metrics);

    // Edit triggers of every table view.
    static constexpr EditTriggers Triggers = DoubleClicked | SelectedClicked | EditKeyPressed | AnyKeyPressed;

signals:
    // An editor refused what was typed; the message says why, in Russian.
    void inputRefused(const QString& message);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyboardSearch(const QString& search) override;

private:
    void layOutColumns();
    // The height a header's sections need for their titles, margins included.
    static int namedRowHeight(const QHeaderView& header);

    TableInfo m_table;
    QList<int> m_givenWidths;
    bool m_columnsLaidOut = false;
    QPointer<QAbstractItemModel> m_ownedModel;
};
