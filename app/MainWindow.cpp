#include "MainWindow.h"

#include "CommandProgress.h"
#include "FileImportCommand.h"
#include "ImportDifferencesCommand.h"
#include "JournalDlg.h"
#include "JournalReport.h"
#include "ProgramIcon.h"
#include "SnapshotCompareCommand.h"
#include "SnapshotRestoreCommand.h"
#include "SnapshotSaveCommand.h"
#include "StatusLabel.h"
#include "TableExportCommand.h"
#include "TableReadCommand.h"
#include "TableWriteCommand.h"
#include "ui_MainWindow.h"

#include "common/Errors.h"
#include "common/Product.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "dialogs/SettingsDlg.h"
#include "dialogs/ShortcutsDlg.h"
#include "settings/SettingsFile.h"
#include "table/CellColors.h"
#include "table/TableModel.h"
#include "table/TablePage.h"
#include "table/TableView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <memory>

namespace {

void setLegendColour(QLabel* label, const char* colour)
{
    label->setStyleSheet(QStringLiteral("QLabel { background-color:%1;}").arg(QLatin1String(colour)));
}

QAction* namedAction(QObject* parent, const char* objectName)
{
    auto* action = new QAction(parent);
    action->setObjectName(QLatin1String(objectName));
    return action;
}

void moveToMenu(QAction* action, QMenu* menu, QWidget* button, const QString& text)
{
    action->setParent(button);
    action->setText(text);
    menu->addAction(action);
}

// The table model of a tab's page; nullptr for a page that shows no table.
TableModel* pageModel(QWidget* page)
{
    auto* tablePage = qobject_cast<TablePage*>(page);
    return tablePage ? tablePage->tableModel() : nullptr;
}

const QString modifiedMark = QStringLiteral("*");

} // namespace

MainWindow::MainWindow(QWidget* parent, const QString& settingsPath)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_statusLabel(new StatusLabel)
    , m_infoLabel(new QLabel)
    , m_writeReportButton(new QPushButton(QStringLiteral("Отчёт…")))
{
    // The menu actions exist before the form so that its connect-by-name links
    // them to their slots; they move to the buttons that carry their menus below.
    m_actionReadAll = namedAction(this, "actionReadAll");
    m_actionReadCommodities = namedAction(this, "actionReadCommodities");
    m_actionReadAllExceptCommodities = namedAction(this, "actionReadAllExceptCommodities");
    QAction* exportAll = namedAction(this, "actionExportAll");
    QAction* exportCurrent = namedAction(this, "actionExportCurrent");
    QAction* snapshotSave = namedAction(this, "actionSnapshotSave");
    QAction* snapshotCompare = namedAction(this, "actionSnapshotCompare");
    QAction* snapshotRestore = namedAction(this, "actionSnapshotRestore");
    // Reached by its key beside "Импорт" (the button itself stays a plain click)
    // and from the context menu of a tab imported from a file.
    namedAction(this, "actionImportDifferences")->setText(QStringLiteral("Отметить только отличия от ККТ"));

    ui->setupUi(this);
    setWindowIcon(ProgramIcon::icon());
    setLegendColour(ui->lblReserved, CellColors::reserved);
    setLegendColour(ui->lblEdited, CellColors::changed);
    setLegendColour(ui->lblReadOnly, CellColors::readOnly);
    setLegendColour(ui->lblSnapshotDiffers, CellColors::snapshotDiffers);

    m_statusLabel->setObjectName(QStringLiteral("m_statusLabel"));
    m_infoLabel->setObjectName(QStringLiteral("m_infoLabel"));
    ui->statusBar->addWidget(m_statusLabel, 1);
    // The report of the write just made, until the next command starts.
    m_writeReportButton->setObjectName(QStringLiteral("writeReportButton"));
    m_writeReportButton->setToolTip(tr("Отчёт о настройке ККТ этой записи"));
    ui->statusBar->addWidget(m_writeReportButton);
    connect(m_writeReportButton, &QPushButton::clicked, this, &MainWindow::showWriteReport);
    offerWriteReport(JournaledWrite());
    ui->statusBar->addPermanentWidget(m_infoLabel);
    qApp->setStyleSheet(QStringLiteral("QStatusBar::item { border: 0px}"));

    // Drops the form's placeholder tabs; nothing listens to the tab widget yet.
    clearTabs();

    m_progress = new CommandProgress(ui->statusBar);
    connect(m_progress, &CommandProgress::busyChanged, this, &MainWindow::setBusy);

    auto* readMenu = new QMenu(ui->readButton);
    moveToMenu(m_actionReadAll, readMenu, ui->readButton, tr("&Всё"));
    moveToMenu(m_actionReadCommodities, readMenu, ui->readButton, tr("&Базу товаров"));
    moveToMenu(m_actionReadAllExceptCommodities, readMenu, ui->readButton, tr("Всё, &кроме базы товаров"));
    ui->readButton->setMenu(readMenu);

    auto* exportMenu = new QMenu(ui->pbtnSaveToFile);
    moveToMenu(exportAll, exportMenu, ui->pbtnSaveToFile, tr("&Всё"));
    moveToMenu(exportCurrent, exportMenu, ui->pbtnSaveToFile, tr("&Текущую"));
    ui->pbtnSaveToFile->setMenu(exportMenu);

    auto* snapshotMenu = new QMenu(ui->snapshotButton);
    moveToMenu(snapshotSave, snapshotMenu, ui->snapshotButton, tr("&Сохранить снимок…"));
    moveToMenu(snapshotCompare, snapshotMenu, ui->snapshotButton, tr("С&равнить со снимком…"));
    moveToMenu(snapshotRestore, snapshotMenu, ui->snapshotButton, tr("&Восстановить из снимка…"));
    ui->snapshotButton->setMenu(snapshotMenu);

    // The first tab makes the current index 0, the last one gone makes it -1.
    connect(ui->tabWidget, &QTabWidget::currentChanged, this,
            [this](int current) { ui->pbtnSaveToFile->setEnabled(current >= 0); });
    addCommandKeys();

    KKT_Logic::instance().connect();

    m_settingsPath = settingsPath.isEmpty()
        ? SettingsFile::defaultPath()
        : settingsPath;
    loadSettings();
    restoreLayout();
}

