#include "TableWriteCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"

#include "common/MessageBox.h"
#include "common/Product.h"
#include "device/KKT_Logic.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "flows/WriteJournal.h"
#include "table/TableModel.h"

#include <QDebug>

namespace {

// A journal that could not be written is told after the write, on every end of it.
class JournalWarning
{
public:
    JournalWarning(CommandHost& host, const WriteJournal& journal) : m_host(host), m_journal(journal) {}
    ~JournalWarning()
    {
        if (!m_journal.warnings().isEmpty())
            MessageBox::warning(m_host.dialogParent(), product::displayName(), m_journal.warningText());
    }

private:
    CommandHost& m_host;
    const WriteJournal& m_journal;
};

} // namespace

void TableWriteCommand::run()
{
    BusyIndicator busy(QStringLiteral("Подождите... Идет запись"));
    busy.offerCancel();

    RegisterSession session(KKT_Logic::instance());
    try {
        if (session.open().modelCode != m_host.shownRegister().modelCode) {
            m_host.showError(
                QStringLiteral("Ошибка - после чтения была подключена другая модель ККТ, выполните чтение из ККТ заново."));
            return;
        }
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        return;
    }

    WriteJournal journal(product::applicationName(), session.identity());
    const JournalWarning journalWarning(m_host, journal);
    unsigned cellsWritten = 0;
    unsigned tablesWritten = 0;
    const QList<TableModel*> models = m_host.tableModels();
    for (int i = 0; i < models.size(); ++i) {
        TableModel* model = models.at(i);
        if (!model) {
            qDebug().noquote() << QStringLiteral("Error when finding QTableView on the tab ") + QString::number(i);
            return;
        }

        const unsigned before = cellsWritten;
        try {
            // A table from a file has no values read before it: the register tells them now.
            DataRows registerRows = model->registerRows();
            if (!model->knowsRegisterRows() && model->hasChangedCells()) {
                unsigned cellsRead = 0;
                registerRows = TableReader::read(session.link(), model->tableInfo(), cellsRead);
            }
            journal.write(session.link(), model->tableInfo(), model->tableData(), registerRows, cellsWritten, busy);
            model->setRegisterRows(model->tableData());
        } catch (const FlowFailure& failure) {
            m_host.refreshTables();
            if (KKT_Logic::cancelRequested)
                break;
            m_host.showError(failure.message());
            // A value that cannot be written is named in the status bar too.
            if (failure.kind() == FlowFailure::Refused)
                m_host.setStatusText(failure.message());
            return;
        }
        // The marks were cleared in place: the values written are the register's now.
        model->adoptWrittenValues();
        m_host.refreshTables();
        if (KKT_Logic::cancelRequested)
            break;
        if (cellsWritten > before)
            ++tablesWritten;
    }
    if (KKT_Logic::cancelRequested) {
        m_host.setStatusText(QStringLiteral("Операция записи прервана пользователем"));
        return;
    }
    m_host.setStatusText(QStringLiteral("Успешно записано %1 ячеек в %2 таблицах").arg(cellsWritten).arg(tablesWritten));
}
