#include "CsvExchange.h"

#include "CsvRecordReader.h"
#include "CsvRecordWriter.h"
#include "FileTextCodec.h"
#include "TableText.h"
#include "common/Errors.h"
#include "model/MoneyText.h"

#include <QFile>
#include <QSaveFile>
#include <QTextCodec>


namespace {

const QString reservedMark = QStringLiteral("Зарезервировано");

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

RunTimeError badFile()
{
    return RunTimeError(QStringLiteral("Ошибка: файл содержит некорректные данные"));
}

RunTimeError badValue(int row, const FieldInfo& field)
{
    return RunTimeError(QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\", поле \"%2\"")
                            .arg(QString::number(row), field.m_name));
}

void validate(const FieldInfo& field, const QString& value, int row)
{
    bool ok = false;
    switch (field.m_guiType) {
    case FieldInfo::List: {
        const uint code = value.toUInt(&ok, 10);
        if (!ok || field.m_items.find(code) == field.m_items.end())
            throw badValue(row, field);
        break;
    }
    case FieldInfo::Int: {
        const double number = double(value.toULongLong(&ok, 10));
        if (!ok || number < field.m_min || number > field.m_max)
            throw badValue(row, field);
        break;
    }
    default:
        break;
    }
}

// The table of that name, else table number 1 (the commodity table's title
// carries no table name).
const TableInfo* findTable(const QList<TableInfo>& tables, const QString& name)
{
    for (const TableInfo& table : tables) {
        if (table.name == name)
            return &table;
    }
    for (const TableInfo& table : tables) {
        if (table.id == 1)
            return &table;
    }
    return nullptr;
}

// Valid UTF-8 without a zero byte: such a text is written as it is stored.
bool isPlainUtf8(const QByteArray& text)
{
    const auto* p = reinterpret_cast<const uchar*>(text.constData());
    const auto* end = p + text.size();
    while (p < end) {
        const uchar c = *p;
        if (c >= 0x01 && c < 0x80) {
            ++p;
            continue;
        }
        int follow = 0;
        uint code = 0;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
            code = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            code = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            code = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= follow)
            return false;
        for (int i = 1; i <= follow; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points beyond U+10FFFF.
        const bool overlong = (follow == 2 && code < 0x800) || (follow == 3 && code < 0x10000);
        const bool surrogate = follow == 2 && code >= 0xD800 && code <= 0xDFFF;
        if (overlong || surrogate || code > 0x10FFFF)
            return false;
        p += follow + 1;
    }
    return true;
}

} // namespace

CsvExchange::CsvExchange()
    : m_separator(';')
{
}

void CsvExchange::exportTable(const QString& path, const TableInfo& table, const DataRows& data)
{
    const QByteArray title = (table.id == 1 ? QStringLiteral("Таблица товаров 1.1")
                                            : QStringLiteral("%1 1.1").arg(table.name))
                                 .toUtf8();

    QTextCodec* codec = FileTextCodec::forWriting(title, [&](const auto& onText) {
        visitLines(table, data, onText, [] {});
    });
    const bool utf8 = FileTextCodec::isUtf8(codec);
    // A text goes out as it is stored when it is plain UTF-8 and the file is
    // UTF-8 (stored cells are UTF-8 already); otherwise it is converted, as
    // every text was before.
    const auto encoded = [codec, utf8](const QByteArray& text) {
        if (utf8 && isPlainUtf8(text))
            return text;
        return codec->fromUnicode(QString::fromUtf8(text));
    };

    const CsvRecordWriter writer(m_separator);
    CsvRecordWriter::Buffer out;
    writer.appendBare(out, encoded(title));
    bool first = true;
    visitLines(
        table, data,
        [&](const QByteArray& text) {
            writer.appendQuoted(out, encoded(text), first);
            first = false;
        },
        [&] {
            writer.endRecord(out);
            first = true;
        });
    writeWhole(path, out.data(), out.size());
}

template <typename OnText, typename OnLineEnd>
void CsvExchange::visitLines(const TableInfo& table, const DataRows& data, OnText onText, OnLineEnd onLineEnd)
{
    for (const QString& name : TableText::fieldNames(table))
        onText(name.toUtf8());
    onLineEnd();

    const int fieldCount = table.fields.size();
    switch (table.type) {
    case Db:
        for (int row = 0; row < data.size(); ++row) {
            onText(TableText::rowLabel(data, row));
            for (int column = 0; column < fieldCount; ++column)
                onText(TableText::cellBytes(table, data, row, column));
            onLineEnd();
        }
        break;
    case List:
        for (int field = 0; field < fieldCount; ++field)
            onText(TableText::storedBytes(data, 0, field));
        onLineEnd();
        break;
    case TransposedList:
        for (int field = 0; field < fieldCount; ++field)
            onText(TableText::storedBytes(data, field, 0));
        onLineEnd();
        break;
    default:
        break;
    }
}

