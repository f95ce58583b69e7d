#pragma once

#include "table/ValueChange.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;

// "Изменить значения…" for one number or money column: what to do with the
// values (set, add, subtract, multiply by a percentage), by how much, and in
// which cells. "Изменить" closes it only when the amount is a number.
class ValueChangeDlg : public QDialog
{
    Q_OBJECT

public:
    enum Scope { SelectedCells, ShownRows, WholeColumn };

    struct Counts
    {
        int selected = 0;
        int shown = 0;
        int column = 0;
    };

    // column: the column's title; money: whether its values are money.
    ValueChangeDlg(const QString& column, bool money, const Counts& counts, QWidget* parent = nullptr);

    ValueChange change() const;
    Scope scope() const;

    void accept() override;

private:
    bool m_money;
    QComboBox* m_operation;
    QLineEdit* m_operand;
    QButtonGroup* m_scope;
    QLabel* m_problem;
};
