#include "JsonReport.h"

#include "Console.h"

#include "common/PlainUtf8.h"
#include "model/TableInfo.h"

#include <QJsonDocument>

#include <cstring>
#include <vector>

namespace {

const QString CellsKey = QStringLiteral("cells");
const QString TablesKey = QStringLiteral("tables");
// What gathers before it goes to the console.
const int WriteSize = 64 * 1024;

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A text as a JSON string, quoted and escaped by Qt's own writer.
QByteArray jsonString(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Whether the writer would put the text's bytes out as they are: valid UTF-8
// with nothing to escape, and no byte order mark at its start, which the
// conversion drops.
bool standsAsItIs(const QByteArray& text)
{
    const auto* p = reinterpret_cast<const uchar*>(text.constData());
    const uchar* const end = p + text.size();
    const quint64 ones = 0x0101010101010101ULL;
    const quint64 highs = 0x8080808080808080ULL;
    quint64 seenHigh = 0;
    // Eight bytes at a time: any control character, quote or backslash among them.
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, sizeof word);
        const quint64 quotes = word ^ (ones * '"');
        const quint64 backslashes = word ^ (ones * '\\');
        // Classic zero-byte tests: a byte below 0x20, or one the quote or the backslash cancels out.
        const quint64 special = ((word - ones * 0x20) & ~word) | ((quotes - ones) & ~quotes)
            | ((backslashes - ones) & ~backslashes);
        if (special & highs)
            return false;
        seenHigh |= word & highs;
    }
    for (; p < end; ++p) {
        if (*p < 0x20 || *p == '"' || *p == '\\')
            return false;
        seenHigh |= *p & 0x80;
    }
    return seenHigh == 0
        || (!text.startsWith("\xEF\xBB\xBF") && PlainUtf8::check(text.constData(), text.constData() + text.size()));
}

