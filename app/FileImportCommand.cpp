#include "FileImportCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"

#include "common/FileDialog.h"
#include "flows/FlowFailure.h"
#include "flows/ImportFiles.h"
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

    BusyIndicator busy(FileCommandTexts::wait());

    // The tabs are replaced only by a file that was accepted whole: a refused
    // one leaves them, and the register they belong to, as they were.
    RegisterSession session;
    try {
        const QList<TableInfo>& tables = session.openWithDescription();
        const ImportFiles::File file = ImportFiles::load({path}, tables).first();
        m_host.clearTabs();
        m_host.setShownRegister(session.identity());
        m_host.addTableTab(file.table, file.rows);
        // The file's values are not the register's: the write reads those.
        m_host.tableModels().last()->forgetRegisterRows();
        m_host.setStatusText(QStringLiteral("Успешно прочитан файл %1 ").arg(FileCommandTexts::fileNameOf(path)));
        m_host.setWriteEnabled(true);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        // A refusal of the file stays in the status bar as well.
        if (!failure.places().isEmpty())
            m_host.setStatusText(failure.message());
    }
}
