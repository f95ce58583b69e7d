// The C interface as a whole: exported names, refused handles, caller buffers.
#include "TilloApi.h"

#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>
#include <functional>
#include <map>
#include <vector>

class DriverInterfaceTest : public QObject
{
    Q_OBJECT

private:
    static QStringList headerFunctions()
    {
        QFile header(QStringLiteral(VESCOR_SOURCE_DIR "/driver/include/tillo10.h"));
        if (!header.open(QIODevice::ReadOnly))
            return {};
        QStringList names;
        const QRegularExpression declaration(QStringLiteral("TILLO10_API[^;(]*\\b(libtillo_\\w+)\\s*\\("));
        auto it = declaration.globalMatch(QString::fromUtf8(header.readAll()));
        while (it.hasNext())
            names << it.next().captured(1);
        return names;
    }

private slots:
    void initTestCase() { QVERIFY2(TilloApi::instance().isLoaded(), qPrintable(TilloApi::instance().loadError())); }
    void cleanup() { EmulatorImage::uninstall(); }

    void everyHeaderFunctionIsExported()
    {
        const QStringList names = headerFunctions();
        QCOMPARE(names.size(), 23);
        for (const QString& name : names)
            QVERIFY2(::dlsym(TilloApi::instance().library(), name.toLatin1().constData()), qPrintable(name));
    }

    void nmListsEveryHeaderFunction()
    {
        QProcess nm;
        nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"), TilloApi::libraryPath()});
        if (!nm.waitForStarted())
            QSKIP("nm is not installed");
        QVERIFY(nm.waitForFinished());
        QCOMPARE(nm.exitCode(), 0);
        const QString output = QString::fromLatin1(nm.readAllStandardOutput());
        for (const QString& name : headerFunctions())
            QVERIFY2(output.contains(QRegularExpression(QStringLiteral(" T %1\\n").arg(name))), qPrintable(name));
        // Nothing but the C interface leaves the library.
        for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            QVERIFY2(line.contains(QLatin1String(" libtillo_")), qPrintable(line));
    }

