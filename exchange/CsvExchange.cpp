#include "CsvExchange.h"

#include "CheckedValues.h"
#include "CsvRecordReader.h"
#include "CsvRecordWriter.h"
#include "CsvValueError.h"
#include "FileEncoding.h"
#include "FileTextCodec.h"
#include "TableText.h"
#include "common/Errors.h"
#include "common/PlainUtf8.h"
#include "common/PrintableText.h"
#include "common/SystemErrorText.h"
#include "ImportLimits.h"
#include "RegularFile.h"
#include "common/WritableTarget.h"
#include "device/RowLabel.h"
#include "device/ValueCheck.h"
#include "model/MoneyText.h"
#include "model/ValueQuote.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QTextCodec>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>


namespace {

const QString reservedMark = QStringLiteral("Зарезервировано");

// Distinct values a column of an imported file shares before it stops looking.
const int ColumnPoolSize = 4096;

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

RunTimeError badFile()
{
    return RunTimeError(QStringLiteral("Ошибка: файл содержит некорректные данные"));
}

// The title of an exported commodity table, whatever the table's name.
QString commodityTitle()
{
    return QStringLiteral("Таблица товаров 1.1");
}

// Names the title and what a title looks like, with a table of the model as the example.
RunTimeError unknownTitle(const QString& title, const QList<TableInfo>& tables)
{
    QString example = commodityTitle();
    for (const TableInfo& table : tables) {
        if (table.id != 1 && !table.name.isEmpty()) {
            example = table.name + QStringLiteral(" 1.1");
            break;
        }
    }
    return RunTimeError(QStringLiteral("В заголовке файла csv неизвестная таблица: \"%1\" - нужно название таблицы "
                                       "ККТ и \" 1.1\", например \"%2\"")
                            .arg(ValueQuote::shown(title), example));
}

ImportProblem valueProblem(int row, const FieldInfo& field, const QString& value, const QString& reason)
{
    return {QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\", поле \"%2\": "
                           "значение \"%3\" - %4")
                .arg(QString::number(row), field.m_name, ValueQuote::shown(value), reason),
            row, field.m_name};
}

RunTimeError cannotOpen(const QString& path, const QString& why = QString())
{
    const QString message = QStringLiteral("Невозможно открыть файл %1").arg(fileNameOf(path));
    return RunTimeError(why.isEmpty() ? message : message + QStringLiteral(": ") + why);
}

// The file's bytes, refused before they are read whole when there are more
// of them than any table of the model description can need.
QByteArray readBounded(const QString& path, qint64 limit)
{
    QFile file;
    QString why;
    switch (RegularFile::open(file, path, RegularFile::Read, why)) {
    case RegularFile::Opened:
        break;
    case RegularFile::CannotOpen:
        throw cannotOpen(path);
    case RegularFile::NotRegular:
        throw cannotOpen(path, why);
    }
    const qint64 size = file.size();
    const auto tooLarge = [&] {
        return RunTimeError(QStringLiteral("Файл %1 слишком велик: файл таблицы ККТ не бывает больше %2 байт")
                                .arg(fileNameOf(path), QString::number(limit)));
    };
    if (size > limit)
        throw tooLarge();
    // Read into the buffer itself, sized by the file (a buffer of the limit's
    // size up front would cost that much for every small file), and grown in
    // pieces when the file grew since; it is still cut one byte past the limit.
    QByteArray bytes(int(size) + 1, Qt::Uninitialized);
    qint64 filled = 0;
    const qint64 piece = 64 * 1024;
    while (filled <= limit) {
        if (filled == bytes.size())
            bytes.resize(int(qMin(limit + 1, filled + piece)));
        const qint64 read = file.read(bytes.data() + filled, bytes.size() - filled);
        if (read <= 0)
            break;
        filled += read;
    }
    bytes.truncate(int(filled));
    if (file.error() != QFileDevice::NoError)
        throw RunTimeError(QStringLiteral("Не удалось прочитать файл %1: %2").arg(fileNameOf(path), file.errorString()));
    if (bytes.size() > limit)
        throw tooLarge();
    return bytes;
}

