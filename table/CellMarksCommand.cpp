#include "CellMarksCommand.h"

#include "TableModel.h"

CellMarksCommand::CellMarksCommand(TableModel* model, const QVector<QPair<int, int>>& cells, const QString& text)
    : QUndoCommand(text)
    , m_model(model)
    , m_cells(cells)
{
}

void CellMarksCommand::undo()
{
    if (m_model)
        m_model->setMarks(m_cells, true);
}

void CellMarksCommand::redo()
{
    if (m_model)
        m_model->setMarks(m_cells, false);
}
