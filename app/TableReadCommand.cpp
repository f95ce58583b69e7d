#include "TableReadCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"

#include "device/KKT_Logic.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableReader.h"

namespace {

QString readingText()
{
    return QStringLiteral("Подождите... Идет чтение");
}

} // namespace

void TableReadCommand::run(TableSelection::Kind which)
{
    m_host.clearTabs();
    BusyIndicator busy(m_host, readingText());

    RegisterSession session(KKT_Logic::instance());
    QList<TableInfo> selection;
    try {
        // The register shown changes with its identification, even when its description fails.
        m_host.setShownRegister(session.open());
        const QList<TableInfo>& tables = session.loadDescription();
        selection = TableSelection::select(tables, which);
    } catch (const FlowFailure& failure) {
        m_host.showError(failure.message());
        return;
    }

    unsigned tablesRead = 0;
    unsigned cellsRead = 0;
    const bool complete = readTables(session.link(), selection, tablesRead, cellsRead);
    session.close();
    if (!complete)
        return;

    m_host.setStatusText(QStringLiteral("Успешно прочитано %1 ячеек в %2 таблицах").arg(cellsRead).arg(tablesRead));
    const RegisterIdentity shown = m_host.shownRegister();
    m_host.setInfoText(QStringLiteral("%1, %2").arg(shown.modelName, shown.serialNumber));
}

bool TableReadCommand::readTables(const RegisterLink& link, const QList<TableInfo>& selection, unsigned& tablesRead,
                                  unsigned& cellsRead)
{
    BusyIndicator busy(m_host, readingText());
    busy.offerCancel();
    for (const TableInfo& table : selection) {
        DataRows rows;
        try {
            rows = TableReader::read(link, table, cellsRead, &busy);
        } catch (const FlowFailure& failure) {
            // The table being read gets no tab; the ones read before keep theirs.
            m_host.reportFailure(failure);
            return false;
        }
        m_host.addTableTab(table, rows);
        ++tablesRead;
    }
    return true;
}
