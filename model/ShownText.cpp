#include "ShownText.h"

#include "MoneyText.h"
#include "WholeNumber.h"

#include <limits>
#include <optional>

namespace {

// The item code of a stored list value: a text that is no number counts as 0,
// a negative number or one beyond 32 bits names no item.
std::optional<uint32_t> listCode(const QByteArray& stored)
{
    const char* begin = stored.constData();
    const char* end = begin + stored.size();
    WholeNumber::trim(begin, end);
    const bool negative = begin != end && *begin == '-';
    const std::optional<uint64_t> number = WholeNumber::read(negative ? begin + 1 : begin, end);
    if (!number)
        return 0;
    if ((negative && *number != 0) || *number > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    return uint32_t(*number);
}

} // namespace

QString ShownText::of(const FieldInfo& field, const QByteArray& stored, const QString& text)
{
    if (field.m_guiType == FieldInfo::List) {
        const std::optional<uint32_t> code = listCode(stored);
        const auto item = code ? field.m_items.find(*code) : field.m_items.end();
        return item == field.m_items.end() ? QStringLiteral("") : item->second;
    }
    if (field.m_guiType == FieldInfo::Money)
        return MoneyText::fromKopecks(stored);
    const int width = field.zeroMaskLength();
    if (width > 0) {
        if (stored == "0")
            return QString();
        return text.rightJustified(width, QLatin1Char('0'));
    }
    return text;
}

QString ShownText::of(const FieldInfo& field, const QByteArray& stored)
{
    return of(field, stored, QString::fromUtf8(stored));
}
