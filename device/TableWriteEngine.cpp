#include "TableWriteEngine.h"

#include "DriverLibrary.h"
#include "ProgressReporter.h"
#include "RegisterAddress.h"
#include "ValueCheck.h"
#include "WriteCellLog.h"
#include "model/TableInfo.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPair>
#include <QVector>

#include <utility>


namespace {

const int WriteRefused = 6;
const int CellRefused = -1;

QString cellError(const TableInfo& table, const QString& place, int field, const QString& why)
{
    return QStringLiteral("Ошибка записи таблицы %1 - [%2]\n%3, поле %4: %5")
        .arg(QString::number(table.id), table.name, place, QString::number(field), why);
}

// "Клише: строка 3 из 6, записано ячеек 2".
QString writingText(const TableInfo& table, int done, int total, int cells)
{
    return QStringLiteral("%1: строка %2 из %3, записано ячеек %4").arg(table.name).arg(done).arg(total).arg(cells);
}

QString registerRowText(unsigned row)
{
    return QStringLiteral("Ряд %1").arg(row);
}

int cancelled(const TableInfo& table, int cellsSent)
{
    qInfo().noquote().nospace() << "Table " << table.id << " write cancelled before its commit, cells sent: "
                                << cellsSent;
    return TableWriteEngine::Cancelled;
}

} // namespace

TableWriteEngine::TableWriteEngine(const RegisterLink& link)
    : m_link(link)
{
}

QString TableWriteEngine::encode(const TableInfo& table, const RegisterAddress& address, const ValueCheck& check,
                                 const DataRows& rows, int i, int j, EncodedCell& cell)
{
    const unsigned registerRow = address.registerRow(i);
    const int fieldNumber = j + 1;
    if (registerRow == 0) {
        return cellError(table, QStringLiteral("Строка %1").arg(i + 1), fieldNumber,
                         QStringLiteral("метка строки \"%1\" не является номером ряда ККТ")
                             .arg(QString::fromUtf8(rows.at(i).last().value)));
    }
    const FieldInfo* field = address.field(i, j);
    if (!field)
        return cellError(table, registerRowText(registerRow), fieldNumber, QStringLiteral("в описании таблицы нет такого поля"));
    EncodedValue encoded = check.encode(*field, rows.at(i).at(j).value);
    if (!encoded.ok)
        return cellError(table, registerRowText(registerRow), fieldNumber, encoded.problem);
    cell = EncodedCell{i, j, registerRow, fieldNumber, std::move(encoded.bytes), rows.at(i).at(j).value};
    return QString();
}

int TableWriteEngine::write(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress,
                            QString& errorText) const
{
    qDebug() << "writeTableData() BEGIN, TableID = " << table.id;

    const RegisterAddress address(table, rows);
    const ValueCheck check(m_link.charsets());

    // Only the changed cells are visited: an unchanged one costs a look at its mark, nothing more.
    // Those before a cell that cannot be written are sent, that one and the rest not.
    QVector<EncodedCell> cells;
    QString refusal;
    for (int i = 0; i < rows.size() && refusal.isEmpty(); ++i) {
        const DataRow& row = rows.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (!row.at(j).changed)
                continue;
            EncodedCell cell;
            refusal = encode(table, address, check, rows, i, j, cell);
            if (!refusal.isEmpty())
                break;
            cells.append(std::move(cell));
        }
    }
    const int result = send(table, rows.size(), cells, progress, refusal.isEmpty());
    if (result != 0)
        return result;
    if (!refusal.isEmpty()) {
        errorText = refusal;
        qInfo() << "Error writing cell:" << errorText;
        return CellRefused;
    }
    for (const EncodedCell& cell : qAsConst(cells))
        rows[cell.row][cell.column].changed = false;
    cellCount += unsigned(cells.size());
    return 0;
}

int TableWriteEngine::send(const TableInfo& table, int rowCount, const QVector<EncodedCell>& cells,
                           ProgressReporter& progress, bool commit, const std::function<void()>& beforeCommit) const
{
    DriverLibrary& driver = m_link.driver();
    const libtillo_handle handle = m_link.handle();

    progress.setRange(0, rowCount);
    if (rowCount > 0)
        progress.setText(writingText(table, 0, rowCount, 0));
    // The rows done that the progress shows: those before the row of the cell at hand.
    int shown = 0;
    int sent = 0;
    auto show = [&](int done) {
        if (done == shown)
            return;
        progress.setText(writingText(table, done, rowCount, sent));
        progress.setValue(done);
        shown = done;
    };

    for (const EncodedCell& cell : cells) {
        // Before each request the window paints and hears a cancel, when due.
        if (progress.due()) {
            show(cell.row);
            QCoreApplication::processEvents();
        }
        if (progress.cancelRequested())
            return cancelled(table, sent);
        qCDebug(writeCellLog).noquote().nospace()
            << "row = " << cell.row << "; col = " << cell.column << " value = " << cell.value;

        driver.setParamInt(handle, LIBTILLO_PARAM_TABLE, table.id);
        driver.setParamInt(handle, LIBTILLO_PARAM_ROW, cell.registerRow);
        driver.setParamInt(handle, LIBTILLO_PARAM_FIELD, unsigned(cell.field));
        driver.setParamByteArray(handle, LIBTILLO_PARAM_VALUE,
                                 reinterpret_cast<const unsigned char*>(cell.bytes.constData()), cell.bytes.size());
        if (driver.writeDeviceSettingRaw(handle) != 0) {
            qInfo() << "Error writing cell";
            return WriteRefused;
        }
        ++sent;
    }
    if (!commit)
        return 0;
    // The end is always shown, with the cells written.
    if (rowCount > 0) {
        progress.setText(writingText(table, rowCount, rowCount, sent));
        progress.setValue(rowCount);
    }

    // A request that came while the last cell was sent still keeps the table uncommitted.
    if (progress.cancelRequested())
        return cancelled(table, sent);
    if (beforeCommit)
        beforeCommit();
    if (driver.commitSettings(handle) != 0) {
        qInfo() << "Error commit settings";
        return WriteRefused;
    }
    return 0;
}
