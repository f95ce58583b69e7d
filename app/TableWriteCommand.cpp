#include "TableWriteCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"

#include "common/Product.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "runs/TableSetWriter.h"
#include "runs/TableWriteRun.h"
#include "journal/JournalSession.h"
#include "table/TableModel.h"

#include <QDebug>
#include <QStringList>
#include <QVector>

#include <memory>
#include <vector>

namespace {

// A journal that could not be written is told after the write, on every end of it.
class JournalWarning
{
public:
    JournalWarning(CommandHost& host, const JournalSession& journal) : m_host(host), m_journal(journal) {}
    ~JournalWarning()
    {
        if (!m_journal.warnings().isEmpty())
            MessageBox::warning(m_host.dialogParent(), product::displayName(), m_journal.warningText());
    }

private:
    CommandHost& m_host;
    const JournalSession& m_journal;
};

} // namespace

void TableWriteCommand::run()
{
    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет запись"));
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

    // The write ends at a page that holds no single table view, after the tables before it.
    QList<TableModel*> models = m_host.tableModels();
    const int broken = models.indexOf(nullptr);
    if (broken >= 0)
        models = models.mid(0, broken);

    // One run per tab over a copy of its rows: the write clears the marks of
    // the cells it committed in the copy, and the model takes them over.
    // What the register holds in the cells about to be written is read before
    // anything is sent: the journal's "before", and the cells changed on the
    // register since the tabs were read.
    std::vector<DataRows> rows;
    rows.reserve(size_t(models.size()));
    std::vector<std::unique_ptr<TableWriteRun>> runs;
    QStringList changedSince;
    QList<TableInfo> changedTables;
    try {
        for (const TableModel* model : qAsConst(models)) {
            rows.push_back(model->tableData());
            runs.push_back(std::make_unique<TableWriteRun>(session.link(), model->tableInfo(), rows.back()));
            TableWriteRun& run = *runs.back();
            if (run.markedCount() == 0)
                continue;
            changedTables << model->tableInfo();
            run.read(TableWriteRun::Before::WrittenCells);
            if (model->knowsRegisterRows()) {
                const auto cells = run.changedSince(model->registerRows());
                if (!cells.isEmpty())
                    changedSince << TableWriteRun::describe(model->tableInfo(), cells);
            }
        }
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        return;
    }
    if (!changedSince.isEmpty()
        && !MessageBox::question(m_host.dialogParent(), product::displayName(),
                                 QStringLiteral("После чтения эти ячейки изменены в ККТ:\n%1\n\nЗаписать поверх них? "
                                                "Чтобы увидеть значения ККТ, выполните чтение из ККТ заново.")
                                     .arg(changedSince.join(QLatin1Char('\n'))))) {
        m_host.setStatusText(QStringLiteral("Запись отменена: после чтения ячейки изменены в ККТ"));
        return;
    }

    JournalSession journal(product::applicationName(), session.identity());
    const JournalWarning journalWarning(m_host, journal);
    TableSetWriter writer(changedTables, journal, busy);
    for (int i = 0; i < models.size(); ++i) {
        try {
            writer.write(*runs.at(size_t(i)));
            models.at(i)->adoptWrittenRows(rows.at(size_t(i)));
        } catch (const FlowFailure& failure) {
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
    }
    if (broken >= 0) {
        qDebug().noquote() << QStringLiteral("Error when finding QTableView on the tab ") + QString::number(broken);
        return;
    }
    m_host.setStatusText(QStringLiteral("Успешно записано %1 ячеек в %2 таблицах")
                             .arg(writer.cellsWritten())
                             .arg(writer.tablesWritten()));
    if (writer.cellsWritten() > 0 && journal.warnings().isEmpty())
        m_journaled = {journal.journal(), session.identity().serialNumber, journal.writeId()};
}
