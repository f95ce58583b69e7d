#include "ValueCheck.h"

#include "model/CharsetCodec.h"
#include "model/FieldInfo.h"
#include "model/MoneyText.h"
#include "model/WholeNumber.h"

#include <QMutex>
#include <QStringList>
#include <QTextCodec>
#include <QtAlgorithms>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Codes a refusal lists before it stops counting them.
const int ShownCodes = 10;

// A limit of the model description as a whole number: below zero counts as
// zero, beyond 64 bits as no limit.
qulonglong limitOf(double limit)
{
    if (!std::isfinite(limit))
        return limit > 0 ? ~0ULL : 0;
    if (limit <= 0)
        return 0;
    if (limit >= 1.8e19)
        return ~0ULL;
    return qulonglong(std::llround(limit));
}

QString intRange(const FieldInfo& field)
{
    return QStringLiteral("нужно целое число от %1 до %2").arg(limitOf(field.m_min)).arg(limitOf(field.m_max));
}

std::optional<QString> intProblem(const FieldInfo& field, const QByteArray& value)
{
    // Without limits of its own the field's width alone decides, and the encoder names it.
    if (limitOf(field.m_min) == 0 && limitOf(field.m_max) == ~0ULL)
        return std::nullopt;
    const std::optional<uint64_t> number = WholeNumber::readTrimmed(value);
    if (!number || double(*number) < field.m_min || double(*number) > field.m_max)
        return intRange(field);
    return std::nullopt;
}

std::optional<QString> moneyProblem(const FieldInfo& field, const QByteArray& value)
{
    // Limits are in roubles; the value is kopecks.
    const qulonglong least = limitOf(field.m_min * 100.0);
    const qulonglong most = limitOf(field.m_max * 100.0);
    const std::optional<uint64_t> kopecks = WholeNumber::read(value);
    if (!kopecks)
        return QStringLiteral("нужна сумма в копейках: целое число от %1 до %2").arg(least).arg(most);
    if (*kopecks < least || *kopecks > most) {
        return QStringLiteral("нужна сумма от %1 до %2")
            .arg(MoneyText::fromKopecks(QByteArray::number(least)), MoneyText::fromKopecks(QByteArray::number(most)));
    }
    return std::nullopt;
}

std::optional<QString> listProblem(const FieldInfo& field, const QByteArray& value)
{
    const std::optional<uint64_t> code = WholeNumber::readTrimmed(value);
    if (code && *code <= 0xFFFFFFFFULL && field.m_items.count(uint32_t(*code)) > 0)
        return std::nullopt;
    if (field.m_items.empty())
        return QStringLiteral("в описании поля нет ни одного значения списка");
    QStringList codes;
    for (const auto& item : field.m_items) {
        if (codes.size() == ShownCodes) {
            codes << QStringLiteral("…");
            break;
        }
        codes << QString::number(item.first);
    }
    return QStringLiteral("нужен код из списка: %1").arg(codes.join(QStringLiteral(", ")));
}

