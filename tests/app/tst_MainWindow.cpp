#include "support/EmulatorImage.h"
#include "support/TestDriver.h"
#include "support/TestMain.h"

#include "app/BusyIndicator.h"
#include "app/MainWindow.h"
#include "common/Product.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace {

QStringList g_debugLines;

void recordDebugLine(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg)
        g_debugLines << message;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QList<MessageBox::Request> m_boxes;

    QString settingsFile() const { return m_dir.filePath(QStringLiteral("Vescor.ini")); }

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>(nullptr, settingsFile());
        window->show();
        return window;
    }

    template <typename T>
    static T* child(MainWindow& window, const char* name)
    {
        T* widget = window.findChild<T*>(QLatin1String(name));
        if (!widget)
            qWarning("no child %s", name);
        return widget;
    }

    static QString storedSettings(const QString& path)
    {
        QSettings settings(path, QSettings::IniFormat);
        return settings.value(QStringLiteral("SETTINGS_STR")).toString();
    }

    static QString driverSettings()
    {
        QString text;
        KKT_Logic::instance().getSettings(text);
        return text;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            m_boxes << request;
            return QMessageBox::Ok;
        });
    }

    void cleanupTestCase() { MessageBox::setHandler(nullptr); }

    void init()
    {
        m_boxes.clear();
        QFile::remove(settingsFile());
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
    }

    void cleanup()
    {
        loadTestDriver();
    }

    void windowFrame()
    {
        auto window = makeWindow();
        // The form's own title until the entry point names the program.
        QCOMPARE(window->windowTitle(), QStringLiteral("MainWindow"));
        QCOMPARE(product::windowTitle(), QStringLiteral("Vescor 2.1.2"));
        QCOMPARE(window->minimumSize(), QSize(800, 600));
        QCOMPARE(window->size(), QSize(800, 600));
        QVERIFY(window->statusBar());
        QCOMPARE(window->statusBar()->objectName(), QStringLiteral("statusBar"));
    }

    void buttonsAtStart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("hasMenu");
        QTest::newRow("read") << "readButton" << "Прочитать из ККТ" << true << true;
        QTest::newRow("write") << "writeButton" << "Записать в ККТ" << false << false;
        QTest::newRow("settings") << "settingsButton" << "Настройки" << true << false;
        QTest::newRow("import") << "pbtnLoadFromFile" << "Импорт" << true << false;
        QTest::newRow("export") << "pbtnSaveToFile" << "Экспорт" << false << true;
        QTest::newRow("journal") << "journalButton" << "Журнал изменений" << true << false;
        QTest::newRow("snapshot") << "snapshotButton" << "Снимок ККТ" << true << true;
    }

    void buttonsAtStart()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(bool, hasMenu);
        auto window = makeWindow();
        auto* button = child<QPushButton>(*window, qPrintable(name));
        QVERIFY(button);
        // The text shown; its mnemonic is underlined.
        QCOMPARE(QString(button->text()).remove(QLatin1Char('&')), text);
        QCOMPARE(button->isEnabled(), enabled);
        QCOMPARE(button->menu() != nullptr, hasMenu);
        QVERIFY(!button->isCheckable());
        QVERIFY(button->isVisible());
    }

    void layoutOrder()
    {
        auto window = makeWindow();
        auto* actions = child<QVBoxLayout>(*window, "verticalLayout");
        auto* legend = child<QVBoxLayout>(*window, "verticalLayout_2");
        QVERIFY(actions && legend);
        QStringList actionNames, legendNames;
        for (int i = 0; i < actions->count(); ++i)
            actionNames << actions->itemAt(i)->widget()->objectName();
        for (int i = 0; i < legend->count(); ++i)
            legendNames << legend->itemAt(i)->widget()->objectName();
        QCOMPARE(actionNames, QStringList({"readButton", "writeButton", "settingsButton", "line",
                                           "pbtnLoadFromFile", "pbtnSaveToFile", "journalButton", "snapshotButton"}));
        QCOMPARE(legendNames, QStringList({"lblReserved", "lblEdited", "lblReadOnly", "lblSnapshotDiffers"}));

        auto* grid = child<QGridLayout>(*window, "gridLayout");
        QVERIFY(grid);
        auto position = [grid](QWidget* widget) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(grid->indexOf(widget), &row, &column, &rowSpan, &columnSpan);
            return QList<int>{row, column, rowSpan, columnSpan};
        };
        QCOMPARE(position(child<QGroupBox>(*window, "groupBoxActions")), QList<int>({0, 0, 1, 1}));
        QCOMPARE(position(child<QGroupBox>(*window, "groupBoxLegend")), QList<int>({1, 0, 1, 1}));
        QCOMPARE(position(child<QTabWidget>(*window, "tabWidget")), QList<int>({0, 1, 4, 1}));
        QCOMPARE(child<QGroupBox>(*window, "groupBoxActions")->title(), QStringLiteral("Действия"));
        QCOMPARE(child<QGroupBox>(*window, "groupBoxLegend")->title(), QStringLiteral("Цвета ячеек"));
    }

    void menus_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("read") << "readButton"
                              << QStringList({"Всё", "Базу товаров", "Всё, кроме базы товаров"});
        QTest::newRow("export") << "pbtnSaveToFile" << QStringList({"Всё", "Текущую"});
        QTest::newRow("snapshot") << "snapshotButton"
                                  << QStringList({"Сохранить снимок…", "Сравнить со снимком…", "Восстановить из снимка…"});
    }

    void menus()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, entries);
        auto window = makeWindow();
        auto* pushButton = child<QPushButton>(*window, qPrintable(button));
        QVERIFY(pushButton && pushButton->menu());
        QStringList texts;
        for (QAction* action : pushButton->menu()->actions()) {
            texts << QString(action->text()).remove(QLatin1Char('&'));
            QCOMPARE(action->parent(), pushButton);
            QVERIFY(action->isEnabled());
        }
        QCOMPARE(texts, entries);
    }

    void legend_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");
        QTest::newRow("reserved") << "lblReserved" << "Зарезервирована" << "#d3d3d3";
        QTest::newRow("edited") << "lblEdited" << "Отредактирована" << "#a8e4a0";
        QTest::newRow("read-only") << "lblReadOnly" << "Только для чтения" << "#fcdd76";
    }

    void legend()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, colour);
        auto window = makeWindow();
        auto* label = child<QLabel>(*window, qPrintable(name));
        QVERIFY(label);
        QCOMPARE(label->text(), text);
        QCOMPARE(label->styleSheet(), QStringLiteral("QLabel { background-color:%1;}").arg(colour));
        QVERIFY(label->height() >= 30);
        QVERIFY(label->alignment() & Qt::AlignHCenter);
        // What the user sees: the label is painted in its colour.
        const QImage image = label->grab().toImage();
        QCOMPARE(image.pixelColor(2, 2).name(), colour);
        QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3).name(), colour);
    }

    void statusBarAtStart()
    {
        auto window = makeWindow();
        auto* status = child<QLabel>(*window, "m_statusLabel");
        auto* info = child<QLabel>(*window, "m_infoLabel");
        auto* bar = child<QProgressBar>(*window, "m_progressBar");
        QVERIFY(status && info && bar);
        QCOMPARE(status->parentWidget(), window->statusBar());
        QVERIFY(window->statusBar()->isAncestorOf(info));
        QVERIFY(window->statusBar()->isAncestorOf(bar));
        QVERIFY(window->statusText().isEmpty());
        QVERIFY(window->infoText().isEmpty());
        QVERIFY(bar->isHidden());
        QVERIFY(!bar->isTextVisible());
        QCOMPARE(bar->width(), 200);

        // Shown, the progress bar sits at the right end, right of the information label.
        BusyIndicator busy(*window, QStringLiteral("Подождите..."));
        QApplication::processEvents();
        QVERIFY(info->geometry().right() < bar->x());
        QVERIFY(status->x() < info->x());
        QVERIFY(window->statusBar()->width() - bar->geometry().right() < 30);
    }

    void noTabsAtStart()
    {
        auto window = makeWindow();
        auto* tabs = child<QTabWidget>(*window, "tabWidget");
        QVERIFY(tabs);
        QCOMPARE(tabs->count(), 0);
        QVERIFY(!window->findChild<QWidget*>(QStringLiteral("tab")));
        QVERIFY(!window->findChild<QWidget*>(QStringLiteral("tab_2")));
    }

    void busyIndicatorHoldsTheWindow()
    {
        auto window = makeWindow();
        auto* bar = child<QProgressBar>(*window, "m_progressBar");
        auto* read = child<QPushButton>(*window, "readButton");
        {
            BusyIndicator busy(*window, QStringLiteral("Подождите... Идет чтение"));
            // The controls are disabled; the status bar stays enabled for the cancel button.
            QVERIFY(!window->centralWidget()->isEnabled());
            QVERIFY(!read->isEnabled());
            QVERIFY(window->statusBar()->isEnabled());
            QCOMPARE(window->statusText(), QStringLiteral("Подождите... Идет чтение"));
            QVERIFY(!bar->isHidden());
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 0);

            busy.setRange(0, 40);
            QCOMPARE(bar->maximum(), 40);
            QVERIFY(bar->isTextVisible());
            busy.setValue(10);
            QCOMPARE(bar->value(), 10);
            QCOMPARE(bar->text(), QStringLiteral("25%"));
        }
        QVERIFY(window->isEnabled());
        QVERIFY(read->isEnabled());
        QVERIFY(bar->isHidden());
        // The last text of the command stays.
        QCOMPARE(window->statusText(), QStringLiteral("Подождите... Идет чтение"));
        // Buttons keep their own states.
        QVERIFY(!child<QPushButton>(*window, "writeButton")->isEnabled());
        QVERIFY(!child<QPushButton>(*window, "pbtnSaveToFile")->isEnabled());

        // The next command starts in busy mode again.
        BusyIndicator again(*window, QStringLiteral("Подождите..."));
        QCOMPARE(bar->maximum(), 0);
        QVERIFY(!bar->isTextVisible());
    }

    void nestedBusyIndicatorsReleaseOnceAtTheEnd()
    {
        auto window = makeWindow();
        auto* bar = child<QProgressBar>(*window, "m_progressBar");
        {
            BusyIndicator outer(*window, QStringLiteral("outer"));
            {
                BusyIndicator inner(*window, QStringLiteral("inner"));
                QCOMPARE(window->statusText(), QStringLiteral("inner"));
            }
            QVERIFY(!window->centralWidget()->isEnabled());
            QVERIFY(!bar->isHidden());
        }
        QVERIFY(window->isEnabled());
        QVERIFY(bar->isHidden());
    }

    void busyIndicatorWithoutWindow()
    {
        auto window = std::make_unique<MainWindow>(nullptr, settingsFile());
        window->show();
        auto busy = std::make_unique<BusyIndicator>(*window, QStringLiteral("x"));
        busy->offerCancel();
        QVERIFY(window->findChild<QPushButton*>(QStringLiteral("cancelLoadingButton")));
        QVERIFY(!window->centralWidget()->isEnabled());
        window.reset(); // the window goes first, with its progress and the cancel button
        busy->setRange(0, 1);
        busy->setValue(1);
        busy->setText(QStringLiteral("y"));
        busy.reset();
    }

    void clearTabsRemovesTabsAndPages()
    {
        auto window = makeWindow();
        auto* tabs = child<QTabWidget>(*window, "tabWidget");
        auto* exportButton = child<QPushButton>(*window, "pbtnSaveToFile");
        QList<QPointer<QWidget>> pages;
        for (int i = 0; i < 3; ++i) {
            auto* page = new QWidget;
            new QLabel(QStringLiteral("view"), page);
            pages << page;
            tabs->addTab(page, QStringLiteral("T%1").arg(i));
        }
        // A tab became current: export is available.
        QVERIFY(exportButton->isEnabled());
        {
            BusyIndicator busy(*window, QStringLiteral("Успешно"));
        }
        QVERIFY(!window->statusText().isEmpty());

        window->clearTabs();
        QCOMPARE(tabs->count(), 0);
        for (const auto& page : pages)
            QVERIFY(page.isNull());
        QVERIFY(window->statusText().isEmpty());
        QVERIFY(window->infoText().isEmpty());
        QVERIFY(!exportButton->isEnabled()); // nothing left to export
        QVERIFY(!child<QPushButton>(*window, "writeButton")->isEnabled());

        window->clearTabs(); // nothing left to remove
        QCOMPARE(tabs->count(), 0);
    }

    void showError()
    {
        auto window = makeWindow();
        {
            BusyIndicator busy(*window, QStringLiteral("Подождите..."));
        }
        window->showError(QStringLiteral("Ошибка чтения файла с информацией о таблицах.\nнет файла"));
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].parent, window.get());
        QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(m_boxes[0].title, QStringLiteral("Vescor"));
        QCOMPARE(m_boxes[0].text, QStringLiteral("Ошибка чтения файла с информацией о таблицах.\nнет файла"));
        QCOMPARE(m_boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(window->statusText().isEmpty());
    }

    void showDriverErrorShowsTheDriversLastError()
    {
        auto window = makeWindow();
        // A close without an open: the driver has a failure to describe.
        KKT_Logic::instance().close();
        const QString expected = KKT_Logic::instance().lastErrorText();
        QVERIFY(expected.startsWith(QStringLiteral("Ошибка - ")));
        window->showDriverError();
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].title, QStringLiteral("Vescor"));
        QCOMPARE(m_boxes[0].text, expected);
        QVERIFY(window->statusText().isEmpty());
    }

    // The window carries the program's icon, the one of its menu entry,
    // drawn at any size the desktop asks for.
    void windowIcon_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("task bar") << 16;
        QTest::newRow("window switcher") << 64;
    }

    void windowIcon()
    {
        QFETCH(int, size);
        auto window = makeWindow();
        const QImage image = window->windowIcon().pixmap(size, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(image.pixelColor(size / 2, size / 2).alpha() > 0);
    }

    void debugLinesOfAStartAndEnd()
    {
        g_debugLines.clear();
        QtMessageHandler previous = qInstallMessageHandler(recordDebugLine);
        {
            MainWindow window(nullptr, settingsFile());
        }
        qInstallMessageHandler(previous);
        QStringList own;
        for (const QString& line : g_debugLines) {
            if (line.startsWith(QStringLiteral("KKT_Logic::")))
                own << line;
        }
        QCOMPARE(own, QStringList({"KKT_Logic::connect()", "KKT_Logic::destroy()"}));
    }

    void firstStartStoresTheDriversSettings_data()
    {
        QTest::addColumn<QByteArray>("fileContent"); // empty: no file
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("file without the key") << QByteArray("[General]\nOther=1\n");
        QTest::newRow("key in another section") << QByteArray("[Driver]\nSETTINGS_STR=\"{\\\"Port\\\": 2}\"\n");
    }

    void firstStartStoresTheDriversSettings()
    {
        QFETCH(QByteArray, fileContent);
        if (!fileContent.isEmpty()) {
            QFile file(settingsFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(fileContent);
        }
        QTemporaryDir traceDir;
        EmulatorImage().install(traceDir, true);
        QString fresh;
        {
            // What a new driver instance holds before anything is handed to it.
            KKT_Logic::instance().connect();
            fresh = driverSettings();
            KKT_Logic::instance().destroy();
        }
        QFile::remove(EmulatorImage::tracePath(traceDir));
        QString atStart;
        {
            auto window = makeWindow();
            QVERIFY(KKT_Logic::instance().handle());
            // An empty string reached the driver and changed nothing.
            QCOMPARE(EmulatorImage::traceLines(traceDir), QStringList({"set_settings -> 0"}));
            atStart = driverSettings();
        }
        EmulatorImage::uninstall();
        QCOMPARE(atStart, fresh);
        QVERIFY(!atStart.isEmpty());
        QCOMPARE(EmulatorImage::traceLines(traceDir).last(), QStringLiteral("get_settings -> 0"));
        QCOMPARE(storedSettings(settingsFile()), atStart);
        QFile file(settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("[General]"));
    }

    void secondStartHandsTheStoredSettingsBack()
    {
        QString changed;
        {
            auto window = makeWindow();
            // Another port, as the settings dialog would store it.
            const QString initial = driverSettings();
            QVERIFY(initial.contains(QStringLiteral("\"Port\"")));
            KKT_Logic::instance().setSettings(QStringLiteral("{\"Port\": 2, \"IPPort\": 5556}"));
            changed = driverSettings();
            QVERIFY(changed != initial);
        }
        QCOMPARE(storedSettings(settingsFile()), changed);
        {
            auto window = makeWindow();
            QCOMPARE(driverSettings(), changed);
        }
        QCOMPARE(storedSettings(settingsFile()), changed);
    }

    void settingsFileBesideTheProgramByDefault()
    {
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/Vescor.ini");
        const QString backup = m_dir.filePath(QStringLiteral("backup.ini"));
        QFile::remove(backup);
        const bool existed = QFile::exists(path);
        if (existed)
            QVERIFY(QFile::rename(path, backup));
        {
            MainWindow window;
            QCOMPARE(window.settingsPath(), path);
        }
        const bool written = QFile::exists(path);
        const QString stored = storedSettings(path);
        QFile::remove(path);
        if (existed)
            QVERIFY(QFile::rename(backup, path));
        QVERIFY(written);
        QVERIFY(!stored.isEmpty());
    }

    void missingDriverLibrary()
    {
        {
            QSettings settings(settingsFile(), QSettings::IniFormat);
            settings.setValue(QStringLiteral("SETTINGS_STR"), QStringLiteral("{\"Port\": 2}"));
        }
        const QString missing = m_dir.filePath(QStringLiteral("nowhere/libtillo10.so"));
        QVERIFY(!DriverLibrary::instance().loadFrom(missing));
        {
            auto window = makeWindow();
            QVERIFY(window->isEnabled());
            QVERIFY(!KKT_Logic::instance().handle());

            QTest::mouseClick(child<QPushButton>(*window, "settingsButton"), Qt::LeftButton);
            QCOMPARE(m_boxes.size(), 1);
            QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
            QCOMPARE(m_boxes[0].title, QStringLiteral("Vescor"));
            const QString text = m_boxes[0].text;
            QVERIFY2(text.startsWith(QStringLiteral("Ошибка - ")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Не удалось загрузить библиотеку драйвера ККТ")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("nowhere")), qPrintable(text));
            QVERIFY(window->isEnabled());
            QVERIFY(window->statusText().isEmpty());
        }
        // Nothing came from a driver, so the stored connection settings stay.
        QCOMPARE(storedSettings(settingsFile()), QStringLiteral("{\"Port\": 2}"));
    }

    void settingsButtonOpensTheDialog()
    {
        auto window = makeWindow();
        QByteArray seenClass;
        QWidget* seenParent = nullptr;
        // exec() runs its own loop; close the dialog from there as a user would.
        std::function<void()> closeDialog = [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QDialog*>(widget);
                if (dialog && dialog->isVisible()) {
                    seenClass = dialog->metaObject()->className();
                    seenParent = dialog->parentWidget();
                    dialog->reject();
                    return;
                }
            }
            QTimer::singleShot(0, closeDialog);
        };
        QTimer::singleShot(0, closeDialog);
        QTest::mouseClick(child<QPushButton>(*window, "settingsButton"), Qt::LeftButton);
        QCOMPARE(seenClass, QByteArray("SettingsDlg"));
        QCOMPARE(seenParent, window.get());
        QVERIFY(m_boxes.isEmpty());
    }
};

VESCOR_TEST(MainWindowTest)
#include "tst_MainWindow.moc"
