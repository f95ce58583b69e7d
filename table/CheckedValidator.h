#pragma once

#include "CellInputCheck.h"

#include <type_traits>
#include <utility>

// An editor's validator (Base, e.g. QIntValidator) that also refuses the texts
// the register cannot store. Over QValidator itself only that check applies.
// The view finds the check of an editor's validator through CellInputCheck.
template <class Base>
class CheckedValidator : public Base, public CellInputCheck
{
public:
    template <class... Args>
    CheckedValidator(const FieldInfo& field, const QString& limitText, Args&&... args)
        : Base(std::forward<Args>(args)...)
        , CellInputCheck(field, limitText)
    {
    }

    QValidator::State validate(QString& input, int& position) const override
    {
        QValidator::State state = QValidator::Acceptable;
        if constexpr (!std::is_same_v<Base, QValidator>)
            state = Base::validate(input, position);
        else
            (void)position;
        return judge(input, state);
    }
};