// Decimal digits, as Qt's writer puts a whole number, without a QByteArray of their own.
void appendNumber(QByteArray& out, qint64 number)
{
    char digits[24];
    char* start = digits + sizeof digits;
    quint64 rest = number < 0 ? 0 - quint64(number) : quint64(number);
    do {
        *--start = char('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (number < 0)
        *--start = '-';
    out.append(start, int(digits + sizeof digits - start));
}

void appendText(QByteArray& out, const QByteArray& utf8)
{
    if (standsAsItIs(utf8)) {
        out += '"';
        out += utf8;
        out += '"';
    } else {
        out += jsonString(QString::fromUtf8(utf8));
    }
}

// The part of a cell's object from "field" up to its row's number, which
// depends on the cell's field alone: made once for each field of a table.
class FieldPart
{
public:
    FieldPart(const QString& file, const TableInfo& table)
        : m_file(jsonString(file))
        , m_table(table)
    {
    }

    const QByteArray& of(int fieldNumber, int fieldIndex)
    {
        if (fieldNumber < 0 || fieldNumber > 0xFFFF) {
            m_odd = make(fieldNumber, fieldIndex);
            return m_odd;
        }
        const auto at = size_t(fieldNumber);
        if (at >= m_parts.size()) {
            m_parts.resize(at + 1);
            m_indices.resize(at + 1, Unmade);
        }
        if (m_indices[at] != fieldIndex) {
            m_parts[at] = make(fieldNumber, fieldIndex);
            m_indices[at] = fieldIndex;
        }
        return m_parts[at];
    }

private:
    static constexpr int Unmade = -2; // no field index is

    QByteArray make(int fieldNumber, int fieldIndex) const
    {
        QByteArray part = ",\"field\":";
        appendNumber(part, fieldNumber);
        part += ",\"file\":" + m_file + ",\"name\":";
        part += fieldIndex >= 0 ? jsonString(m_table.fields.at(fieldIndex).m_name) : QByteArray("null");
        part += ",\"row\":";
        return part;
    }

    const QByteArray m_file;
    const TableInfo& m_table;
    std::vector<QByteArray> m_parts; // by field number
    std::vector<int> m_indices;      // the field index each part was made for
    QByteArray m_odd;
};

} // namespace

JsonReport::JsonReport(const QString& command, Console& console)
    : m_console(console)
{
    m_root.insert(QStringLiteral("command"), command);
    m_root.insert(QStringLiteral("changed"), false);
    m_root.insert(QStringLiteral("error"), QJsonValue());
    m_pending.reserve(WriteSize + 4096); // kept across the writes
}

void JsonReport::set(const QString& key, const QJsonValue& value)
{
    Q_ASSERT(!m_cellsOpen || key > CellsKey);
    m_root.insert(key, value);
}

void JsonReport::setChanged(bool changed)
{
    m_root.insert(QStringLiteral("changed"), changed);
}

void JsonReport::openCells()
{
    QJsonObject head;
    for (auto key = m_root.begin(); key != m_root.end() && key.key() < CellsKey;) {
        head.insert(key.key(), key.value());
        key = m_root.erase(key);
    }
    m_pending += compact(head);
    m_pending.chop(1); // the closing brace
    if (!head.isEmpty())
        m_pending += ',';
    m_pending += "\"cells\":[";
    m_cellsOpen = true;
}

void JsonReport::writeOut()
{
    m_console.dataPart(m_pending);
    m_pending.resize(0);
}

void JsonReport::addTable(const QString& file, const TableInfo& table,
                          const QVector<TableComparison::CellPair>& cells, bool withBefore)
{
    addTable(file, table, cells.size(), [&cells](int i) { return cells.at(i); }, withBefore);
}

void JsonReport::addTable(const QString& file, const TableInfo& table, int count,
                          const std::function<TableComparison::CellPair(int)>& cellAt, bool withBefore)
{
    if (count == 0 || m_finished)
        return;
    QJsonObject object;
    object.insert(QStringLiteral("file"), file);
    object.insert(QStringLiteral("table"), int(table.id));
    object.insert(QStringLiteral("name"), table.name);
    object.insert(CellsKey, count);
    m_tables.append(object);

    // What every cell of the table shares, converted once.
    FieldPart fieldPart(file, table);
    QByteArray end = ",\"table\":";
    appendNumber(end, int(table.id));
    end += '}';

    if (!m_cellsOpen)
        openCells();
    else
        m_pending += ',';
    for (int i = 0; i < count; ++i) {
        const TableComparison::CellPair cell = cellAt(i);
        if (i > 0)
            m_pending += ',';
        m_pending.append("{\"after\":", 9);
        appendText(m_pending, cell.fileText);
        m_pending.append(",\"before\":", 10);
        if (withBefore && cell.inRegister)
            appendText(m_pending, cell.registerText);
        else
            m_pending.append("null", 4);
        m_pending += fieldPart.of(cell.fieldNumber, cell.fieldIndex);
        appendNumber(m_pending, qint64(cell.registerRow));
        m_pending += end;
        if (m_pending.size() >= WriteSize)
            writeOut();
    }
    writeOut();
}

void JsonReport::setError(const QString& message, const QVector<FlowFailure::Place>& places)
{
    const auto placed = [](const QString& text, const FlowFailure::Place& place) {
        QJsonObject object;
        object.insert(QStringLiteral("message"), text);
        object.insert(QStringLiteral("file"), textOrNull(place.file));
        object.insert(QStringLiteral("row"), place.row > 0 ? QJsonValue(place.row) : QJsonValue());
        object.insert(QStringLiteral("field"), textOrNull(place.field));
        return object;
    };
    QJsonArray problems;
    for (const FlowFailure::Place& place : places)
        problems.append(placed(place.message, place));
    // The whole message, placed where its first part lies.
    QJsonObject error = placed(message, places.isEmpty() ? FlowFailure::Place() : places.first());
    error.insert(QStringLiteral("problems"), problems);
    m_root.insert(QStringLiteral("error"), error);
}

void JsonReport::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_root.insert(TablesKey, m_tables);
    if (!m_cellsOpen) {
        m_root.insert(CellsKey, QJsonArray());
        m_console.data(compact(m_root));
        return;
    }
    QByteArray rest = compact(m_root);
    rest[0] = ',';
    m_console.data("]" + rest);
}
