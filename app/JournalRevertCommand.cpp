#include "JournalRevertCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"

#include "common/Product.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "journal/JournalRevert.h"
#include "journal/JournalSession.h"
#include "table/TableModel.h"

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

void JournalRevertCommand::rereadTabs(const RecordedWrite& write, const RegisterSession& session)
{
    if (session.identity().serialNumber != m_host.shownRegister().serialNumber)
        return;
    const QStringList tables = write.tableNumbers();
    const QList<TableModel*> models = m_host.tableModels();
    for (int i = 0; i < models.size(); ++i) {
        const TableModel* model = models.at(i);
        // A tab from a file shows the file, not the register.
        if (!model || !model->knowsRegisterRows() || !tables.contains(QString::number(model->tableNumber())))
            continue;
        unsigned cellsRead = 0;
        DataRows rows = TableReader::read(session.link(), model->tableInfo(), cellsRead);
        // Edits not written yet stay, marked, over the values read.
        const DataRows& shown = model->tableData();
        for (int r = 0; r < shown.size() && r < rows.size(); ++r) {
            for (int c = 0; c < shown.at(r).size() && c < rows.at(r).size(); ++c) {
                if (shown.at(r).at(c).changed)
                    rows[r][c] = shown.at(r).at(c);
            }
        }
        m_host.replaceTableTab(i, model->tableInfo(), rows);
    }
}

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
        rereadTabs(write, session);
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
            lines << (cell.inRegister ? QStringLiteral("%1: в ККТ \"%2\", запись оставила \"%3\"")
                                            .arg(JournalRevert::place(cell), QString::fromUtf8(cell.registerValue),
                                                 QString::fromUtf8(cell.cell.after))
                                      : QStringLiteral("%1: нет в ККТ").arg(JournalRevert::place(cell)));
        }
        MessageBox::warning(m_host.dialogParent(), product::displayName(),
                            QStringLiteral("Ячейки, изменённые после записи %1, оставлены как есть:\n%2")
                                .arg(write.id(), lines.join(QLatin1Char('\n'))));
    }
    warnOfJournal(m_host, journal.get());
    return true;
}