// Past a line end at `at`: LF, CR LF or a CR alone.
int pastLineEnd(const QByteArray& bytes, int at)
{
    if (at < bytes.size() && bytes.at(at) == '\r')
        ++at;
    if (at < bytes.size() && bytes.at(at) == '\n')
        ++at;
    return at;
}

// Past the separators that a spreadsheet adds to a line shorter than the
// widest one (the title and the field names of a Db table).
int pastEmptyFields(const QByteArray& bytes, int at, char separator)
{
    while (at < bytes.size() && bytes.at(at) == separator)
        ++at;
    return at;
}

bool atLineEnd(const QByteArray& bytes, int at)
{
    return at == bytes.size() || bytes.at(at) == '\n' || bytes.at(at) == '\r';
}

// The title line: bare, unless it is one quoted value (it holds the
// separator or a line break); a byte order mark before it and empty fields
// after it are not part of it. `dataStart` is where the next line begins.
QByteArray titleOf(const QByteArray& bytes, char separator, int& dataStart)
{
    static const QByteArray byteOrderMark("\xEF\xBB\xBF");
    const int start = bytes.startsWith(byteOrderMark) ? byteOrderMark.size() : 0;
    if (bytes.size() > start && bytes.at(start) == '"') {
        QByteArray text;
        int at = start + 1;
        while (at < bytes.size()) {
            if (bytes.at(at) == '"') {
                if (at + 1 < bytes.size() && bytes.at(at + 1) == '"') {
                    text += '"';
                    at += 2;
                    continue;
                }
                break;
            }
            text += bytes.at(at++);
        }
        const int after = pastEmptyFields(bytes, at + 1, separator);
        if (at < bytes.size() && atLineEnd(bytes, after)) {
            dataStart = pastLineEnd(bytes, after);
            return text;
        }
    }
    int end = start;
    while (!atLineEnd(bytes, end))
        ++end;
    dataStart = pastLineEnd(bytes, end);
    int textEnd = end;
    while (textEnd > start && bytes.at(textEnd - 1) == separator)
        --textEnd;
    return bytes.mid(start, textEnd - start);
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

// At most how many CSV records the bytes from `from` on hold, told exactly
// up to one past `records`: a record takes a line of its own at least, and
// its line ends at a LF or a CR.
int mostRecords(const QByteArray& bytes, int from, int records)
{
    const char* const begin = bytes.constData() + from;
    const char* const end = bytes.constData() + bytes.size();
    if (end - begin <= records)
        return int(end - begin);
    // Bytes that end in a line end hold no record after it: a file of
    // exactly as many lines as the table has rows is read once.
    const bool lastLineOpen = end[-1] != '\n' && end[-1] != '\r';
    const auto linesEndingAt = [&](char lineEnd) {
        int lines = lastLineOpen ? 1 : 0;
        for (const char* at = begin; (at = static_cast<const char*>(std::memchr(at, lineEnd, size_t(end - at))));
             ++at) {
            if (++lines > records)
                break;
        }
        return lines;
    };
    return std::max(linesEndingAt('\n'), linesEndingAt('\r'));
}

bool isPlainUtf8(const char* begin, const char* end)
{
    return PlainUtf8::check(begin, end);
}

bool isPlainUtf8(const QByteArray& text)
{
    return PlainUtf8::check(text.constData(), text.constData() + text.size());
}

} // namespace

CsvExchange::CsvExchange()
    : CsvExchange(RegisterCharsets())
{
}

CsvExchange::CsvExchange(const RegisterCharsets& charsets)
    : m_separator(';'), m_check(charsets)
{
}

void CsvExchange::exportTable(const QString& path, const TableInfo& table, const DataRows& data)
{
    requireExportTarget(path);
    const CsvRecordWriter::Buffer out = fileBytes(table, data);
    writeWhole(path, out.data(), out.size());
}

QByteArray CsvExchange::exportBytes(const TableInfo& table, const DataRows& data)
{
    const CsvRecordWriter::Buffer out = fileBytes(table, data);
    return QByteArray(out.data(), int(out.size()));
}

