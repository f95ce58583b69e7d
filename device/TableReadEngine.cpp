#include "TableReadEngine.h"

#include "DriverLibrary.h"
#include "ProgressReporter.h"
#include "ReadRowLog.h"
#include "ValueCodec.h"
#include "model/TableInfo.h"
#include "model/TableRows.h"

#include <QCoreApplication>
#include <QDebug>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const int InitialValueSize = 16;
// The most bytes taken of one read, whatever length the library reports: a
// whole row of the widest fields fits many times over.
const int LargestValue = 4 * 1024 * 1024;

QString endOfTableInsideRow(const TableInfo& table, int row, int field, int rowCount, int fieldsPerRow)
{
    return QStringLiteral("Ошибка чтения таблицы ") + QString::number(table.id) + QStringLiteral(" - [") + table.name +
        QStringLiteral("]\nПрочитали рядов: ") + QString::number(row + 1) + QStringLiteral(" и полей: ") +
        QString::number(field) + QStringLiteral("\nОжидали прочитать рядов ") + QString::number(rowCount) +
        QStringLiteral(" и полей: ") + QString::number(fieldsPerRow);
}

// A driver that fails a read without naming an error must not pass for the
// end of the table: the rows after it would be lost without a word.
QString failureWithoutCode(const TableInfo& table, int row, int field)
{
    return QStringLiteral("Ошибка чтения таблицы ") + QString::number(table.id) + QStringLiteral(" - [") + table.name +
        QStringLiteral("]\nДрайвер ККТ не прочитал ряд ") + QString::number(row + 1) + QStringLiteral(", поле ") +
        QString::number(field + 1) + QStringLiteral(" и не сообщил код ошибки");
}

// "Клише: строка 3 из 6"; without a known end, the most rows the table may have:
// "База товаров: прочитано строк 120 из 65536".
QString readingText(const TableInfo& table, int done)
{
    if (!TableRows::described(table))
        return QStringLiteral("%1: прочитано строк %2 из %3").arg(table.name).arg(done).arg(TableRows::expected(table));
    return QStringLiteral("%1: строка %2 из %3").arg(table.name).arg(done).arg(TableRows::expected(table));
}

// The register answered every row up to the most a table can have without
// saying where its table ends: the rows after them, if any, were not read.
QString readInPart(const TableInfo& table, int rows)
{
    return QStringLiteral("Ошибка чтения таблицы ") + QString::number(table.id) + QStringLiteral(" - [") + table.name +
        QStringLiteral("]\nТаблица прочитана не полностью: прочитано рядов: ") + QString::number(rows) +
        QStringLiteral(", а ККТ не сообщила о конце таблицы");
}

QString untilZero(const QByteArray& raw)
{
    return QString::fromUtf8(raw.constData(), int(qstrnlen(raw.constData(), uint(raw.size()))));
}

// A value that the decoder handed back as the reused buffer itself gets a
// buffer of its own, of its exact size: the cell outlives the buffer's use.
QByteArray detached(const QByteArray& value, const QByteArray& buffer)
{
    if (value.isEmpty() || value.constData() != buffer.constData())
        return value;
    return QByteArray(value.constData(), value.size());
}

int cancelled(const TableInfo& table, int row)
{
    qInfo().noquote().nospace() << "Table " << table.id << " read cancelled at row " << row + 1;
    return TableReadEngine::Cancelled;
}

} // namespace

TableReadEngine::TableReadEngine(const RegisterLink& link)
    : m_link(link)
{
}