    void refusedHandles_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<bool>("destroyed"); // false: null handle
        const QStringList functions = {
            "set_settings", "get_settings", "set_single_setting", "apply_single_settings", "open", "close",
            "query_data", "read", "write", "commit", "util_mapping", "open_drawer", "error_code",
            "error_description", "get_param_int", "get_param_bool", "get_param_str", "get_param_bytearray",
            "set_param_int", "set_param_str", "set_param_bytearray"};
        for (const QString& f : functions) {
            QTest::newRow(qPrintable(f + " null")) << f << false;
            QTest::newRow(qPrintable(f + " destroyed")) << f << true;
        }
    }

    // Every function refuses a null or destroyed handle: -1 (0 for the number
    // getters), an emptied text buffer, an untouched byte buffer; no crash.
    void refusedHandles()
    {
        QFETCH(QString, function);
        QFETCH(bool, destroyed);
        const TilloApi& api = TilloApi::instance();
        QTemporaryDir dir;
        EmulatorImage().install(dir);

        libtillo_handle h = nullptr;
        if (destroyed) {
            QCOMPARE(api.create(&h), 0);
            QCOMPARE(api.open(h), 0);
            libtillo_handle copy = h;
            QCOMPARE(api.destroy(&copy), 0);
            QVERIFY(copy == nullptr);
        }
        wchar_t text[8] = {L'x', L'x', L'x', 0};
        unsigned char bytes[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        const wchar_t* value = L"1";
        const std::map<QString, std::function<int()>> calls = {
            {"set_settings", [&] { return api.setSettings(h, L"{}"); }},
            {"get_settings", [&] { return api.getSettings(h, text, 8); }},
            {"set_single_setting", [&] { return api.setSingleSetting(h, L"Port", value); }},
            {"apply_single_settings", [&] { return api.applySingleSettings(h); }},
            {"open", [&] { return api.open(h); }},
            {"close", [&] { return api.close(h); }},
            {"query_data", [&] { return api.queryData(h); }},
            {"read", [&] { return api.read(h); }},
            {"write", [&] { return api.write(h); }},
            {"commit", [&] { return api.commit(h); }},
            {"util_mapping", [&] { return api.mapping(h); }},
            {"open_drawer", [&] { return api.openDrawer(h); }},
            {"error_code", [&] { return api.errorCode(h); }},
            {"error_description", [&] { return api.errorDescription(h, text, 8); }},
            {"get_param_int", [&] { return int(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE)) - 1; }},
            {"get_param_bool", [&] { return api.getBool(h, LIBTILLO_PARAM_FISCAL) - 1; }},
            {"get_param_str", [&] { return api.getStr(h, LIBTILLO_PARAM_MODEL_NAME, text, 8); }},
            {"get_param_bytearray", [&] { return api.getBytes(h, LIBTILLO_PARAM_VALUE, bytes, 4); }},
            {"set_param_int", [&] { api.setInt(h, LIBTILLO_PARAM_TABLE, 1); return -1; }},
            {"set_param_str", [&] { api.setStr(h, LIBTILLO_PARAM_MAPPING_INPUT, L"Port"); return -1; }},
            {"set_param_bytearray", [&] { api.setBytes(h, LIBTILLO_PARAM_VALUE, bytes, 4); return -1; }},
        };
        QCOMPARE(calls.at(function)(), -1);
        if (function == "get_settings" || function == "error_description" || function == "get_param_str")
            QCOMPARE(text[0], L'\0');
        QCOMPARE(bytes[0], 0xAA);
    }

    void createAndDestroyRefuseBadArguments()
    {
        const TilloApi& api = TilloApi::instance();
        QCOMPARE(api.create(nullptr), -1);
        QCOMPARE(api.destroy(nullptr), -1);
        libtillo_handle none = nullptr;
        QCOMPARE(api.destroy(&none), -1);
        libtillo_handle h = nullptr;
        QCOMPARE(api.create(&h), 0);
        QVERIFY(h != nullptr);
        libtillo_handle copy = h;
        QCOMPARE(api.destroy(&h), 0);
        QVERIFY(h == nullptr);
        QCOMPARE(api.destroy(&copy), -1); // destroyed twice
        int stack = 0;
        libtillo_handle foreign = &stack; // never created by the library
        QCOMPARE(api.open(foreign), -1);
        QCOMPARE(api.destroy(&foreign), -1);
    }

    void handlesAreIndependent()
    {
        const TilloApi& api = TilloApi::instance();
        TilloHandle a, b;
        api.setInt(a, LIBTILLO_PARAM_TABLE, 7);
        api.setInt(b, LIBTILLO_PARAM_TABLE, 9);
        QCOMPARE(api.getInt(a, LIBTILLO_PARAM_TABLE), 7u);
        QCOMPARE(api.getInt(b, LIBTILLO_PARAM_TABLE), 9u);
        QCOMPARE(api.commit(a), -1); // not open
        QCOMPARE(api.errorCode(a), 3);
        QCOMPARE(api.errorCode(b), 0);
    }

    void textBuffers_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("filled");
        // The model name "Вескор-Эмулятор 57" has 18 characters: 19 with its NUL.
        QTest::newRow("no buffer") << 0 << QString();
        QTest::newRow("one") << 1 << QString();
        QTest::newRow("five") << 5 << QStringLiteral("Веск");
        QTest::newRow("one short") << 18 << QStringLiteral("Вескор-Эмулятор 5");
        QTest::newRow("exact") << 19 << QStringLiteral("Вескор-Эмулятор 57");
        QTest::newRow("large") << 100 << QStringLiteral("Вескор-Эмулятор 57");
    }

    // A text getter reports the whole length with its NUL and fills only the
    // buffer it was given, NUL-terminated; the next character stays untouched.
    void textBuffers()
    {
        QFETCH(int, size);
        QFETCH(QString, filled);
        const TilloApi& api = TilloApi::instance();
        QTemporaryDir dir;
        EmulatorImage().install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
        QCOMPARE(api.queryData(h), 0);

        std::vector<wchar_t> buffer(size_t(size) + 1, L'#');
        QCOMPARE(api.getStr(h, LIBTILLO_PARAM_MODEL_NAME, size ? buffer.data() : nullptr, size), 19);
        if (size > 0)
            QCOMPARE(QString::fromWCharArray(buffer.data()), filled);
        QCOMPARE(buffer[size_t(size)], L'#');
    }

    void byteBuffers_data()
    {
        QTest::addColumn<int>("size");
        QTest::newRow("none") << 0;
        QTest::newRow("two") << 2;
        QTest::newRow("exact") << 5;
        QTest::newRow("large") << 9;
    }

    void byteBuffers()
    {
        QFETCH(int, size);
        const TilloApi& api = TilloApi::instance();
        TilloHandle h;
        const QByteArray value = QByteArray::fromHex("0102030405");
        api.setValue(h, value);
        QByteArray buffer(size + 1, char(0xEE));
        QCOMPARE(api.getBytes(h, LIBTILLO_PARAM_VALUE, reinterpret_cast<unsigned char*>(buffer.data()), size), 5);
        const int copied = qMin(size, 5);
        QCOMPARE(buffer.left(copied), value.left(copied));
        QCOMPARE(buffer.mid(copied), QByteArray(size + 1 - copied, char(0xEE)));
    }

    void errorDescriptionAfterSmallBuffer()
    {
        const TilloApi& api = TilloApi::instance();
        TilloHandle h;
        QCOMPARE(api.queryData(h), -1);
        QCOMPARE(api.errorCode(h), 3);
        wchar_t tiny[3];
        const int needed = api.errorDescription(h, tiny, 3);
        QVERIFY(needed > 3);
        QCOMPARE(int(wcslen(tiny)), 2);
        QCOMPARE(api.error(h), QStringLiteral("Соединение с ККТ не открыто"));
        QCOMPARE(api.error(h).size() + 1, needed);
    }

    void parametersDoNotTouchTheError()
    {
        const TilloApi& api = TilloApi::instance();
        TilloHandle h;
        QCOMPARE(api.queryData(h), -1);
        api.setInt(h, LIBTILLO_PARAM_QUERY, 0);
        api.getInt(h, LIBTILLO_PARAM_MODEL_CODE);
        api.text(h, LIBTILLO_PARAM_MODEL_NAME);
        api.bytes(h, LIBTILLO_PARAM_VALUE);
        QCOMPARE(api.errorCode(h), 3);
    }

    void unsetParametersAreEmpty()
    {
        const TilloApi& api = TilloApi::instance();
        TilloHandle h;
        QCOMPARE(api.getInt(h, 0x12345), 0u);
        QCOMPARE(api.getBool(h, LIBTILLO_PARAM_FISCAL), 0);
        QCOMPARE(api.getStr(h, LIBTILLO_PARAM_MODEL_NAME, nullptr, 0), 1);
        QCOMPARE(api.getBytes(h, LIBTILLO_PARAM_VALUE, nullptr, 0), 0);
        api.setBytes(h, LIBTILLO_PARAM_VALUE, nullptr, 5); // no bytes: stays empty
        QCOMPARE(api.getBytes(h, LIBTILLO_PARAM_VALUE, nullptr, 0), 0);
        api.setStr(h, LIBTILLO_PARAM_MAPPING_INPUT, nullptr);
        QCOMPARE(api.text(h, LIBTILLO_PARAM_MAPPING_INPUT), QString());
    }
};

VESCOR_TEST(DriverInterfaceTest)
#include "tst_DriverInterface.moc"
