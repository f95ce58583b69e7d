#include "TableExportCommand.h"

#include "BusyIndicator.h"
#include "CommandHost.h"
#include "FileCommandTexts.h"

#include "common/Errors.h"
#include "dialogs/FileDialog.h"
#include "exchange/CsvExchange.h"
#include "exchange/ExportFileName.h"
#include "table/TableModel.h"

#include <QDebug>
#include <QDir>
#include <QObject>

void TableExportCommand::exportAll()
{
    qDebug() << "on_actionExportAll_triggered";
    RecentFolders& folders = m_host.recentFolders();
    const QString dir = FileDialog::getExistingDirectory(m_host.dialogParent(), QObject::tr("Open Directory"),
                                                         folders.start(RecentFolders::Export),
                                                         QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    folders.remember(RecentFolders::Export, dir, true);
    if (dir.isEmpty()) {
        m_host.setStatusText(FileCommandTexts::cancelled());
        return;
    }

    BusyIndicator busy(m_host, FileCommandTexts::wait());
    CsvExchange exchange;
    ExportFileName files(dir, m_host.shownRegister().serialNumber);
    try {
        for (TableModel* model : m_host.tableModels()) {
            if (!model)
                throw RunTimeError(QStringLiteral("Нет доступных таблиц"));
            const QString path = files.next(model->tableNumber());
            exchange.exportTable(path, model->tableInfo(), model->tableData());
        }
        m_host.setStatusText(QStringLiteral("Операция успешно завершена"));
    } catch (const RunTimeError& error) {
        m_host.setStatusText(error.message());
    }
}

void TableExportCommand::exportCurrent()
{
    qDebug() << "on_actionExportCurrent_triggered";
    RecentFolders& folders = m_host.recentFolders();
    const QString path = FileDialog::getSaveFileName(m_host.dialogParent(), QObject::tr("Сохранить файл"),
                                                     folders.start(RecentFolders::Export), FileCommandTexts::csvFilter());
    folders.remember(RecentFolders::Export, path, false);
    if (path.isEmpty()) {
        m_host.setStatusText(FileCommandTexts::cancelled());
        return;
    }

    BusyIndicator busy(m_host, FileCommandTexts::wait());
    CsvExchange exchange;
    try {
        const TableModel* model = m_host.currentTableModel();
        exchange.exportTable(path, model->tableInfo(), model->tableData());
        m_host.setStatusText(QStringLiteral("Файл %1 успешно сохранен").arg(FileCommandTexts::fileNameOf(path)));
    } catch (const RunTimeError& error) {
        m_host.setStatusText(error.message());
    }
}
