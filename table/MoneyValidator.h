#pragma once

#include <QDoubleValidator>

// Accepts only a plain amount in range with at most two decimals, "," or "."
// as the separator under every locale; the empty text is the one intermediate state.
class MoneyValidator : public QDoubleValidator
{
public:
    MoneyValidator(double bottom, double top, int decimals, QObject* parent = nullptr);
    ~MoneyValidator() override;

    State validate(QString& input, int& position) const override;
};
