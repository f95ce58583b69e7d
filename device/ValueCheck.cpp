#include "ValueCheck.h"

#include "model/FieldInfo.h"
#include "model/MoneyText.h"
#include "model/WholeNumber.h"

#include <QMutex>
#include <QStringList>
#include <QTextCodec>

#include <algorithm>
#include <cmath>
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
// sends a byte for it that arrives as such a character. Characters the
// write's codec lacks are left to the encoder, which names them. Made once
// per pair of character sets on first need and kept: the pairs are few and
// their codecs live to the program's end.
const std::vector<bool>& lostOnArrival(const RegisterCharsets& charsets)
{
    static QMutex mutex;
    static std::map<std::pair<QTextCodec*, QTextCodec*>, std::vector<bool>> tables;
    const QMutexLocker lock(&mutex);
    const auto [entry, made] = tables.try_emplace({charsets.external, charsets.internal});
    std::vector<bool>& table = entry->second;
    if (!made)
        return table;
    table.assign(0x10000, false);
    for (int unit = 0; unit < 0x10000; ++unit) {
        const QChar ch(unit);
        if (ch.isSurrogate())
            continue;
        const QByteArray byte = charsets.external->fromUnicode(&ch, 1);
        if (byte.size() != 1)
            continue;
        const QString arrived = charsets.external->toUnicode(byte);
        table[size_t(unit)] = charsets.internal->fromUnicode(arrived).size() != arrived.size();
    }
    return table;
}

std::optional<QString> unstorableCharacter(const QByteArray& value, const QString* text,
                                           const RegisterCharsets& charsets)
{
    const bool printableAscii = std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20; });
    // Without the register's character sets nothing tells what it keeps.
    if (printableAscii || !charsets.internal || !charsets.external)
        return std::nullopt;
    const std::vector<bool>& lost = lostOnArrival(charsets);
    for (const QChar ch : text ? *text : QString::fromUtf8(value)) {
        if (lost[ch.unicode()]) {
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
    : m_charsets(charsets)
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

} // namespace

QString ValueCheck::reason(const FieldInfo& field, const QByteArray& value) const
{
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
