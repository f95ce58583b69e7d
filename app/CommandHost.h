#pragma once

#include "device/Cell.h"
#include "device/RegisterIdentity.h"
#include "flows/FlowFailure.h"

#include "RecentFolders.h"

#include <QList>
#include <QString>

class CommandProgress;
class QWidget;
class TableInfo;
class TableModel;

// What the commands of the main window need of it: its messages, its tabs and
// the register it last read. The window implements it; each command is a
// class of its own that the window's slot runs.
class CommandHost
{
public:
    virtual ~CommandHost() = default;

    // The parent of the dialogs a command shows.
    virtual QWidget* dialogParent() = 0;
    // A critical message box titled "Vescor"; the status label is empty afterwards.
    virtual void showError(const QString& text) = 0;
    virtual void setStatusText(const QString& text) = 0;
    // A failed command: its message in a box (not for a cancel, which the
    // user asked for) and in the status line.
    void reportFailure(const FlowFailure& failure)
    {
        if (failure.kind() != FlowFailure::Cancelled)
            showError(failure.message());
        setStatusText(failure.message());
    }
    virtual void setInfoText(const QString& text) = 0;
    // The window's progress, which a command holds while it runs (BusyIndicator).
    virtual CommandProgress& progress() = 0;

    // Empties both status labels and removes every tab with its page.
    virtual void clearTabs() = 0;
    // As clearTabs(), but the tabs are kept aside, with the register they
    // show, the info line and whether they could be written, for a command
    // whose new tabs may fail: putBackTabs() removes the new ones and puts the
    // kept ones back as they were; dropKeptTabs() lets them go. Tabs kept
    // aside once more replace the ones kept before.
    virtual void keepTabsAside() = 0;
    virtual void putBackTabs() = 0;
    virtual void dropKeptTabs() = 0;
    virtual void addTableTab(const TableInfo& table, const DataRows& rows) = 0;
    // Puts a new page with the rows in place of the tab at index (its undo history goes).
    virtual void replaceTableTab(int index, const TableInfo& table, const DataRows& rows) = 0;
    // The table model of every tab in tab order; nullptr for a page that holds no single table view.
    virtual QList<TableModel*> tableModels() = 0;
    // The model of the current tab; raises RunTimeError when no table is shown.
    virtual TableModel* currentTableModel() = 0;

    // True when no cell is marked changed, or the user agrees to drop the
    // unwritten edits; every command that replaces the tabs asks first.
    virtual bool confirmDiscardChanges() = 0;

    // Where the file dialogs of this run start.
    virtual RecentFolders& recentFolders() = 0;

    // The register whose tables the tabs hold.
    virtual RegisterIdentity shownRegister() const = 0;
    virtual void setShownRegister(const RegisterIdentity& identity) = 0;
};