int TableReadEngine::read(const TableInfo& table, DataRows& rows, unsigned& cellCount, QString& errorText,
                          ProgressReporter* progress)
{
    qDebug().noquote().nospace() << "readTableData() BEGIN, TableID = " << table.id;

    const bool transposed = table.type == TransposedList;
    const int rowCount = TableRows::expected(table);
    const int fieldsPerRow = transposed ? 1 : table.fields.size();
    // Without row captions the register's end is found by reading past it.
    const bool knownEnd = TableRows::described(table);
    ProgressReporter none;
    ProgressReporter& report = progress ? *progress : none;
    // Without a known end the bar runs without a range, showing the text alone.
    report.setRange(0, knownEnd ? rowCount : 0);
    report.setText(readingText(table, 0));

    // The rows done that the reporter has heard of; it hears when it is due
    // and once more at the end.
    int shown = 0;
    auto show = [&](int done) {
        if (done == shown)
            return;
        report.setText(readingText(table, done));
        report.setValue(done);
        shown = done;
    };
    // The window paints and hears a cancel between requests, when due.
    auto pace = [&](int done) {
        if (!report.due())
            return;
        show(done);
        QCoreApplication::processEvents();
    };

    for (int r = 0; r < rowCount; ++r) {
        DataRow row;
        row.reserve(table.fastRead ? table.fields.size() + 1 : fieldsPerRow + 1);
        for (int c = 0; c < fieldsPerRow; ++c) {
            pace(r);
            if (readRaw(table.id, unsigned(r + 1), table.fastRead ? 0u : unsigned(c + 1)) != 0) {
                const int code = m_link.driver().errorCode(m_link.handle());
                if (code == LIBTILLO_ERROR_ROW_BEYOND || code == LIBTILLO_ERROR_FIELD_BEYOND) {
                    qInfo().noquote().nospace() << "Table readed, total " << cellCount << " cells" << " Row = " << r
                                                << " Col = " << c;
                    if (c == 0) {
                        show(r);
                        return 0;
                    }
                    errorText += endOfTableInsideRow(table, r, c, rowCount, fieldsPerRow);
                    return -1;
                }
                if (code == 0) {
                    errorText += failureWithoutCode(table, r, c);
                    return -1;
                }
                return code;
            }

            if (table.fastRead) {
                qCDebug(readRowLog).noquote().nospace() << "CELL READED. TableID = " << table.id << " row = " << r
                                                        << " col = " << c << " strRawValue = <" << untilZero(m_raw)
                                                        << ">";
                cutRow(table, r, m_raw, row, cellCount);
                break;
            }
            qDebug().noquote().nospace() << "CELL READED. TableID = " << table.id << " row = " << r << " col = " << c
                                         << " strRawValue = <" << untilZero(m_raw) << ">";

            const FieldInfo& field = table.fields.at(transposed ? r : c);
            row.append(Cell(decodePiece(field, m_raw, true), false));
            ++cellCount;
            if (report.cancelRequested())
                return cancelled(table, r);
        }
        const QByteArray label = rowLabel(r + 1);
        // A code that repeats its row's number, as a commodity's does, shares
        // the label's buffer: the pool holds only a few thousand values.
        for (Cell& cell : row) {
            if (cell.value.size() == label.size() && !cell.value.isSharedWith(label) && cell.value == label)
                cell.value = label;
        }
        row.append(Cell(label, false));
        rows.append(row);
        pace(r + 1);
        if (report.cancelRequested())
            return cancelled(table, r);
    }
    show(rowCount);

    // Without row captions the table should have ended by now: ask for one
    // row more, which a complete table answers with its end.
    if (!transposed && table.rowNames.isEmpty() && fieldsPerRow > 0) {
        const bool ended = readRaw(table.id, unsigned(rowCount + 1), table.fastRead ? 0u : 1u) != 0
            && (m_link.driver().errorCode(m_link.handle()) == LIBTILLO_ERROR_ROW_BEYOND
                || m_link.driver().errorCode(m_link.handle()) == LIBTILLO_ERROR_FIELD_BEYOND);
        if (!ended) {
            errorText += readInPart(table, rowCount);
            qInfo().noquote() << errorText;
            return -1;
        }
    }

    qInfo().noquote().nospace() << "Table readed, total " << cellCount << " cells.";
    return 0;
}

int TableReadEngine::readRow(const TableInfo& table, unsigned registerRow, const QVector<int>& columns,
                             DataRow& row, QString& errorText)
{
    const bool transposed = table.type == TransposedList;
    const int columnCount = transposed ? 1 : table.fields.size();
    row = DataRow(columnCount);
    const int r = int(registerRow) - 1;
    auto failed = [&](int column) {
        const int code = m_link.driver().errorCode(m_link.handle());
        if (code != 0)
            return code;
        errorText += failureWithoutCode(table, r, column);
        return -1;
    };
    unsigned cellCount = 0;
    if (table.fastRead) {
        if (readRaw(table.id, registerRow, 0) != 0)
            return failed(0);
        if (!transposed || r < table.fields.size()) {
            DataRow cells;
            cutRow(table, r, m_raw, cells, cellCount);
            row = cells;
        }
    } else {
        for (const int column : columns) {
            const int fieldIndex = transposed ? r : column;
            if (column < 0 || column >= columnCount || fieldIndex < 0 || fieldIndex >= table.fields.size())
                continue;
            if (readRaw(table.id, registerRow, unsigned(column + 1)) != 0)
                return failed(column);
            row[column] = Cell(detached(m_link.decode(table.fields.at(fieldIndex), m_raw, true), m_raw), false);
        }
    }
    row.append(Cell(QByteArray::number(registerRow), false));
    return 0;
}

