#include "EmulatorImage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <json/reader.h>
#include <json/writer.h>

#include <memory>

namespace {

const char* const ImageName = "register-image.json";
const char* const TraceName = "trace.log";

Json::Value text(const QString& s) { return Json::Value(s.toStdString()); }

} // namespace

EmulatorImage::EmulatorImage()
    : m_root(Json::objectValue)
{
    setIdentity(57, QStringLiteral("Вескор-Эмулятор 57"), QStringLiteral("0057000001"), QStringLiteral("3.0.25"));
    m_root["drawer"] = true;
    m_root["tables"] = Json::Value(Json::arrayValue);
    m_root["faults"] = Json::Value(Json::arrayValue);
}

EmulatorImage EmulatorImage::defaultImage()
{
    return fromFile(QStringLiteral(VESCOR_SOURCE_DIR "/driver/default-image.json"));
}

EmulatorImage EmulatorImage::fromFile(const QString& path)
{
    EmulatorImage image;
    image.m_root = Json::Value();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return image;
    const QByteArray content = file.readAll();
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    Json::Value root;
    if (reader->parse(content.constData(), content.constData() + content.size(), &root, &errors) && root.isObject())
        image.m_root = root;
    return image;
}

EmulatorImage& EmulatorImage::setIdentity(unsigned modelCode, const QString& modelName, const QString& serialNumber,
                                          const QString& firmware, bool fiscal)
{
    Json::Value& identity = m_root["identity"];
    identity["modelCode"] = modelCode;
    identity["modelName"] = text(modelName);
    identity["serialNumber"] = text(serialNumber);
    identity["firmware"] = text(firmware);
    identity["fiscal"] = fiscal;
    return *this;
}

EmulatorImage& EmulatorImage::setDrawer(bool present)
{
    m_root["drawer"] = present;
    return *this;
}

EmulatorImage& EmulatorImage::setLinkAddress(const QString& ipAddress)
{
    m_root["link"]["ipAddress"] = text(ipAddress);
    return *this;
}

EmulatorImage& EmulatorImage::setLinkPort(int ipPort)
{
    m_root["link"]["ipPort"] = ipPort;
    return *this;
}

EmulatorImage& EmulatorImage::setLinkLatency(int milliseconds)
{
    m_root["link"]["latencyMs"] = milliseconds;
    return *this;
}

Json::Value* EmulatorImage::table(unsigned id)
{
    for (Json::Value& t : m_root["tables"]) {
        if (t["id"].isUInt() && t["id"].asUInt() == id)
            return &t;
    }
    return nullptr;
}

const Json::Value* EmulatorImage::table(unsigned id) const
{
    return const_cast<EmulatorImage*>(this)->table(id);
}

EmulatorImage& EmulatorImage::addTable(unsigned id, const QVector<Field>& fields, int rowCount)
{
    removeTable(id);
    Json::Value t(Json::objectValue);
    t["id"] = id;
    t["fields"] = Json::Value(Json::arrayValue);
    for (const Field& f : fields) {
        Json::Value field(Json::objectValue);
        field["width"] = f.width;
        if (f.text)
            field["text"] = true;
        if (f.fill >= 0)
            field["fill"] = f.fill;
        t["fields"].append(field);
    }
    t["rows"] = Json::Value(Json::arrayValue);
    m_root["tables"].append(t);
    return setRowCount(id, rowCount);
}

EmulatorImage& EmulatorImage::removeTable(unsigned id)
{
    Json::Value kept(Json::arrayValue);
    for (const Json::Value& t : m_root["tables"]) {
        if (!(t["id"].isUInt() && t["id"].asUInt() == id))
            kept.append(t);
    }
    m_root["tables"] = kept;
    return *this;
}

EmulatorImage& EmulatorImage::setRowCount(unsigned id, int rows)
{
    Json::Value* t = table(id);
    if (!t)
        return *this;
    Json::Value& list = (*t)["rows"];
    if (!list.isArray())
        list = Json::Value(Json::arrayValue);
    while (int(list.size()) > rows) {
        Json::Value removed;
        list.removeIndex(list.size() - 1, &removed);
    }
    while (int(list.size()) < rows) {
        Json::Value row(Json::arrayValue);
        for (const Json::Value& f : (*t)["fields"])
            row.append(std::string(size_t(f["width"].asUInt()) * 2, '0'));
        list.append(row);
    }
    return *this;
}

EmulatorImage& EmulatorImage::setCell(unsigned id, int row, int field, const QByteArray& bytes)
{
    Json::Value* t = table(id);
    if (!t || row < 1 || field < 1)
        return *this;
    if (row > int((*t)["rows"].size()))
        setRowCount(id, row);
    (*t)["rows"][row - 1][field - 1] = bytes.toHex().toUpper().toStdString();
    return *this;
}

