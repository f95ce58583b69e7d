#pragma once

#include "JournalCellsModel.h"
#include "JournalFields.h"

#include "journal/JournalFolder.h"

#include <QDialog>
#include <QList>

class CommandHost;
class FieldInfo;
class QComboBox;
class QProgressBar;
class QPushButton;
class QTableView;
class QTableWidget;

// "Журнал изменений": the writes of a register's journal, newest first, listed
// from the journal's index, with the cells of the chosen one read when it is
// chosen and shown (their texts made as they come into view), "Вернуть" that reverts it after a question, and "Отчёт…" that shows
// the report of the chosen writes.
// Opens on the register whose tables the window shows; any register with a
// journal can be chosen.
class JournalDlg : public QDialog
{
    Q_OBJECT

public:
    JournalDlg(CommandHost& host, const JournalFolder& journal, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void on_serialBox_currentIndexChanged(int index);
    void on_writesTable_itemSelectionChanged();
    void on_revertButton_clicked();
    void on_reportButton_clicked();

private:
    void showWrites();
    void showCells();
    int currentWrite() const;
    // The rows of the writes chosen, in the list's order.
    QList<int> chosenRows() const;
    // The chosen write, read from the journal once; empty when it cannot be read.
    const RecordedWrite& chosenWrite();
    // The field of a journal cell in the description of an open tab of the
    // register, or else of the record's register model; nullptr when neither has it.
    const FieldInfo* shownField(const JournalRecord& record, const JournalRecord::CellChange& cell);

    CommandHost& m_host;
    JournalFolder m_journal;
    QList<JournalFolder::WritePlace> m_places;
    int m_loadedPlace = -1;
    bool m_cellsPending = false;
    RecordedWrite m_loaded;
    JournalFields m_fields;
    QComboBox* m_serialBox;
    QTableWidget* m_writesTable;
    JournalCellsModel* m_cells;
    QTableView* m_cellsTable;
    QPushButton* m_revertButton;
    QPushButton* m_reportButton;
    QProgressBar* m_loadProgress;
};