int TableReadEngine::readRaw(unsigned table, unsigned row, unsigned field)
{
    m_link.driver().setParamInt(m_link.handle(), LIBTILLO_PARAM_TABLE, table);
    m_link.driver().setParamInt(m_link.handle(), LIBTILLO_PARAM_ROW, row);
    m_link.driver().setParamInt(m_link.handle(), LIBTILLO_PARAM_FIELD, field);
    const int result = m_link.driver().readDeviceSettingRaw(m_link.handle());
    if (result != 0)
        return result;
    fetchValue();
    return 0;
}

void TableReadEngine::fetchValue()
{
    // The buffer keeps its capacity from one request to the next: a row costs
    // no allocation of its own once the first one has been read.
    m_raw.resize(InitialValueSize);
    int length = m_link.driver().getParamByteArray(m_link.handle(), LIBTILLO_PARAM_VALUE,
                                                   reinterpret_cast<unsigned char*>(m_raw.data()), m_raw.size());
    if (length > m_raw.size()) {
        m_raw.resize(qMin(length, LargestValue));
        length = m_link.driver().getParamByteArray(m_link.handle(), LIBTILLO_PARAM_VALUE,
                                                   reinterpret_cast<unsigned char*>(m_raw.data()), m_raw.size());
    }
    // Never more than the buffer holds, whatever length the library reports.
    m_raw.resize(std::clamp(length, 0, m_raw.size()));
}

void TableReadEngine::cutRow(const TableInfo& table, int row, const QByteArray& raw, DataRow& cells, unsigned& cellCount)
{
    const bool transposed = table.type == TransposedList;
    const int first = transposed ? row : 0;
    const int last = transposed ? row + 1 : table.fields.size();
    int offset = 0;
    for (int i = first; i < last; ++i) {
        const FieldInfo& field = table.fields.at(i);
        if (!FieldInfo::isValidDeviceType(field.m_deviceType)) {
            qDebug() << "ERROR in FieldInfo::DeviceType";
            cells.append(Cell());
            ++cellCount;
            continue;
        }
        const int width = qMin(field.rowWidth(), int(FieldInfo::LongestText));
        const int present = std::clamp(raw.size() - offset, 0, width);
        if (present == width) {
            // A number's text comes from the row's bytes as they stand.
            char number[ValueCodec::NumberTextSize];
            const int length = ValueCodec::decodeNumber(field, raw.constData() + offset, width, number);
            if (length >= 0) {
                offset += width;
                cells.append(Cell(m_pool.shared(number, length), false));
                ++cellCount;
                continue;
            }
        }
        // One reused buffer for the other pieces; missing bytes count as zero bytes.
        m_piece.resize(width);
        std::memcpy(m_piece.data(), raw.constData() + offset, size_t(present));
        std::memset(m_piece.data() + present, 0, size_t(width - present));
        offset += width;
        cells.append(Cell(decodePiece(field, m_piece, false), false));
        ++cellCount;
    }
}

QByteArray TableReadEngine::rowLabel(int registerRow)
{
    char digits[ValueCodec::NumberTextSize];
    return m_pool.shared(digits, ValueCodec::decimalDigits(uint64_t(registerRow), digits));
}

QByteArray TableReadEngine::decodePiece(const FieldInfo& field, const QByteArray& piece, bool internalCodec)
{
    // A number's text needs no array of its own to be looked up in the pool.
    char number[ValueCodec::NumberTextSize];
    const int length = ValueCodec::decodeNumber(field, piece.constData(), piece.size(), number);
    if (length >= 0)
        return m_pool.shared(number, length);
    return m_pool.shared(detached(m_link.decode(field, piece, internalCodec), piece));
}
