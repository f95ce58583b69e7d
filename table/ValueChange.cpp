#include "ValueChange.h"

#include "model/MoneyText.h"
#include "model/WholeNumber.h"

#include <optional>

namespace {

// A money text in kopecks, a whole number as it stands; an empty text is 0.
std::optional<uint64_t> amountOf(const QString& text, bool money)
{
    if (text.trimmed().isEmpty())
        return 0;
    if (!money)
        return WholeNumber::readTrimmed(text.toUtf8());
    QByteArray kopecks;
    if (!MoneyText::toKopecks(text, kopecks))
        return std::nullopt;
    return WholeNumber::read(kopecks);
}

// A percentage such as "110" or "7,25" in hundredths of a percent; two decimals at most.
std::optional<uint64_t> hundredthsOfPercent(const QString& text)
{
    QByteArray hundredths;
    if (text.trimmed().isEmpty() || !MoneyText::toKopecks(text, hundredths))
        return std::nullopt;
    return WholeNumber::read(hundredths);
}

QString textOf(uint64_t amount, bool money)
{
    const QByteArray digits = QByteArray::number(qulonglong(amount));
    return money ? MoneyText::fromKopecks(digits) : QString::fromLatin1(digits);
}

} // namespace

ValueChange::ValueChange(Operation operation, const QString& operand)
    : m_operation(operation)
    , m_operand(operand.trimmed())
{
}

bool ValueChange::appliesTo(const FieldInfo& field)
{
    return field.m_guiType == FieldInfo::Int || field.m_guiType == FieldInfo::Money;
}

QString ValueChange::operandProblem(bool money) const
{
    if (m_operation == MultiplyByPercent) {
        return hundredthsOfPercent(m_operand)
            ? QString()
            : QStringLiteral("нужен процент, например 110 или 7.5");
    }
    if (m_operand.isEmpty() || !amountOf(m_operand, money))
        return money ? QStringLiteral("нужна сумма в рублях, например 12.50") : QStringLiteral("нужно целое число");
    return QString();
}

bool ValueChange::apply(const FieldInfo& field, const QString& shown, QString& result, QString& why) const
{
    const bool money = field.m_guiType == FieldInfo::Money;
    why = operandProblem(money);
    if (!why.isEmpty())
        return false;
    const std::optional<uint64_t> value = amountOf(shown, money);
    if (!value) {
        why = QStringLiteral("в ячейке не число");
        return false;
    }
    uint64_t changed = 0;
    bool overflow = false;
    switch (m_operation) {
    case SetTo:
        changed = *amountOf(m_operand, money);
        break;
    case Add:
        overflow = __builtin_add_overflow(*value, *amountOf(m_operand, money), &changed);
        break;
    case Subtract:
        if (*amountOf(m_operand, money) > *value) {
            why = QStringLiteral("получается меньше нуля");
            return false;
        }
        changed = *value - *amountOf(m_operand, money);
        break;
    case MultiplyByPercent: {
        // value × percent / 100, the percent in hundredths: rounded half up.
        uint64_t product = 0;
        overflow = __builtin_mul_overflow(*value, *hundredthsOfPercent(m_operand), &product)
            || __builtin_add_overflow(product, uint64_t(5000), &product);
        changed = product / 10000;
        break;
    }
    }
    if (overflow) {
        why = QStringLiteral("получается слишком большое число");
        return false;
    }
    result = textOf(changed, money);
    return true;
}
