#pragma once

#include "model/FieldInfo.h"

#include <QString>
#include <QValidator>

// Judges what is typed into a cell's line editor after the editor's own
// limits: whether the register can store the value. A text the register
// cannot store is refused as it is typed; lastProblem() says why.
class CellInputCheck
{
public:
    // limitText names the editor's own limits, e.g. "нужно целое число от 0 до 16".
    CellInputCheck(const FieldInfo& field, const QString& limitText);
    virtual ~CellInputCheck() = default;

    // The state of the input, given the state the editor's own limits gave it.
    QValidator::State judge(const QString& input, QValidator::State editorState) const;
    // Why a text the editor cannot take yet (empty, incomplete) is not a value for the field.
    QString incompleteProblem(const QString& input) const;
    // Why the last text refused was refused; empty when the last one passed.
    QString lastProblem() const { return m_problem; }

    // "Значение "…" не подходит для поля "…": why" for a field.
    static QString refusal(const FieldInfo& field, const QString& text, const QString& why);

private:
    // Whether the register's check can judge a text while it is still typed:
    // for texts and numbers a longer text never mends a refused one.
    bool checkedWhileTyped(const QString& input) const;

    FieldInfo m_field;
    QString m_limitText;
    mutable QString m_problem;
};
