#include "JournalDlg.h"

#include "CommandHost.h"
#include "DelayedProgress.h"
#include "JournalReport.h"
#include "JournalRevertCommand.h"

#include "common/Product.h"
#include "dialogs/MessageBox.h"
#include "table/TableModel.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

void setUpList(QTableView* table, const char* objectName)
{
    table->setObjectName(QLatin1String(objectName));
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
}

QTableWidget* listTable(QWidget* parent, const char* objectName, const QStringList& headers)
{
    auto* table = new QTableWidget(0, headers.size(), parent);
    table->setHorizontalHeaderLabels(headers);
    setUpList(table, objectName);
    return table;
}

// Columns as wide as their texts (of the rows in view), the last one filling the rest, after every refill.
void fitColumns(QTableView* table)
{
    table->resizeColumnsToContents();
    table->horizontalHeader()->setStretchLastSection(false);
    table->horizontalHeader()->setStretchLastSection(true);
}

void setRow(QTableWidget* table, int row, const QStringList& texts)
{
    for (int column = 0; column < texts.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(texts.at(column)));
}

} // namespace

JournalDlg::JournalDlg(CommandHost& host, const JournalFolder& journal, QWidget* parent)
    : QDialog(parent), m_host(host), m_journal(journal)
{
    setWindowTitle(QStringLiteral("Журнал изменений"));
    resize(900, 560);

    m_serialBox = new QComboBox(this);
    m_serialBox->setObjectName(QStringLiteral("serialBox"));
    m_writesTable = listTable(this, "writesTable",
                              {QStringLiteral("Время"), QStringLiteral("Программа"), QStringLiteral("Запись"),
                               QStringLiteral("Таблицы"), QStringLiteral("Ячеек")});
    m_cells = new JournalCellsModel(
        [this](const JournalRecord& record, const JournalRecord::CellChange& cell) { return shownField(record, cell); },
        this);
    m_cellsTable = new QTableView(this);
    m_cellsTable->setModel(m_cells);
    setUpList(m_cellsTable, "cellsTable");
    m_revertButton = new QPushButton(QStringLiteral("Вернуть"), this);
    m_revertButton->setObjectName(QStringLiteral("revertButton"));
    m_revertButton->setAutoDefault(false);
    m_reportButton = new QPushButton(QStringLiteral("Отчёт…"), this);
    m_reportButton->setObjectName(QStringLiteral("reportButton"));
    m_reportButton->setAutoDefault(false);
    // Several writes may go into one report; the cells shown are the first one's.
    m_writesTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_loadProgress = new QProgressBar(this);
    m_loadProgress->setObjectName(QStringLiteral("loadProgress"));
    m_loadProgress->setFormat(QStringLiteral("Чтение журнала: %p%"));
    m_loadProgress->hide();
    auto* closeButton = new QPushButton(QStringLiteral("Закрыть"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    // Each field is named by its label, the drop-down also by a name of its
    // own: a screen reader would otherwise name it by the chosen number.
    m_serialBox->setAccessibleName(QStringLiteral("Заводской номер ККТ"));
    m_writesTable->setAccessibleName(QStringLiteral("Записи в ККТ"));
    m_cellsTable->setAccessibleName(QStringLiteral("Ячейки записи"));
    const auto labelFor = [this](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        return label;
    };
    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(labelFor(QStringLiteral("Заводской номер ККТ:"), m_serialBox));
    serialRow->addWidget(m_serialBox, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_revertButton);
    buttons->addWidget(m_reportButton);
    buttons->addWidget(m_loadProgress, 1);
    buttons->addStretch(1);
    buttons->addWidget(closeButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(serialRow);
    layout->addWidget(labelFor(QStringLiteral("Записи в ККТ, сначала новые:"), m_writesTable));
    layout->addWidget(m_writesTable, 1);
    layout->addWidget(labelFor(QStringLiteral("Ячейки записи:"), m_cellsTable));
    layout->addWidget(m_cellsTable, 2);
    layout->addLayout(buttons);

    QStringList serials = m_journal.serialNumbers();
    const QString shown = m_host.shownRegister().serialNumber;
    if (!shown.isEmpty() && !serials.contains(shown))
        serials.prepend(shown);
    m_serialBox->addItems(serials);
    if (!shown.isEmpty())
        m_serialBox->setCurrentText(shown);

    QMetaObject::connectSlotsByName(this);
    showWrites();
}

void JournalDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The list first: the chosen write's cells once the dialog is painted.
    if (m_cellsPending)
        QTimer::singleShot(0, this, &JournalDlg::showCells);
}

void JournalDlg::on_serialBox_currentIndexChanged(int)
{
    showWrites();
}

void JournalDlg::on_writesTable_itemSelectionChanged()
{
    showCells();
}

void JournalDlg::showWrites()
{
    QList<JournalFolder::WritePlace> places;
    if (!m_serialBox->currentText().isEmpty()) {
        DelayedProgress progress(m_loadProgress);
        places = m_journal.indexWrites(m_serialBox->currentText(), nullptr, &progress);
    }
    // Set after the index: the events shown meanwhile may still choose among the old writes.
    m_places = places;
    m_loadedPlace = -1;
    m_loaded = RecordedWrite();
    m_writesTable->clearContents();
    m_writesTable->setRowCount(m_places.size());
    for (int i = 0; i < m_places.size(); ++i) {
        const JournalFolder::WritePlace& place = m_places.at(i);
        QStringList tables;
        for (int t = 0; t < place.tableNumbers.size(); ++t) {
            tables << QString::number(place.tableNumbers.at(t));
            if (!place.confirmed.value(t, true))
                tables.last() += QStringLiteral(" (%1)").arg(JournalRecord::unconfirmedNote());
        }
        setRow(m_writesTable, i,
               {place.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                place.program + QLatin1Char(' ') + place.version, place.id, tables.join(QStringLiteral(", ")),
                QString::number(place.cellCount)});
    }
    fitColumns(m_writesTable);
    if (!m_places.isEmpty())
        m_writesTable->selectRow(0);
    showCells();
}

const RecordedWrite& JournalDlg::chosenWrite()
{
    const int index = currentWrite();
    if (index != m_loadedPlace) {
        DelayedProgress progress(m_loadProgress);
        m_loaded = index < 0 ? RecordedWrite() : m_journal.load(m_places.at(index));
        m_loadedPlace = index;
    }
    return m_loaded;
}

const FieldInfo* JournalDlg::shownField(const JournalRecord& record, const JournalRecord::CellChange& cell)
{
    // The tabs' description when they show this register, as it was read; else the model's file.
    if (m_serialBox->currentText() == m_host.shownRegister().serialNumber) {
        QList<TableInfo> tabs;
        for (const TableModel* model : m_host.tableModels()) {
            if (model && model->tableNumber() == record.tableNumber)
                tabs << model->tableInfo();
        }
        if (const FieldInfo* field = JournalFields::field(tabs, record.tableNumber, cell))
            return field;
    }
    return JournalFields::field(m_fields.description(record.modelCode), record.tableNumber, cell);
}

int JournalDlg::currentWrite() const
{
    const QList<int> rows = chosenRows();
    return rows.isEmpty() ? -1 : rows.first();
}

QList<int> JournalDlg::chosenRows() const
{
    QList<int> rows;
    for (const QModelIndex& index : m_writesTable->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void JournalDlg::showCells()
{
    m_cellsPending = !isVisible();
    m_reportButton->setEnabled(!chosenRows().isEmpty());
    if (m_cellsPending) {
        m_revertButton->setEnabled(false);
        return;
    }
    m_cellsTable->clearSpans();
    const RecordedWrite& write = chosenWrite();
    m_revertButton->setEnabled(!write.isEmpty() && chosenRows().size() == 1);
    if (currentWrite() >= 0 && write.isEmpty()) {
        m_cells->setUnread(
            QStringLiteral("Ячейки записи не прочитаны: её строки в журнале повреждены или журнал изменился"),
            QDir::toNativeSeparators(m_journal.filePath(m_serialBox->currentText())));
        m_cellsTable->setSpan(0, 0, 1, m_cells->columnCount());
        return;
    }
    m_cells->setWrite(write);
    m_cellsTable->scrollToTop();
    fitColumns(m_cellsTable);
}

void JournalDlg::on_reportButton_clicked()
{
    QList<int> rows = chosenRows();
    if (rows.isEmpty())
        return;
    std::reverse(rows.begin(), rows.end()); // the oldest first, as they were made
    QList<RecordedWrite> writes;
    {
        DelayedProgress progress(m_loadProgress);
        for (const int row : qAsConst(rows)) {
            RecordedWrite write = m_journal.load(m_places.at(row));
            if (write.isEmpty()) {
                MessageBox::critical(this, product::displayName(),
                                     QStringLiteral("Отчёт не составлен: строки записи %1 в журнале %2 повреждены или "
                                                    "журнал изменился")
                                         .arg(m_places.at(row).id,
                                              QDir::toNativeSeparators(m_journal.filePath(m_places.at(row).serialNumber))));
                return;
            }
            writes << write;
        }
    }
    JournalReport::show(m_host, writes, this);
}

void JournalDlg::on_revertButton_clicked()
{
    const RecordedWrite write = chosenWrite();
    if (write.isEmpty())
        return;
    const QString question = QStringLiteral("Вернуть ячейкам записи %1 от %2 значения, которые были до неё?\n"
                                            "Ячеек: %3, таблицы: %4.")
                                 .arg(write.id(),
                                      write.first().time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                      QString::number(write.cellCount()), write.tableNumbers().join(QStringLiteral(", ")));
    if (!MessageBox::question(this, product::displayName(), question))
        return;
    JournalRevertCommand(m_host).run(write);
    // The revert is a write of its own: it comes first now.
    showWrites();
}
