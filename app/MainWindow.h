#pragma once

#include "TableSelection.h"
#include "device/Cell.h"

#include <QList>
#include <QMainWindow>
#include <QString>

#include <cstdint>

class QAction;
class QCloseEvent;
class QLabel;
class QProgressBar;
class TableInfo;
class RegisterIdentification;
class TableModel;

namespace Ui {
class MainWindow;
}

// The program's only window: command buttons, colour legend, one tab per table
// and a status bar with a message, the register's identity and a progress bar.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // The settings file is SettingsFile::defaultPath() ("Vescor.ini" beside the
    // executable, or in the user's folder) unless a path is given.
    explicit MainWindow(QWidget* parent = nullptr, const QString& settingsPath = QString());
    ~MainWindow() override;

    // A critical message box titled "Vescor"; the status label is empty afterwards.
    void showError(const QString& text);
    // showError with the driver's last error text.
    void showDriverError();
    // Empties both status labels and removes every tab with its page.
    void clearTabs();

    QString statusText() const;
    QString infoText() const;
    QString settingsPath() const { return m_settingsPath; }

protected:
    // Asks before edits that were not written to the register are lost.
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_writeButton_clicked();
    void on_settingsButton_clicked();
    void on_cancelLoading();
    void on_actionReadAll_triggered();
    void on_actionReadCommodities_triggered();
    void on_actionReadAllExceptCommodities_triggered();
    void on_actionExportAll_triggered();
    void on_actionExportCurrent_triggered();
    void on_pbtnLoadFromFile_clicked();
    void on_tabSelected(int index);

private:
    friend class BusyIndicator;

    void loadSettings();
    void saveSettings();

    // Used by the commands; defined beside them.
    void addTableTab(const TableInfo& table, const DataRows& rows);
    TableModel* currentTableModel();
    bool readTables(const QList<TableInfo>& selection, uint32_t& tablesRead, uint32_t& cellsRead);

    // True when no cell is marked changed, or the user agrees to drop the
    // unwritten edits; every command that replaces the tabs asks first.
    bool confirmDiscardChanges();
    bool hasUnwrittenChanges() const;

    // Which tables of the model description a read command takes.
    using ReadSelection = TableSelection::Kind;
    // Opens and identifies the register and loads its model description, keeping
    // the register's model, name and serial number; on a failure it reports it,
    // closes the connection and gives false. Used by the reads and the import.
    bool identifyRegister(RegisterIdentification& identification);
    // The flow shared by the three read commands (ReadCommands.cpp).
    void readFromRegister(ReadSelection selection);

    QString m_settingsPath;
    Ui::MainWindow* ui;
    int32_t m_modelId = 0;
    QLabel* m_statusLabel;
    QLabel* m_infoLabel;
    QAction* m_actionReadAll;
    QAction* m_actionReadCommodities;
    QAction* m_actionReadAllExceptCommodities;
    QString m_modelName;
    QString m_serialNumber;
    QProgressBar* m_progressBar;
    // How many BusyIndicators hold the window; only the outermost one releases it.
    int m_busyDepth = 0;
};
