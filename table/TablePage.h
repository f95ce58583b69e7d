#pragma once

#include "device/Cell.h"
#include "model/TableInfo.h"

#include <QModelIndex>
#include <QSet>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QAction;
class QUndoStack;
class TableFilterModel;
class TableModel;
class TableSearchBar;
class TableView;

// The page of one table's tab: its view over the table's rows, the search
// bar above it, and the undo stack of its edits.
//
// The view shows the rows through a filter model; the table model behind it
// always holds every row, and everything that reads the table (write, export,
// counts) takes tableModel(). Edits made in a filtered view reach the same
// cells of the table model.
class TablePage : public QWidget
{
    Q_OBJECT

public:
    TablePage(const TableInfo& table, const DataRows& rows, QWidget* parent = nullptr);
    ~TablePage() override;

    // How long the typing in the search field pauses before the rows are filtered.
    static constexpr int SearchPause = 150;

    TableModel* tableModel() const { return m_model; }
    TableView* view() const { return m_view; }
    TableFilterModel* filterModel() const { return m_filter; }
    TableSearchBar* searchBar() const { return m_searchBar; }
    QUndoStack* undoStack() const { return m_undoStack; }
    bool hasMarkedCells() const;
    // Entries of the window's own that the context menu offers while the rows
    // came from a file (not read from the register).
    void setImportActions(const QList<QAction*>& actions) { m_importActions = actions; }

public slots:
    // Ctrl+F: shows the search bar and puts the cursor in its field; the
    // search's index is complete from then on.
    void openSearch();
    // Esc in the bar: hides it and shows every row again.
    void closeSearch();
    // The rows are filtered once the typing in the search field has paused
    // (SearchPause); this filters them by the text typed so far now.
    void applyPendingSearch();
    // Enter, F3: the current cell goes to the next matching row, after the
    // current one and round to the first.
    void findNext();
    // Ctrl+G: the search bar with its row number field (tables of numbered rows).
    void openGoToRow();
    // The row of that number (counted from 1) becomes current and is shown.
    void goToRow(int number);
    // The selected cells, or the whole table, get the values read back; one step to undo.
    void revertSelectedCells();
    void revertTable();
    // After a comparison with a snapshot: the cells of the selected rows, or of
    // the whole table, that differ from the snapshot get its values and are
    // marked for writing; one step to undo. Cells that cannot be edited stay.
    void acceptSnapshotRows();
    void acceptSnapshotTable();
    // Ctrl+C: the selected block as tab-separated texts, as the tab shows them.
    void copySelection();
    // Ctrl+V: the clipboard's block from the current cell on.
    void pasteClipboard();
    // A tab-separated block from the current cell on: every value checked
    // first, all or nothing, one step to undo; numbers may have their
    // thousands set apart as spreadsheets write them. A block beyond the
    // table's edge asks before the part that fits is pasted, and the status
    // bar says how much was cut.
    void pasteText(const QString& text);
    // Ctrl+D: the top selected cell of each column into the selected cells
    // below it, one cell into itself from the cell above; every value checked
    // first, all or nothing, one step to undo.
    void fillDown();
    // Ctrl+M: "Изменить значения…" for the number or money column of the current cell.
    void openValueChange();
    // The change in each of the cells (of the table model) whose field holds
    // numbers or money: every new value checked first, all or nothing, one
    // step to undo. Returns what was done, as the status bar shows it.
    QString changeValues(const class ValueChange& change, const QModelIndexList& cells);
    // Ctrl+H: the tab's find and replace dialog.
    void openReplace();
    // Replaces in every row of the chosen columns as the replace says: every
    // new value checked first, all or nothing, one step to undo. Returns what
    // was done, as the status bar shows it.
    QString replaceAll(const class CellReplace& replace, const QList<int>& columns);

signals:
    // The page's cells became marked for writing, or none is any more.
    void marksChanged(bool marked);
    // A text for the window's status bar: why an edit was refused, or why cells cannot be shown.
    void statusMessage(const QString& text);

private:
    // Shows why an entry was refused in a tooltip at the current cell.
    void showRefusalAtCell(const QString& message);
    QAction* addPageAction(const char* objectName, const QString& text, const QList<QKeySequence>& keys);
    void applySearch();
    void updateCount();
    void showSourceRow(int sourceRow);
    void revertCells(const QList<QPair<int, int>>& cells, const QString& text);
    void showContextMenu(const QPoint& position);
    // rows: data rows; all of them when empty.
    void acceptSnapshotValues(const QSet<int>& rows);
    // Applies a checked batch as one step, or names its refusal in a message box.
    bool applyBatch(class CellBatch& batch, const QString& title, QString* status = nullptr,
                    const QString& note = QString());
    // A block holding a NUL anywhere is refused whole, every such cell named; true when it was.
    bool refusesNul(const QVector<QStringList>& block, int top, int left, const QString& title);
    void replaceFromDialog();
    // The cells of number and money fields that "Изменить значения…" works on, by the dialog's scope.
    QModelIndexList valueChangeCells(int scope) const;

    TableModel* m_model;
    TableFilterModel* m_filter;
    TableView* m_view;
    TableSearchBar* m_searchBar;
    QUndoStack* m_undoStack;
    QList<QAction*> m_menuActions;
    QList<QAction*> m_importActions;
    QList<QAction*> m_snapshotActions; // shown while the table was compared with a snapshot
    class ReplaceDlg* m_replaceDialog = nullptr;
    class QTimer* m_searchPause;
};
