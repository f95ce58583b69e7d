// The read commands of the main window: bring the selected tables of the
// register into tabs.

#include "BusyIndicator.h"
#include "MainWindow.h"
#include "RegisterIdentification.h"
#include "TableSelection.h"
#include "ui_MainWindow.h"

#include "device/KKT_Logic.h"
#include "model/TableInfo.h"
#include "table/TableModel.h"
#include "table/TableView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

QString readingText()
{
    return QStringLiteral("Подождите... Идет чтение");
}

} // namespace

void MainWindow::readFromRegister(ReadSelection which)
{
    clearTabs();
    BusyIndicator busy(readingText());
    KKT_Logic& logic = KKT_Logic::instance();

    RegisterIdentification identification;
    if (!identifyRegister(identification))
        return;

    const QList<TableInfo> selection = TableSelection::select(identification.tables(), which);

    uint32_t tablesRead = 0;
    uint32_t cellsRead = 0;
    const bool complete = readTables(selection, tablesRead, cellsRead);
    logic.close();
    if (!complete)
        return;

    ui->writeButton->setEnabled(true);
    m_statusLabel->setText(QStringLiteral("Успешно прочитано ") + QString::number(cellsRead) + QStringLiteral(" ячеек в ") +
                           QString::number(tablesRead) + QStringLiteral(" таблицах"));
    m_infoLabel->setText(tr("%1, %2").arg(m_modelName, m_serialNumber));
}

bool MainWindow::readTables(const QList<TableInfo>& selection, uint32_t& tablesRead, uint32_t& cellsRead)
{
    BusyIndicator busy(readingText());
    busy.offerCancel();
    tablesRead = 0;
    cellsRead = 0;

    KKT_Logic& logic = KKT_Logic::instance();
    for (const TableInfo& table : selection) {
        DataRows rows;
        QString errorText;
        unsigned cells = cellsRead;
        const int result = logic.readTableData(table, rows, cells, errorText);
        cellsRead = cells;

        if (KKT_Logic::cancelRequested) {
            m_statusLabel->setText(QStringLiteral("Операция чтения прервана пользователем"));
            return false;
        }
        if (result == -1) {
            showError(errorText);
            m_statusLabel->setText(errorText);
            return false;
        }
        if (result != 0) {
            showDriverError();
            m_statusLabel->setText(logic.lastErrorText());
            return false;
        }
        addTableTab(table, rows);
        ++tablesRead;
    }
    return true;
}

void MainWindow::addTableTab(const TableInfo& table, const DataRows& rows)
{
    auto* page = new QWidget;
    auto* view = new TableView(table, page);
    // Without a parent: the view takes it and it goes with the view's page.
    auto* model = new TableModel(table, rows);
    // The view paints cells the rows cannot fill: the model shows them empty
    // and says why once; the reason belongs in the status bar.
    connect(model, &TableModel::displayError, m_statusLabel, &QLabel::setText);
    view->setModel(model);
    view->setEditTriggers(QAbstractItemView::AllEditTriggers);

    auto* layout = new QHBoxLayout(page);
    layout->setObjectName(QStringLiteral("horizontalLayout"));
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    ui->tabWidget->addTab(page, table.name);
}

bool MainWindow::identifyRegister(RegisterIdentification& identification)
{
    const RegisterIdentification::Outcome outcome = identification.run();
    if (outcome == RegisterIdentification::DriverFailed) {
        showDriverError();
        KKT_Logic::instance().close();
        return false;
    }
    m_modelId = identification.modelId();
    m_modelName = identification.modelName();
    m_serialNumber = identification.serialNumber();
    if (outcome == RegisterIdentification::DescriptionRefused) {
        showError(identification.failureText());
        KKT_Logic::instance().close();
        return false;
    }
    return true;
}
