#include "FileImportCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"

#include "common/Errors.h"
#include "device/KKT_Logic.h"
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

    RegisterSession session(KKT_Logic::instance());
    try {
        // The register shown changes with its identification, even when its description fails.
        m_host.setShownRegister(session.open());
        const QList<TableInfo>& tables = session.loadDescription();
        TableInfo matched;
        CsvExchange exchange(KKT_Logic::charsets());
        const DataRows rows = exchange.importTable(path, tables, matched);
        m_host.addTableTab(matched, rows);
        // The file's values are not the register's: the write reads those.
        m_host.tableModels().last()->forgetRegisterRows();
        QString status = QStringLiteral("Успешно прочитан файл %1 ").arg(FileCommandTexts::fileNameOf(path));
        if (exchange.ignoredLines() > 0)
            status += QStringLiteral("(%1)").arg(CsvExchange::ignoredLinesNote(exchange.ignoredLines()));
        m_host.setStatusText(status);
        m_host.setWriteEnabled(true);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
    } catch (const RunTimeError& error) {
        m_host.setStatusText(error.message());
    }
}