std::optional<QString> textProblem(const FieldInfo& field, const QByteArray& value)
{
    const QString nul = ValueCheck::nulReason(value);
    if (!nul.isEmpty())
        return nul;
    if (field.m_deviceType != FieldInfo::Ascii)
        return std::nullopt;
    // The bytes go to the register as they are and come back through a file:
    // only printable ASCII survives both whole.
    for (const char c : value) {
        if (c < 0x20 || c > 0x7E) {
            const QString text = QString::fromUtf8(value);
            for (const QChar ch : text) {
                if (ch.unicode() < 0x20 || ch.unicode() > 0x7E)
                    return QStringLiteral("символ «%1» ККТ не печатает: допустимы только латинские буквы, цифры и знаки ASCII")
                        .arg(ch.unicode() < 0x20 ? QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0')) : QString(ch));
            }
        }
    }
    if (field.m_maxLength >= 0 && value.size() > field.m_maxLength)
        return QStringLiteral("не более %1 символов").arg(field.m_maxLength);
    return std::nullopt;
}

// A character as a refusal names it: control characters by their code.
QString shownCharacter(QChar ch)
{
    if (ch.unicode() < 0x20 || ch.unicode() == 0x7F)
        return QStringLiteral("\\x%1").arg(ch.unicode(), 2, 16, QLatin1Char('0'));
    if (ch.unicode() == 0x00A0)
        return QStringLiteral("неразрывный пробел");
    return QString(ch);
}

// The register turns the text it receives into its own character set and
// keeps a blank for a character that set lacks: such a text would be stored
// otherwise than written. For every UTF-16 unit: whether the write's codec
// sends a byte for it that arrives as such a character (Lost), and whether
// the write's codec, when it is a table, has a byte for it that arrives
// whole (Kept). Characters the write's codec lacks are left to the encoder,
// which names them. Made once per pair of character sets on first need and
// kept: the pairs are few and their codecs live to the program's end.
enum UnitFate : uchar { Lost = 1, Kept = 2 };

struct UnitFates
{
    std::vector<uchar> units; // the fate of each UTF-16 unit
    // Whether printable ASCII and the Russian letters but Ё and ё (U+0410 to
    // U+044F) are all kept, so that a text of them only has its length to check.
    bool lettersKept = false;
};

// The pair a thread asked for last, found again without the lock; plain
// pointers, which a thread's first use need not construct.
thread_local QTextCodec* lastExternal = nullptr;
thread_local QTextCodec* lastInternal = nullptr;
thread_local const UnitFates* lastTable = nullptr;

const UnitFates& madeFates(const RegisterCharsets& charsets)
{
    static QMutex mutex;
    static std::map<std::pair<QTextCodec*, QTextCodec*>, UnitFates> tables;
    const QMutexLocker lock(&mutex);
    const auto [entry, made] = tables.try_emplace({charsets.external, charsets.internal});
    UnitFates& fates = entry->second;
    lastExternal = charsets.external;
    lastInternal = charsets.internal;
    lastTable = &fates;
    if (!made)
        return fates;
    std::vector<uchar>& table = fates.units;
    table.assign(0x10000, 0);
    // A table codec tells at once the units it has no byte for, which are most of them.
    const auto* written = dynamic_cast<const CharsetCodec*>(charsets.external);
    for (int unit = 0; unit < 0x10000; ++unit) {
        const QChar ch(unit);
        if (ch.isSurrogate() || (written && !written->encodesEvery(&ch, 1)))
            continue;
        const QByteArray byte = charsets.external->fromUnicode(&ch, 1);
        if (byte.size() != 1)
            continue;
        const QString arrived = charsets.external->toUnicode(byte);
        const bool lost = charsets.internal->fromUnicode(arrived).size() != arrived.size();
        table[size_t(unit)] = lost ? Lost : written ? Kept : 0;
    }
    const auto kept = [&](int from, int to) {
        return std::all_of(table.begin() + from, table.begin() + to + 1, [](uchar fate) { return fate & Kept; });
    };
    fates.lettersKept = kept(0x20, 0x7E) && kept(0x0410, 0x044F);
    return fates;
}

const UnitFates& unitFates(const RegisterCharsets& charsets)
{
    if (lastTable && lastExternal == charsets.external && lastInternal == charsets.internal)
        return *lastTable;
    return madeFates(charsets);
}

std::optional<QString> unstorableCharacter(const QByteArray& value, const QString* text,
                                           const RegisterCharsets& charsets)
{
    const bool printableAscii = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20; });
    // Without the register's character sets nothing tells what it keeps.
    if (printableAscii || !charsets.internal || !charsets.external)
        return std::nullopt;
    const std::vector<uchar>& fates = unitFates(charsets).units;
    for (const QChar ch : text ? *text : QString::fromUtf8(value)) {
        if (fates[ch.unicode()] & Lost) {
            return QStringLiteral("символ \"%1\" не может быть сохранён в ККТ: его нет во внутренней кодировке ККТ")
                .arg(shownCharacter(ch));
        }
    }
    return std::nullopt;
}

std::optional<QString> modelProblem(const FieldInfo& field, const QByteArray& value, const QString* text,
                                    const RegisterCharsets& charsets)
{
    switch (field.m_guiType) {
    case FieldInfo::Int:
        return intProblem(field, value);
    case FieldInfo::Money:
        return moneyProblem(field, value);
    case FieldInfo::List:
        return listProblem(field, value);
    case FieldInfo::String:
    case FieldInfo::StringMasked:
    case FieldInfo::GuiUnknown:
        break;
    }
    if (field.m_deviceType == FieldInfo::String866 || field.m_deviceType == FieldInfo::Ascii) {
        if (std::optional<QString> problem = textProblem(field, value))
            return problem;
    }
    if (field.m_deviceType == FieldInfo::String866)
        return unstorableCharacter(value, text, charsets);
    return std::nullopt;
}

} // namespace