CsvRecordWriter::Buffer CsvExchange::fileBytes(const TableInfo& table, const DataRows& data)
{
    const QByteArray title = (table.id == 1 ? commodityTitle()
                                            : QStringLiteral("%1 1.1").arg(table.name))
                                 .toUtf8();

    QTextCodec* codec = nullptr;
    if (m_encoding == FileEncoding::Detect) {
        codec = FileTextCodec::forWriting(title, [&](const auto& onText) { visitLines(table, data, onText, [] {}); });
    } else {
        codec = FileEncoding::codecOf(m_encoding);
        const auto refuseUnheld = [&](const QByteArray& text) {
            const QString shown = QString::fromUtf8(text);
            if (!codec->canEncode(shown))
                throw RunTimeError(FileEncoding::cannotHold(codec, ValueQuote::shown(shown)));
        };
        refuseUnheld(title);
        visitLines(table, data, refuseUnheld, [] {});
    }
    const bool utf8 = FileTextCodec::isUtf8(codec);
    const CsvRecordWriter writer(m_separator);
    // Into a UTF-8 file the stored texts (UTF-8 already) go as they are, and
    // the file is checked once: every value sits between ASCII quotes, so the
    // whole is plain UTF-8 exactly when each value is. Otherwise, or when a
    // value is not plain, each text is converted, as every text was before.
    const auto build = [&](bool asStored) {
        const auto encoded = [&](const QByteArray& text) {
            if (asStored || (utf8 && isPlainUtf8(text)))
                return text;
            return codec->fromUnicode(QString::fromUtf8(text));
        };
        CsvRecordWriter::Buffer out;
        // About what a row of short values takes: room made once, not doubled.
        out.reserve(size_t(data.size() + 2) * size_t(table.fields.size() + 1) * 12);
        writer.appendBare(out, encoded(title));
        bool first = true;
        visitLines(
            table, data,
            [&](const QByteArray& text) {
                if (asStored)
                    writer.appendQuoted(out, text, first);
                else
                    writer.appendQuoted(out, encoded(text), first);
                first = false;
            },
            [&] {
                writer.endRecord(out);
                first = true;
            });
        return out;
    };
    CsvRecordWriter::Buffer out = build(utf8);
    if (utf8 && !isPlainUtf8(out.data(), out.data() + out.size()))
        out = build(false);
    return out;
}

