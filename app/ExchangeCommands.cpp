// The export and import commands of the main window: tabs to CSV files and a
// CSV file into a tab.

#include "BusyIndicator.h"
#include "ExportFileName.h"
#include "MainWindow.h"
#include "RegisterIdentification.h"
#include "ui_MainWindow.h"

#include "common/Errors.h"
#include "common/FileDialog.h"
#include "device/KKT_Logic.h"
#include "exchange/CsvExchange.h"
#include "model/TableInfo.h"
#include "table/TableModel.h"

#include <QDebug>
#include <QDir>
#include <QLabel>
#include <QTableView>

namespace {

QString csvFilter()
{
    return QStringLiteral("Images (*.csv);;All files (*.*)");
}

QString cancelledText()
{
    return QStringLiteral("Операция была отменена");
}

QString waitText()
{
    return QStringLiteral("Подождите...");
}

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The table model of the first table view on a page; nullptr when there is none.
TableModel* pageModel(QWidget* page)
{
    if (!page)
        return nullptr;
    auto* view = page->findChild<QTableView*>();
    return view ? qobject_cast<TableModel*>(view->model()) : nullptr;
}

} // namespace

TableModel* MainWindow::currentTableModel()
{
    TableModel* model = pageModel(ui->tabWidget->currentWidget());
    if (!model)
        throw RunTimeError(QStringLiteral("Не выбрано ни одной таблицы"));
    return model;
}

void MainWindow::on_actionExportAll_triggered()
{
    qDebug() << "on_actionExportAll_triggered";
    const QString dir = FileDialog::getExistingDirectory(this, tr("Open Directory"), QStringLiteral("/"),
                                                         QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (dir.isEmpty()) {
        m_statusLabel->setText(cancelledText());
        return;
    }

    BusyIndicator busy(waitText());
    CsvExchange exchange;
    try {
        for (int i = 0; i < ui->tabWidget->count(); ++i) {
            TableModel* model = pageModel(ui->tabWidget->widget(i));
            if (!model)
                throw RunTimeError(QStringLiteral("Нет доступных таблиц"));
            const QString path = ExportFileName::path(dir, m_serialNumber, model->tableNumber());
            exchange.exportTable(path, *model);
        }
        m_statusLabel->setText(QStringLiteral("Операция успешно завершена"));
    } catch (const RunTimeError& error) {
        m_statusLabel->setText(error.message());
    }
}

void MainWindow::on_actionExportCurrent_triggered()
{
    qDebug() << "on_actionExportCurrent_triggered";
    const QString path = FileDialog::getSaveFileName(this, tr("Сохранить файл"), QDir::currentPath(), csvFilter());
    if (path.isEmpty()) {
        m_statusLabel->setText(cancelledText());
        return;
    }

    BusyIndicator busy(waitText());
    CsvExchange exchange;
    try {
        exchange.exportTable(path, *currentTableModel());
        m_statusLabel->setText(QStringLiteral("Файл %1 успешно сохранен").arg(fileNameOf(path)));
    } catch (const RunTimeError& error) {
        m_statusLabel->setText(error.message());
    }
}

void MainWindow::on_pbtnLoadFromFile_clicked()
{
    // Asked before the file is chosen, so that a "no" leaves everything as it was.
    if (!confirmDiscardChanges())
        return;
    const QString path = FileDialog::getOpenFileName(this, tr("Открыть файл"), QDir::currentPath(), csvFilter());
    if (path.isEmpty()) {
        m_statusLabel->setText(cancelledText());
        return;
    }

    clearTabs();
    BusyIndicator busy(waitText());
    KKT_Logic& logic = KKT_Logic::instance();

    RegisterIdentification identification;
    if (!identifyRegister(identification))
        return;

    try {
        CsvExchange exchange;
        TableInfo matched;
        const DataRows rows = exchange.importTable(path, identification.tables(), matched);
        addTableTab(matched, rows);
        m_statusLabel->setText(QStringLiteral("Успешно прочитан файл %1 ").arg(fileNameOf(path)));
        ui->writeButton->setEnabled(true);
    } catch (const RunTimeError& error) {
        m_statusLabel->setText(error.message());
    }
    logic.close();
}
