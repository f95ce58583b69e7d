#include "SnapshotRestoreCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"
#include "SnapshotChoice.h"
#include "TabReread.h"

#include "common/Product.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "journal/JournalFolder.h"
#include "journal/JournalSession.h"
#include "runs/RegisterSnapshot.h"
#include "snapshot/SnapshotReader.h"

#include <QObject>
#include <QStringList>

#include <memory>

void SnapshotRestoreCommand::run()
{
    const QString path = SnapshotChoice::fileToOpen(m_host, QObject::tr("Восстановить из снимка ККТ"));
    if (path.isEmpty())
        return;
    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет запись"));
    RegisterSession session(KKT_Logic::instance());
    std::unique_ptr<JournalSession> journal;
    RegisterSnapshot::Restore result;
    int readOnly = 0; // differing cells the restore leaves, being read-only
    try {
        const std::unique_ptr<SnapshotReader> reader = RegisterSnapshot::open(path);
        session.openWithDescription();
        RegisterSnapshot::Permissions permissions;
        if (!SnapshotChoice::allowRestore(m_host, path, reader->manifest(), session.identity(), permissions)) {
            m_host.setStatusText(FileCommandTexts::cancelled());
            return;
        }
        const JournalFolder folder;
        journal = std::make_unique<JournalSession>(product::applicationName(), session.identity(), folder);
        result = RegisterSnapshot::restore(*reader, session, *journal, permissions, {}, false,
                                           RegisterSnapshot::undoDirectory(folder.directory()), busy);
        QStringList written;
        for (const RegisterSnapshot::TableDifferences& table : result.comparison.tables) {
            if (!table.cells.isEmpty())
                written << QString::number(table.table.id);
            readOnly += table.readOnly.size();
        }
        TabReread::run(m_host, session, written);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        if (journal && !journal->warnings().isEmpty())
            MessageBox::warning(m_host.dialogParent(), product::displayName(), journal->warningText());
        return;
    }
    session.close();

    QString status = QStringLiteral("Успешно записано %1 ячеек в %2 таблицах")
                         .arg(result.cellsWritten)
                         .arg(result.tablesWritten);
    if (readOnly > 0)
        status += QStringLiteral("; не записано: только для чтения, ячеек: %1").arg(readOnly);
    if (!result.undoSnapshot.isEmpty())
        status += QStringLiteral("; ККТ до восстановления сохранена в снимке %1").arg(result.undoSnapshot);
    m_host.setStatusText(status);
    QStringList warnings;
    if (!result.comparison.skipped.isEmpty())
        warnings << QStringLiteral("Не восстанавливались:\n%1").arg(result.comparison.skipped.join(QLatin1Char('\n')));
    if (!journal->warnings().isEmpty())
        warnings << journal->warningText();
    if (!warnings.isEmpty())
        MessageBox::warning(m_host.dialogParent(), product::displayName(), warnings.join(QStringLiteral("\n\n")));
}
