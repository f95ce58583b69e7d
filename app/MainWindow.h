#pragma once

#include "CommandHost.h"
#include "TableWriteCommand.h"

#include "settings/WindowLayout.h"

#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QPointer>
#include <QString>

#include <cstdint>

class BusyIndicator;
class QAction;
class QCloseEvent;
class QLabel;
class QPushButton;
class CommandProgress;
class StatusLabel;
class TableInfo;
class TableModel;
class TablePage;

namespace Ui {
class MainWindow;
}

// The program's only window: command buttons, colour legend, one tab per table
// and a status bar with a message, the register's identity and a progress bar.
class MainWindow : public QMainWindow, public CommandHost
{
    Q_OBJECT

public:
    // The settings file is SettingsFile::defaultPath() ("Vescor.ini" beside the
    // executable, or in the user's folder) unless a path is given.
    explicit MainWindow(QWidget* parent = nullptr, const QString& settingsPath = QString());
    ~MainWindow() override;

    // A critical message box titled "Vescor"; the status label is empty afterwards.
    void showError(const QString& text) override;
    // showError with the driver's last error text.
    void showDriverError();
    // Empties both status labels and removes every tab with its page.
    void clearTabs() override;
    void keepTabsAside() override;
    void putBackTabs() override;
    void dropKeptTabs() override;

    // What the commands use of the window.
    QWidget* dialogParent() override { return this; }
    void setStatusText(const QString& text) override;
    void setInfoText(const QString& text) override;
    void addTableTab(const TableInfo& table, const DataRows& rows) override;
    void replaceTableTab(int index, const TableInfo& table, const DataRows& rows) override;
    QList<TableModel*> tableModels() override;
    TableModel* currentTableModel() override;
    CommandProgress& progress() override { return *m_progress; }
    bool confirmDiscardChanges() override;
    RecentFolders& recentFolders() override { return m_recentFolders; }
    RegisterIdentity shownRegister() const override;
    void setShownRegister(const RegisterIdentity& identity) override;

    QString statusText() const;
    QString infoText() const;
    QString settingsPath() const { return m_settingsPath; }

protected:
    // Asks before edits that were not written to the register are lost.
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_writeButton_clicked();
    void on_settingsButton_clicked();
    // Asks the command that runs to stop (KKT_Logic::requestCancel()), as its "Отменить" does.
    void on_cancelLoading();
    void on_actionReadAll_triggered();
    void on_actionReadCommodities_triggered();
    void on_actionReadAllExceptCommodities_triggered();
    void on_actionExportAll_triggered();
    void on_actionExportCurrent_triggered();
    void on_pbtnLoadFromFile_clicked();
    void on_actionImportDifferences_triggered();
    void on_journalButton_clicked();
    void on_actionSnapshotSave_triggered();
    void on_actionSnapshotCompare_triggered();
    void on_actionSnapshotRestore_triggered();

private:
    void loadSettings();
    void saveSettings();
    // The window's size and place and the tables' column widths from the last run.
    void restoreLayout();
    void saveLayout();
    // Keeps the column widths of a page that goes, for its table's next tab.
    void keepColumnWidths(QWidget* page);

    bool hasUnwrittenChanges() const;
    // "*" after the title of each tab that holds marked cells, and after the window's title while any does;
    // "Записать в ККТ" takes clicks only then ("Экспорт" only while there is a tab).
    void updateMarks();
    TablePage* newTablePage(const TableInfo& table, const DataRows& rows);
    // The page of the tab at index, when it shows a table.
    TablePage* tablePage(int index) const;
    // While a command runs only its cancel button takes input.
    void setBusy(bool busy);
    // Once a command is done, the keys go back to the table they were in;
    // else (they were on a button, or went with the tabs a read replaced) to
    // the current tab's table, its current cell chosen.
    void giveBackKeys();
    // The window's commands on their keys, named in the buttons' tooltips.
    void addCommandKeys();
    // F1: the list of every command's keys.
    void showShortcuts();
    // "Отчёт…" in the status bar for the write (hidden for none).
    void offerWriteReport(const JournaledWrite& write);
    void showWriteReport();
    // Makes the tab `step` places on (round the ends) current, its table in focus.
    void stepTab(int step);

    QString m_settingsPath;
    Ui::MainWindow* ui;
    StatusLabel* m_statusLabel;
    QLabel* m_infoLabel;
    QPushButton* m_writeReportButton;
    JournaledWrite m_reportedWrite;
    QAction* m_actionReadAll;
    QAction* m_actionReadCommodities;
    QAction* m_actionReadAllExceptCommodities;
    QList<QAction*> m_keyActions;
    // The register whose tables the tabs hold: set by each identification of a
    // read or an import, also when its model description then fails.
    int m_modelId = 0;
    QString m_modelName;
    QString m_serialNumber;
    RecentFolders m_recentFolders;
    // The tabs a command keeps aside while it builds new ones.
    struct KeptTabs
    {
        QList<QPair<QWidget*, QString>> pages; // each page with its tab's title
        int current = -1;
        RegisterIdentity shown;
        QString info;
    };
    KeptTabs m_keptTabs;
    QPointer<QWidget> m_focusBeforeBusy;
    CommandProgress* m_progress;
    WindowLayout m_layout;
};