EmulatorImage& EmulatorImage::setText(unsigned id, int row, int field, const QString& value)
{
    Json::Value* t = table(id);
    if (!t || row < 1 || field < 1)
        return *this;
    if (row > int((*t)["rows"].size()))
        setRowCount(id, row);
    Json::Value typed(Json::objectValue);
    typed["text"] = text(value);
    (*t)["rows"][row - 1][field - 1] = typed;
    return *this;
}

EmulatorImage& EmulatorImage::addFault(const Fault& fault)
{
    Json::Value f(Json::objectValue);
    f["call"] = text(fault.call);
    if (fault.table >= 0)
        f["table"] = fault.table;
    if (fault.row >= 0)
        f["row"] = fault.row;
    if (fault.field >= 0)
        f["field"] = fault.field;
    if (fault.query >= 0)
        f["query"] = fault.query;
    f["after"] = fault.after;
    if (fault.times >= 0)
        f["times"] = fault.times;
    f["code"] = fault.code;
    f["description"] = text(fault.description);
    if (!fault.stage.isEmpty())
        f["stage"] = text(fault.stage);
    if (fault.throws)
        f["throws"] = true;
    m_root["faults"].append(f);
    return *this;
}

EmulatorImage& EmulatorImage::clearFaults()
{
    m_root["faults"] = Json::Value(Json::arrayValue);
    return *this;
}

bool EmulatorImage::hasTable(unsigned id) const { return table(id) != nullptr; }

int EmulatorImage::rowCount(unsigned id) const
{
    const Json::Value* t = table(id);
    return t ? int((*t)["rows"].size()) : -1;
}

int EmulatorImage::fieldCount(unsigned id) const
{
    const Json::Value* t = table(id);
    return t ? int((*t)["fields"].size()) : -1;
}

int EmulatorImage::fieldWidth(unsigned id, int field) const
{
    const Json::Value* t = table(id);
    if (!t || field < 1 || field > int((*t)["fields"].size()))
        return -1;
    return int((*t)["fields"][field - 1]["width"].asUInt());
}

QByteArray EmulatorImage::cell(unsigned id, int row, int field) const
{
    const Json::Value* t = table(id);
    const int width = fieldWidth(id, field);
    if (!t || width < 0 || row < 1 || row > int((*t)["rows"].size()))
        return {};
    const Json::Value& value = (*t)["rows"][row - 1][field - 1];
    QByteArray bytes;
    if (value.isString()) {
        bytes = QByteArray::fromHex(QByteArray::fromStdString(value.asString()));
    } else if (value.isObject() && value["uint"].isUInt64()) {
        quint64 n = value["uint"].asUInt64();
        bytes = QByteArray(width, '\0');
        for (int i = width - 1; i >= 0; --i, n >>= 8)
            bytes[i] = char(n & 0xFF);
    } else if (value.isObject() && value.isMember("bcd")) {
        const QByteArray digits = value["bcd"].isString() ? QByteArray::fromStdString(value["bcd"].asString())
                                                          : QByteArray::number(qulonglong(value["bcd"].asUInt64()));
        QByteArray padded = QByteArray(width * 2 - qMin(width * 2, digits.size()), '0') + digits.right(width * 2);
        bytes = QByteArray::fromHex(padded);
    } else if (value.isNull()) {
        bytes = QByteArray(width, '\0');
    } else {
        return {};
    }
    if (bytes.size() < width)
        bytes.append(QByteArray(width - bytes.size(), '\0'));
    return bytes;
}

bool EmulatorImage::save(const QString& path) const
{
    Json::StreamWriterBuilder writer;
    writer["indentation"] = " ";
    writer["emitUTF8"] = true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const std::string content = Json::writeString(writer, m_root);
    return file.write(content.data(), qint64(content.size())) == qint64(content.size());
}

QString EmulatorImage::install(const QTemporaryDir& dir, bool trace) const
{
    const QString path = QDir(dir.path()).filePath(QString::fromLatin1(ImageName));
    save(path);
    qputenv("TILLO10_EMULATOR", QFile::encodeName(path));
    if (trace) {
        QFile::remove(tracePath(dir));
        qputenv("TILLO10_TRACE", QFile::encodeName(tracePath(dir)));
    } else {
        qunsetenv("TILLO10_TRACE");
    }
    return path;
}

void EmulatorImage::uninstall()
{
    qunsetenv("TILLO10_EMULATOR");
    qunsetenv("TILLO10_TRACE");
}

QString EmulatorImage::tracePath(const QTemporaryDir& dir)
{
    return QDir(dir.path()).filePath(QString::fromLatin1(TraceName));
}

QStringList EmulatorImage::traceLines(const QTemporaryDir& dir)
{
    QFile file(tracePath(dir));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
