#pragma once

#include <QByteArray>
#include <QString>

// The one rule between a money text and the stored value, a whole number of
// kopecks: "12.34" <-> 1234. The table model, the money editor, the CSV files
// and the shell program all go through it.
class MoneyText
{
public:
    // 5 -> "0.05", 1234 -> "12.34", "0" -> "0.00"; an empty value stays empty.
    static QString fromKopecks(const QByteArray& kopecks);
    // The same text as UTF-8 bytes.
    static QByteArray bytesFromKopecks(const QByteArray& kopecks);
    // The same into `text` (room for digits + 3 bytes), without an array of
    // its own: how many bytes were written.
    static int bytesFromKopecks(const char* kopecks, int digits, char* text);

    // "12.34", "12,5", "12", "12." and ".5" into kopecks (1234, 1250, 1200, 1200, 50),
    // exactly and without leading zeros; blanks around the text are ignored
    // and an empty text gives an empty value. A sign, more than two
    // decimals, anything that is not a plain decimal amount, or an amount
    // beyond 64 bits of kopecks is refused (false, kopecks untouched).
    static bool toKopecks(const QString& text, QByteArray& kopecks);
    // The same for a text given as UTF-8 bytes.
    static bool toKopecks(const QByteArray& text, QByteArray& kopecks)
    {
        return toKopecks(text.constData(), text.constData() + text.size(), kopecks);
    }
    static bool toKopecks(const char* begin, const char* end, QByteArray& kopecks);
    // The same into `digits` (room for KopecksDigits), without an array of
    // its own: how many digits were written, 0 for an empty text, -1 when it is refused.
    static constexpr int KopecksDigits = 20;
    static int toKopecks(const char* begin, const char* end, char* digits);
};
