#include "JournalReport.h"

#include "CommandHost.h"
#include "ReportDlg.h"

#include "exchange/ExportFileName.h"
#include "report/WriteReport.h"
#include "table/TableModel.h"

void JournalReport::show(CommandHost& host, const QList<RecordedWrite>& writes, QWidget* parent)
{
    if (writes.isEmpty())
        return;
    const JournalRecord& newest = writes.last().first();
    RegisterIdentity identity = WriteReport::identityOf(newest);
    QList<TableInfo> tables = WriteReport::descriptionOf(newest);
    // A write of older programs does not name the firmware: the tabs of its register know it.
    const RegisterIdentity shown = host.shownRegister();
    if (shown.serialNumber == identity.serialNumber && shown.modelCode == identity.modelCode) {
        if (identity.firmware.isEmpty())
            identity.firmware = shown.firmware;
        if (tables.isEmpty()) {
            for (const TableModel* model : host.tableModels()) {
                if (model)
                    tables << model->tableInfo();
            }
        }
    }
    WriteReport report(identity, tables);
    for (const RecordedWrite& write : writes)
        report.add(write);
    const QString fileName =
        QStringLiteral("%1_%2.pdf").arg(ExportFileName::safeFileNamePart(identity.serialNumber), writes.last().id());
    ReportDlg(report.finish(), fileName, parent).exec();
}
