#include "SnapshotManifest.h"

#include "model/TableInfo.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString FormatKey = QStringLiteral("format");
const QString FormatName = QStringLiteral("vescor-snapshot");
const int FormatVersion = 1;

bool isSha256(const QString& text)
{
    if (text.size() != 64)
        return false;
    for (const QChar c : text) {
        if (!c.isDigit() && (c < QLatin1Char('a') || c > QLatin1Char('f')))
            return false;
    }
    return true;
}

} // namespace

QByteArray SnapshotManifest::toJson() const
{
    QJsonArray tableList;
    for (const Table& t : tables) {
        tableList.append(QJsonObject{{QStringLiteral("number"), int(t.number)},
                                     {QStringLiteral("name"), t.name},
                                     {QStringLiteral("file"), t.file},
                                     {QStringLiteral("rows"), t.rows},
                                     {QStringLiteral("cells"), double(t.cells)},
                                     {QStringLiteral("sha256"), t.sha256},
                                     {QStringLiteral("description"), t.description}});
    }
    const QJsonObject root{
        {FormatKey, FormatName},
        {QStringLiteral("format_version"), FormatVersion},
        {QStringLiteral("program"), program},
        {QStringLiteral("version"), version},
        {QStringLiteral("time"), time.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("model"), identity.modelCode},
        {QStringLiteral("model_name"), identity.modelName},
        {QStringLiteral("serial_number"), identity.serialNumber},
        {QStringLiteral("firmware"), identity.firmware},
        {QStringLiteral("configuration"), configuration},
        {QStringLiteral("tables"), tableList},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString SnapshotManifest::fromJson(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return QStringLiteral("описание снимка (%1) не является объектом JSON").arg(entryName());
    const QJsonObject root = document.object();
    if (root.value(FormatKey).toString() != FormatName)
        return QStringLiteral("описание %1 не принадлежит снимку ККТ").arg(entryName());
    if (root.value(QStringLiteral("format_version")).toInt() != FormatVersion) {
        return QStringLiteral("версия формата снимка %1 не поддерживается (поддерживается %2)")
            .arg(root.value(QStringLiteral("format_version")).toVariant().toString(), QString::number(FormatVersion));
    }
    program = root.value(QStringLiteral("program")).toString();
    version = root.value(QStringLiteral("version")).toString();
    time = QDateTime::fromString(root.value(QStringLiteral("time")).toString(), Qt::ISODate).toUTC();
    identity.modelCode = root.value(QStringLiteral("model")).toInt(-1);
    identity.modelName = root.value(QStringLiteral("model_name")).toString();
    identity.serialNumber = root.value(QStringLiteral("serial_number")).toString();
    identity.firmware = root.value(QStringLiteral("firmware")).toString();
    configuration = root.value(QStringLiteral("configuration")).toInt();
    if (!time.isValid() || identity.modelCode < 0 || identity.serialNumber.isEmpty())
        return QStringLiteral("в описании снимка нет времени, модели или заводского номера ККТ");

    tables.clear();
    // An empty list is a snapshot of no tables; anything else than a list says nothing of them.
    const QJsonValue tablesValue = root.value(QStringLiteral("tables"));
    if (!tablesValue.isArray())
        return QStringLiteral("в описании снимка нет списка таблиц (\"tables\")");
    const QJsonArray tableList = tablesValue.toArray();
    for (const QJsonValue& value : tableList) {
        const QJsonObject o = value.toObject();
        Table t;
        t.number = unsigned(o.value(QStringLiteral("number")).toInt(0));
        t.name = o.value(QStringLiteral("name")).toString();
        t.file = o.value(QStringLiteral("file")).toString();
        t.rows = o.value(QStringLiteral("rows")).toInt(-1);
        t.cells = unsigned(o.value(QStringLiteral("cells")).toDouble(0));
        t.sha256 = o.value(QStringLiteral("sha256")).toString();
        t.description = o.value(QStringLiteral("description")).toString();
        if (t.number == 0 || t.number > 0xffff || t.file.isEmpty() || t.rows < 0 || !isSha256(t.sha256)) {
            return QStringLiteral("описание таблицы %1 (%2) в снимке неполное")
                .arg(QString::number(tables.size() + 1), t.name);
        }
        if (table(t.number))
            return QStringLiteral("таблица %1 (%2) описана в снимке дважды").arg(QString::number(t.number), t.name);
        tables.append(t);
    }
    return QString();
}

const SnapshotManifest::Table* SnapshotManifest::table(unsigned number) const
{
    for (const Table& t : tables) {
        if (t.number == number)
            return &t;
    }
    return nullptr;
}

QString SnapshotManifest::descriptionDigest(const TableInfo& table)
{
    QByteArray text = QStringLiteral("%1|%2|%3").arg(QString::number(table.id), table.name, QString::number(table.type)).toUtf8();
    for (const FieldInfo& field : table.fields) {
        text += '|' + field.m_name.toUtf8() + ':' + QByteArray::number(field.m_deviceType) + ':'
            + QByteArray::number(field.m_guiType) + ':' + QByteArray::number(field.m_maxLength);
    }
    text += '|' + QByteArray::number(table.rowNames.size());
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
}
