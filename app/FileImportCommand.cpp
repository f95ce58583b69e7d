#include "FileImportCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"

#include "common/Errors.h"
#include "dialogs/FileDialog.h"
#include "exchange/CsvExchange.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "table/TableModel.h"

#include <QDir>
#include <QObject>

void FileImportCommand::run()
{
    // Asked before the file is chosen, so that a "no" leaves everything as it was.
    if (!m_host.confirmDiscardChanges())
        return;
    RecentFolders& folders = m_host.recentFolders();
    const QString path = FileDialog::getOpenFileName(m_host.dialogParent(), QObject::tr("Открыть файл"),
                                                     folders.start(RecentFolders::Import), FileCommandTexts::csvFilter());
    folders.remember(RecentFolders::Import, path, false);
    if (path.isEmpty()) {
        m_host.setStatusText(FileCommandTexts::cancelled());
        return;
    }

    m_host.clearTabs();
    BusyIndicator busy(m_host, FileCommandTexts::wait());

    RegisterSession session;
    try {
        const QList<TableInfo>& tables = session.openWithDescription();
        m_host.setShownRegister(session.identity());
        TableInfo matched;
        const DataRows rows = CsvExchange().importTable(path, tables, matched);
        m_host.addTableTab(matched, rows);
        // The file's values are not the register's: the write reads those.
        m_host.tableModels().last()->forgetRegisterRows();
        m_host.setStatusText(QStringLiteral("Успешно прочитан файл %1 ").arg(FileCommandTexts::fileNameOf(path)));
        m_host.setWriteEnabled(true);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
    } catch (const RunTimeError& error) {
        m_host.setStatusText(error.message());
    }
}
