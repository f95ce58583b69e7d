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
#include "table/TableModel.h"

#include <QObject>
#include <QStringList>

#include <memory>

void SnapshotRestoreCommand::run()
{
    const QString path = SnapshotChoice::fileToOpen(m_host, QObject::tr("Восстановить из снимка ККТ"));
    if (path.isEmpty())
        return;
    RegisterSession session(KKT_Logic::instance());
    std::unique_ptr<BusyIndicator> busy; // from the user's yes: the write may be stopped between tables
    std::unique_ptr<JournalSession> journal;
    RegisterSnapshot::Restore result;
    QList<unsigned> committed;
    QList<int> edited;
    try {
        const std::unique_ptr<SnapshotReader> reader = RegisterSnapshot::open(path);
        session.openWithDescription();
        edited = TabReread::editedTabs(m_host, session);
        QStringList droppedEdits;
        for (int tab : qAsConst(edited))
            droppedEdits << m_host.tableModels().at(tab)->tableInfo().name;
        RegisterSnapshot::Permissions permissions;
        if (!SnapshotChoice::allowRestore(m_host, path, reader->manifest(), session.identity(), droppedEdits,
                                          permissions)) {
            m_host.setStatusText(FileCommandTexts::cancelled());
            return;
        }
        busy = std::make_unique<BusyIndicator>(m_host, QStringLiteral("Подождите... Идет запись"));
        busy->offerCancel();
        const JournalFolder folder;
        journal = std::make_unique<JournalSession>(product::applicationName(), session.identity(), folder);
        result = RegisterSnapshot::restore(*reader, session, *journal, permissions, {}, false,
                                           RegisterSnapshot::undoDirectory(folder.directory()), *busy, &committed);
    } catch (const FlowFailure& failure) {
        // The register drops the cells sent but not committed when the connection closes.
        session.close();
        QString reread;
        try {
            if (!committed.isEmpty()) {
                RegisterSession after(KKT_Logic::instance());
                after.openWithDescription();
                refreshTabs(after, committed, edited);
            }
        } catch (const FlowFailure& rereadFailure) {
            reread = rereadFailure.message();
        }
        busy.reset();
        if (failure.kind() == FlowFailure::Cancelled) {
            m_host.setStatusText(failure.message().section(QLatin1Char('\n'), 0, 0));
            MessageBox::warning(m_host.dialogParent(), product::displayName(), failure.message());
        } else {
            m_host.showError(failure.message());
        }
        if (!reread.isEmpty())
            m_host.showError(reread);
        if (journal && !journal->warnings().isEmpty())
            MessageBox::warning(m_host.dialogParent(), product::displayName(), journal->warningText());
        return;
    }
    int readOnly = 0; // differing cells the restore leaves, being read-only
    for (const RegisterSnapshot::TableDifferences& table : result.comparison.tables)
        readOnly += table.readOnly.size();
    try {
        refreshTabs(session, committed, edited);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        return;
    }
    busy.reset();
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

void SnapshotRestoreCommand::refreshTabs(const RegisterSession& session, const QList<unsigned>& committed,
                                         const QList<int>& edited)
{
    // A comparison with a snapshot was of the register before the restore.
    for (TableModel* model : m_host.tableModels()) {
        if (model)
            model->forgetSnapshot();
    }
    QStringList tables;
    for (unsigned table : committed)
        tables << QString::number(table);
    const QList<TableModel*> models = m_host.tableModels();
    for (int tab : edited) {
        if (tab < models.size() && models.at(tab))
            tables << QString::number(models.at(tab)->tableNumber());
    }
    if (!tables.isEmpty())
        TabReread::run(m_host, session, tables, TabReread::Edits::Drop);
}
