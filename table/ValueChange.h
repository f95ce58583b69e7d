#pragma once

#include "model/FieldInfo.h"

#include <QString>

// One arithmetic over the cells of number and money fields, as "Изменить
// значения…" asks for it. Money is reckoned in kopecks and whole numbers as
// they are, so the result is rounded (half up) to kopecks or to a whole number.
class ValueChange
{
public:
    enum Operation { SetTo, Add, Subtract, MultiplyByPercent };

    ValueChange(Operation operation, const QString& operand);

    // Whether the operation works on a field of this kind.
    static bool appliesTo(const FieldInfo& field);
    // Why the operand is no number for the operation on a money or a whole
    // number field; empty when it is one.
    QString operandProblem(bool money) const;

    // The new text of a cell from the text the tab shows for it (an empty
    // cell counts as 0). False with why when there is no such value: the
    // operand is no number, or the result falls below zero or past 64 bits.
    bool apply(const FieldInfo& field, const QString& shown, QString& result, QString& why) const;

private:
    Operation m_operation;
    QString m_operand;
};
