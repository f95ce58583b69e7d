#pragma once

#include "StoredCell.h"

#include <QPointer>
#include <QUndoCommand>
#include <QVector>

class TableModel;

// Many cells of a table model set at once, one step to undo: a paste, a fill
// or a replacement. Undoing it gives every cell its value before again.
class CellBlockCommand : public QUndoCommand
{
public:
    CellBlockCommand(TableModel* model, const QVector<StoredCell>& before, const QVector<StoredCell>& after,
                     const QString& text);

    int cellCount() const { return m_after.size(); }

    void undo() override;
    void redo() override;

private:
    QPointer<TableModel> m_model;
    QVector<StoredCell> m_before;
    QVector<StoredCell> m_after;
};