MainWindow::~MainWindow()
{
    saveSettings();
    saveLayout();
    KKT_Logic::instance().destroy();
    delete ui;
}

void MainWindow::loadSettings()
{
    // Stored settings that cannot be read leave the driver with its defaults;
    // the file is set aside so that the settings stored at the end do not
    // replace it, and the user learns both once, in the status label.
    QString text;
    QString error;
    if (!SettingsFile::load(m_settingsPath, text, error)) {
        QString problem;
        const QString kept = SettingsFile::setAside(m_settingsPath, problem);
        m_statusLabel->setText(kept.isEmpty() ? QStringLiteral("%1. %2").arg(error, problem)
                                              : QStringLiteral("%1. Файл сохранен как %2").arg(error, kept));
        return;
    }
    KKT_Logic::instance().setSettings(text);
}

void MainWindow::saveSettings()
{
    // Without a driver there is no settings string to take: an empty one would
    // wipe the stored connection settings, so the file keeps what it holds.
    if (!DriverLibrary::instance().isLoaded() || !KKT_Logic::instance().handle())
        return;
    QString text;
    KKT_Logic::instance().getSettings(text);
    const QString notSaved = SettingsFile::save(m_settingsPath, text);
    if (!notSaved.isEmpty())
        qWarning().noquote() << notSaved;
}

void MainWindow::restoreLayout()
{
    m_layout = WindowLayout::load(m_settingsPath);
    if (!m_layout.geometry.isEmpty())
        restoreGeometry(m_layout.geometry);
}

void MainWindow::saveLayout()
{
    for (int i = 0; i < ui->tabWidget->count(); ++i)
        keepColumnWidths(ui->tabWidget->widget(i));
    m_layout.geometry = saveGeometry();
    const QString notSaved = m_layout.save(m_settingsPath);
    if (!notSaved.isEmpty())
        qWarning().noquote() << notSaved;
}

void MainWindow::keepColumnWidths(QWidget* page)
{
    auto* tablePage = qobject_cast<TablePage*>(page);
    if (!tablePage)
        return;
    const QList<int> widths = tablePage->view()->columnWidths();
    if (!widths.isEmpty())
        m_layout.columnWidths.insert(tablePage->tableModel()->tableNumber(), widths);
}

void MainWindow::showError(const QString& text)
{
    MessageBox::critical(this, product::displayName(), text);
    m_statusLabel->setMessage(QString());
}

void MainWindow::showDriverError()
{
    showError(KKT_Logic::instance().lastErrorText());
}

void MainWindow::clearTabs()
{
    m_statusLabel->setMessage(QString());
    m_infoLabel->clear();
    while (ui->tabWidget->count() > 0) {
        const int last = ui->tabWidget->count() - 1;
        QWidget* page = ui->tabWidget->widget(last);
        keepColumnWidths(page);
        ui->tabWidget->removeTab(last);
        delete page;
    }
    updateMarks();
}

