#pragma once

#include <QPair>
#include <QPointer>
#include <QUndoCommand>
#include <QVector>

class TableModel;

// Takes the marks off cells of a table model whose values the register
// already holds, one step to undo: undoing it marks them again.
class CellMarksCommand : public QUndoCommand
{
public:
    // cells: data row and column of each cell to unmark.
    CellMarksCommand(TableModel* model, const QVector<QPair<int, int>>& cells, const QString& text);

    void undo() override;
    void redo() override;

private:
    QPointer<TableModel> m_model;
    QVector<QPair<int, int>> m_cells;
};
