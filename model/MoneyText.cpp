#include "MoneyText.h"

#include "WholeNumber.h"

#include <algorithm>
#include <charconv>


QString MoneyText::fromKopecks(const QByteArray& kopecks)
{
    return QString::fromUtf8(bytesFromKopecks(kopecks));
}

QByteArray MoneyText::bytesFromKopecks(const QByteArray& kopecks)
{
    if (kopecks.isEmpty())
        return QByteArray();
    if (kopecks == "0")
        return QByteArrayLiteral("0.00");
    QByteArray text(qMax(kopecks.size(), 3) + 1, Qt::Uninitialized);
    bytesFromKopecks(kopecks.constData(), kopecks.size(), text.data());
    return text;
}

int MoneyText::bytesFromKopecks(const char* kopecks, int digits, char* text)
{
    if (digits <= 0)
        return 0;
    // At least one rouble digit before the point: 5 -> 0.05, 42 -> 0.42.
    const int padded = qMax(digits, 3);
    const int zeros = padded - digits;
    for (int i = 0; i < padded; ++i)
        text[i < padded - 2 ? i : i + 1] = i < zeros ? '0' : kopecks[i - zeros];
    text[padded - 2] = '.';
    return padded + 1;
}

bool MoneyText::toKopecks(const QString& text, QByteArray& kopecks)
{
    return toKopecks(text.trimmed().toUtf8(), kopecks);
}

bool MoneyText::toKopecks(const char* begin, const char* end, QByteArray& kopecks)
{
    char digits[KopecksDigits];
    const int length = toKopecks(begin, end, digits);
    if (length < 0)
        return false;
    if (length == 0)
        kopecks.clear();
    else
        kopecks = QByteArray(digits, length);
    return true;
}

int MoneyText::toKopecks(const char* begin, const char* end, char* digits)
{
    WholeNumber::trim(begin, end);
    if (begin == end)
        return 0;

    // Rouble digits, then at most one separator with at most two decimals;
    // with decimals the roubles may be left out (".5" is 0.50).
    const char* separator = std::find_if(begin, end, [](char c) { return c == '.' || c == ','; });
    const bool onlyDecimals = begin == separator && end - separator > 1;
    const std::optional<uint64_t> roubles = onlyDecimals ? 0 : WholeNumber::read(begin, separator);
    if (!roubles)
        return -1;
    uint64_t decimals = 0;
    if (separator != end) {
        const char* decimalsEnd = end;
        if (decimalsEnd - separator > 3)
            return -1;
        const std::optional<uint64_t> read = WholeNumber::read(separator + 1, decimalsEnd);
        if (!read && decimalsEnd != separator + 1)
            return -1;
        decimals = read.value_or(0) * (decimalsEnd - separator == 2 ? 10 : 1);
    }
    // Looked at closely only when the amount comes near 64 bits.
    if (*roubles > (UINT64_MAX - 99) / 100 && *roubles > (UINT64_MAX - decimals) / 100)
        return -1;
    return int(std::to_chars(digits, digits + KopecksDigits, *roubles * 100 + decimals).ptr - digits);
}
