#include "JournalRecord.h"

#include "model/TableInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

const QString TimeKey = QStringLiteral("time");
const QString ProgramKey = QStringLiteral("program");
const QString VersionKey = QStringLiteral("version");
const QString WriteKey = QStringLiteral("write");
const QString ModelCodeKey = QStringLiteral("modelCode");
const QString ModelNameKey = QStringLiteral("modelName");
const QString SerialKey = QStringLiteral("serialNumber");
const QString FirmwareKey = QStringLiteral("firmware");
const QString UserKey = QStringLiteral("user");
const QString TableKey = QStringLiteral("table");
const QString TableNameKey = QStringLiteral("tableName");
const QString CellsKey = QStringLiteral("cells");
const QString RowKey = QStringLiteral("row");
const QString FieldKey = QStringLiteral("field");
const QString FieldNameKey = QStringLiteral("fieldName");
const QString BeforeKey = QStringLiteral("before");
const QString AfterKey = QStringLiteral("after");
const QString IntentKey = QStringLiteral("intent");
const QString ConfirmsKey = QStringLiteral("confirms");
// Compact JSON orders its keys by name: a confirmation's line starts so.
const char ConfirmationStart[] = "{\"confirms\":";

// A whole number from min to max; anything else (a fraction, 2^32 for an
// unsigned) refuses the record rather than wrap to another table or row.
bool inRange(const QJsonValue& value, double min, double max)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return number >= min && number <= max && number == double(qint64(number));
}

bool positive(const QJsonValue& value, double max)
{
    return inRange(value, 1, max);
}

const double TableMax = std::numeric_limits<uint16_t>::max();
const double RowMax = std::numeric_limits<unsigned>::max();
const double IntMax = std::numeric_limits<int>::max();

} // namespace

QJsonObject JournalRecord::cellToJson(const CellChange& cell)
{
    QJsonObject object;
    object.insert(RowKey, qint64(cell.row));
    object.insert(FieldKey, cell.field);
    object.insert(FieldNameKey, cell.fieldName);
    object.insert(BeforeKey, QString::fromUtf8(cell.before));
    object.insert(AfterKey, QString::fromUtf8(cell.after));
    return object;
}

QJsonObject JournalRecord::toJson() const
{
    QJsonArray cellArray;
    for (const CellChange& cell : cells)
        cellArray.append(cellToJson(cell));
    QJsonObject object;
    object.insert(TimeKey, time.toUTC().toString(Qt::ISODateWithMs));
    object.insert(ProgramKey, program);
    object.insert(VersionKey, version);
    object.insert(WriteKey, writeId);
    object.insert(ModelCodeKey, modelCode);
    object.insert(ModelNameKey, modelName);
    object.insert(SerialKey, serialNumber);
    // Written only when known, so that older records read back as they were.
    if (!firmware.isEmpty())
        object.insert(FirmwareKey, firmware);
    if (!user.isEmpty())
        object.insert(UserKey, user);
    object.insert(TableKey, qint64(tableNumber));
    object.insert(TableNameKey, tableName);
    object.insert(CellsKey, cellArray);
    if (intent > 0)
        object.insert(IntentKey, intent);
    return object;
}

