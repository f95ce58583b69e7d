#include "JournalRevertCommand.h"

#include "JournalFields.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "TabReread.h"

#include "common/Product.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "runs/JournalRevert.h"
#include "journal/JournalSession.h"

#include <QStringList>

#include <memory>

namespace {

// A journal that could not be written is told after the revert, whatever its end.
void warnOfJournal(CommandHost& host, const JournalSession* journal)
{
    if (journal && !journal->warnings().isEmpty())
        MessageBox::warning(host.dialogParent(), product::displayName(), journal->warningText());
}

} // namespace

bool JournalRevertCommand::run(const RecordedWrite& write)
{
    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет запись"));
    RegisterSession session(KKT_Logic::instance());
    std::unique_ptr<JournalSession> journal;
    JournalRevert::Result result;
    try {
        session.openWithDescription();
        journal = std::make_unique<JournalSession>(product::applicationName(), session.identity());
        result = JournalRevert::run(write, session, *journal, false, busy);
        TabReread::run(m_host, session, write.tableNumbers());
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        warnOfJournal(m_host, journal.get());
        return false;
    }
    session.close();

    m_host.setStatusText(QStringLiteral("Успешно записано %1 ячеек в %2 таблицах")
                             .arg(result.cellsWritten)
                             .arg(result.tablesWritten));
    if (!result.changedSince.isEmpty()) {
        QStringList lines;
        for (const JournalRevert::TableCell& cell : result.changedSince) {
            // The values as the tabs show them.
            const FieldInfo* field = JournalFields::field(session.tables(), cell.tableNumber, cell.cell);
            lines << (cell.inRegister ? QStringLiteral("%1: в ККТ \"%2\", запись оставила \"%3\"")
                                            .arg(JournalRevert::place(cell), JournalFields::shown(field, cell.registerValue),
                                                 JournalFields::shown(field, cell.cell.after))
                                      : QStringLiteral("%1: нет в ККТ").arg(JournalRevert::place(cell)));
        }
        MessageBox::warning(m_host.dialogParent(), product::displayName(),
                            QStringLiteral("Ячейки, изменённые после записи %1, оставлены как есть:\n%2")
                                .arg(write.id(), lines.join(QLatin1Char('\n'))));
    }
    warnOfJournal(m_host, journal.get());
    return true;
}