void CsvExchange::writeWhole(const QString& path, const char* bytes, qint64 size)
{
    // Written aside and renamed over the target only when every byte reached
    // the file: the buffered write, its flush and the device all have to
    // succeed, or the target stays as it was and no part file is left.
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes, size) == size && file.flush()
        && file.error() == QFileDevice::NoError && file.commit();
    if (!written) {
        file.cancelWriting();
        throw RunTimeError(QStringLiteral("Не удалось записать файл %1").arg(path));
    }
}

DataRows CsvExchange::importTable(const QString& path, const QList<TableInfo>& tables, TableInfo& matched)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RunTimeError(QStringLiteral("Невозможно открыть файл %1").arg(fileNameOf(path)));
    const QByteArray bytes = file.readAll();
    file.close();

    QTextCodec* codec = FileTextCodec::forReading(bytes);
    const CsvRecordReader reader(m_separator);

    // The title line is bare, unless it holds the separator or a line break:
    // then it is one quoted value, read together with the rest of the file.
    QByteArray titleBytes;
    QList<CsvRecord> rawRecords;
    bool wellFormed = true;
    if (!bytes.startsWith('"') || !reader.parse(bytes, rawRecords) || rawRecords.isEmpty()
        || rawRecords.first().size() != 1) {
        const int titleEnd = bytes.indexOf('\n');
        titleBytes = titleEnd < 0 ? bytes : bytes.left(titleEnd);
        if (titleBytes.endsWith('\r'))
            titleBytes.chop(1);
        if (titleBytes.isEmpty())
            throw RunTimeError(QStringLiteral("Файл csv не содержит заголовка"));
        rawRecords.clear();
        wellFormed = titleEnd < 0 || reader.parse(bytes.mid(titleEnd + 1), rawRecords);
    } else {
        titleBytes = rawRecords.takeFirst().first();
    }

    QString name = codec->toUnicode(titleBytes);
    name.chop(4); // " 1.1"
    const TableInfo* table = findTable(tables, name);
    if (!table)
        throw RunTimeError(QStringLiteral("В заголовке файла csv неизвестная таблица"));
    matched = *table;

    if (!wellFormed)
        throw badFile();
    if (!rawRecords.isEmpty())
        rawRecords.removeFirst(); // the field names
    QList<QStringList> records;
    for (const CsvRecord& raw : qAsConst(rawRecords)) {
        QStringList record;
        for (const QByteArray& value : raw)
            record << codec->toUnicode(value);
        records << record;
    }

    const QVector<FieldInfo>& fields = matched.fields;
    DataRows rows;
    switch (matched.type) {
    case Db: {
        int rowNumber = 0;
        for (const QStringList& record : qAsConst(records)) {
            ++rowNumber;
            if (record.size() != fields.size() + 1)
                throw badFile();
            bool ok = false;
            int label = record.first().toInt(&ok, 10);
            if (!ok)
                label = 0;
            const bool readOnlyRow = matched.readOnlyRows.contains(label);
            DataRow row;
            for (int i = 0; i < fields.size(); ++i) {
                const FieldInfo& field = fields.at(i);
                const QString& value = record.at(i + 1);
                validate(field, value, rowNumber);
                QByteArray stored = value.toUtf8();
                if (field.m_guiType == FieldInfo::Money && !MoneyText::toKopecks(value, stored))
                    throw badValue(rowNumber, field);
                row.append(Cell(stored, !field.m_readOnly && !readOnlyRow));
            }
            row.append(Cell(record.first().toUtf8(), false));
            rows.append(row);
        }
        break;
    }
    case List:
    case TransposedList: {
        if (records.isEmpty() || records.first().size() != fields.size())
            throw badFile();
        const QStringList& record = records.first();
        DataRow row;
        for (int i = 0; i < fields.size(); ++i) {
            const FieldInfo& field = fields.at(i);
            validate(field, record.at(i), 0);
            const bool marked = !field.m_readOnly && !field.m_name.contains(reservedMark);
            row.append(Cell(record.at(i).toUtf8(), marked));
        }
        if (matched.type == List) {
            rows.append(row);
        } else {
            for (const Cell& cell : qAsConst(row))
                rows.append(DataRow{cell});
        }
        break;
    }
    default:
        break;
    }
    return rows;
}
