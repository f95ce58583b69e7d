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
#include <QFileInfo>
#include <QObject>

const TableModel* TableExportCommand::currentModel()
{
    try {
        return m_host.currentTableModel();
    } catch (const RunTimeError&) {
        return nullptr;
    }
}

void TableExportCommand::exportAll()
{
    qDebug() << "on_actionExportAll_triggered";
    RecentFolders& folders = m_host.recentFolders();
    const QString dir = FileDialog::getExistingDirectory(m_host.dialogParent(), QObject::tr("Папка для файлов таблиц"),
                                                         folders.start(RecentFolders::TableFiles),
                                                         QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    folders.remember(RecentFolders::TableFiles, dir, true);
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
    // The name proposed is the one the export of all (and the shell program) gives the table.
    QString proposed = folders.start(RecentFolders::TableFiles);
    if (const TableModel* shown = currentModel())
        proposed = ExportFileName::path(proposed, m_host.shownRegister().serialNumber, shown->tableNumber());
    QString path = FileDialog::getSaveFileName(m_host.dialogParent(), QObject::tr("Сохранить файл"), proposed,
                                               FileCommandTexts::csvFilter());
    folders.remember(RecentFolders::TableFiles, path, false);
    if (path.isEmpty()) {
        m_host.setStatusText(FileCommandTexts::cancelled());
        return;
    }
    // A name given without a suffix is a CSV file, so that the import's filter shows it.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");

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
