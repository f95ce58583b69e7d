#include "support/TestMain.h"

#include "support/EmulatorImage.h"

#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

// The connection settings from the main window's settings button to the next start of the program.
class TestSettingsLoop : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<MessageBox::Request> m_boxes;

    QString iniPath() const { return m_dir.filePath(QStringLiteral("Vescor.ini")); }

    QVariant storedSettings() const
    {
        return QSettings(iniPath(), QSettings::IniFormat).value(QStringLiteral("SETTINGS_STR"));
    }

    static QString driverSettings()
    {
        QString text;
        KKT_Logic::instance().getSettings(text);
        return text;
    }

    // Presses the settings button and lets `user` work in the modal dialog it opens;
    // the dialog is closed afterwards whatever happened. Returns whether a dialog came up.
    bool inSettingsDialog(MainWindow& window, const std::function<void(QDialog&)>& user)
    {
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dlg)
                return;
            seen = dlg->objectName() == QLatin1String("SettingsDlg");
            if (seen)
                user(*dlg);
            if (dlg->isVisible())
                dlg->reject();
        });
        auto* button = window.findChild<QPushButton*>(QStringLiteral("settingsButton"));
        if (!button)
            return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return seen;
    }

    static void chooseChannel(QDialog& dlg, const QString& key)
    {
        auto* box = dlg.findChild<QComboBox*>(QStringLiteral("cmbConnectionType"));
        const int index = box->findData(key);
        QVERIFY(index >= 0);
        box->setCurrentIndex(index);
    }

    static void typeInto(QWidget* edit, const QString& text)
    {
        if (auto* line = qobject_cast<QLineEdit*>(edit))
            line->selectAll();
        else if (auto* spin = qobject_cast<QAbstractSpinBox*>(edit))
            spin->selectAll();
        QTest::keyClicks(edit, text);
    }

    static void click(QDialog& dlg, const char* name)
    {
        QTest::mouseClick(dlg.findChild<QPushButton*>(QString::fromLatin1(name)), Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(DriverLibrary::instance().load(), qPrintable(DriverLibrary::instance().loadError()));
        EmulatorImage image;
        image.setIdentity(57, QStringLiteral("ТИЛЛО-Ф"), QStringLiteral("0010610"), QStringLiteral("3.0.8"), true);
        image.setLinkAddress(QStringLiteral("10.0.0.7"));
        QVERIFY(!image.install(m_dir).isEmpty());
        MessageBox::setHandler([this](const MessageBox::Request& r) {
            m_boxes << r;
            return QMessageBox::Ok;
        });
    }

    void cleanupTestCase()
    {
        MessageBox::setHandler({});
        EmulatorImage::uninstall();
    }

    void checkedSettingsReachTheNextStart()
    {
        QVERIFY(!QFile::exists(iniPath()));
        QString handed;
        QString line;
        {
            auto window = std::make_unique<MainWindow>(nullptr, iniPath());
            const QString defaults = driverSettings();
            QVERIFY(!defaults.contains(QLatin1String("10.0.0.7")));
            const bool opened = inSettingsDialog(*window, [&](QDialog& dlg) {
                chooseChannel(dlg, QStringLiteral("2"));
                typeInto(dlg.findChild<QLineEdit*>(QStringLiteral("leIPAddress")), QStringLiteral("10.0.0.7"));
                typeInto(dlg.findChild<QSpinBox*>(QStringLiteral("spinIPPort")), QStringLiteral("7001"));
                click(dlg, "pbtnCheckConnection");
                line = dlg.findChild<QLineEdit*>(QStringLiteral("leResult"))->text();
                handed = driverSettings();
                click(dlg, "pbtnOK");
            });
            QVERIFY(opened);
            QCOMPARE(line, QStringLiteral("ТИЛЛО-Ф, №0010610, версия: 3.0.8, ФИСК."));
            QVERIFY(m_boxes.isEmpty());
            QVERIFY(handed != defaults);
            QVERIFY(handed.contains(QLatin1String("10.0.0.7")));
            QVERIFY(handed.contains(QLatin1String("7001")));
            QVERIFY(!QFile::exists(iniPath())); // nothing is stored before the program ends
        }
        QCOMPARE(storedSettings().toString(), handed);

        // The next start: the driver holds exactly what was stored, and the dialog shows it.
        {
            auto window = std::make_unique<MainWindow>(nullptr, iniPath());
            QCOMPARE(driverSettings(), handed);
            const bool opened = inSettingsDialog(*window, [&](QDialog& dlg) {
                QCOMPARE(dlg.findChild<QComboBox*>(QStringLiteral("cmbConnectionType"))->currentData().toString(),
                         QStringLiteral("2"));
                QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("leIPAddress"))->text(), QStringLiteral("10.0.0.7"));
                QCOMPARE(dlg.findChild<QSpinBox*>(QStringLiteral("spinIPPort"))->value(), 7001);
                // Changed, then closed with Esc: nothing reaches the driver or the file.
                chooseChannel(dlg, QStringLiteral("1"));
                auto* ip = dlg.findChild<QLineEdit*>(QStringLiteral("leIPAddress"));
                typeInto(ip, QStringLiteral("10.0.0.99"));
                QTest::keyClick(ip, Qt::Key_Escape);
            });
            QVERIFY(opened);
            QCOMPARE(driverSettings(), handed);
        }
        QCOMPARE(storedSettings().toString(), handed);
    }

    // Chosen and confirmed with "OK", without a check: the driver takes the
    // settings at once and the next start has them.
    void confirmedSettingsReachTheNextStart()
    {
        QFile::remove(iniPath());
        QString handed;
        {
            auto window = std::make_unique<MainWindow>(nullptr, iniPath());
            const bool opened = inSettingsDialog(*window, [&](QDialog& dlg) {
                chooseChannel(dlg, QStringLiteral("1"));
                auto* baud = dlg.findChild<QComboBox*>(QStringLiteral("cmbBaudrate"));
                baud->setCurrentIndex(baud->findData(QStringLiteral("4800")));
                click(dlg, "pbtnOK");
                QVERIFY(dlg.isHidden());
            });
            QVERIFY(opened);
            handed = driverSettings();
            QVERIFY2(handed.contains(QLatin1String("4800")), qPrintable(handed));
        }
        QCOMPARE(storedSettings().toString(), handed);
        {
            auto window = std::make_unique<MainWindow>(nullptr, iniPath());
            QCOMPARE(driverSettings(), handed);
            const bool opened = inSettingsDialog(*window, [&](QDialog& dlg) {
                QCOMPARE(dlg.findChild<QComboBox*>(QStringLiteral("cmbBaudrate"))->currentData().toString(),
                         QStringLiteral("4800"));
            });
            QVERIFY(opened);
        }
        QVERIFY(m_boxes.isEmpty());
    }
};

VESCOR_TEST(TestSettingsLoop)
#include "tst_SettingsLoop.moc"
