#include "support/EmulatorImage.h"
#include "support/TestDriver.h"
#include "support/TestMain.h"

#include "app/MainWindow.h"
#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"
#include "dialogs/MessageBox.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString driverSettings()
{
    QString text;
    KKT_Logic::instance().getSettings(text);
    return text;
}

} // namespace

// A window started with stored settings it cannot read starts all the same,
// with the driver's defaults, and says once in the status label what and why.
class StoredSettingsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<MessageBox::Request> m_boxes;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
        MessageBox::setHandler([this](const MessageBox::Request& request) {
            m_boxes << request;
            return QMessageBox::Ok;
        });
    }

    void cleanupTestCase() { MessageBox::setHandler(nullptr); }

    void unreadableAtStart_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content"); // the stored string, or the file's bytes
        QTest::addColumn<QString>("why");       // empty: the settings are read
        QTest::addColumn<QString>("handed");    // a part of the driver's settings afterwards

        const QByteArray deep = "{\"a\":" + QByteArray(5000, '[') + QByteArray(5000, ']') + "}";
        QTest::newRow("readable") << "value" << QByteArray("{\"Port\": 2, \"IPPort\": 5556}") << QString()
                                  << "\"IPPort\" : 5556";
        QTest::newRow("nested 5000 deep") << "value" << deep << "слишком глубокая вложенность JSON" << "\"Port\" : 1";
        QTest::newRow("not JSON") << "value" << QByteArray("{Port: 2") << "неверный JSON: " << "\"Port\" : 1";
        QTest::newRow("an array") << "value" << QByteArray("[2]") << "настройки должны быть объектом JSON"
                                  << "\"Port\" : 1";
        QTest::newRow("not INI") << "bytes" << QByteArray("[General\nSETTINGS_STR={}\n") << "это не файл INI"
                                 << "\"Port\" : 1";
        QTest::newRow("over 1 MB") << "bytes" << QByteArray("[General]\n") + QByteArray(1100 * 1024, '\n')
                                   << "файл больше 1 МБ" << "\"Port\" : 1";
        QTest::newRow("a directory") << "directory" << QByteArray() << "это не обычный файл" << "\"Port\" : 1";
    }

    void unreadableAtStart()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(QString, why);
        QFETCH(QString, handed);

        m_boxes.clear();
        const QString dir = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        QVERIFY(QDir().mkpath(dir));
        const QString ini = dir + QStringLiteral("/Vescor.ini");
        if (kind == QLatin1String("value")) {
            SettingsFile::save(ini, QString::fromUtf8(content));
        } else if (kind == QLatin1String("bytes")) {
            QFile file(ini);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        } else {
            QVERIFY(QDir().mkpath(ini));
        }
        QTemporaryDir traceDir;
        EmulatorImage().install(traceDir, true);

        {
            MainWindow window(nullptr, ini);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            if (why.isEmpty()) {
                QCOMPARE(window.statusText(), QString());
                QCOMPARE(EmulatorImage::traceLines(traceDir), QStringList({"set_settings -> 0"}));
            } else {
                QVERIFY2(window.statusText().startsWith(
                             QStringLiteral("Не удалось прочитать сохраненные настройки из %1: %2").arg(ini, why)),
                         qPrintable(window.statusText()));
                // Nothing reached the driver: it keeps its defaults.
                QCOMPARE(EmulatorImage::traceLines(traceDir), QStringList());
                // A file is kept beside under another name before the driver's settings replace it.
                if (kind != QLatin1String("directory")) {
                    QVERIFY2(window.statusText().endsWith(QStringLiteral(". Файл сохранен как %1.bad").arg(ini)),
                             qPrintable(window.statusText()));
                    QVERIFY(!QFileInfo::exists(ini));
                    QFile kept(ini + QStringLiteral(".bad"));
                    QVERIFY(kept.open(QIODevice::ReadOnly));
                    if (kind == QLatin1String("bytes"))
                        QCOMPARE(kept.readAll(), content);
                    else
                        QCOMPARE(QSettings(kept.fileName(), QSettings::IniFormat).value("SETTINGS_STR").toString(),
                                 QString::fromUtf8(content));
                }
            }
            QVERIFY2(driverSettings().contains(handed), qPrintable(driverSettings()));
            QVERIFY(window.findChild<QWidget*>(QStringLiteral("readButton"))->isEnabled());
            QVERIFY(m_boxes.isEmpty());
        }
        EmulatorImage::uninstall();

        // The file has received the driver's settings: the next start reads
        // them without a word (a directory in the way stays one).
        if (kind != QLatin1String("directory")) {
            MainWindow window(nullptr, ini);
            QCOMPARE(window.statusText(), QString());
            QVERIFY2(driverSettings().contains(handed), qPrintable(driverSettings()));
        }
        QVERIFY(m_boxes.isEmpty());
    }
};

VESCOR_TEST(StoredSettingsTest)
#include "tst_StoredSettings.moc"