QByteArray JournalRecord::confirmationLine(const QDateTime& at) const
{
    QJsonObject object;
    object.insert(ConfirmsKey, intent);
    object.insert(WriteKey, writeId);
    object.insert(SerialKey, serialNumber);
    object.insert(TimeKey, at.toUTC().toString(Qt::ISODateWithMs));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool JournalRecord::confirmedBy(const Confirmation& confirmation) const
{
    return intent > 0 && intent == confirmation.intent && writeId == confirmation.writeId
        && serialNumber == confirmation.serialNumber;
}

QByteArray JournalRecord::toJsonLine() const
{
    return QJsonDocument(toJson()).toJson(QJsonDocument::Compact);
}

namespace {

// The record's fields but its cells; false when one is missing or out of range.
bool readHead(const QJsonObject& object, JournalRecord& result)
{
    for (const QString& key : {TimeKey, ProgramKey, VersionKey, WriteKey, ModelNameKey, SerialKey, TableNameKey}) {
        if (!object.value(key).isString())
            return false;
    }
    for (const QString& key : {FirmwareKey, UserKey}) {
        if (object.contains(key) && !object.value(key).isString())
            return false;
    }
    if (!inRange(object.value(ModelCodeKey), std::numeric_limits<int>::min(), IntMax)
        || !positive(object.value(TableKey), TableMax)
        || !object.value(CellsKey).isArray())
        return false;
    result.time = QDateTime::fromString(object.value(TimeKey).toString(), Qt::ISODateWithMs).toUTC();
    if (!result.time.isValid() || object.value(WriteKey).toString().isEmpty())
        return false;
    result.program = object.value(ProgramKey).toString();
    result.version = object.value(VersionKey).toString();
    result.writeId = object.value(WriteKey).toString();
    result.modelCode = object.value(ModelCodeKey).toInt();
    result.modelName = object.value(ModelNameKey).toString();
    result.serialNumber = object.value(SerialKey).toString();
    result.firmware = object.value(FirmwareKey).toString();
    result.user = object.value(UserKey).toString();
    result.tableNumber = unsigned(object.value(TableKey).toDouble());
    result.tableName = object.value(TableNameKey).toString();
    if (object.contains(IntentKey) && !positive(object.value(IntentKey), IntMax))
        return false;
    result.intent = object.value(IntentKey).toInt();
    result.confirmed = result.intent == 0;
    return true;
}

bool readObject(const QByteArray& line, QJsonObject& object)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    object = document.object();
    return true;
}

// The end of the string whose text starts at `from`: its closing quote, or
// `end` when the line ends first. Quotes escaped by an odd number of
// backslashes are part of the text.
const char* stringEnd(const char* from, const char* end)
{
    for (;;) {
        const auto* quote = static_cast<const char*>(std::memchr(from, '"', size_t(end - from)));
        if (!quote)
            return end;
        const char* backslash = quote;
        while (backslash > from && backslash[-1] == '\\')
            --backslash;
        if ((quote - backslash) % 2 == 0)
            return quote;
        from = quote + 1;
    }
}

// The line with the elements of its top-level "cells" array left out, and how
// many objects that array holds, in one pass over the bytes: the cells of a
// large record are never parsed. False when the line does not end where its
// brackets and strings do (a line cut short).
// `cells` (when given) receives the bytes between the array's brackets.
bool withoutCells(const QByteArray& line, QByteArray& head, int& cellCount, QByteArray* cells = nullptr)
{
    static const char CellsKeyText[] = "\"cells\"";
    const char* const begin = line.constData();
    const char* const end = begin + line.size();
    head.clear();
    cellCount = 0;
    int depth = 0;
    bool afterCellsKey = false;
    bool inCells = false;
    bool cellsSeen = false;
    const char* copyFrom = begin;
    const char* cellsFrom = begin;
    if (cells)
        cells->clear();
    for (const char* at = begin; at < end; ++at) {
        switch (*at) {
        case '"': {
            const char* closing = stringEnd(at + 1, end);
            if (closing == end)
                return false;
            if (depth == 1)
                afterCellsKey = closing + 1 - at == int(sizeof CellsKeyText) - 1
                    && std::memcmp(at, CellsKeyText, sizeof CellsKeyText - 1) == 0;
            at = closing;
            break;
        }
        case '[':
            if (depth == 1 && afterCellsKey) {
                if (cellsSeen)
                    return false; // which of two would count is a reader's guess
                inCells = cellsSeen = true;
                head.append(copyFrom, int(at + 1 - copyFrom));
                cellsFrom = at + 1;
            }
            ++depth;
            break;
        case '{':
            if (inCells && depth == 2)
                ++cellCount;
            ++depth;
            break;
        case ']':
        case '}':
            if (--depth < 0)
                return false;
            if (inCells && depth == 1) {
                inCells = false;
                afterCellsKey = false;
                copyFrom = at;
                if (cells)
                    *cells = QByteArray::fromRawData(cellsFrom, int(at - cellsFrom));
            }
            break;
        default:
            break;
        }
    }
    if (depth != 0)
        return false;
    head.append(copyFrom, int(end - copyFrom));
    return true;
}

// The cells of a record read strictly, byte by byte, nothing kept: a cell is
// an object of plain keys whose values are strings or small whole numbers,
// with "row" and "field" from 1 and "before" and "after" strings. What passes
// is what the JSON reader takes and the record's reader accepts; what does not
// pass is left to them, for it may still be sound (an escaped key, a row
// written as 1.0).
class StrictCells
{
public:
    // `read` (when given) receives the cells; then a text with an escape is left to the JSON reader.
    explicit StrictCells(const QByteArray& cells, QVector<JournalRecord::CellChange>* read = nullptr)
        : m_at(cells.constData()), m_end(cells.constData() + cells.size()), m_read(read)
    {
    }

    bool read(int& count)
    {
        count = 0;
        skipBlanks();
        while (m_at < m_end) {
            if (!cell())
                return false;
            ++count;
            skipBlanks();
            if (m_at == m_end)
                break;
            if (*m_at++ != ',')
                return false;
            skipBlanks();
            if (m_at == m_end)
                return false;
        }
        return true;
    }

private:
    enum Key { Row, Field, Before, After, FieldName, Other };

    void skipBlanks()
    {
        while (m_at < m_end && (*m_at == ' ' || *m_at == '\t' || *m_at == '\r' || *m_at == '\n'))
            ++m_at;
    }

    static Key keyOf(const char* text, int size)
    {
        static const struct { const char* name; Key key; } Known[] = {
            {"row", Row}, {"field", Field}, {"before", Before}, {"after", After}, {"fieldName", FieldName}};
        for (const auto& known : Known) {
            if (int(std::strlen(known.name)) == size && std::memcmp(known.name, text, size_t(size)) == 0)
                return known.key;
        }
        return Other;
    }

    static bool continuation(const char* at) { return (uchar(*at) & 0xC0) == 0x80; }

    // One UTF-8 character from the start, no surrogate, overlong form or non-character.
    bool utf8()
    {
        const uchar lead = uchar(*m_at);
        const int length = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
        if (length == 0 || m_end - m_at < length)
            return false;
        uint code = lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            if (!continuation(m_at + i))
                return false;
            code = (code << 6) | (uchar(m_at[i]) & 0x3F);
        }
        const uint least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)
            || (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE)
            return false;
        m_at += length;
        return true;
    }

    // A string from its opening quote; `plain` tells whether it holds no escape.
    bool string(bool& plain)
    {
        plain = true;
        ++m_at;
        while (m_at < m_end) {
            const uchar c = uchar(*m_at);
            if (c == '"') {
                ++m_at;
                return true;
            }
            if (c < 0x20)
                return false;
            if (c == '\\') {
                plain = false;
                if (m_end - m_at < 2)
                    return false;
                const char escape = m_at[1];
                if (escape == 'u') {
                    if (m_end - m_at < 6)
                        return false;
                    bool ok = false;
                    const uint code = QByteArray::fromRawData(m_at + 2, 4).toUInt(&ok, 16);
                    if (!ok || !std::all_of(m_at + 2, m_at + 6, [](char h) { return std::isxdigit(uchar(h)); })
                        || code == 0 || (code >= 0xD800 && code <= 0xDFFF) || (code >= 0xFDD0 && code <= 0xFDEF)
                        || (code & 0xFFFE) == 0xFFFE)
                        return false;
                    m_at += 6;
                } else if (std::strchr("\"\\/bfnrt", escape) && escape != '\0') {
                    m_at += 2;
                } else {
                    return false;
                }
            } else if (c < 0x80) {
                ++m_at;
            } else if (!utf8()) {
                return false;
            }
        }
        return false;
    }

    // A whole number of at most ten digits, without a sign or a leading zero.
    bool number(qint64& value)
    {
        const char* start = m_at;
        value = 0;
        while (m_at < m_end && *m_at >= '0' && *m_at <= '9' && m_at - start < 10)
            value = value * 10 + (*m_at++ - '0');
        const bool more = m_at < m_end && ((*m_at >= '0' && *m_at <= '9') || *m_at == '.' || *m_at == 'e' || *m_at == 'E');
        return m_at > start && !(*start == '0' && m_at - start > 1) && !more;
    }

    bool cell()
    {
        if (*m_at++ != '{')
            return false;
        bool seen[Other] = {};
        JournalRecord::CellChange change;
        for (;;) {
            skipBlanks();
            if (m_at == m_end || *m_at != '"')
                return false;
            const char* keyText = m_at + 1;
            bool plain = true;
            if (!string(plain) || !plain)
                return false;
            const Key key = keyOf(keyText, int(m_at - 1 - keyText));
            if (key != Other) {
                if (seen[key])
                    return false;
                seen[key] = true;
            }
            skipBlanks();
            if (m_at == m_end || *m_at++ != ':')
                return false;
            skipBlanks();
            if (m_at == m_end)
                return false;
            if (*m_at == '"') {
                const char* text = m_at + 1;
                if (!string(plain) || key == Row || key == Field || (m_read && !plain && key != Other))
                    return false;
                const int size = int(m_at - 1 - text);
                if (m_read && key == Before)
                    change.before = QByteArray(text, size);
                else if (m_read && key == After)
                    change.after = QByteArray(text, size);
                else if (m_read && key == FieldName)
                    change.fieldName = QString::fromUtf8(text, size);
            } else {
                qint64 value = 0;
                if (!number(value) || key == Before || key == After)
                    return false;
                if ((key == Row && (value < 1 || value > qint64(RowMax)))
                    || (key == Field && (value < 1 || value > qint64(IntMax))))
                    return false;
                if (key == Row)
                    change.row = unsigned(value);
                else if (key == Field)
                    change.field = int(value);
            }
            skipBlanks();
            if (m_at == m_end)
                return false;
            const char next = *m_at++;
            if (next == '}') {
                if (!(seen[Row] && seen[Field] && seen[Before] && seen[After]))
                    return false;
                if (m_read)
                    m_read->append(change);
                return true;
            }
            if (next != ',')
                return false;
        }
    }

    const char* m_at;
    const char* const m_end;
    QVector<JournalRecord::CellChange>* m_read;
};

} // namespace

