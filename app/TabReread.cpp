#include "TabReread.h"

#include "CommandHost.h"

#include "flows/RegisterSession.h"
#include "flows/TableReader.h"
#include "table/TableModel.h"

void TabReread::run(CommandHost& host, const RegisterSession& session, const QStringList& tables, Edits edits)
{
    if (session.identity().serialNumber != host.shownRegister().serialNumber)
        return;
    const QList<TableModel*> models = host.tableModels();
    for (int i = 0; i < models.size(); ++i) {
        const TableModel* model = models.at(i);
        if (!model || !model->knowsRegisterRows() || !tables.contains(QString::number(model->tableNumber())))
            continue;
        unsigned cellsRead = 0;
        DataRows rows = TableReader::read(session.link(), model->tableInfo(), cellsRead);
        const DataRows& shown = model->tableData();
        for (int r = 0; edits == Edits::Keep && r < shown.size() && r < rows.size(); ++r) {
            for (int c = 0; c < shown.at(r).size() && c < rows.at(r).size(); ++c) {
                if (shown.at(r).at(c).changed)
                    rows[r][c] = shown.at(r).at(c);
            }
        }
        host.replaceTableTab(i, model->tableInfo(), rows);
    }
}

QList<int> TabReread::editedTabs(CommandHost& host, const RegisterSession& session)
{
    QList<int> tabs;
    if (session.identity().serialNumber != host.shownRegister().serialNumber)
        return tabs;
    const QList<TableModel*> models = host.tableModels();
    for (int i = 0; i < models.size(); ++i) {
        if (models.at(i) && models.at(i)->knowsRegisterRows() && models.at(i)->hasChangedCells())
            tabs << i;
    }
    return tabs;
}
