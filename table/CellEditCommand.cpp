#include "CellEditCommand.h"

#include "TableModel.h"

CellEditCommand::CellEditCommand(TableModel* model, int row, int column, const QByteArray& before,
                                 const QByteArray& after, QUndoCommand* parent)
    : QUndoCommand(QStringLiteral("Изменение ячейки"), parent)
    , m_model(model)
    , m_row(row)
    , m_column(column)
    , m_before(before)
    , m_after(after)
{
}

void CellEditCommand::undo()
{
    if (m_model)
        m_model->setStoredValue(m_row, m_column, m_before);
}

void CellEditCommand::redo()
{
    if (m_model)
        m_model->setStoredValue(m_row, m_column, m_after);
}