void MainWindow::keepTabsAside()
{
    dropKeptTabs();
    m_keptTabs.current = ui->tabWidget->currentIndex();
    m_keptTabs.shown = shownRegister();
    m_keptTabs.info = m_infoLabel->text();
    while (ui->tabWidget->count() > 0) {
        // A page out of its tab stays a hidden child of the tab widget until
        // it comes back or goes; its column widths are kept for the new tabs.
        keepColumnWidths(ui->tabWidget->widget(0));
        m_keptTabs.pages.append({ui->tabWidget->widget(0), ui->tabWidget->tabText(0)});
        ui->tabWidget->removeTab(0);
    }
    clearTabs();
}

void MainWindow::putBackTabs()
{
    const KeptTabs kept = m_keptTabs;
    m_keptTabs = KeptTabs();
    clearTabs();
    for (const auto& page : kept.pages)
        ui->tabWidget->addTab(page.first, page.second);
    if (kept.current >= 0)
        ui->tabWidget->setCurrentIndex(kept.current);
    setShownRegister(kept.shown);
    m_infoLabel->setText(kept.info);
    updateMarks();
}

void MainWindow::dropKeptTabs()
{
    for (const auto& page : m_keptTabs.pages)
        delete page.first;
    m_keptTabs = KeptTabs();
}

void MainWindow::setBusy(bool busy)
{
    if (busy)
        m_focusBeforeBusy = QApplication::focusWidget();
    // Not the window itself: a disabled window disables every widget in it,
    // and the cancel button in the status bar must still take a click.
    centralWidget()->setEnabled(!busy);
    if (busy)
        offerWriteReport(JournaledWrite());
    else
        giveBackKeys();
}

