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

int TableWriteEngine::write(const TableInfo& table, DataRows& rows, unsigned& cellCount, ProgressReporter& progress,
                            QString& errorText) const
{
    qDebug() << "writeTableData() BEGIN, TableID = " << table.id;

    DriverLibrary& driver = m_link.driver();
    const libtillo_handle handle = m_link.handle();
    const RegisterAddress address(table, rows);
    const ValueCheck check(m_link.charsets());

    // Only the changed cells are visited: an unchanged one costs a look at its mark, nothing more.
    QVector<QPair<int, int>> changed;
    const int rowCount = rows.size();
    for (int i = 0; i < rowCount; ++i) {
        const DataRow& row = rows.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (row.at(j).changed)
                changed.append({i, j});
        }
    }

    // Cells sent but not yet committed: their marks stay until the commit holds.
    QVector<QPair<int, int>> sent;
    sent.reserve(changed.size());

    progress.setRange(0, rowCount);
    if (rowCount > 0)
        progress.setText(writingText(table, 0, rowCount, 0));
    // The rows done that the progress shows: those before the row of the cell at hand.
    int shown = 0;
    auto show = [&](int done) {
        if (done == shown)
            return;
        progress.setText(writingText(table, done, rowCount, sent.size()));
        progress.setValue(done);
        shown = done;
    };

    for (const auto& position : qAsConst(changed)) {
        const int i = position.first;
        const int j = position.second;
        // Before each request the window paints and hears a cancel, when due.
        if (progress.due()) {
            show(i);
            QCoreApplication::processEvents();
        }
        if (progress.cancelRequested())
            return cancelled(table, sent.size());
        const Cell& cell = rows.at(i).at(j);
        qCDebug(writeCellLog).noquote().nospace() << "CELL WRITE. TableID = " << table.id << " row = " << i << " col = " << j
                                                   << " value = <" << cell.value << ">";

        const unsigned registerRow = address.registerRow(i);
        const int fieldNumber = j + 1;
        if (registerRow == 0) {
            errorText = cellError(table, QStringLiteral("Строка %1").arg(i + 1), fieldNumber,
                                  QStringLiteral("метка строки \"%1\" не является номером ряда ККТ")
                                      .arg(QString::fromUtf8(rows.at(i).last().value)));
            qInfo() << "Error writing cell:" << errorText;
            return CellRefused;
        }
        const FieldInfo* field = address.field(i, j);
        if (!field) {
            errorText = cellError(table, registerRowText(registerRow), fieldNumber,
                                  QStringLiteral("в описании таблицы нет такого поля"));
            qInfo() << "Error writing cell:" << errorText;
            return CellRefused;
        }
        const EncodedValue encoded = check.encode(*field, cell.value);
        if (!encoded.ok) {
            errorText = cellError(table, registerRowText(registerRow), fieldNumber, encoded.problem);
            qInfo() << "Error writing cell:" << errorText;
            return CellRefused;
        }

        driver.setParamInt(handle, LIBTILLO_PARAM_TABLE, table.id);
        driver.setParamInt(handle, LIBTILLO_PARAM_ROW, registerRow);
        driver.setParamInt(handle, LIBTILLO_PARAM_FIELD, unsigned(fieldNumber));
        driver.setParamByteArray(handle, LIBTILLO_PARAM_VALUE,
                                 reinterpret_cast<const unsigned char*>(encoded.bytes.constData()),
                                 encoded.bytes.size());
        if (driver.writeDeviceSettingRaw(handle) != 0) {
            qInfo() << "Error writing cell";
            return WriteRefused;
        }
        sent.append(position);
    }
    // The end is always shown, with the cells written.
    if (rowCount > 0) {
        progress.setText(writingText(table, rowCount, rowCount, sent.size()));
        progress.setValue(rowCount);
    }

    // A request that came while the last cell was sent still keeps the table uncommitted.
    if (progress.cancelRequested())
        return cancelled(table, sent.size());
    if (driver.commitSettings(handle) != 0) {
        qInfo() << "Error commit settings";
        return WriteRefused;
    }
    for (const auto& position : sent)
        rows[position.first][position.second].changed = false;
    cellCount += unsigned(sent.size());
    return 0;
}
