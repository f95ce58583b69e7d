#include "TableWriteCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"

#include "common/MessageBox.h"
#include "common/Product.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "flows/TableSetWriter.h"
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

    RegisterSession session;
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
    // The write ends at a page that holds no single table view, after the tables before it.
    QList<TableModel*> models = m_host.tableModels();
    const int broken = models.indexOf(nullptr);
    if (broken >= 0)
        models = models.mid(0, broken);
    QList<TableInfo> changedTables;
    for (const TableModel* model : qAsConst(models)) {
        if (model->hasChangedCells())
            changedTables << model->tableInfo();
    }

    TableSetWriter writer(changedTables, journal, busy);
    for (TableModel* model : qAsConst(models)) {
        try {
            // A table from a file has no values read before it: the register tells them now.
            DataRows registerRows = model->registerRows();
            if (!model->knowsRegisterRows() && model->hasChangedCells()) {
                unsigned cellsRead = 0;
                registerRows = TableReader::read(model->tableInfo(), cellsRead);
            }
            writer.write(model->tableInfo(), model->tableData(), registerRows);
            model->setRegisterRows(model->tableData());
        } catch (const FlowFailure& failure) {
            m_host.refreshTables();
            // The register drops the cells sent but not committed when the connection closes.
            session.close();
            if (failure.kind() == FlowFailure::Cancelled) {
                m_host.setStatusText(failure.message().section(QLatin1Char('\n'), 0, 0));
                MessageBox::warning(m_host.dialogParent(), product::displayName(), failure.message());
                return;
            }
            m_host.showError(failure.message());
            // A value that cannot be written is named in the status bar too.
            if (failure.kind() == FlowFailure::Refused)
                m_host.setStatusText(failure.message());
            return;
        }
        // The marks were cleared in place: the values written are the register's now.
        model->adoptWrittenValues();
        m_host.refreshTables();
    }
    if (broken >= 0) {
        qDebug().noquote() << QStringLiteral("Error when finding QTableView on the tab ") + QString::number(broken);
        return;
    }
    m_host.setStatusText(QStringLiteral("Успешно записано %1 ячеек в %2 таблицах")
                             .arg(writer.cellsWritten())
                             .arg(writer.tablesWritten()));
}