void MainWindow::giveBackKeys()
{
    QWidget* before = m_focusBeforeBusy.data();
    m_focusBeforeBusy.clear();
    const bool beforeUsable = before && before->isVisible() && before->isEnabled() && isAncestorOf(before);
    if (beforeUsable && ui->tabWidget->isAncestorOf(before)) {
        before->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (TablePage* page = tablePage(ui->tabWidget->currentIndex())) {
        page->view()->setFocus(Qt::TabFocusReason);
        page->view()->chooseCurrentCell();
    } else if (beforeUsable) {
        before->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::offerWriteReport(const JournaledWrite& write)
{
    m_reportedWrite = write;
    // Disabled as well: the key of a hidden button must not click it.
    m_writeReportButton->setEnabled(!write.isEmpty());
    m_writeReportButton->setVisible(!write.isEmpty());
}

void MainWindow::showWriteReport()
{
    if (m_reportedWrite.isEmpty())
        return;
    const RecordedWrite write = m_reportedWrite.load();
    if (write.isEmpty()) {
        showError(QStringLiteral("Отчёт не составлен: запись %1 не найдена в журнале %2")
                      .arg(m_reportedWrite.id,
                           QDir::toNativeSeparators(m_reportedWrite.journal.filePath(m_reportedWrite.serialNumber))));
        return;
    }
    JournalReport::show(*this, {write}, this);
}

QString MainWindow::statusText() const
{
    return m_statusLabel->text();
}

QString MainWindow::infoText() const
{
    return m_infoLabel->text();
}

void MainWindow::addCommandKeys()
{
    // A key does what a click on its button does, and nothing while the button cannot be clicked.
    const auto addKey = [this](const char* name, const QString& text, const QKeySequence& key, QPushButton* button,
                               QAction* command) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        m_keyActions << action;
        connect(action, &QAction::triggered, this, [button, command] {
            if (!button->isEnabled())
                return;
            if (command)
                command->trigger();
            else
                button->click();
        });
        const QString keyText = key.toString(QKeySequence::NativeText);
        button->setToolTip(button->toolTip().isEmpty() ? QStringLiteral("%1 (%2)").arg(text, keyText)
                                                       : QStringLiteral("%1\n%2 (%3)").arg(button->toolTip(), text, keyText));
    };
    addKey("keyReadAll", tr("Прочитать из ККТ все таблицы"), QKeySequence(Qt::Key_F5), ui->readButton,
           m_actionReadAll);
    addKey("keyWrite", tr("Записать изменения в ККТ"), QKeySequence(Qt::CTRL | Qt::Key_S), ui->writeButton, nullptr);
    addKey("keyImport", tr("Импорт из файла"), QKeySequence(Qt::CTRL | Qt::Key_O), ui->pbtnLoadFromFile, nullptr);
    addKey("keyImportDifferences", tr("Отметить только отличия импорта от ККТ"),
           QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), ui->pbtnLoadFromFile,
           findChild<QAction*>(QStringLiteral("actionImportDifferences")));
    addKey("keyExportCurrent", tr("Экспорт текущей таблицы"), QKeySequence(Qt::CTRL | Qt::Key_E),
           ui->pbtnSaveToFile, findChild<QAction*>(QStringLiteral("actionExportCurrent")));
    addKey("keyExportAll", tr("Экспорт всех таблиц"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
           ui->pbtnSaveToFile, findChild<QAction*>(QStringLiteral("actionExportAll")));
    addKey("keyJournal", tr("Журнал изменений"), QKeySequence(Qt::CTRL | Qt::Key_J), ui->journalButton, nullptr);
    addKey("keyWriteReport", tr("Отчёт о последней записи в ККТ"), QKeySequence(Qt::CTRL | Qt::Key_P),
           m_writeReportButton, nullptr);

    // From inside a table as well: the table's own Tab keys stay in the table.
    const auto addTabKey = [this](const char* name, const QString& text, const QList<QKeySequence>& keys, int step) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        m_keyActions << action;
        connect(action, &QAction::triggered, this, [this, step] { stepTab(step); });
    };
    addTabKey("keyNextTab", tr("Следующая таблица"),
              {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, 1);
    addTabKey("keyPreviousTab", tr("Предыдущая таблица"),
              // The shortcut map takes Shift+Backtab, the key that Shift+Tab sends, for Shift+Tab.
              {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
              -1);

    auto* help = new QAction(tr("Горячие клавиши"), this);
    help->setObjectName(QStringLiteral("keyShortcuts"));
    help->setShortcut(QKeySequence(Qt::Key_F1));
    help->setShortcutContext(Qt::WindowShortcut);
    addAction(help);
    m_keyActions << help;
    connect(help, &QAction::triggered, this, &MainWindow::showShortcuts);
}

void MainWindow::showShortcuts()
{
    // The table commands as the current tab has them; without a tab, as a blank page has them.
    QList<QAction*> actions = m_keyActions;
    TablePage* page = tablePage(ui->tabWidget->currentIndex());
    std::unique_ptr<TablePage> blank;
    if (!page) {
        TableInfo table;
        table.type = Db;
        blank = std::make_unique<TablePage>(table, DataRows());
        page = blank.get();
    }
    actions << page->actions();
    // The buttons and their menus on their Alt letters.
    QObject mnemonics;
    for (QPushButton* button : ui->groupBoxActions->findChildren<QPushButton*>()) {
        const QKeySequence key = QKeySequence::mnemonic(button->text());
        if (key.isEmpty())
            continue;
        auto* action = new QAction(button->text(), &mnemonics);
        action->setShortcut(key);
        actions << action;
        if (!button->menu())
            continue;
        for (QAction* entry : button->menu()->actions()) {
            const QKeySequence letter = QKeySequence::mnemonic(entry->text());
            auto* item = new QAction(QStringLiteral("%1: %2").arg(button->text(), entry->text()), &mnemonics);
            item->setShortcut(QKeySequence(key[0], letter[0] & ~Qt::ALT));
            actions << item;
        }
    }
    auto* dialog = new ShortcutsDlg(actions, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void MainWindow::stepTab(int step)
{
    const int count = ui->tabWidget->count();
    if (count < 2 || !centralWidget()->isEnabled())
        return;
    ui->tabWidget->setCurrentIndex((ui->tabWidget->currentIndex() + step + count) % count);
    // The table takes the keys at once, its current cell chosen as by Tab.
    if (TablePage* page = tablePage(ui->tabWidget->currentIndex())) {
        page->view()->setFocus(Qt::TabFocusReason);
        page->view()->chooseCurrentCell();
    }
}

void MainWindow::on_settingsButton_clicked()
{
    // The dialog works on the driver instance; without the library there is none.
    if (!DriverLibrary::instance().isLoaded()) {
        showDriverError();
        return;
    }
    SettingsDlg dlg(KKT_Logic::instance().handle(), this);
    dlg.exec();
}

void MainWindow::on_cancelLoading()
{
    KKT_Logic::instance().requestCancel();
}

void MainWindow::on_actionReadAll_triggered()
{
    if (confirmDiscardChanges())
        TableReadCommand(*this).run(TableSelection::All);
}

void MainWindow::on_actionReadCommodities_triggered()
{
    if (confirmDiscardChanges())
        TableReadCommand(*this).run(TableSelection::Commodities);
}

void MainWindow::on_actionReadAllExceptCommodities_triggered()
{
    if (confirmDiscardChanges())
        TableReadCommand(*this).run(TableSelection::AllExceptCommodities);
}

void MainWindow::on_writeButton_clicked()
{
    TableWriteCommand write(*this);
    write.run();
    offerWriteReport(write.journaledWrite());
}

void MainWindow::on_actionExportAll_triggered()
{
    TableExportCommand(*this).exportAll();
}

void MainWindow::on_actionExportCurrent_triggered()
{
    TableExportCommand(*this).exportCurrent();
}

void MainWindow::on_pbtnLoadFromFile_clicked()
{
    FileImportCommand(*this).run();
}

void MainWindow::on_actionImportDifferences_triggered()
{
    ImportDifferencesCommand(*this).run();
}

void MainWindow::on_journalButton_clicked()
{
    JournalDlg dialog(*this, JournalFolder(), this);
    dialog.exec();
}

void MainWindow::on_actionSnapshotSave_triggered()
{
    SnapshotSaveCommand(*this).run();
}

void MainWindow::on_actionSnapshotCompare_triggered()
{
    SnapshotCompareCommand(*this).run();
}

void MainWindow::on_actionSnapshotRestore_triggered()
{
    SnapshotRestoreCommand(*this).run();
}

void MainWindow::setStatusText(const QString& text)
{
    m_statusLabel->setMessage(text);
}

void MainWindow::setInfoText(const QString& text)
{
    m_infoLabel->setText(text);
}

RegisterIdentity MainWindow::shownRegister() const
{
    RegisterIdentity identity;
    identity.modelCode = m_modelId;
    identity.modelName = m_modelName;
    identity.serialNumber = m_serialNumber;
    return identity;
}

void MainWindow::setShownRegister(const RegisterIdentity& identity)
{
    m_modelId = identity.modelCode;
    m_modelName = identity.modelName;
    m_serialNumber = identity.serialNumber;
}

TablePage* MainWindow::newTablePage(const TableInfo& table, const DataRows& rows)
{
    auto* page = new TablePage(table, rows);
    page->view()->setColumnWidths(m_layout.columnWidths.value(table.id));
    // The view paints cells the rows cannot fill: the model shows them empty
    // and says why once; that, and why an edit was refused, belongs in the status bar.
    connect(page, &TablePage::statusMessage, this, &MainWindow::setStatusText);
    connect(page, &TablePage::marksChanged, this, &MainWindow::updateMarks);
    page->setImportActions({findChild<QAction*>(QStringLiteral("actionImportDifferences"))});
    return page;
}

void MainWindow::addTableTab(const TableInfo& table, const DataRows& rows)
{
    ui->tabWidget->addTab(newTablePage(table, rows), table.name);
    updateMarks();
}

void MainWindow::replaceTableTab(int index, const TableInfo& table, const DataRows& rows)
{
    QWidget* old = ui->tabWidget->widget(index);
    if (!old)
        return;
    const bool current = ui->tabWidget->currentIndex() == index;
    keepColumnWidths(old);
    ui->tabWidget->insertTab(index, newTablePage(table, rows), table.name);
    ui->tabWidget->removeTab(index + 1);
    delete old;
    if (current)
        ui->tabWidget->setCurrentIndex(index);
    updateMarks();
}

TablePage* MainWindow::tablePage(int index) const
{
    return qobject_cast<TablePage*>(ui->tabWidget->widget(index));
}

void MainWindow::updateMarks()
{
    bool any = false;
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        TablePage* page = tablePage(i);
        if (!page)
            continue;
        const bool marked = page->hasMarkedCells();
        any = any || marked;
        const TableModel* model = page->tableModel();
        QString name = model->tableInfo().name;
        // A table compared with a snapshot names how many of its cells still differ from it.
        if (model->comparedWithSnapshot())
            name += QStringLiteral(" (%1)").arg(model->snapshotDifferenceCount());
        ui->tabWidget->setTabText(i, marked ? name + modifiedMark : name);
    }
    QString title = windowTitle();
    if (title.endsWith(modifiedMark))
        title.chop(modifiedMark.size());
    setWindowTitle(any ? title + modifiedMark : title);
    ui->writeButton->setEnabled(any);
}

QList<TableModel*> MainWindow::tableModels()
{
    QList<TableModel*> models;
    for (int i = 0; i < ui->tabWidget->count(); ++i)
        models.append(pageModel(ui->tabWidget->widget(i)));
    return models;
}

TableModel* MainWindow::currentTableModel()
{
    TableModel* model = pageModel(ui->tabWidget->currentWidget());
    if (!model)
        throw RunTimeError(QStringLiteral("Не выбрано ни одной таблицы"));
    return model;
}

bool MainWindow::hasUnwrittenChanges() const
{
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        const TableModel* model = pageModel(ui->tabWidget->widget(i));
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
