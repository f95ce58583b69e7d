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
                                                     folders.start(RecentFolders::TableFiles), FileCommandTexts::csvFilter());
    folders.remember(RecentFolders::TableFiles, path, false);
    if (path.isEmpty()) {
        m_host.setStatusText(FileCommandTexts::cancelled());
        return;
    }

    BusyIndicator busy(m_host, FileCommandTexts::wait());

    // The tabs of the register connected are replaced only by a file that was
    // accepted whole: a refused one leaves them as they were.
    RegisterSession session(KKT_Logic::instance());
    try {
        // The register shown changes with its identification, even when its
        // description fails; tabs of another register cannot stay beside it.
        const RegisterIdentity identity = session.open();
        const RegisterIdentity shown = m_host.shownRegister();
        if (identity.modelCode != shown.modelCode || identity.serialNumber != shown.serialNumber)
            m_host.clearTabs();
        m_host.setShownRegister(identity);
        const QList<TableInfo>& tables = session.loadDescription();
        TableInfo matched;
        CsvExchange exchange(KKT_Logic::charsets());
        DataRows rows;
        try {
            rows = exchange.importTable(path, tables, matched);
        } catch (const RunTimeError& error) {
            const QString message = QStringLiteral("%1: %2").arg(path, error.message());
            throw FlowFailure(FlowFailure::Refused, message, {FlowFailure::Place{message, path, 0, QString()}});
        }
        m_host.clearTabs();
        m_host.addTableTab(matched, rows);
        // The file's values are not the register's: the write reads those.
        m_host.tableModels().last()->forgetRegisterRows();
        QString status = QStringLiteral("Успешно прочитан файл %1 ").arg(FileCommandTexts::fileNameOf(path));
        QStringList notes;
        if (!exchange.encodingNote().isEmpty())
            notes << exchange.encodingNote();
        if (exchange.ignoredLines() > 0)
            notes << CsvExchange::ignoredLinesNote(exchange.ignoredLines());
        if (!notes.isEmpty())
            status += QStringLiteral("(%1)").arg(notes.join(QStringLiteral("; ")));
        m_host.setStatusText(status);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        // A refusal of the file stays in the status bar as well.
        if (!failure.places().isEmpty())
            m_host.setStatusText(failure.message());
    }
}
