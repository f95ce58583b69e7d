#pragma once

#include <QByteArray>
#include <QPointer>
#include <QUndoCommand>

class TableModel;

// One cell of a table model set from one stored value to another; undoing
// it sets the value before again. Several of them under one parent command
// undo and redo together.
class CellEditCommand : public QUndoCommand
{
public:
    CellEditCommand(TableModel* model, int row, int column, const QByteArray& before, const QByteArray& after,
                    QUndoCommand* parent = nullptr);

    void undo() override;
    void redo() override;

private:
    QPointer<TableModel> m_model;
    int m_row;
    int m_column;
    QByteArray m_before;
    QByteArray m_after;
};