bool JournalRecord::headFromJsonLine(const QByteArray& line, JournalRecord& record, int& cellCount)
{
    QByteArray head;
    QJsonObject object;
    JournalRecord result;
    if (!withoutCells(line, head, cellCount) || !readObject(head, object) || !readHead(object, result))
        return false;
    // A record written by other means may name its cells otherwise ("\u0063ells").
    cellCount = std::max(cellCount, object.value(CellsKey).toArray().size());
    record = result;
    return true;
}

bool JournalRecord::checkedHeadFromJsonLine(const QByteArray& line, JournalRecord& record, int& cellCount)
{
    QByteArray head;
    QByteArray cells;
    QJsonObject object;
    JournalRecord result;
    int counted = 0;
    if (withoutCells(line, head, counted, &cells) && readObject(head, object) && readHead(object, result)
        && object.value(CellsKey).toArray().isEmpty() && StrictCells(cells).read(cellCount)) {
        record = result;
        return true;
    }
    // Whatever the strict reading leaves open, the whole record decides.
    if (!fromJsonLine(line, result))
        return false;
    cellCount = result.cells.size();
    result.cells.clear();
    record = result;
    return true;
}

bool JournalRecord::fromJsonLine(const QByteArray& line, JournalRecord& record)
{
    // The cells read strictly, byte by byte, unless the strict reading leaves something open.
    {
        QByteArray head;
        QByteArray cells;
        QJsonObject object;
        JournalRecord result;
        int counted = 0;
        if (withoutCells(line, head, counted, &cells) && readObject(head, object) && readHead(object, result)
            && object.value(CellsKey).toArray().isEmpty()) {
            result.cells.reserve(counted);
            if (StrictCells(cells, &result.cells).read(counted)) {
                record = result;
                return true;
            }
        }
    }
    QJsonObject object;
    JournalRecord result;
    if (!readObject(line, object) || !readHead(object, result))
        return false;
    for (const QJsonValue& value : object.value(CellsKey).toArray()) {
        const QJsonObject cell = value.toObject();
        if (!positive(cell.value(RowKey), RowMax) || !positive(cell.value(FieldKey), IntMax)
            || !cell.value(BeforeKey).isString() || !cell.value(AfterKey).isString())
            return false;
        CellChange change;
        change.row = unsigned(cell.value(RowKey).toDouble());
        change.field = cell.value(FieldKey).toInt();
        change.fieldName = cell.value(FieldNameKey).toString();
        change.before = cell.value(BeforeKey).toString().toUtf8();
        change.after = cell.value(AfterKey).toString().toUtf8();
        result.cells.append(change);
    }
    record = result;
    return true;
}

bool JournalRecord::confirmationFromJsonLine(const QByteArray& line, Confirmation& confirmation)
{
    QJsonObject object;
    if (!line.startsWith(ConfirmationStart) || !readObject(line, object) || !positive(object.value(ConfirmsKey), IntMax)
        || !object.value(WriteKey).isString() || !object.value(SerialKey).isString())
        return false;
    Confirmation result;
    result.time = QDateTime::fromString(object.value(TimeKey).toString(), Qt::ISODateWithMs).toUTC();
    result.writeId = object.value(WriteKey).toString();
    result.serialNumber = object.value(SerialKey).toString();
    result.intent = object.value(ConfirmsKey).toInt();
    if (!result.time.isValid() || result.writeId.isEmpty())
        return false;
    confirmation = result;
    return true;
}

const FieldInfo* JournalRecord::fieldOf(const TableInfo& table, const CellChange& cell)
{
    const int index = table.type == TransposedList ? int(cell.row) - 1 : cell.field - 1;
    return index >= 0 && index < table.fields.size() ? &table.fields.at(index) : nullptr;
}
