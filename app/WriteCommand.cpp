// The write command of the main window: send the edits of every tab back to
// the register; and the guard that keeps unwritten edits from being dropped
// without asking.

#include "BusyIndicator.h"
#include "MainWindow.h"
#include "Product.h"
#include "ui_MainWindow.h"

#include "common/MessageBox.h"
#include "device/KKT_Logic.h"
#include "table/TableModel.h"

#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QTableView>

namespace {

// The one table view of a tab's page and its model; nullptr when the page does not hold exactly one.
TableModel* tabModel(QWidget* page, QTableView** view = nullptr)
{
    if (!page)
        return nullptr;
    const QList<QTableView*> views = page->findChildren<QTableView*>();
    if (views.size() != 1)
        return nullptr;
    if (view)
        *view = views.first();
    return qobject_cast<TableModel*>(views.first()->model());
}

} // namespace

void MainWindow::on_writeButton_clicked()
{
    BusyIndicator busy(QStringLiteral("Подождите... Идет запись"));
    busy.offerCancel();
    KKT_Logic& logic = KKT_Logic::instance();

    int modelId = 0;
    if (logic.openAndIdentify(&modelId, nullptr, nullptr) != 0) {
        showDriverError();
        logic.close();
        return;
    }
    if (modelId != m_modelId) {
        showError(QStringLiteral("Ошибка - после чтения была подключена другая модель ККТ, выполните чтение из ККТ заново."));
        logic.close();
        return;
    }

    uint32_t cellsWritten = 0;
    uint32_t tablesWritten = 0;
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        QTableView* view = nullptr;
        TableModel* model = tabModel(ui->tabWidget->widget(i), &view);
        if (!model) {
            qDebug().noquote() << QStringLiteral("Error when finding QTableView on the tab ") + QString::number(i);
            logic.close();
            return;
        }

        const uint32_t before = cellsWritten;
        unsigned cells = cellsWritten;
        QString errorText;
        const int result = logic.writeTableData(model->tableInfo(), model->tableData(), cells, busy, errorText);
        cellsWritten = cells;
        // The marks were cleared in place; the view shows the cells as written.
        view->viewport()->update();

        if (KKT_Logic::cancelRequested) {
            m_statusLabel->setText(QStringLiteral("Операция записи прервана пользователем"));
            logic.close();
            return;
        }
        if (result == -1) {
            showError(errorText);
            m_statusLabel->setText(errorText);
            logic.close();
            return;
        }
        if (result != 0) {
            showDriverError();
            logic.close();
            return;
        }
        if (cellsWritten > before)
            ++tablesWritten;
    }
    logic.close();

    m_statusLabel->setText(QStringLiteral("Успешно записано ") + QString::number(cellsWritten) +
                           QStringLiteral(" ячеек в ") + QString::number(tablesWritten) + QStringLiteral(" таблицах"));
}

bool MainWindow::hasUnwrittenChanges() const
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        const TableModel* model = tabModel(ui->tabWidget->widget(i));
        if (model && model->hasChangedCells())
            return true;
    }
    return false;
}

bool MainWindow::confirmDiscardChanges()
{
    if (!hasUnwrittenChanges())
        return true;
    return MessageBox::question(this, product::displayName(),
                                QStringLiteral("Есть изменения, не записанные в ККТ. Продолжить без записи?"));
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (confirmDiscardChanges())
        event->accept();
    else
        event->ignore();
}
