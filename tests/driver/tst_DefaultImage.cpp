// The default register image and models/57.json: they agree, cover every kind
// of table and field, and every cell survives a read-edit-write-read cycle as
// the program performs it.
#include "TilloApi.h"

#include "model/ExternalCodec.h"
#include "model/InternalCodec.h"
#include "support/EmulatorImage.h"
#include "support/TestMain.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

QJsonObject modelFile()
{
    QFile file(QStringLiteral(VESCOR_SOURCE_DIR "/models/57.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

QJsonObject modelTable(unsigned id)
{
    for (const QJsonValue& t : modelFile()["tables"].toArray()) {
        if (t.toObject()["id"].toInt() == int(id))
            return t.toObject();
    }
    return {};
}

int widthOf(const QJsonObject& field)
{
    static const QMap<QString, int> widths = {
        {"bin1", 1}, {"bin2", 2}, {"bin2_big_endian", 2}, {"bin4", 4}, {"bin6", 6}, {"bcd1", 1}, {"bcd2", 2},
        {"bcd3", 3}, {"bcd4", 4}, {"bcd5", 5}, {"bcd6", 6}, {"bcd8", 8}, {"bcd64_1", 64}};
    const QString type = field["deviceType"].toString();
    if (type == "string866" || type == "ascii")
        return field["maxLength"].toInt(128);
    return widths.value(type, -1);
}

QTextCodec* internalCodec()
{
    static QTextCodec* codec = new InternalCodec; // codecs belong to Qt once made
    return codec;
}

QTextCodec* externalCodec()
{
    static QTextCodec* codec = new ExternalCodec;
    return codec;
}

// A string866 cell as the program shows it, and the bytes it writes back.
QByteArray rewriteText(const QJsonObject& field, QByteArray raw, bool wholeRow)
{
    const char fill = char(field["fillCharCode"].toInt(32));
    while (!raw.isEmpty() && raw.endsWith(fill))
        raw.chop(1);
    while (!raw.isEmpty() && raw.endsWith('\0'))
        raw.chop(1);
    QString text = (wholeRow ? externalCodec() : internalCodec())->toUnicode(raw);
    const int length = field["maxLength"].toInt(128);
    text = text.leftJustified(length, QChar(uchar(fill)), true);
    QByteArray bytes = externalCodec()->fromUnicode(text);
    const QString mask = field["mask"].toString();
    if (!mask.isEmpty())
        bytes = bytes.left(mask.size());
    return bytes;
}

struct ReadTable
{
    QList<QList<QByteArray>> rows; // the bytes of each cell, as the program cuts them
    int endCode = 0;               // the code that ended the table
};

// Reads a table the way the program's read engine does.
ReadTable readLikeTheProgram(libtillo_handle h, const QJsonObject& table)
{
    const TilloApi& api = TilloApi::instance();
    const QJsonArray fields = table["fields"].toArray();
    const bool transposed = table["type"].toString() == "transposedList";
    const bool fastRead = table["fastRead"].toBool();
    const int names = table["row_names"].toArray().size();
    const int rowCount = transposed ? fields.size() : (names ? names : 65536);
    const int perRow = transposed ? 1 : fields.size();
    ReadTable result;
    for (int r = 0; r < rowCount; ++r) {
        QList<QByteArray> row;
        for (int c = 0; c < perRow; ++c) {
            QByteArray value;
            if (api.readCell(h, unsigned(table["id"].toInt()), unsigned(r + 1), fastRead ? 0 : unsigned(c + 1), value)) {
                result.endCode = api.errorCode(h);
                if (c > 0)
                    result.endCode = -result.endCode; // a row ended part-way
                return result;
            }
            if (fastRead) {
                int at = 0;
                for (const QJsonValue& f : fields) {
                    const int w = widthOf(f.toObject());
                    row << value.mid(at, w);
                    at += w;
                }
                break;
            }
            row << value;
        }
        result.rows << row;
    }
    return result;
}

} // namespace

class DefaultImageTest : public QObject
{
    Q_OBJECT

private:
    const TilloApi& api = TilloApi::instance();

private slots:
    void initTestCase() { QVERIFY2(api.isLoaded(), qPrintable(api.loadError())); }
    void cleanup() { EmulatorImage::uninstall(); }

    void tables_data()
    {
        QTest::addColumn<unsigned>("id");
        for (const QJsonValue& t : modelFile()["tables"].toArray())
            QTest::newRow(qPrintable(t.toObject()["name"].toString())) << unsigned(t.toObject()["id"].toInt());
    }

    // Same tables, same field widths, text flags and fills in both files.
    void tables()
    {
        QFETCH(unsigned, id);
        const QJsonObject table = modelTable(id);
        const QJsonArray fields = table["fields"].toArray();
        const EmulatorImage image = EmulatorImage::defaultImage();
        QVERIFY(image.hasTable(id));
        const Json::Value& tables = image.json()["tables"];
        Json::Value imageTable;
        for (const Json::Value& t : tables) {
            if (t["id"].asUInt() == id)
                imageTable = t;
        }
        const bool transposed = table["type"].toString() == "transposedList";
        QCOMPARE(image.fieldCount(id), transposed ? 1 : fields.size());
        if (transposed)
            QCOMPARE(image.rowCount(id), fields.size());
        for (int i = 0; i < fields.size(); ++i) {
            const QJsonObject f = fields[i].toObject();
            QCOMPARE(f["id"].toInt(), i + 1);
            const int imageField = transposed ? 0 : i;
            QCOMPARE(image.fieldWidth(id, imageField + 1), widthOf(f));
            const Json::Value& layout = imageTable["fields"][imageField];
            const bool text = f["deviceType"].toString() == "string866";
            QCOMPARE(layout["text"].asBool(), text);
            if (text)
                QCOMPARE(int(layout["fill"].asUInt()), f["fillCharCode"].toInt(32));
        }
        if (!table["row_names"].toArray().isEmpty())
            QCOMPARE(image.rowCount(id), table["row_names"].toArray().size());
    }

    void coversEveryKind()
    {
        const QJsonObject model = modelFile();
        QCOMPARE(model["device"].toObject()["configuration"].toInt(), 25);
        QSet<QString> tableTypes, deviceTypes, guiTypes;
        bool rowNames = false, readOnlyRows = false, readOnlyField = false, cliche = false, zeroMask = false,
             otherMask = false, ip = false, mac = false, listItems = false, reservedInList = false,
             reservedInDb = false;
        int money = 0, goods = 0;
        const EmulatorImage image = EmulatorImage::defaultImage();
        for (const QJsonValue& tv : model["tables"].toArray()) {
            const QJsonObject t = tv.toObject();
            tableTypes << (t.contains("type") ? t["type"].toString() : QStringLiteral("plain"));
            rowNames |= !t["row_names"].toArray().isEmpty();
            readOnlyRows |= !t["read_only_rows"].toArray().isEmpty();
            if (t["id"].toInt() == 1 && t["fastRead"].toBool() && t["type"].toString() == "db")
                goods = image.rowCount(1);
            for (const QJsonValue& fv : t["fields"].toArray()) {
                const QJsonObject f = fv.toObject();
                const QString device = f["deviceType"].toString(), gui = f["guiType"].toString();
                deviceTypes << device;
                guiTypes << gui;
                readOnlyField |= f["read_only"].toBool();
                cliche |= f["cliche"].toBool();
                const QString mask = f["mask"].toString();
                const bool bcd = device.startsWith("bcd") && device != "bcd64_1";
                zeroMask |= gui == "string_masked" && bcd && !mask.isEmpty() && mask.count('0') == mask.size();
                otherMask |= gui == "string_masked" && !mask.isEmpty() && mask.count('0') != mask.size();
                ip |= device == "bin4" && f["ip_address"].toBool();
                mac |= device == "bin6";
                listItems |= gui == "list" && f["items"].toArray().size() >= 2;
                money += gui == "money" ? 1 : 0;
                if (f["name"].toString() == QStringLiteral("Зарезервировано")) {
                    reservedInList |= t["type"].toString() == "list";
                    reservedInDb |= t["type"].toString() == "db";
                }
            }
        }
        // Every table has a layout that shows its cells; the plain layout has a model of its own in the tests.
        QCOMPARE(tableTypes, (QSet<QString>{"db", "list", "transposedList"}));
        QCOMPARE(deviceTypes.size(), 15);
        QCOMPARE(guiTypes, (QSet<QString>{"int", "money", "string", "string_masked", "list"}));
        QVERIFY(goods >= 200);
        QVERIFY(rowNames && readOnlyRows && readOnlyField && cliche && zeroMask && otherMask && ip && mac);
        QVERIFY(listItems && reservedInList && reservedInDb);
        QVERIFY(money >= 2);
    }

    // "Параметры ОФД" is one record shown field by field: server address, port, timeout.
    void ofdParametersAreOneRecord()
    {
        const QJsonObject table = modelTable(15);
        QCOMPARE(table["name"].toString(), QStringLiteral("Параметры ОФД"));
        QCOMPARE(table["type"].toString(), QStringLiteral("list"));
        QTemporaryDir dir;
        EmulatorImage::defaultImage().install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        const ReadTable read = readLikeTheProgram(h, table);
        QCOMPARE(read.endCode, 75);
        QCOMPARE(read.rows.size(), 1);
        QCOMPARE(read.rows[0].size(), 3);
        QCOMPARE(read.rows[0][1], QByteArray::fromHex("1E61")); // port 7777
        QCOMPARE(read.rows[0][2], QByteArray::fromHex("60"));   // 60 s
    }

    void identity()
    {
        QTemporaryDir dir;
        EmulatorImage::defaultImage().install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        api.setInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_STATUS);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.getInt(h, LIBTILLO_PARAM_MODEL_CODE), 57u);
        QCOMPARE(api.text(h, LIBTILLO_PARAM_MODEL_NAME), QStringLiteral("Вескор-Эмулятор 57"));
        QCOMPARE(api.text(h, LIBTILLO_PARAM_SERIAL_NUMBER), QStringLiteral("0057000001"));
        QCOMPARE(api.getBool(h, LIBTILLO_PARAM_FISCAL), 1);
        api.setInt(h, LIBTILLO_PARAM_QUERY, LIBTILLO_QUERY_VERSION);
        api.setInt(h, LIBTILLO_PARAM_QUERY_VERSION, 1);
        QCOMPARE(api.queryData(h), 0);
        QCOMPARE(api.text(h, LIBTILLO_PARAM_FIRMWARE), QStringLiteral("3.0.25"));
        QCOMPARE(api.openDrawer(h), 0);
    }

    void cellsAreWellFormed_data() { tables_data(); }

    // BCD cells hold decimal digits; text cells decode to text that encodes
    // back to the same bytes.
    void cellsAreWellFormed()
    {
        QFETCH(unsigned, id);
        QTemporaryDir dir;
        EmulatorImage::defaultImage().install(dir);
        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        const QJsonObject table = modelTable(id);
        const QJsonArray fields = table["fields"].toArray();
        const ReadTable read = readLikeTheProgram(h, table);
        QCOMPARE(read.endCode, table["type"].toString() == "transposedList" || !table["row_names"].toArray().isEmpty()
                                   ? 0 : 75);
        QVERIFY(!read.rows.isEmpty());
        const bool transposed = table["type"].toString() == "transposedList";
        for (int r = 0; r < read.rows.size(); ++r) {
            for (int c = 0; c < read.rows[r].size(); ++c) {
                const QJsonObject f = fields[transposed ? r : c].toObject();
                const QByteArray bytes = read.rows[r][c];
                QCOMPARE(bytes.size(), widthOf(f));
                const QString device = f["deviceType"].toString();
                if (device.startsWith("bcd")) {
                    const QByteArray digits = (device == "bcd64_1" ? bytes.left(1) : bytes).toHex();
                    for (char d : digits)
                        QVERIFY2(d >= '0' && d <= '9', digits.constData());
                }
            }
        }
    }

    void roundTrip_data() { tables_data(); }

    // Read every cell as the program does, write back what the program would
    // write for an unchanged value, commit, reopen: every cell reads as before.
    void roundTrip()
    {
        QFETCH(unsigned, id);
        QTemporaryDir dir;
        EmulatorImage::defaultImage().install(dir);
        const QJsonObject table = modelTable(id);
        const QJsonArray fields = table["fields"].toArray();
        const bool transposed = table["type"].toString() == "transposedList";
        const bool fastRead = table["fastRead"].toBool();

        TilloHandle h;
        QCOMPARE(api.open(h), 0);
        const ReadTable before = readLikeTheProgram(h, table);
        QVERIFY(!before.rows.isEmpty());
        for (int r = 0; r < before.rows.size(); ++r) {
            for (int c = 0; c < before.rows[r].size(); ++c) {
                const QJsonObject f = fields[transposed ? r : c].toObject();
                QByteArray bytes = before.rows[r][c];
                if (f["deviceType"].toString() == "string866")
                    bytes = rewriteText(f, bytes, fastRead);
                QCOMPARE(api.writeCell(h, id, unsigned(r + 1), transposed ? 1 : unsigned(c + 1), bytes), 0);
            }
        }
        QCOMPARE(api.commit(h), 0);
        QCOMPARE(api.close(h), 0);

        TilloHandle again;
        QCOMPARE(api.open(again), 0);
        const ReadTable after = readLikeTheProgram(again, table);
        QCOMPARE(after.rows, before.rows);
    }
};

VESCOR_TEST(DefaultImageTest)
#include "tst_DefaultImage.moc"