template <typename OnText, typename OnLineEnd>
void CsvExchange::visitLines(const TableInfo& table, const DataRows& data, OnText onText, OnLineEnd onLineEnd)
{
    for (const QString& name : TableText::fieldNames(table))
        onText(name.toUtf8());
    onLineEnd();

    const int fieldCount = table.fields.size();
    switch (table.type) {
    case Db: {
        std::vector<bool> money(static_cast<size_t>(fieldCount), false);
        for (int column = 0; column < fieldCount; ++column)
            money[size_t(column)] = table.fields.at(column).m_guiType == FieldInfo::Money;
        for (int row = 0; row < data.size(); ++row) {
            const DataRow& cells = data.at(row);
            if (cells.size() < fieldCount) { // refused by TableText, which says why
                onText(TableText::rowLabel(data, row));
                for (int column = 0; column < fieldCount; ++column)
                    onText(TableText::cellBytes(table, data, row, column));
            } else {
                // A complete row's texts are handed on as they are stored,
                // what TableText gives without a copy of each.
                onText(cells.last().value);
                for (int column = 0; column < fieldCount; ++column) {
                    const QByteArray& stored = cells.at(column).value;
                    if (money[size_t(column)])
                        onText(MoneyText::bytesFromKopecks(stored));
                    else
                        onText(stored);
                }
            }
            onLineEnd();
        }
        break;
    }
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

QString CsvExchange::exportFailedText()
{
    return QStringLiteral("Не удалось записать файл");
}

void CsvExchange::requireExportTarget(const QString& path)
{
    WritableTarget::require(path, exportFailedText());
}

void CsvExchange::writeWhole(const QString& path, const char* bytes, qint64 size)
{
    // Written aside and renamed over the target only when every byte reached
    // the file: the buffered write, its flush and the device all have to
    // succeed, or the target stays as it was and no part file is left.
    // The system's reason is taken at the step that failed, before anything
    // else can change errno.
    QSaveFile file(path);
    errno = 0;
    bool written = file.open(QIODevice::WriteOnly) && file.write(bytes, size) == size && file.flush()
        && file.error() == QFileDevice::NoError;
    if (written) {
        // Whatever took the path's place meanwhile is kept, not replaced.
        if (!WritableTarget::refusal(path).isEmpty()) {
            file.cancelWriting();
            requireExportTarget(path);
        }
        written = file.commit();
    }
    if (!written) {
        // QSaveFile refuses a folder at the path before the system is asked.
        const int why = errno != 0 ? errno : QFileInfo(path).isDir() ? EISDIR : 0;
        file.cancelWriting();
        const QString message = QStringLiteral("%1 %2").arg(exportFailedText(), path);
        throw FileWriteError(why != 0 ? message + QStringLiteral(": ") + SystemErrorText::of(why) : message);
    }
}

DataRows CsvExchange::importTable(const QString& path, const QList<TableInfo>& tables, TableInfo& matched)
{
    QVector<ImportProblem> problems;
    DataRows rows = importTable(path, tables, matched, problems);
    if (!problems.isEmpty()) {
        const ImportProblem& first = problems.first();
        throw CsvValueError(first.message, first.row, first.field);
    }
    return rows;
}

DataRows CsvExchange::importTable(const QString& path, const QList<TableInfo>& tables, TableInfo& matched,
                                  QVector<ImportProblem>& problems)
{
    const int earlierProblems = problems.size();
    m_ignoredLines = 0;
    m_printableValues = false;
    const QByteArray bytes = readBounded(path, ImportLimits::fileBytes(tables));
    const FileEncoding encoding(bytes, m_encoding);
    m_encodingNote = encoding.note();
    QTextCodec* codec = encoding.codec();
    // A file read as Windows-1251 only because it is not UTF-8 may be neither.
    const auto notTableFile = [&](const QString& title) {
        return encoding.guessedWindows1251() ? RunTimeError(encoding.notTableFile(ValueQuote::shown(title)))
                                             : unknownTitle(title, tables);
    };

    int dataStart = 0;
    const QByteArray titleBytes = titleOf(bytes, m_separator, dataStart);
    if (titleBytes.isEmpty())
        throw encoding.guessedWindows1251() ? notTableFile(QString())
                                            : RunTimeError(QStringLiteral("Файл csv не содержит заголовка"));
    // No text holds a zero byte: such a first line starts a file of another kind.
    if (titleBytes.contains('\0'))
        throw RunTimeError(QStringLiteral("Файл csv не содержит таблицы: в первой строке байт 00 - это не текстовый файл"));
    const QString title = codec->toUnicode(titleBytes);
    QString name = title;
    name.chop(4); // " 1.1"
    const TableInfo* table = findTable(tables, name);
    if (!table)
        throw notTableFile(title);
    matched = *table;
    // A title that names no table is read as the commodity table; when the
    // data do not fit that table either, the title is what to mend.
    const bool titleNamesTable = table->name == name || title == commodityTitle();
    const auto badShape = [&] { return titleNamesTable ? badFile() : notTableFile(title); };

    const QVector<FieldInfo>& fields = matched.fields;
    const int lineLimit = ImportLimits::dataLines(matched);
    const int rowLimit = matched.rowNames.isEmpty() ? ImportLimits::MostRegisterRows : matched.rowNames.size();
    const auto shown = [](const QByteArray& stored) { return QString::fromUtf8(stored.constData(), stored.size()); };
    // A refusal quotes the value as the file gives it (money as "12.34").
    const auto check = [this, &problems, &shown](int row, const FieldInfo& field, const QByteArray& inFile,
                                           const QByteArray& stored) {
        const QString reason = m_check.reason(field, stored);
        if (!reason.isEmpty())
            problems << valueProblem(row, field, shown(inFile), reason);
    };
    // The stored form of a value: UTF-8 bytes, taken as they are from a UTF-8
    // file. When all its data are plain UTF-8, so is every value (the CSV
    // syntax splits them at ASCII bytes only) and none needs a look.
    const bool utf8File = FileTextCodec::isUtf8(codec);
    // The data start after a line end, so that plain UTF-8 throughout is plain from there on.
    const bool dataStoredAsIs = utf8File
        && (encoding.plainUtf8() || isPlainUtf8(bytes.constData() + dataStart, bytes.constData() + bytes.size()));
    // Values taken as they stand, cut out of printable data at ASCII bytes
    // (their quotes undoubled), are printable; money is shown as digits.
    m_printableValues = dataStoredAsIs
        && (encoding.printable()
            || PrintableText::isPrintable(bytes.constData() + dataStart, bytes.constData() + bytes.size()));
    const auto storedOf = [codec, utf8File](const QByteArray& raw) {
        return utf8File && isPlainUtf8(raw) ? raw : codec->toUnicode(raw).toUtf8();
    };

    DataRows rows;
    std::vector<CheckedValues> columnValues(size_t(fields.size()) + 1, CheckedValues(ColumnPoolSize));
    // The stored value of a column's bytes, and the reason it may not be stored (empty when it may).
    const auto takeChecked = [&](int column, const FieldInfo& field, const char* data, int size, QString& reason) {
        return columnValues[size_t(column)].take(data, size, reason,
                                                 [&](const QByteArray& stored) { return m_check.reason(field, stored); });
    };
    const auto tooManyLines = [&] {
        return RunTimeError(QStringLiteral("Ошибка: в файле больше строк данных, чем может быть в таблице \"%1\": "
                                           "не более %2")
                                .arg(matched.name, QString::number(lineLimit)));
    };
    const CsvRecordReader reader(m_separator);
    // The field names and at most a line a row, told by one count of the lines.
    const int mostLines = matched.type == Db ? mostRecords(bytes, dataStart, lineLimit + 1) : 0;
    if (mostLines > 0) // room for the rows at once: a long list grown row by row is copied again and again
        rows.reserve(std::min(mostLines - 1, lineLimit));
    if (mostLines > lineLimit + 1) {
        // Refused before a row is kept, when the reading below would refuse
        // the file at the line past the limit: every line before it splits
        // into the table's fields.
        int seen = -1; // the field names come first
        bool shaped = true;
        reader.parse(bytes, dataStart, [&](const CsvRecord& raw) {
            if (seen >= 0 && seen < lineLimit && raw.size() != fields.size() + 1) {
                shaped = false;
                return false;
            }
            return ++seen <= lineLimit;
        });
        if (shaped && seen > lineLimit)
            throw tooManyLines();
    }

    // Db: the data line (from 1) that names each register row, 0 while none
    // does. Zeroed by calloc, which leaves the pages of fresh memory as the
    // system gives them: a short file touches the room of its rows alone.
    const std::unique_ptr<int[], void (*)(void*)> lineOfRegisterRow(
        static_cast<int*>(std::calloc(size_t(matched.type == Db ? rowLimit : 0) + 1, sizeof(int))), std::free);
    if (!lineOfRegisterRow)
        throw std::bad_alloc();
    bool columnsSeen = false;
    int records = 0;
    const auto takeRecord = [&](const CsvRecord& raw) {
        if (!columnsSeen) {
            columnsSeen = true; // the field names
            return true;
        }
        if (matched.type == Plain)
            return false; // its data are not read
        // A table of one record takes the file's first; the lines after it are counted, not read.
        if (matched.type != Db && records == 1) {
            ++m_ignoredLines;
            return true;
        }
        if (++records > lineLimit)
            throw tooManyLines();
        // The values as stored, each copied out of the file's bytes once, for the cell that keeps it.
        // What is only looked at stays a view.
        const auto valueAt = [&](int i) { return dataStoredAsIs ? raw.at(i) : storedOf(raw.at(i)); };

        if (matched.type == Db) {
            if (raw.size() != fields.size() + 1)
                throw badShape();
            QByteArray label = valueAt(0);
            const unsigned registerRow = RowLabel::registerRow(label);
            if (registerRow == 0 || registerRow > unsigned(rowLimit)) {
                problems << ImportProblem{
                    QStringLiteral("Ошибка: таблица содержит некорректные данные в строке \"%1\": номер ряда "
                                   "\"%2\" - нужно целое число от 1 до %3")
                        .arg(QString::number(records), ValueQuote::shown(shown(label)),
                             QString::number(rowLimit)),
                    records, QString()};
            } else if (lineOfRegisterRow[registerRow] != 0) {
                problems << ImportProblem{
                    QStringLiteral("Ошибка: строки \"%1\" и \"%2\" файла задают один и тот же ряд %3")
                        .arg(QString::number(lineOfRegisterRow[registerRow]), QString::number(records),
                             QString::number(registerRow)),
                    records, QString()};
            } else {
                lineOfRegisterRow[registerRow] = records;
            }
            const bool readOnlyRow = matched.readOnlyRows.contains(int32_t(registerRow));
            // Made whole at once and filled in place: an append a cell costs more than the cell.
            DataRow row(fields.size() + 1);
            Cell* const cells = row.data();
            for (int i = 0; i < fields.size(); ++i) {
                const FieldInfo& field = fields.at(i);
                QByteArray stored;
                if (field.m_guiType == FieldInfo::Money) {
                    // The file gives roubles, read where they stand; the kopecks are what is kept.
                    const QByteArray converted = dataStoredAsIs ? QByteArray() : storedOf(raw.at(i + 1));
                    const char* roubles = dataStoredAsIs ? raw.data(i + 1) : converted.constData();
                    const int length = dataStoredAsIs ? raw.length(i + 1) : converted.size();
                    const auto inFile = [&] { return QByteArray(roubles, length); };
                    // Also an empty amount: the file gives roubles, so its refusal speaks of them.
                    char kopecks[MoneyText::KopecksDigits];
                    const int digits = MoneyText::toKopecks(roubles, roubles + length, kopecks);
                    if (digits <= 0) {
                        problems << valueProblem(records, field, shown(inFile()),
                                                 QStringLiteral("нужна сумма в рублях: число не более чем с двумя "
                                                                "знаками после точки"));
                    } else {
                        QString reason;
                        stored = takeChecked(i + 1, field, kopecks, digits, reason);
                        if (!reason.isEmpty())
                            problems << valueProblem(records, field, shown(inFile()), reason);
                    }
                } else {
                    QString reason;
                    const char* const data = raw.data(i + 1);
                    const int size = raw.length(i + 1);
                    const bool repeatsLabel = dataStoredAsIs && size == label.size()
                        && std::memcmp(data, label.constData(), size_t(size)) == 0;
                    if (repeatsLabel) {
                        // A code that repeats its row's number, as a commodity's often does, shares the label's buffer.
                        stored = label;
                        reason = m_check.reason(field, stored);
                    } else if (dataStoredAsIs) {
                        stored = takeChecked(i + 1, field, data, size, reason);
                    } else {
                        const QByteArray converted = storedOf(raw.at(i + 1));
                        stored = takeChecked(i + 1, field, converted.constData(), converted.size(), reason);
                    }
                    if (!reason.isEmpty())
                        problems << valueProblem(records, field, shown(stored), reason);
                }
                // Handed on, not copied: a copy and the release of this one are two atomic counts.
                cells[i].value = std::move(stored);
                cells[i].changed = !field.m_readOnly && !readOnlyRow;
            }
            cells[fields.size()].value = std::move(label);
            rows.append(std::move(row));
            return true;
        }

        // List and TransposedList: one record, a value per field as stored (money in kopecks).
        if (raw.size() != fields.size())
            throw badShape();
        DataRow row;
        for (int i = 0; i < fields.size(); ++i) {
            const FieldInfo& field = fields.at(i);
            const QByteArray stored = valueAt(i);
            check(0, field, stored, stored);
            const bool marked = !field.m_readOnly && !field.m_name.contains(reservedMark);
            row.append(Cell(stored, marked));
        }
        if (matched.type == List) {
            rows.append(row);
        } else {
            for (const Cell& cell : qAsConst(row))
                rows.append(DataRow{cell});
        }
        return true;
    };

    if (!reader.parse(bytes, dataStart, takeRecord))
        throw encoding.guessedWindows1251() && !titleNamesTable ? notTableFile(title) : badFile();
    if ((matched.type == List || matched.type == TransposedList) && records == 0)
        throw badShape();
    // Read as the commodity table for want of a table's name, a file without
    // a data line holds no table at all (one long line, say).
    if (!titleNamesTable && records == 0)
        throw notTableFile(title);
    if (problems.size() > earlierProblems)
        return DataRows();
    return rows;
}
