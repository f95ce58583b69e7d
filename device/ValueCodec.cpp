#include "ValueCodec.h"

#include "model/CharsetCodec.h"
#include "model/FieldInfo.h"
#include "model/ValueQuote.h"
#include "model/WholeNumber.h"

#include <QDebug>
#include <QRegularExpression>
#include <QTextCodec>

#include <cstdint>
#include <optional>

namespace {

// A string866 field longer than this cannot be a register cell; a model file
// that claims so must not make the encoder allocate gigabytes of fill.
constexpr int kLongestString = 65535;

uint32_t byteAt(const QByteArray& raw, int index)
{
    return index < raw.size() ? uchar(raw[index]) : 0u;
}

// The first `width` bytes (fewer when raw is shorter) as a big-endian number.
uint64_t bigEndian(const uchar* raw, int size, int width)
{
    uint64_t value = 0;
    const int count = qMin(width, size);
    for (int i = 0; i < count; ++i)
        value = (value << 8) | raw[i];
    return value;
}

// Packed decimal over the last eight bytes; nibbles above 9 count as 10..15.
uint64_t packedDecimal(const uchar* raw, int size)
{
    uint64_t value = 0;
    for (int i = qMax(0, size - 8); i < size; ++i) {
        value = value * 10 + (raw[i] >> 4);
        value = value * 10 + (raw[i] & 0x0F);
    }
    return value;
}

// The digits of value in base 10 or 16 (lower-case), as QByteArray::number
// writes them, into text; their count.
template <unsigned Base>
int digitsOf(uint64_t value, char* text)
{
    char reversed[ValueCodec::NumberTextSize];
    int count = 0;
    do {
        reversed[count++] = "0123456789abcdef"[value % Base];
        value /= Base;
    } while (value != 0);
    for (int i = 0; i < count; ++i)
        text[i] = reversed[count - 1 - i];
    return count;
}

bool zeroIsCharacter(QTextCodec* codec)
{
    return codec && codec->toUnicode(QByteArray(1, '\0')) != QString(QChar(0));
}

QByteArray decodeString866(const FieldInfo& field, const QByteArray& raw, QTextCodec* codec)
{
    int end = raw.size();
    while (end > 0 && uchar(raw[end - 1]) == field.m_fillCharCode)
        --end;
    // Zero bytes after the text are padding, unless the fill follows them in a
    // set where 0x00 is a letter (the register's own, where it is "А"): then
    // they are the text's last letters.
    const bool keepZeros = end < raw.size() && end > 0 && raw[end - 1] == '\0' && zeroIsCharacter(codec);
    while (!keepZeros && end > 0 && raw[end - 1] == '\0')
        --end;
    if (end == 0)
        return {};
    if (uchar(raw[0]) == 0xFD) {
        // The form is always FD a 00 b. Its numbers come from the bytes as
        // received, so that a number equal to the fill byte is not lost with
        // the fill; bytes the register did not send count as 0.
        return QStringLiteral("\u00A9%1,%2").arg(byteAt(raw, 1)).arg(byteAt(raw, 3)).toUtf8();
    }
    if (!codec)
        return QString::fromLatin1(raw.constData(), end).toUtf8();
    if (const auto* charset = dynamic_cast<const CharsetCodec*>(codec))
        return charset->toUtf8(raw.constData(), end);
    return codec->toUnicode(raw.constData(), end).toUtf8();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QByteArray bigEndianBytes(uint64_t value, int width)
{
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0; --i) {
        bytes[i] = char(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}

uint64_t largestDecimal(int digits)
{
    uint64_t limit = 1;
    for (int i = 0; i < digits; ++i)
        limit *= 10;
    return limit - 1;
}

QByteArray packDecimal(uint64_t value, int width)
{
    QByteArray bytes(width, '\0');
    for (int i = width - 1; i >= 0 && value != 0; --i) {
        const unsigned low = unsigned(value % 10);
        value /= 10;
        const unsigned high = unsigned(value % 10);
        value /= 10;
        bytes[i] = char((high << 4) | low);
    }
    return bytes;
}

// Four decimal numbers 0..255 joined by dots, first number first.
std::optional<QByteArray> readIpAddress(const QByteArray& text)
{
    const QList<QByteArray> parts = text.trimmed().split('.');
    if (parts.size() != 4)
        return std::nullopt;
    QByteArray bytes;
    for (const QByteArray& part : parts) {
        const std::optional<uint64_t> number = WholeNumber::read(part, 255);
        if (part.size() > 3 || !number)
            return std::nullopt;
        bytes.append(char(*number));
    }
    return bytes;
}

// Six hexadecimal bytes of one or two digits joined by colons.
std::optional<QByteArray> readSixBytes(const QByteArray& text)
{
    const QList<QByteArray> parts = text.trimmed().split(':');
    if (parts.size() != 6)
        return std::nullopt;
    QByteArray bytes;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 2)
            return std::nullopt;
        int value = 0;
        for (const char c : part) {
            const int digit = hexDigit(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.append(char(value));
    }
    return bytes;
}

// Each reader below takes a value for its field and gives the reason it
// cannot be stored (empty when it can); the field's bytes go to `bytes` when
// the caller wants them. Checking a value and encoding it share every rule.

QString numberRange(uint64_t max)
{
    return QStringLiteral("нужно целое число от 0 до %1").arg(max);
}

QString readNumber(const QByteArray& value, int width, QByteArray* bytes)
{
    const uint64_t max = width >= 8 ? UINT64_MAX : (uint64_t(1) << (8 * width)) - 1;
    const std::optional<uint64_t> number = WholeNumber::readTrimmed(value, max);
    if (!number)
        return numberRange(max);
    if (bytes)
        *bytes = bigEndianBytes(*number, width);
    return {};
}

QString readDecimal(const QByteArray& value, int width, QByteArray* bytes)
{
    const uint64_t max = largestDecimal(2 * width);
    const std::optional<uint64_t> number = WholeNumber::readTrimmed(value, max);
    if (!number)
        return numberRange(max);
    if (bytes)
        *bytes = packDecimal(*number, width);
    return {};
}

// The first character of `text` that the codec has no byte for, or an
// empty string when every character has one.
QString firstUnmappable(const QString& text, QTextCodec* codec)
{
    for (int i = 0; i < text.size(); ++i) {
        QString character(text[i]);
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            character.append(text[i + 1]);
        if (codec->fromUnicode(character).size() != character.size())
            return character;
    }
    return {};
}

bool isAscii(const QByteArray& value)
{
    for (const char c : value) {
        if (uchar(c) >= 0x80)
            return false;
    }
    return true;
}

QString unmappableReason(const QString& text, QTextCodec* codec)
{
    return QStringLiteral("символ \"%1\" не может быть записан в ККТ").arg(firstUnmappable(text, codec));
}

QString readString866(const FieldInfo& field, const QByteArray& value, QTextCodec* codec, QByteArray* bytes,
                      const QString* known)
{
    if (field.m_maxLength < 0 || field.m_maxLength > kLongestString)
        return QStringLiteral("длина поля %1 недопустима").arg(field.m_maxLength);
    const int fieldLength = field.m_maxLength;
    const int limit = field.m_mask.isEmpty() ? fieldLength : qMin(fieldLength, int(field.m_mask.size()));
    const QString tooLong = QStringLiteral("текст длиннее %1 символов");
    const auto* charset = dynamic_cast<const CharsetCodec*>(codec);

    // Checking plain ASCII in a character set that has every ASCII character
    // needs no text: a byte is a character, so only the length can refuse it.
    if (!bytes && charset && charset->encodesAscii() && isAscii(value))
        return value.size() > limit ? tooLong.arg(limit) : QString();

    // Whole bytes: a NUL inside the value is a character like any other.
    const QString text = known ? *known : QString::fromUtf8(value.constData(), value.size());
    if (text.size() > limit)
        return tooLong.arg(limit);

    if (text.startsWith(QChar(0x00A9))) {
        static const QRegularExpression form(QStringLiteral("^\u00A9\\s*(\\d{1,3})\\s*,\\s*(\\d{1,3})\\s*$"));
        const QRegularExpressionMatch match = form.match(text);
        const uint a = match.hasMatch() ? match.capturedRef(1).toUInt() : 256;
        const uint b = match.hasMatch() ? match.capturedRef(2).toUInt() : 256;
        if (a > 255 || b > 255)
            return QStringLiteral("нужна запись вида \u00A9число,число с числами от 0 до 255");
        if (bytes) {
            bytes->clear();
            bytes->append(char(0xFD)).append(char(a)).append('\0').append(char(b));
        }
        return {};
    }

    if (!codec)
        return QStringLiteral("нет кодировки для текста");
    if (!bytes && charset)
        return charset->encodesEvery(text.constData(), text.size()) ? QString() : unmappableReason(text, codec);
    QByteArray encoded = codec->fromUnicode(text);
    if (encoded.size() != text.size())
        return unmappableReason(text, codec);
    if (bytes) {
        // The fill is the byte itself: a fill code above 127 has no character of
        // its own in the register's set, and must still fill the field.
        encoded.append(QByteArray(fieldLength - encoded.size(), char(field.m_fillCharCode)));
        if (!field.m_mask.isEmpty())
            encoded.truncate(field.m_mask.size());
        *bytes = encoded;
    }
    return {};
}

QString readValue(const FieldInfo& field, const QByteArray& value, QTextCodec* stringCodec, QByteArray* bytes,
                  const QString* text = nullptr)
{
    switch (field.m_deviceType) {
    case FieldInfo::Bin1:
        return readNumber(value, 1, bytes);
    case FieldInfo::Bin2:
    case FieldInfo::Bin2BigEndian:
        return readNumber(value, 2, bytes);
    case FieldInfo::Bin4:
        if (field.m_ipAddress) {
            const std::optional<QByteArray> address = readIpAddress(value);
            if (!address)
                return QStringLiteral("нужен IPv4-адрес: четыре числа от 0 до 255 через точку");
            if (bytes)
                *bytes = *address;
            return {};
        }
        return readNumber(value, 4, bytes);
    case FieldInfo::Bin6: {
        const std::optional<QByteArray> six = readSixBytes(value);
        if (!six)
            return QStringLiteral("нужны шесть шестнадцатеричных чисел от 0 до ff через двоеточие");
        if (bytes)
            *bytes = *six;
        return {};
    }
    case FieldInfo::Bcd1:
    case FieldInfo::Bcd2:
    case FieldInfo::Bcd3:
    case FieldInfo::Bcd4:
    case FieldInfo::Bcd5:
    case FieldInfo::Bcd6:
    case FieldInfo::Bcd8:
        return readDecimal(value, field.rowWidth(), bytes);
    case FieldInfo::String866:
        return readString866(field, value, stringCodec, bytes, text);
    case FieldInfo::Ascii:
        if (bytes)
            *bytes = value;
        return {};
    case FieldInfo::Bcd64_1: {
        const std::optional<uint64_t> number = WholeNumber::readTrimmed(value, 255);
        if (!number)
            return numberRange(255);
        if (bytes) {
            *bytes = QByteArray(64, '\0');
            (*bytes)[0] = char(*number);
        }
        return {};
    }
    case FieldInfo::DeviceUnknown:
        break;
    }
    qDebug() << "ERROR in FieldInfo::DeviceType";
    return QStringLiteral("тип хранения поля в ККТ не распознан");
}

} // namespace

namespace {

// The decimal text of packedDecimal(raw, size): its nibbles without the
// leading zeros, when they are all digits.
int packedDecimalDigits(const uchar* raw, int size, char* text)
{
    int count = 0;
    for (int i = qMax(0, size - 8); i < size; ++i) {
        const int high = raw[i] >> 4, low = raw[i] & 0x0F;
        if (high > 9 || low > 9)
            return digitsOf<10>(packedDecimal(raw, size), text);
        if (count > 0 || high != 0)
            text[count++] = char('0' + high);
        if (count > 0 || low != 0)
            text[count++] = char('0' + low);
    }
    if (count == 0)
        text[count++] = '0';
    return count;
}

} // namespace

int ValueCodec::decimalDigits(uint64_t value, char* text)
{
    return digitsOf<10>(value, text);
}

int ValueCodec::decodeNumber(const FieldInfo& field, const char* raw, int size, char* text)
{
    const auto* bytes = reinterpret_cast<const uchar*>(raw);
    switch (field.m_deviceType) {
    case FieldInfo::Bin1:
        return digitsOf<10>(size > 0 ? bytes[0] : 0u, text);
    case FieldInfo::Bin2:
    case FieldInfo::Bin2BigEndian:
        return digitsOf<10>(bigEndian(bytes, size, 2), text);
    case FieldInfo::Bin4:
        return field.m_ipAddress ? -1 : digitsOf<10>(bigEndian(bytes, size, 4), text);
    case FieldInfo::Bcd1:
    case FieldInfo::Bcd2:
    case FieldInfo::Bcd3:
    case FieldInfo::Bcd4:
    case FieldInfo::Bcd5:
    case FieldInfo::Bcd6:
    case FieldInfo::Bcd8:
        return packedDecimalDigits(bytes, size, text);
    case FieldInfo::Bcd64_1:
        return digitsOf<16>(packedDecimal(bytes, qMin(size, 1)), text);
    default:
        return -1;
    }
}

QByteArray ValueCodec::decode(const FieldInfo& field, const QByteArray& raw, QTextCodec* stringCodec)
{
    char number[NumberTextSize];
    const int length = decodeNumber(field, raw.constData(), raw.size(), number);
    if (length >= 0)
        return QByteArray(number, length);
    switch (field.m_deviceType) {
    case FieldInfo::Bin4:
        return QByteArray::number(byteAt(raw, 0)) + '.' + QByteArray::number(byteAt(raw, 1)) + '.'
            + QByteArray::number(byteAt(raw, 2)) + '.' + QByteArray::number(byteAt(raw, 3));
    case FieldInfo::Bin6: {
        QByteArray text;
        for (int i = 0; i < 6; ++i) {
            if (i > 0)
                text.append(':');
            text.append(QByteArray::number(byteAt(raw, i), 16));
        }
        return text;
    }
    case FieldInfo::String866:
        return decodeString866(field, raw, stringCodec);
    case FieldInfo::Ascii:
        return raw;
    default:
        break;
    }
    qDebug() << "ERROR in FieldInfo::DeviceType";
    return {};
}

EncodedValue ValueCodec::encode(const FieldInfo& field, const QByteArray& value, QTextCodec* stringCodec,
                               const QString* text)
{
    EncodedValue result;
    const QString reason = readValue(field, value, stringCodec, &result.bytes, text);
    if (!reason.isEmpty())
        return refusal(field, value, reason);
    return result;
}

QString ValueCodec::refusalReason(const FieldInfo& field, const QByteArray& value, QTextCodec* stringCodec,
                                  const QString* text)
{
    return readValue(field, value, stringCodec, nullptr, text);
}

EncodedValue ValueCodec::refusal(const FieldInfo& field, const QByteArray& value, const QString& reason)
{
    EncodedValue result;
    result.ok = false;
    result.reason = reason;
    result.problem = QStringLiteral("Значение \"%1\" не подходит для поля \"%2\": %3")
                         .arg(ValueQuote::shown(value), field.m_name, reason);
    return result;
}
