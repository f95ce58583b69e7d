#include "support/EmulatorImage.h"
#include "support/TestDriver.h"
#include "support/TestMain.h"

#include "device/DriverLibrary.h"
#include "device/KKT_Logic.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

namespace {

const int NotSet = -12345;
const QString NotSetText = QStringLiteral("untouched");

// Identification outputs with values that no register reports.
struct Outputs
{
    int modelId = NotSet;
    QString modelName = NotSetText;
    QString serialNumber = NotSetText;

    bool untouched() const { return modelId == NotSet && modelName == NotSetText && serialNumber == NotSetText; }
};

} // namespace

class KKT_LogicTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    KKT_Logic& logic() { return KKT_Logic::instance(); }

    void install(const EmulatorImage& image)
    {
        QVERIFY(image.isValid());
        image.install(*m_dir, true);
    }

    QStringList trace() const { return EmulatorImage::traceLines(*m_dir); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY2(loadTestDriver(), qPrintable(DriverLibrary::instance().loadError()));
        QCOMPARE(logic().connect(), 0);
        QVERIFY(logic().handle());
    }

    void cleanup()
    {
        logic().close();
        QCOMPARE(logic().destroy(), 0);
        QVERIFY(!logic().handle());
        EmulatorImage::uninstall();
        loadTestDriver();
        m_dir.reset();
    }

    void codecs()
    {
        QVERIFY(KKT_Logic::internalCodec());
        QVERIFY(KKT_Logic::externalCodec());
        QCOMPARE(KKT_Logic::internalCodec()->name(), QByteArray("RU-internal-866"));
        QCOMPARE(KKT_Logic::externalCodec()->name(), QByteArray("RU-866"));
        // Made once, kept for the run.
        QTextCodec* internal = KKT_Logic::internalCodec();
        KKT_Logic::instance();
        QCOMPARE(KKT_Logic::internalCodec(), internal);
    }

    void openAndIdentify_data()
    {
        QTest::addColumn<int>("modelCode");
        QTest::addColumn<QString>("modelName");
        QTest::addColumn<QString>("serialNumber");
        QTest::newRow("default register") << 57 << "Вескор-Эмулятор 57" << "0057000001";
        QTest::newRow("another model") << 69 << "Вескор-Ф 69" << "0069004321";
        QTest::newRow("empty name") << 1 << "" << "1";
        QTest::newRow("name of 1023") << 57 << QString(1023, QChar(u'Ж')) << "0057000001";
        QTest::newRow("name of 1024") << 57 << QString(1024, QChar(u'Ж')) << "0057000001";
        QTest::newRow("name of 3000") << 57 << QString(3000, QChar(u'ы')) + QStringLiteral("конец") << "0057000001";
        QTest::newRow("long serial after long name")
            << 57 << QString(2000, QChar('N')) << QString(1500, QChar('7')) + QStringLiteral("9");
    }

    void openAndIdentify()
    {
        QFETCH(int, modelCode);
        QFETCH(QString, modelName);
        QFETCH(QString, serialNumber);
        EmulatorImage image;
        image.setIdentity(unsigned(modelCode), modelName, serialNumber, QStringLiteral("3.0.25"));
        install(image);

        Outputs out;
        QCOMPARE(logic().openAndIdentify(&out.modelId, &out.modelName, &out.serialNumber), 0);
        QCOMPARE(out.modelId, modelCode);
        QCOMPARE(out.modelName.size(), modelName.size());
        QCOMPARE(out.modelName, modelName);
        QCOMPARE(out.serialNumber, serialNumber);
        QCOMPARE(trace(), QStringList({"set_single_setting Port 1 -> 0", "apply_single_settings -> 0", "open -> 0",
                                       "query 0 -> 0"}));
    }

    void openAndIdentifyWithoutSomeOutputs_data()
    {
        QTest::addColumn<bool>("wantModel");
        QTest::addColumn<bool>("wantName");
        QTest::addColumn<bool>("wantSerial");
        QTest::newRow("model only") << true << false << false;
        QTest::newRow("no outputs") << false << false << false;
        QTest::newRow("name and serial") << false << true << true;
        QTest::newRow("serial only") << false << false << true;
    }

    void openAndIdentifyWithoutSomeOutputs()
    {
        QFETCH(bool, wantModel);
        QFETCH(bool, wantName);
        QFETCH(bool, wantSerial);
        install(EmulatorImage().setIdentity(57, QStringLiteral("Вескор"), QStringLiteral("0057000001"),
                                            QStringLiteral("3.0.25")));
        Outputs out;
        QCOMPARE(logic().openAndIdentify(wantModel ? &out.modelId : nullptr, wantName ? &out.modelName : nullptr,
                                         wantSerial ? &out.serialNumber : nullptr),
                 0);
        QCOMPARE(out.modelId, wantModel ? 57 : NotSet);
        QCOMPARE(out.modelName, wantName ? QStringLiteral("Вескор") : NotSetText);
        QCOMPARE(out.serialNumber, wantSerial ? QStringLiteral("0057000001") : NotSetText);
        // The connection is open and the status query ran.
        QVERIFY(trace().contains(QStringLiteral("query 0 -> 0")));
    }

    void failingOpenOrStatusQuery_data()
    {
        QTest::addColumn<QString>("call");
        QTest::addColumn<int>("query");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QStringList>("calls");
        const QStringList settings{"set_single_setting Port 1 -> 0", "apply_single_settings -> 0"};
        QTest::newRow("open, no link") << "open" << -1 << 2 << "Нет связи"
                                       << (settings + QStringList{"open -> 2"});
        QTest::newRow("open, port busy") << "open" << -1 << 4 << "Порт занят"
                                         << (settings + QStringList{"open -> 4"});
        QTest::newRow("status query") << "query" << 0 << 15 << "Нет ответа"
                                      << (settings + QStringList{"open -> 0", "query 0 -> 15"});
    }

    void failingOpenOrStatusQuery()
    {
        QFETCH(QString, call);
        QFETCH(int, query);
        QFETCH(int, code);
        QFETCH(QString, description);
        QFETCH(QStringList, calls);
        EmulatorImage image;
        EmulatorImage::Fault fault;
        fault.call = call;
        fault.query = query;
        fault.code = code;
        fault.description = description;
        image.addFault(fault);
        install(image);

        Outputs out;
        const int result = logic().openAndIdentify(&out.modelId, &out.modelName, &out.serialNumber);
        QVERIFY(result != 0);
        QVERIFY(out.untouched());
        QCOMPARE(trace(), calls);
        QCOMPARE(logic().lastErrorText(), QStringLiteral("Ошибка - %1 [%2]").arg(code).arg(description));
    }

    void lastErrorText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description");
        QTest::newRow("short") << 2 << "D";
        QTest::newRow("empty description") << 7 << "";
        QTest::newRow("negative code") << -3 << "Сбой";
        QTest::newRow("31 characters") << 5 << QString(31, QChar(u'д'));
        QTest::newRow("32 characters") << 5 << QString(32, QChar(u'д'));
        QTest::newRow("long description") << 123 << QString(400, QChar(u'ё')) + QStringLiteral("!");
    }

    void lastErrorText()
    {
        QFETCH(int, code);
        QFETCH(QString, description);
        EmulatorImage image;
        EmulatorImage::Fault fault;
        fault.call = QStringLiteral("open");
        fault.code = code;
        fault.description = description;
        image.addFault(fault);
        install(image);
        QVERIFY(logic().openAndIdentify(nullptr, nullptr, nullptr) != 0);
        const QString expected = QStringLiteral("Ошибка - ") + QString::number(code) + QStringLiteral(" [") +
                                 description + QStringLiteral("]");
        QCOMPARE(logic().lastErrorText(), expected);
        // Asking again gives the same text.
        QCOMPARE(logic().lastErrorText(), expected);
    }

    void configurationFromVersion_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<int>("configuration");
        QTest::newRow("3.0.25") << "3.0.25" << 25;
        QTest::newRow("bare 25") << "25" << 25;
        QTest::newRow("V3.0.25") << "V3.0.25" << 0;
        QTest::newRow("1.2.3.4.5.6") << "1.2.3.4.5.6" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("10.20.300") << "10.20.300" << 300;
        QTest::newRow("leading zeros") << "3.0.025" << 25;
        QTest::newRow("two numbers") << "3.25" << 0;
        QTest::newRow("letters after") << "3.0.25b" << 0;
    }

    void configurationFromVersion()
    {
        QFETCH(QString, version);
        QFETCH(int, configuration);
        QCOMPARE(KKT_Logic::configurationFromVersion(version), configuration);
    }

    void configurationVersionFromTheRegister_data() { configurationFromVersion_data(); }

    void configurationVersionFromTheRegister()
    {
        QFETCH(QString, version);
        QFETCH(int, configuration);
        install(EmulatorImage().setIdentity(57, QStringLiteral("Вескор"), QStringLiteral("1"), version));
        QCOMPARE(logic().openAndIdentify(nullptr, nullptr, nullptr), 0);
        QCOMPARE(logic().configurationVersion(), configuration);
        QVERIFY(trace().contains(QStringLiteral("query 2 -> 0")));
    }

    void settingsRoundTrip_data()
    {
        QTest::addColumn<QString>("extra");
        QTest::newRow("short") << "x";
        QTest::newRow("longer than the first buffer") << QString(3000, QChar(u'Щ'));
    }

    void settingsRoundTrip()
    {
        QFETCH(QString, extra);
        QString before;
        logic().getSettings(before);
        QVERIFY(before.startsWith(QLatin1Char('{')));
        QVERIFY(!before.contains(QChar(0)));

        logic().setSettings(QStringLiteral("{\"Port\": 2, \"Note\": \"%1\"}").arg(extra));
        QString after;
        logic().getSettings(after);
        QVERIFY(after.contains(extra));
        QVERIFY(after.contains(QStringLiteral("\"Port\"")));
        QVERIFY(!after.contains(QChar(0)));
        QVERIFY(after.endsWith(QLatin1Char('}')) || after.endsWith(QLatin1Char('\n')));

        // What was read back, handed over again, reads back the same.
        logic().setSettings(after);
        QString again;
        logic().getSettings(again);
        QCOMPARE(again, after);
    }

    void emptySettingsChangeNothing()
    {
        QString before;
        logic().getSettings(before);
        logic().setSettings(QString());
        QString after;
        logic().getSettings(after);
        QCOMPARE(after, before);
    }

    void paramString_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("127") << QString(127, QChar(u'и'));
        QTest::newRow("128") << QString(128, QChar(u'и'));
        QTest::newRow("500") << QString(499, QChar(u'и')) + QStringLiteral("z");
    }

    void paramString()
    {
        QFETCH(QString, name);
        install(EmulatorImage().setIdentity(57, name, QStringLiteral("1"), QStringLiteral("3.0.25")));
        QCOMPARE(logic().openAndIdentify(nullptr, nullptr, nullptr), 0);
        QCOMPARE(logic().paramString(LIBTILLO_PARAM_MODEL_NAME), name);
        QCOMPARE(logic().paramString(LIBTILLO_PARAM_FIRMWARE), QStringLiteral("3.0.25"));
    }

    void withoutDriverLibrary_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no file") << "/nonexistent/dir/libtillo10.so" << "/nonexistent/dir/libtillo10.so";
        // A library that loads but is not the driver.
        QTest::newRow("functions missing") << "jsoncpp" << "libtillo_create";
    }

    void withoutDriverLibrary()
    {
        QFETCH(QString, library);
        QFETCH(QString, reason);
        logic().destroy();
        QVERIFY(!DriverLibrary::instance().loadFrom(library));

        QCOMPARE(logic().connect(), 0);
        QVERIFY(!logic().handle());
        Outputs out;
        QVERIFY(logic().openAndIdentify(&out.modelId, &out.modelName, &out.serialNumber) != 0);
        QVERIFY(out.untouched());

        const QString text = logic().lastErrorText();
        QVERIFY2(text.startsWith(QStringLiteral("Ошибка - ")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Не удалось загрузить библиотеку драйвера ККТ")), qPrintable(text));
        QVERIFY2(text.contains(reason), qPrintable(text));
        QVERIFY2(text.endsWith(QLatin1Char(']')), qPrintable(text));

        QCOMPARE(logic().configurationVersion(), 0);
        QVERIFY(logic().paramString(LIBTILLO_PARAM_MODEL_NAME).isEmpty());
        QString settings = QStringLiteral("old");
        logic().setSettings(QStringLiteral("{\"Port\": 2}"));
        logic().getSettings(settings);
        QVERIFY(settings.isEmpty());
        QVERIFY(logic().close() != 0);
        QCOMPARE(logic().destroy(), 0);

        // Back to the real driver: everything works again.
        QVERIFY(DriverLibrary::instance().loadFrom(driverLibraryPath()));
        QCOMPARE(logic().connect(), 0);
        QVERIFY(logic().handle());
        install(EmulatorImage());
        int model = 0;
        QCOMPARE(logic().openAndIdentify(&model, nullptr, nullptr), 0);
        QCOMPARE(model, 57);
    }
};

VESCOR_TEST(KKT_LogicTest)
#include "tst_KKT_Logic.moc"