ValueCheck::ValueCheck(const RegisterCharsets& charsets)
    : m_charsets(charsets), m_written(dynamic_cast<const CharsetCodec*>(charsets.external))
{
}

namespace {

// A cp866 text beyond ASCII read into UTF-16 once, for every check of it.
std::optional<QString> textOf(const FieldInfo& field, const QByteArray& value)
{
    if (field.m_deviceType != FieldInfo::String866
        || std::all_of(value.begin(), value.end(), [](char c) { return uchar(c) < 0x80; }))
        return std::nullopt;
    return QString::fromUtf8(value.constData(), value.size());
}

#ifdef __SSE2__
// The bits set in a 16-bit mask, in a few operations: the x86-64 baseline has
// no popcnt instruction, and the compiler's fallback is a call.
int bitsSet(unsigned mask)
{
    mask -= (mask >> 1) & 0x5555u;
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return int((mask + (mask >> 8)) & 0x1Fu);
}

// How many of the (at most 16) bytes from p on are whole characters of
// printable ASCII or Russian letters from U+0410 to U+044F (D0 90..D0 BF,
// D1 80..D1 8F): a lead byte whose follower lies past them is not counted.
// The characters among them are added to count.
int lettersRun(const uchar* p, int size, int& count)
{
    const int lanes = qMin(size, 16);
    __m128i bytes;
    if (lanes == 16) {
        bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    } else {
        uchar tail[16] = {};
        std::memcpy(tail, p, size_t(lanes));
        bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tail));
    }
    const unsigned inside = (1u << lanes) - 1;
    const auto mask = [](__m128i kinds) { return unsigned(_mm_movemask_epi8(kinds)); };
    // Signed compares: the bytes from 0x80 on are below zero.
    const unsigned ascii = mask(_mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8(0x1F)),
                                              _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x7F))));
    const unsigned leadsD0 = mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(char(0xD0))));
    const unsigned leadsD1 = mask(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(char(0xD1))));
    const unsigned low = mask(_mm_cmplt_epi8(bytes, _mm_set1_epi8(char(0x90))));
    const unsigned high = mask(_mm_cmplt_epi8(bytes, _mm_set1_epi8(char(0xC0)))) & ~low;
    // A byte of none of the kinds, or a follower of a range where no lead
    // byte of it is just before, or none where one is.
    const unsigned wrong = (~(ascii | leadsD0 | leadsD1 | low | high) | (high ^ (leadsD0 << 1))
                            | (low ^ (leadsD1 << 1)))
        & inside;
    int whole = wrong == 0 ? lanes : int(qCountTrailingZeroBits(wrong));
    if (whole > 0 && (((leadsD0 | leadsD1) >> (whole - 1)) & 1u) != 0)
        --whole;
    count += bitsSet((ascii | leadsD0 | leadsD1) & ((1u << whole) - 1));
    return whole;
}
#endif

