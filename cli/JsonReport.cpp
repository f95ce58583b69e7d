#include "JsonReport.h"

#include "Console.h"

#include "common/PlainUtf8.h"
#include "model/TableInfo.h"

#include <QJsonDocument>

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
    bool ascii = true;
    for (const char c : text) {
        const auto u = uchar(c);
        if (u < 0x20 || u == '"' || u == '\\')
            return false;
        ascii = ascii && u < 0x80;
    }
    return ascii
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
    if (cells.isEmpty() || m_finished)
        return;
    QJsonObject object;
    object.insert(QStringLiteral("file"), file);
    object.insert(QStringLiteral("table"), int(table.id));
    object.insert(QStringLiteral("name"), table.name);
    object.insert(CellsKey, cells.size());
    m_tables.append(object);

    // What every cell of the table shares, converted once.
    const QByteArray fileText = jsonString(file);
    QByteArray tableNumber;
    appendNumber(tableNumber, int(table.id));
    QVector<QByteArray> names;
    names.reserve(int(table.fields.size()));
    for (const FieldInfo& field : table.fields)
        names.append(jsonString(field.m_name));

    if (!m_cellsOpen)
        openCells();
    else
        m_pending += ',';
    bool first = true;
    for (const TableComparison::CellPair& cell : cells) {
        if (!first)
            m_pending += ',';
        first = false;
        m_pending += "{\"after\":";
        appendText(m_pending, cell.fileText);
        m_pending += ",\"before\":";
        if (withBefore && cell.inRegister)
            appendText(m_pending, cell.registerText);
        else
            m_pending += "null";
        m_pending += ",\"field\":";
        appendNumber(m_pending, cell.fieldNumber);
        m_pending += ",\"file\":";
        m_pending += fileText;
        m_pending += ",\"name\":";
        m_pending += cell.fieldIndex >= 0 ? names.at(cell.fieldIndex) : QByteArray("null");
        m_pending += ",\"row\":";
        appendNumber(m_pending, qint64(cell.registerRow));
        m_pending += ",\"table\":";
        m_pending += tableNumber;
        m_pending += '}';
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
