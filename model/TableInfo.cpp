#include "TableInfo.h"


#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace {

// Every key takes its default unless it holds a value of its own JSON type.

qint64 integerOr(const QJsonValue& value, qint64 fallback)
{
    if (!value.isDouble())
        return fallback;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::fabs(number) >= 9.2e18)
        return fallback;
    return qint64(number);
}

double numberOr(const QJsonValue& value, double fallback)
{
    return value.isDouble() ? value.toDouble() : fallback;
}

QString stringOr(const QJsonValue& value, const QString& fallback)
{
    return value.isString() ? value.toString() : fallback;
}

bool boolOr(const QJsonValue& value, bool fallback)
{
    return value.isBool() ? value.toBool() : fallback;
}

TableType tableTypeOf(const QJsonValue& value)
{
    const QString text = stringOr(value, QString());
    if (text == QLatin1String("list"))
        return List;
    if (text == QLatin1String("transposedList"))
        return TransposedList;
    if (text == QLatin1String("db"))
        return Db;
    return Plain;
}

FieldInfo readField(const QJsonObject& object)
{
    FieldInfo field(stringOr(object.value(QLatin1String("name")), QString()),
                    stringOr(object.value(QLatin1String("deviceType")), QString()),
                    stringOr(object.value(QLatin1String("guiType")), QString()));

    switch (field.m_guiType) {
    case FieldInfo::List: {
        const QJsonArray items = object.value(QLatin1String("items")).toArray();
        for (const QJsonValue& item : items) {
            const QJsonObject itemObject = item.toObject();
            // Keys are unsigned 32-bit: a negative value sorts after all others.
            const auto key = uint32_t(integerOr(itemObject.value(QLatin1String("value")), 0));
            field.m_items[key] = stringOr(itemObject.value(QLatin1String("name")), QString());
        }
        break;
    }
    case FieldInfo::Int:
        field.m_min = double(integerOr(object.value(QLatin1String("min")), 0));
        field.m_max = double(integerOr(object.value(QLatin1String("max")), 2147483647));
        break;
    case FieldInfo::Money:
        field.m_min = numberOr(object.value(QLatin1String("min")), 0);
        field.m_max = numberOr(object.value(QLatin1String("max")), std::numeric_limits<double>::max());
        break;
    case FieldInfo::StringMasked:
        field.m_mask = stringOr(object.value(QLatin1String("mask")), QString());
        break;
    case FieldInfo::String:
    case FieldInfo::GuiUnknown:
        break;
    }

    // An ascii field needs its width too, for whole-row reads.
    if (field.m_deviceType == FieldInfo::String866 || field.m_deviceType == FieldInfo::Ascii)
        field.m_maxLength = int32_t(integerOr(object.value(QLatin1String("maxLength")), 128));
    if (field.m_deviceType == FieldInfo::String866)
        field.m_fillCharCode = uint8_t(integerOr(object.value(QLatin1String("fillCharCode")), 32) & 0xFF);

    field.m_ipAddress = boolOr(object.value(QLatin1String("ip_address")), false);
    field.m_readOnly = boolOr(object.value(QLatin1String("read_only")), false);
    field.m_cliche = boolOr(object.value(QLatin1String("cliche")), false);
    return field;
}

} // namespace

int TableInfo::readTablesInfo(uint32_t modelId, QList<TableInfo>& tables, QString& errorText,
                              const std::function<int()>& configurationVersion)
{
    return readTablesInfo(modelId, tables, errorText, QCoreApplication::applicationDirPath() + QStringLiteral("/models"),
                          configurationVersion);
}

int TableInfo::readTablesInfo(uint32_t modelId, QList<TableInfo>& tables, QString& errorText,
                              const QString& modelsDir, const std::function<int()>& configurationVersion)
{
    const QString fileName = QString::number(modelId) + QStringLiteral(".json");
    const QString path = modelsDir + QLatin1Char('/') + fileName;
    const QString shownName = QStringLiteral("./models/") + fileName;
    qDebug() << "TableInfo::readTablesInfo(), fileName = " << path;

    if (!QFile::exists(path)) {
        qDebug() << "File not found";
        errorText = QStringLiteral("Файл %1 не найден.").arg(path);
        return 155;
    }

    // A file that cannot be read or parsed leaves an empty document, refused below.
    QByteArray content;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        content = file.readAll();
        file.close();
    }
    const QJsonObject top = QJsonDocument::fromJson(content).object();

    const QJsonValue device = top.value(QLatin1String("device"));
    if (!device.isObject() || device.toObject().isEmpty()) {
        errorText = QStringLiteral("%1: проверьте корректность поля device.").arg(shownName);
        return 5;
    }

    const int registerConfiguration = configurationVersion();
    const qint64 fileConfiguration = integerOr(device.toObject().value(QLatin1String("configuration")), 0);
    if (fileConfiguration != registerConfiguration) {
        errorText = QStringLiteral("%1: не соответствует текущей версии ПО ККТ(%2)").arg(shownName, QString::number(registerConfiguration));
        return 5;
    }

    const QJsonValue tablesValue = top.value(QLatin1String("tables"));
    if (!tablesValue.isArray() || tablesValue.toArray().isEmpty()) {
        errorText = QStringLiteral("%1: проверьте корректность поля tables.").arg(shownName);
        return 5;
    }

    const QJsonArray tableArray = tablesValue.toArray();
    for (const QJsonValue& tableValue : tableArray) {
        const QJsonObject object = tableValue.toObject();
        const QString loggedName = stringOr(object.value(QLatin1String("name")), QString());
        qDebug() << loggedName;

        TableInfo table;
        table.type = tableTypeOf(object.value(QLatin1String("type")));

        const QJsonArray fields = object.value(QLatin1String("fields")).toArray();
        int position = 0;
        for (const QJsonValue& fieldValue : fields) {
            ++position;
            const QJsonObject fieldObject = fieldValue.toObject();
            const qint64 id = integerOr(fieldObject.value(QLatin1String("id")), 0);
            if (id != position) {
                qDebug().nospace() << "Error in Fields ID. totalFieldsNumber = " << position
                                   << "currentFieldID = " << id;
                errorText = QStringLiteral("%1: проверьте корректность id полей.").arg(loggedName);
                return 5;
            }
            table.fields.append(readField(fieldObject));
        }

        const QJsonArray rowNames = object.value(QLatin1String("row_names")).toArray();
        for (const QJsonValue& rowName : rowNames)
            table.rowNames.append(stringOr(rowName, QString()));

        table.fastRead = boolOr(object.value(QLatin1String("fastRead")), false);
        table.name = stringOr(object.value(QLatin1String("name")), QStringLiteral("UNDEFINED"));
        table.id = uint16_t(integerOr(object.value(QLatin1String("id")), 0) & 0xFFFF);

        const QJsonArray readOnlyRows = object.value(QLatin1String("read_only_rows")).toArray();
        for (const QJsonValue& row : readOnlyRows)
            table.readOnlyRows.append(int32_t(integerOr(row, 0)));

        tables.append(table);
    }
    return 0;
}