// Whether a text of a cp866 field passes every check, told from its UTF-8
// bytes without a QString of it: plain UTF-8 of the Basic Multilingual Plane
// without a NUL, no character the register's own set loses, no more
// characters than the field holds, no "©a,b" form, and a byte for every
// character in the set the texts are written in. Whatever this does not
// accept goes the whole way, which names the reason (or accepts it after all).
bool acceptedAsBytes(const FieldInfo& field, const QByteArray& value, const RegisterCharsets& charsets,
                     const CharsetCodec* written)
{
    constexpr int MostBytes = 256;
    if (field.m_deviceType != FieldInfo::String866 || !written || !charsets.internal || field.m_maxLength < 0
        || field.m_maxLength > 0xFFFF
        || value.size() > MostBytes)
        return false;
    if (field.m_guiType != FieldInfo::String && field.m_guiType != FieldInfo::StringMasked
        && field.m_guiType != FieldInfo::GuiUnknown)
        return false;
    const int limit = field.m_mask.isEmpty() ? field.m_maxLength : qMin(field.m_maxLength, int(field.m_mask.size()));
    const UnitFates& known = unitFates(charsets);
    const std::vector<uchar>& fates = known.units;
    int count = 0;
    const auto* p = reinterpret_cast<const uchar*>(value.constData());
    const auto* const end = p + value.size();
#ifdef __SSE2__
    if (known.lettersKept) {
        // Sixteen bytes at a time while they are letters kept whole; the
        // rest, from the first other character on, one at a time below.
        while (p < end) {
            const int run = lettersRun(p, int(end - p), count);
            if (run == 0)
                break;
            p += run;
        }
        if (count > limit)
            return false;
    }
#endif
    while (p < end) {
        const uchar c = *p;
        char16_t unit = 0;
        if (c >= 0x01 && c < 0x80) {
            unit = c;
            p += 1;
        } else if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            unit = char16_t(((c & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if (c >= 0xE0 && c <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            unit = char16_t(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            // Overlong forms, surrogates and the byte order mark.
            if (unit < 0x800 || (unit >= 0xD800 && unit <= 0xDFFF) || unit == 0xFEFF)
                return false;
            p += 3;
        } else {
            return false; // a NUL, four bytes, or not UTF-8
        }
        // Neither lost on arrival nor without a byte in the written set.
        if (!(fates[unit] & Kept) || (count == 0 && unit == 0x00A9) || ++count > limit)
            return false;
    }
    return true;
}

// The largest number a field stored as a number holds in its bytes, or 0
// for a field of another kind (or an address, which is not one number).
uint64_t mostStored(const FieldInfo& field)
{
    switch (field.m_deviceType) {
    case FieldInfo::Bin1:
    case FieldInfo::Bcd64_1:
        return 0xFF;
    case FieldInfo::Bin2:
    case FieldInfo::Bin2BigEndian:
        return 0xFFFF;
    case FieldInfo::Bin4:
        return field.m_ipAddress ? 0 : 0xFFFFFFFFULL;
    // Two digits a byte.
    case FieldInfo::Bcd1:
        return 99ULL;
    case FieldInfo::Bcd2:
        return 9999ULL;
    case FieldInfo::Bcd3:
        return 999999ULL;
    case FieldInfo::Bcd4:
        return 99999999ULL;
    case FieldInfo::Bcd5:
        return 9999999999ULL;
    case FieldInfo::Bcd6:
        return 999999999999ULL;
    case FieldInfo::Bcd8:
        return 9999999999999999ULL;
    default:
        return 0;
    }
}

// Whether a value of a field stored as a number passes every check, told from
// its bytes without a text of a reason: bare digits (no blank around them)
// of a number the field's bytes hold, within the model's limits, a code of its
// list. Whatever this does not accept goes the whole way, which names the
// reason (or accepts it after all).
bool acceptedAsNumber(const FieldInfo& field, const QByteArray& value)
{
    const uint64_t most = mostStored(field);
    if (most == 0)
        return false;
    const std::optional<uint64_t> number = WholeNumber::read(value, most);
    if (!number)
        return false;
    switch (field.m_guiType) {
    case FieldInfo::Int:
        return double(*number) >= field.m_min && double(*number) <= field.m_max;
    case FieldInfo::Money:
        return *number >= limitOf(field.m_min * 100.0) && *number <= limitOf(field.m_max * 100.0);
    case FieldInfo::List:
        return *number <= 0xFFFFFFFFULL && field.m_items.count(uint32_t(*number)) > 0;
    case FieldInfo::String:
    case FieldInfo::StringMasked:
    case FieldInfo::GuiUnknown:
        return true;
    }
    return false;
}

} // namespace

QString ValueCheck::reason(const FieldInfo& field, const QByteArray& value) const
{
    if (acceptedAsNumber(field, value) || acceptedAsBytes(field, value, m_charsets, m_written))
        return QString();
    const std::optional<QString> text = textOf(field, value);
    const QString* known = text ? &*text : nullptr;
    if (std::optional<QString> problem = modelProblem(field, value, known, m_charsets))
        return *problem;
    return ValueCodec::refusalReason(field, value, m_charsets.external, known);
}

EncodedValue ValueCheck::encode(const FieldInfo& field, const QByteArray& value) const
{
    const std::optional<QString> text = textOf(field, value);
    const QString* known = text ? &*text : nullptr;
    if (const std::optional<QString> problem = modelProblem(field, value, known, m_charsets))
        return ValueCodec::refusal(field, value, *problem);
    return ValueCodec::encode(field, value, m_charsets.external, known);
}

namespace {

QString nulText()
{
    return QStringLiteral("текст содержит нулевой символ");
}

} // namespace

QString ValueCheck::nulReason(const QByteArray& value)
{
    return value.contains('\0') ? nulText() : QString();
}

QString ValueCheck::nulReason(const QString& text)
{
    return text.contains(QChar(0)) ? nulText() : QString();
}
