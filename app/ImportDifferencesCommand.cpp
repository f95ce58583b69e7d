#include "ImportDifferencesCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"

#include "common/Errors.h"
#include "device/KKT_Logic.h"
#include "device/ValueCheck.h"
#include "flows/FlowFailure.h"
#include "flows/RegisterSession.h"
#include "flows/TableComparison.h"
#include "flows/TableReader.h"
#include "table/CellMarksCommand.h"
#include "table/TableModel.h"

#include <QUndoStack>

void ImportDifferencesCommand::run()
{
    TableModel* model = nullptr;
    try {
        model = m_host.currentTableModel();
    } catch (const RunTimeError& error) {
        m_host.setStatusText(error.message());
        return;
    }
    // A tab read from the register holds its values already; only a file's
    // rows arrive marked without them.
    if (model->knowsRegisterRows()) {
        m_host.setStatusText(QStringLiteral("Отметить только отличия можно в таблице, загруженной из файла"));
        return;
    }

    BusyIndicator busy(m_host, QStringLiteral("Подождите... Идет чтение"));
    busy.offerCancel();
    RegisterSession session(KKT_Logic::instance());
    QVector<QPair<int, int>> same;
    int staying = 0;
    try {
        const RegisterIdentity identity = session.open();
        const RegisterIdentity shown = m_host.shownRegister();
        if (identity.modelCode != shown.modelCode || identity.serialNumber != shown.serialNumber)
            throw FlowFailure(FlowFailure::Refused,
                              QStringLiteral("Подключена другая ККТ (%1): таблица загружена для ККТ %2")
                                  .arg(identity.serialNumber, shown.serialNumber));
        unsigned cellsRead = 0;
        const TableInfo& table = model->tableInfo();
        const DataRows registerRows = TableReader::read(session.link(), table, cellsRead, &busy);
        const DataRows& rows = model->tableData();
        TableComparison::forEachCell(table, rows, registerRows, ValueCheck(session.link().charsets()),
                                     [&](const TableComparison::CellPair& cell) {
                                         if (!rows[cell.row][cell.column].changed)
                                             return;
                                         if (cell.inRegister && !cell.differs)
                                             same << qMakePair(cell.row, cell.column);
                                         else
                                             ++staying;
                                     });
    } catch (const FlowFailure& failure) {
        // Nothing was unmarked yet: the marks stay as they were.
        m_host.reportFailure(failure);
        return;
    }
    session.close();

    if (!same.isEmpty()) {
        auto* command = new CellMarksCommand(model, same, QStringLiteral("Отметить только отличия от ККТ"));
        if (model->undoStack())
            model->undoStack()->push(command);
        else {
            command->redo();
            delete command;
        }
    }
    m_host.setStatusText(QStringLiteral("Отмеченными остались %1 ячеек, отличающихся от ККТ").arg(staying));
}
