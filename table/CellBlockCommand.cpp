#include "CellBlockCommand.h"

#include "TableModel.h"

CellBlockCommand::CellBlockCommand(TableModel* model, const QVector<StoredCell>& before,
                                   const QVector<StoredCell>& after, const QString& text)
    : QUndoCommand(text)
    , m_model(model)
    , m_before(before)
    , m_after(after)
{
}

void CellBlockCommand::undo()
{
    if (m_model)
        m_model->setStoredValues(m_before);
}

void CellBlockCommand::redo()
{
    if (m_model)
        m_model->setStoredValues(m_after);
}
