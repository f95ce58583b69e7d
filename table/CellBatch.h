#pragma once

#include "StoredCell.h"

#include <QModelIndex>
#include <QString>
#include <QStringList>
#include <QVector>

class CellBlockCommand;
class TableModel;

// Gathers texts for many cells of one table model and checks each as an
// editor's value is checked, before any cell changes: all or nothing.
// Cells the user cannot edit are left alone; a text that equals the cell's
// value changes nothing.
class CellBatch
{
public:
    explicit CellBatch(TableModel* model);

    // Takes a text for the cell at an index of the table model or of a proxy
    // model over it. False when the register cannot store it; problem() then
    // names the row, the field and why. After a refusal no text is taken any
    // more, but the further refusals are still named.
    bool add(const QModelIndex& index, const QString& text);

    // Names a refusal found before there was a text for the cell (say, an
    // arithmetic with no result for it), as add() names its own.
    void refuse(const QModelIndex& index, const QString& text, const QString& why);

    bool refused() const { return !m_problems.isEmpty(); }
    // Every refusal on a line of its own, the first ones when there are many.
    QString problem() const;
    // Cells that will change, and cells left alone because they cannot be edited.
    int changeCount() const { return m_after.size(); }
    int readOnlyCount() const { return m_readOnly; }

    // The command that sets every cell taken; nullptr when one was refused or none changes.
    CellBlockCommand* takeCommand(const QString& text);

private:
    TableModel* m_model;
    QVector<StoredCell> m_before;
    QVector<StoredCell> m_after;
    int m_readOnly = 0;
    QStringList m_problems;
    int m_refusals = 0;
};
