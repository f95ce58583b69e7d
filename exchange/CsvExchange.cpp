#include "CsvExchange.h"

#include "CsvRecordReader.h"
#include "CsvRecordWriter.h"
#include "CsvValueError.h"
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

CsvValueError badValue(int row, const FieldInfo& field)
{
    return CsvValueError(QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\", поле \"%2\"")
                             .arg(QString::number(row), field.m_name),
                         row, field.m_name);
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

} // namespace

CsvExchange::CsvExchange()
    : m_separator(';')
{
}

void CsvExchange::exportTable(const QString& path, const TableInfo& table, const DataRows& data)
{
    const QString title = table.id == 1 ? QStringLiteral("Таблица товаров 1.1") : QStringLiteral("%1 1.1").arg(table.name);
    const QStringList columns = TableText::fieldNames(table);
    const int fieldCount = table.fields.size();

    QList<QStringList> lines;
    switch (table.type) {
    case Db:
        for (int row = 0; row < data.size(); ++row) {
            QStringList line;
            line << QString::fromUtf8(TableText::rowLabel(data, row));
            for (int column = 0; column < fieldCount; ++column)
                line << TableText::cellText(table, data, row, column);
            lines << line;
        }
        break;
    case List: {
        QStringList line;
        for (int field = 0; field < fieldCount; ++field)
            line << TableText::storedText(data, 0, field);
        lines << line;
        break;
    }
    case TransposedList: {
        QStringList line;
        for (int field = 0; field < fieldCount; ++field)
            line << TableText::storedText(data, field, 0);
        lines << line;
        break;
    }
    default:
        break;
    }

    QStringList allTexts = columns;
    allTexts << title;
    for (const QStringList& line : qAsConst(lines))
        allTexts << line;
    QTextCodec* codec = FileTextCodec::forWriting(allTexts);
    const auto encoded = [codec](const QStringList& texts) {
        QList<QByteArray> out;
        for (const QString& text : texts)
            out << codec->fromUnicode(text);
        return out;
    };

    const CsvRecordWriter writer(m_separator);
    QByteArray bytes = writer.bareRecord(codec->fromUnicode(title));
    bytes += writer.quotedRecord(encoded(columns));
    for (const QStringList& line : qAsConst(lines))
        bytes += writer.quotedRecord(encoded(line));

    // Written aside and renamed over the target only when complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw RunTimeError(QStringLiteral("Не удалось записать файл %1").arg(path));
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
